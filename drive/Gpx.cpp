// GPX reading with pugixml: versions 1.0 and 1.1, tracks and routes, strict
// numbers, errors with line numbers.
#include "drive/Gpx.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <pugixml.hpp>
#include <sstream>

namespace vxdrive {

namespace {

// An element's name without its namespace prefix ("gpx:trkpt" -> "trkpt").
std::string_view LocalName(const pugi::xml_node& node) {
  std::string_view s = node.name();
  const std::size_t colon = s.find(':');
  return colon == std::string_view::npos ? s : s.substr(colon + 1);
}

std::string_view Trim(std::string_view s) {
  const char* ws = " \t\r\n";
  const std::size_t b = s.find_first_not_of(ws);
  if (b == std::string_view::npos) {
    return {};
  }
  return s.substr(b, s.find_last_not_of(ws) - b + 1);
}

// A decimal number that fills the whole text (spaces around it allowed).
bool ParseNumber(std::string_view s, double& d) {
  s = Trim(s);
  if (!s.empty() && s.front() == '+') {
    s.remove_prefix(1);
  }
  if (s.empty()) {
    return false;
  }
  const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), d);
  return ec == std::errc() && p == s.data() + s.size() && std::isfinite(d);
}

// Line (from 1) of a byte offset into the text.
long LineOf(std::string_view text, std::ptrdiff_t offset) {
  if (offset < 0) {
    return 0;
  }
  const std::size_t n = std::min(static_cast<std::size_t>(offset), text.size());
  return 1 + std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n), '\n');
}

std::string At(std::string_view text, const pugi::xml_node& node) {
  const long line = LineOf(text, node.offset_debug());
  return line > 0 ? "line " + std::to_string(line) + ": " : std::string();
}

// The first child element with the local name, or an empty node.
pugi::xml_node Child(const pugi::xml_node& node, std::string_view name) {
  for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
    if (c.type() == pugi::node_element && LocalName(c) == name) {
      return c;
    }
  }
  return {};
}

// Over the complexity limit: each optional element of a point read and
// checked in place, with its own message.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
bool ReadPoint(std::string_view text, const pugi::xml_node& node, GpxPoint& p,
               std::string& sError) {
  const std::string where = At(text, node);
  const std::string name(LocalName(node));
  double lat = 0;
  double lon = 0;
  const pugi::xml_attribute aLat = node.attribute("lat");
  const pugi::xml_attribute aLon = node.attribute("lon");
  if (!aLat || !ParseNumber(aLat.value(), lat) || lat < -90.0 || lat > 90.0) {
    sError = where + name + " without a valid lat attribute" +
             (aLat ? " (\"" + std::string(aLat.value()) + "\")" : std::string());
    return false;
  }
  if (!aLon || !ParseNumber(aLon.value(), lon) || lon < -180.0 || lon > 180.0) {
    sError = where + name + " without a valid lon attribute" +
             (aLon ? " (\"" + std::string(aLon.value()) + "\")" : std::string());
    return false;
  }
  p = GpxPoint{{lon, lat}, false, 0.0, false, 0.0, false, 0.0, -1.0};
  if (const pugi::xml_node t = Child(node, "time")) {
    if (!ParseIsoTime(Trim(t.child_value()), p.dTime)) {
      sError = At(text, t) + "time \"" + std::string(t.child_value()) + "\" does not parse";
      return false;
    }
    p.bHasTime = true;
  }
  if (const pugi::xml_node c = Child(node, "course")) {
    double d = 0;
    if (!ParseNumber(c.child_value(), d) || d < 0.0 || d > 360.0) {
      sError = At(text, c) + "course \"" + std::string(c.child_value()) +
               "\" is not a number of degrees from 0 to 360";
      return false;
    }
    p.dCourse = d == 360.0 ? 0.0 : d;
    p.bHasCourse = true;
  }
  // Speed, hdop and accuracy: numbers from 0; an accuracy may stand in the
  // point's extensions.
  pugi::xml_node accuracy = Child(node, "accuracy");
  if (const pugi::xml_node ext = Child(node, "extensions"); ext && !accuracy) {
    accuracy = Child(ext, "accuracy");
  }
  const std::pair<const char*, pugi::xml_node> measures[] = {
      {"speed", Child(node, "speed")}, {"hdop", Child(node, "hdop")}, {"accuracy", accuracy}};
  double values[3] = {-1.0, -1.0, -1.0};
  for (std::size_t i = 0; i < 3; ++i) {
    const pugi::xml_node m = measures[i].second;
    if (m && (!ParseNumber(m.child_value(), values[i]) || values[i] < 0 || values[i] >= 1e6)) {
      sError = At(text, m) + measures[i].first + " \"" + std::string(m.child_value()) +
               "\" is not a number from 0";
      return false;
    }
  }
  p.bHasSpeed = values[0] >= 0;
  p.dSpeed = p.bHasSpeed ? values[0] : 0.0;
  p.dAccuracy = values[2] >= 0 ? values[2] : values[1] >= 0 ? values[1] * kMetresPerHdop : -1.0;
  return true;
}

