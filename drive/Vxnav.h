// The vxnav command line: dispatches to `vxnav drive` and `vxnav guidance`.
#ifndef VX_DRIVE_VXNAV_H
#define VX_DRIVE_VXNAV_H

#include <ostream>

namespace vxdrive {

/// Runs vxnav with the program's arguments (argv[0] is the program name).
/// No command, an unknown command or malformed options print the usage on
/// err and give 2; "help" prints it on out and gives 0. Otherwise the exit
/// status of the command.
int RunVxnav(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

/// `vxnav guidance`: the guidance items of a small route built in, one per
/// line (road, length, turn angle, next road). Needs no map.
int RunEmbeddedGuidance(std::ostream& out, std::ostream& err);

}  // namespace vxdrive

#endif
