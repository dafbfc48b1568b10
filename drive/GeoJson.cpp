// GeoJSON through nlohmann-json: one function per kind of feature.
#include "drive/GeoJson.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "drive/Utf8.h"

namespace vxdrive {

namespace {

using nlohmann::json;

// A coordinate to 7 decimals (about a centimetre); JSON has no NaN or
// infinity, so those become null.
json Coordinate(double d) { return std::isfinite(d) ? json(std::round(d * 1e7) / 1e7) : json(); }

json Position(const tagLonLat& pt) { return json::array({Coordinate(pt.lon), Coordinate(pt.lat)}); }

// A number rounded to nDecimals, or null.
json Number(double d, int nDecimals) {
  const double scale = std::pow(10.0, nDecimals);
  return std::isfinite(d) ? json(std::round(d * scale) / scale) : json();
}

json Text(const std::string& s) { return ValidUtf8(s); }

json Feature(json geometry, json properties) {
  return {{"type", "Feature"}, {"geometry", std::move(geometry)}, {"properties", properties}};
}

json Point(const tagLonLat& pt, json properties) {
  return Feature({{"type", "Point"}, {"coordinates", Position(pt)}}, std::move(properties));
}

// A LineString needs two or more positions: shorter lines are left out.
void AddLine(json& features, const std::vector<tagLonLat>& pts, json properties) {
  if (pts.size() < 2) {
    return;
  }
  json coords = json::array();
  for (const tagLonLat& p : pts) {
    coords.push_back(Position(p));
  }
  features.push_back(
      Feature({{"type", "LineString"}, {"coordinates", std::move(coords)}}, std::move(properties)));
}

const char* StateName(vxnav::RouteState state) {
  switch (state) {
    case vxnav::RouteState::kOnRoute:
      return "on route";
    case vxnav::RouteState::kArrived:
      return "arrived";
    case vxnav::RouteState::kOffRoute:
      return "off route";
    case vxnav::RouteState::kNoRoute:
      return "no match";
  }
  return "no match";
}

void AddRoutes(json& features, const DriveRecord& record) {
  for (const RecordedRoute& r : record.routes) {
    AddLine(features, r.pts,
            {{"kind", "route"},
             {"label", Text(r.sLabel)},
             {"time", Number(r.dTime, 0)},
             {"length_m", Number(r.dLength, 1)}});
  }
}

void AddClosures(json& features, const DriveRecord& record) {
  for (const RecordedClosure& c : record.closures) {
    AddLine(features, c.pts,
            {{"kind", "closure"}, {"road", Text(c.sRoad)}, {"time", Number(c.dTime, 0)}});
  }
}

void AddFixes(json& features, const DriveRecord& record) {
  for (const RecordedFix& f : record.fixes) {
    features.push_back(Point(f.pt, {{"kind", "fix"},
                                    {"time", Number(f.dTime, 0)},
                                    {"heading", f.dHeading < 0 ? json() : Number(f.dHeading, 1)},
                                    {"result", StateName(f.state)}}));
  }
  for (const RecordedFix& f : record.fixes) {
    if (f.bHasMatch) {
      features.push_back(
          Point(f.ptMatch,
                {{"kind", "match"}, {"time", Number(f.dTime, 0)}, {"result", StateName(f.state)}}));
    }
  }
}

void AddManoeuvres(json& features, const DriveRecord& record) {
  for (const RecordedManoeuvre& m : record.manoeuvres) {
    features.push_back(Point(m.pt, {{"kind", "manoeuvre"},
                                    {"number", m.nNumber},
                                    {"time", Number(m.dTime, 0)},
                                    {"class", Text(m.sClass)},
                                    {"text", Text(m.sText)},
                                    {"junction", Text(m.sJunction)}}));
  }
}

void AddEvents(json& features, const DriveRecord& record) {
  for (const DriveEvent& e : record.events) {
    if (e.kind == LogKind::kOffRoute || e.kind == LogKind::kReroute ||
        e.kind == LogKind::kClosure || e.kind == LogKind::kArrive) {
      features.push_back(Point(e.pt, {{"kind", "event"},
                                      {"event", LogKindName(e.kind)},
                                      {"time", Number(e.dTime, 0)},
                                      {"text", Text(e.sText)}}));
    }
  }
}

}  // namespace

std::string JsonString(const std::string& s) {
  return json(ValidUtf8(s)).dump(-1, ' ', false, json::error_handler_t::replace);
}

void WriteGeoJson(const DriveRecord& record, std::ostream& out) {
  json features = json::array();
  AddRoutes(features, record);
  AddClosures(features, record);
  AddFixes(features, record);
  AddManoeuvres(features, record);
  AddEvents(features, record);
  const json doc = {{"type", "FeatureCollection"}, {"features", std::move(features)}};
  out << doc.dump(-1, ' ', false, json::error_handler_t::replace) << "\n";
}

}  // namespace vxdrive
