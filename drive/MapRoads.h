// Roads read from the map reader: every road in a rectangle (for drawing) and
// the road that continues straight on at a junction (for a missed turn).
#ifndef VX_DRIVE_MAPROADS_H
#define VX_DRIVE_MAPROADS_H

#include <string>
#include <vector>

#include "drive/Directions.h"
#include "interfaces/VroTypes.h"

namespace vxdrive {

/// One road of the map as the reader delivers it.
struct MapRoad {
  VRO_FEATURE_ID id;           ///< the reader's feature identifier
  std::string sName;           ///< road name; may be empty
  int nClass;                  ///< road class 1 (motorway) to 7; 0 when unknown
  int nOneWay;                 ///< +1 first to last point only, -1 last to first only, 0 both
  std::vector<tagLonLat> pts;  ///< its points in degrees, at least one
};

/// Every road whose box meets the rectangle lo..hi (degrees), all classes.
/// Sets the reader's limits and search position.
std::vector<MapRoad> RoadsInRect(VRO_READER* hReader, const tagLonLat& lo, const tagLonLat& hi);

/// The road by which a vehicle arriving at ptJunction in direction dArrive
/// (degrees counterclockwise from east in the longitude/latitude plane) goes
/// straight on: of the roads with an end exactly at the junction (the
/// reader's integer point) that may be driven away from it and are not one of
/// the excluded features, the one whose first segment away from the junction
/// deviates least from dArrive, if that is at most dMaxDeviation degrees.
/// Its points are returned in the direction away from the junction; false
/// when no road qualifies.
bool StraightOnRoad(VRO_READER* hReader, const tagLonLat& ptJunction, double dArrive,
                    const std::vector<VRO_FEATURE_ID>& excluded, double dMaxDeviation,
                    MapRoad& road);

}  // namespace vxdrive

#endif
