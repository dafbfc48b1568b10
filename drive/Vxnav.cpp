// Command dispatch of vxnav.
#include "drive/Vxnav.h"

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "drive/DriveOptions.h"
#include "drive/DriveSession.h"
#include "drive/ExitStatus.h"
#include "map/BuildMapCommand.h"

namespace vxdrive {

int RunVxnav(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + std::max(argc, 0));
  if (args.empty()) {
    err << MainUsage();
    return kExitRefused;
  }
  const std::string& sCommand = args[0];
  if (sCommand == "help" || sCommand == "--help" || sCommand == "-h") {
    out << MainUsage();
    return kExitOk;
  }
  try {
    if (sCommand == "guidance") {
      if (args.size() > 1) {
        err << "vxnav guidance: unexpected argument " << args[1] << "\n" << MainUsage();
        return kExitRefused;
      }
      return RunEmbeddedGuidance(out, err);
    }
    if (sCommand == "build-map")
      return vxmap::RunBuildMap({args.begin() + 1, args.end()}, out, err);
    if (sCommand == "drive") {
      DriveOptions opts;
      std::string sError;
      switch (ParseDriveOptions({args.begin() + 1, args.end()}, opts, sError)) {
        case ParseStatus::kHelp:
          out << DriveUsage();
          return kExitOk;
        case ParseStatus::kError:
          err << "vxnav drive: " << sError << "\n" << DriveUsage();
          return kExitRefused;
        case ParseStatus::kRun:
          break;
      }
      return RunDrive(opts, out, err);
    }
  } catch (const std::bad_alloc&) {
    err << "vxnav: out of memory\n";
    return kExitFailed;
  }
  err << "vxnav: unknown command " << sCommand << "\n" << MainUsage();
  return kExitRefused;
}

}  // namespace vxdrive
