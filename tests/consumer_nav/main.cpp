// The README's navigator example: a route on a map, fixes along it, what the driver hears.
#include <cstdio>

#include "interfaces/VroRead.h"
#include "interfaces/VroRoute.h"
#include "nav/Navigator.h"

int main(int argc, char** argv) {
  VRO_READER* reader = VroReaderOpen(argc > 1 ? argv[1] : "sample-town.osm");
  VRO_ROUTE* engine = reader ? VroRouteOpen(reader) : nullptr;
  if (!engine) return 1;
  {
    vxnav::Navigator nav(reader, engine);  // default settings
    vxnav::Update u = nav.PlanRoute({13.3955, 52.4975}, {13.4045, 52.5030}, 0.0);
    if (u.events.empty()) return 1;  // no route
    const std::vector<tagLonLat> route = std::get<vxnav::RouteInfo>(u.events[0].data).pts;
    for (std::size_t i = 0; i < route.size(); ++i) {  // a fix on every point of the route
      vxnav::Fix fix;
      fix.dTime = static_cast<double>(i);
      fix.pt = route[i];
      fix.dAccuracy = 5.0;
      for (const vxnav::Event& e : nav.OnFix(fix).events)
        std::printf("%s\n", vxnav::EnglishText(e).c_str());
    }
  }
  VroRouteClose(engine);
  VroReaderClose(reader);
}
