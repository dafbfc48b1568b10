// `vxnav guidance`: a path built from a small route through a town, printed
// as guidance items, one per line: road, length, turn angle, next road.
#include <cstdio>

#include "CPath/CPath.h"
#include "drive/ExitStatus.h"
#include "drive/Vxnav.h"

namespace vxdrive {

namespace {

struct DemoEdge {
  const char* szCode;
  const char* szRoadCode;
  const char* szName;
  const char* szRoadAttr;
  unsigned short wPtNum;
  tagLonLat pts[4];
};

// A drive across a small town: east along Station Road, left into Elm
// Street, right into Market Street, a bend, then right into Mill Lane.
const DemoEdge kRoute[] = {
    {"R000",
     "R5",
     "Station Road",
     "50",
     3,
     {{13.3700, 52.5100}, {13.3730, 52.5100}, {13.3760, 52.5100}}},
    {"R000", "R6", "Elm Street", "30", 2, {{13.3760, 52.5100}, {13.3760, 52.5130}}},
    {"R0+0",
     "R6",
     "Market Street",
     "30",
     3,
     {{13.3760, 52.5130}, {13.3790, 52.5130}, {13.3820, 52.5140}}},
    {"R000", "R7", "Mill Lane", "", 2, {{13.3820, 52.5140}, {13.3820, 52.5110}}},
};

}  // namespace

int RunEmbeddedGuidance(std::ostream& out, std::ostream& err) {
  CPath path;
  path.BeginAddEdge();
  for (const DemoEdge& e : kRoute) {
    if (!path.AddEdge(e.szCode, e.szRoadCode, e.szName, e.szRoadAttr, e.wPtNum, e.pts)) {
      err << "vxnav: could not add the edge of " << e.szName << "\n";
      return kExitFailed;
    }
  }
  char sz[1024];
  std::snprintf(sz, sizeof sz, "%-16s %10s %8s  %s\n", "road", "length_m", "turn", "next road");
  out << sz;
  PathGuid guid;
  for (int bMore = path.StartGuid(); bMore && path.NextGuid(guid);) {
    std::snprintf(sz, sizeof sz, "%-16s %10.1f %8.1f  %s\n", guid.szName, guid.dDist,
                  guid.dTurnAngle, guid.dTurnAngle < 0 ? "(destination)" : guid.szNextName);
    out << sz;
  }
  return kExitOk;
}

}  // namespace vxdrive