// Appends the points of every container/segment/point element of the root.
// Over the complexity limit: three nested element levels, each checked.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
bool CollectPoints(std::string_view text, const pugi::xml_node& root, std::string_view container,
                   std::string_view segment, std::string_view point, GpxTrack& track,
                   std::string& sError) {
  for (pugi::xml_node c = root.first_child(); c; c = c.next_sibling()) {
    if (c.type() != pugi::node_element || LocalName(c) != container) {
      continue;
    }
    // Routes hold their points directly; tracks through segments.
    auto readPoints = [&](const pugi::xml_node& parent) {
      for (pugi::xml_node p = parent.first_child(); p; p = p.next_sibling()) {
        if (p.type() == pugi::node_element && LocalName(p) == point) {
          GpxPoint gp{};
          if (!ReadPoint(text, p, gp, sError)) {
            return false;
          }
          track.points.push_back(gp);
        }
      }
      return true;
    };
    if (segment.empty()) {
      if (!readPoints(c)) {
        return false;
      }
      continue;
    }
    for (pugi::xml_node s = c.first_child(); s; s = s.next_sibling()) {
      if (s.type() == pugi::node_element && LocalName(s) == segment && !readPoints(s)) {
        return false;
      }
    }
  }
  return true;
}

// Reads exactly n decimal digits at s[pos].
bool Digits(std::string_view s, std::size_t pos, std::size_t n, int& value) {
  if (pos + n > s.size()) {
    return false;
  }
  value = 0;
  for (std::size_t i = pos; i < pos + n; ++i) {
    if (s[i] < '0' || s[i] > '9') {
      return false;
    }
    value = value * 10 + (s[i] - '0');
  }
  return true;
}

}  // namespace

bool ParseIsoTime(std::string_view s, double& dSeconds) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, se = 0;
  if (!Digits(s, 0, 4, y) || s.size() < 19 || s[4] != '-' || !Digits(s, 5, 2, mo) || s[7] != '-' ||
      !Digits(s, 8, 2, d) || (s[10] != 'T' && s[10] != 't' && s[10] != ' ') ||
      !Digits(s, 11, 2, h) || s[13] != ':' || !Digits(s, 14, 2, mi) || s[16] != ':' ||
      !Digits(s, 17, 2, se)) {
    return false;
  }
  const std::chrono::year_month_day date{std::chrono::year(y),
                                         std::chrono::month(static_cast<unsigned>(mo)),
                                         std::chrono::day(static_cast<unsigned>(d))};
  if (!date.ok() || h > 23 || mi > 59 || se > 60) {
    return false;
  }
  std::size_t pos = 19;
  double frac = 0.0;
  if (pos < s.size() && s[pos] == '.') {
    double scale = 0.1;
    ++pos;
    const std::size_t start = pos;
    for (; pos < s.size() && s[pos] >= '0' && s[pos] <= '9'; ++pos) {
      frac += (s[pos] - '0') * scale;
      scale *= 0.1;
    }
    if (pos == start) {
      return false;
    }
  }
  long long offset = 0;
  if (pos < s.size() && (s[pos] == 'Z' || s[pos] == 'z')) {
    ++pos;
  } else if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) {
    int oh = 0, om = 0;
    if (!Digits(s, pos + 1, 2, oh) || pos + 3 >= s.size() || s[pos + 3] != ':' ||
        !Digits(s, pos + 4, 2, om) || oh > 23 || om > 59) {
      return false;
    }
    offset = (s[pos] == '+' ? 1 : -1) * (oh * 3600LL + om * 60LL);
    pos += 6;
  }
  if (pos != s.size()) {
    return false;
  }
  const long long days = std::chrono::sys_days(date).time_since_epoch().count();
  dSeconds = static_cast<double>(days * 86400 + h * 3600LL + mi * 60LL + se - offset) + frac;
  return true;
}

bool ParseGpx(std::string_view text, GpxTrack& track, std::string& sError) {
  pugi::xml_document doc;
  const pugi::xml_parse_result res = doc.load_buffer(text.data(), text.size());
  if (!res) {
    const long line = LineOf(text, res.offset);
    sError = "line " + std::to_string(line) + ": not well-formed XML (" + res.description() + ")";
    return false;
  }
  const pugi::xml_node root = doc.document_element();
  if (!root || LocalName(root) != "gpx") {
    sError = std::string("not a GPX file (the root element is <") + (root ? root.name() : "") +
             ">, not <gpx>)";
    return false;
  }
  std::string version = root.attribute("version").value();
  if (version.empty()) {
    const std::string ns = root.attribute("xmlns").value();
    if (ns == "http://www.topografix.com/GPX/1/0") {
      version = "1.0";
    } else if (ns == "http://www.topografix.com/GPX/1/1") {
      version = "1.1";
    }
  }
  if (version != "1.0" && version != "1.1") {
    sError = version.empty() ? "GPX without a version"
                             : "GPX version \"" + version + "\" is not supported (1.0 or 1.1)";
    return false;
  }
  GpxTrack out;
  out.sVersion = version;
  if (!CollectPoints(text, root, "trk", "trkseg", "trkpt", out, sError)) {
    return false;
  }
  if (out.points.empty()) {
    out.bFromRoute = true;
    if (!CollectPoints(text, root, "rte", "", "rtept", out, sError)) {
      return false;
    }
  }
  if (out.points.empty()) {
    sError = "no track or route points";
    return false;
  }
  track = std::move(out);
  return true;
}

bool ReadGpxFile(const std::string& sPath, GpxTrack& track, std::string& sError) {
  std::error_code ec;
  if (std::filesystem::is_directory(sPath, ec)) {
    sError = sPath + ": is a directory, not a GPX file";
    return false;
  }
  std::ifstream in(sPath, std::ios::binary);
  if (!in) {
    sError = sPath + ": cannot open the file";
    return false;
  }
  std::ostringstream ss;
  ss << in.rdbuf();
  if (in.bad()) {
    sError = sPath + ": cannot read the file";
    return false;
  }
  const std::string text = std::move(ss).str();
  if (!ParseGpx(text, track, sError)) {
    sError = sPath + ": " + sError;
    return false;
  }
  return true;
}

}  // namespace vxdrive
