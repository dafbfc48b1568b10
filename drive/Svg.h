// The drive as a picture: the map's roads in grey, the routes, the fixes and
// their matches, the manoeuvres and events, with a legend beside the map.
#ifndef VX_DRIVE_SVG_H
#define VX_DRIVE_SVG_H

#include <ostream>
#include <vector>

#include "drive/DriveRecord.h"
#include "drive/MapRoads.h"

namespace vxdrive {

/// Writes an SVG 1.1 document: the area of the routes and fixes (with a
/// margin) drawn to scale, north up, and a panel listing the manoeuvres and
/// events. roads are the map's roads to draw in grey (those outside the area
/// are clipped by the picture).
void WriteSvg(const DriveRecord& record, const std::vector<MapRoad>& roads, std::ostream& out);

/// The area an SVG of the record shows: the box of its routes, closures and
/// fixes, widened by dMargin metres; false when the record has no point.
bool RecordArea(const DriveRecord& record, double dMargin, tagLonLat& lo, tagLonLat& hi);

}  // namespace vxdrive

#endif
