// The exit statuses of vxnav.
#ifndef VX_DRIVE_EXITSTATUS_H
#define VX_DRIVE_EXITSTATUS_H

namespace vxdrive {

/// What vxnav returns to the shell.
enum ExitStatus : int {
  kExitOk = 0,      ///< done: arrived, the recording ended, the usage asked for
  kExitFailed = 1,  ///< the drive failed: no route, not arrived, an output not written
  kExitRefused = 2  ///< refused: bad options, an unusable map, GPX file or output path
};

}  // namespace vxdrive

#endif
