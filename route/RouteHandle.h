// Opening an engine handle directly on a road network, for callers that
// hold a network without a map reader (tests, benchmarks).
#ifndef VX_ROUTE_ROUTEHANDLE_H
#define VX_ROUTE_ROUTEHANDLE_H

#include "interfaces/VroRoute.h"
#include "map/RoadNetwork.h"

namespace vxroute {

/// An engine handle over net, which must outlive it; null when memory runs
/// out. Close it with VroRouteClose.
VRO_ROUTE* OpenRoute(const vxmap::RoadNetwork& net);

}  // namespace vxroute

#endif
