// Opening an engine handle directly on a road network, for callers that
// hold a network without a map reader (tests, benchmarks).
#ifndef VX_ROUTE_ROUTEHANDLE_H
#define VX_ROUTE_ROUTEHANDLE_H

#include "interfaces/VroRoute.h"
#include "network/RoadNetwork.h"

namespace vxroute {

/// An engine handle over net, whose arrays must outlive it (a graph and grid
/// the view lacks are built and owned by the engine); null when memory runs
/// out. Close it with VroRouteClose.
VRO_ROUTE* OpenRoute(const vxnet::NetworkView& net);

}  // namespace vxroute

#endif
