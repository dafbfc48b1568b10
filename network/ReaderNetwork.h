// The one way from a map reader handle to its road network, for the route
// engine (and tests): declared here, defined by the reader library
// (map/VroRead.cpp), which keeps the set of readers it has opened and not yet
// closed.
#ifndef VX_NETWORK_READERNETWORK_H
#define VX_NETWORK_READERNETWORK_H

#include "interfaces/VroTypes.h"
#include "network/RoadNetwork.h"

namespace vxnet {

/// The network of hReader when it is a reader opened by our VroReaderOpen and
/// not yet closed; null for null and for any other handle, which is never
/// read (an application may bring a reader of its own). The network is owned
/// by the reader and valid until VroReaderClose; it may be read from several
/// threads at once.
VRO_API const NetworkView* NetworkOfReader(VRO_READER* hReader);

}  // namespace vxnet

#endif
