// The drive as GeoJSON (RFC 7946): one FeatureCollection with the routes, the
// closed roads, the fixes, the matched points, the manoeuvres and the events.
#ifndef VX_DRIVE_GEOJSON_H
#define VX_DRIVE_GEOJSON_H

#include <ostream>
#include <string>

#include "drive/DriveRecord.h"

namespace vxdrive {

/// Writes the record as a GeoJSON FeatureCollection. Every feature has a
/// "kind" property: "route" (LineString; "label", "time", "length_m"),
/// "closure" (LineString; "road"), "fix" (Point; "time", "heading",
/// "result"), "match" (Point; "time"), "manoeuvre" (Point; "number",
/// "class", "text", "junction"), "event" (Point; "event", "text", "time").
/// Coordinates are [longitude, latitude] with 7 decimals.
void WriteGeoJson(const DriveRecord& record, std::ostream& out);

/// Escapes a text as a JSON string, quotes included.
std::string JsonString(const std::string& s);

}  // namespace vxdrive

#endif
