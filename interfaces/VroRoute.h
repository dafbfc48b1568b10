// The route engine: six calls the path library makes, and the calls that open
// and close our own engine over a map reader's road network.
#ifndef VX_INTERFACES_VROROUTE_H
#define VX_INTERFACES_VROROUTE_H

#include "interfaces/VroTexts.h"
#include "interfaces/VroTypes.h"

/// Finds a route from ptStart to ptEnd; negative when there is none.
VRO_API int VroRouteFindPath(VRO_ROUTE*, tagLonLat ptStart, const tagLonLat& ptEnd, double dAngle,
                             double dRouteArg1, const char* szRouteArg, double dRouteArg2,
                             const char* szEndName);
/// Makes the found route's edges retrievable from the start; 0 when no route was
/// found or it has no edges (start and target on one point).
VRO_API int VroRouteRetrieveStart(VRO_ROUTE*);
/// Next edge of the route: its point count (> 0), texts (code[6], road code[21],
/// name[301], attribute[100]; sizes in interfaces/VroTexts.h), id, length and
/// points (valid until the next call); 0 when no edge is left.
/// Our engine's texts: the code "RD", the road class digit '1'..'7', the
/// one-way mark ('+' when the edge may be driven only in the direction of
/// travel, from its first delivered point to its last; '0' both ways) and 'F'
/// or 'B' for driven along or against the map feature's digitisation, e.g.
/// "RD5+F" (vro::ParseEdgeCode reads it); the road code "R" and the class,
/// e.g. "R5"; the road name in UTF-8, cut at a character boundary; the road
/// attribute, the feature's maxspeed in km/h as a decimal number, "0" when
/// the map gives none. The id is the reader's feature id, with the direction
/// flag when the edge is driven against the digitisation.
VRO_API int VroRouteRetrieveNextEdgeEx(VRO_ROUTE*, char* szCode, char* szStr1, char* szStr2,
                                       char* szRoadAttr, VRO_FEATURE_ID& id, double& dEdgeLen,
                                       tagLonLat*& pPts);
/// Drops the found route.
VRO_API void VroRouteReset(VRO_ROUTE*);
/// Later searches do not use feature id.
VRO_API void VroRouteAddBlockEdge(VRO_ROUTE*, const VRO_FEATURE_ID& id);
/// Every blocked feature is usable again.
VRO_API void VroRouteRemoveAllBlockEdge(VRO_ROUTE*);

/// Opens a route engine on the road network of a reader from VroReaderOpen;
/// null on failure (also for a handle our VroReaderOpen did not give). The
/// caller owns it and closes it before the reader. On a compiled map the
/// engine uses the stored route graph, builds nothing and allocates its work
/// arrays at the first query; on an imported map it builds its graph here.
/// This engine's VroRouteFindPath: szRouteArg "fastest" (default, also null
/// or "") or "shortest", any other text finds nothing; dRouteArg1 a penalty
/// per turn of more than 45 degrees and dRouteArg2 a penalty for turning back
/// at a dead end, in seconds (fastest) or metres (shortest); szEndName unused.
/// Routes honour one-way marks, the forbidden turns (the reader's "TRN") and
/// the turn restrictions over via ways, which the reader does not list: no
/// route drives a forbidden sequence of roads (docs/restrictions.md).
/// Start and target snap to the nearest road within 5000 m that lies in a
/// large part of the network (a strongly connected component of the
/// turn-aware graph of at least 1000 half-edges, or of half the largest
/// one's on smaller maps), and to a road of a small part (a parking aisle, a
/// piece cut off at the map's edge, a one-way into a dead end) only when the
/// point lies within 10 m of it; with dAngle >= 0 the start prefers a road
/// and direction within 45 degrees of it. The result is the number of edges
/// (0: start and target coincide), -1 when there is no route. A blocked
/// feature is not driven through; a target on one is reached on it. A start
/// on a blocked feature never goes on along it in the direction of travel
/// (dAngle; without one either way is taken): it turns back on the feature
/// where that may be driven, else starts on the nearest open road; with
/// neither there is no route.
/// Speed: a compiled map (vxnav build-map) holds a multi-level overlay of
/// the turn-aware graph for both modes, made for dRouteArg1 = dRouteArg2 = 0;
/// with those penalties a route across a country takes milliseconds, blocks
/// included. Other penalties are searched exactly without the overlay (an A*
/// that may take seconds on a country). An imported OpenStreetMap map of up
/// to 100,000 features gets its overlay built here (milliseconds for a town),
/// a larger one only its components.
VRO_API VRO_ROUTE* VroRouteOpen(VRO_READER* hReader);
/// Closes an engine from VroRouteOpen; null is ignored.
VRO_API void VroRouteClose(VRO_ROUTE*);

#endif
