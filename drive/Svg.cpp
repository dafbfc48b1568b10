// SVG drawing as an XML tree (pugixml), one function per layer: an
// equirectangular view scaled by the cosine of the mid latitude, so that the
// town keeps its shape.
#include "drive/Svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <map>
#include <numbers>
#include <optional>
#include <pugixml.hpp>
#include <sstream>
#include <string>

#include "drive/LabelPlacer.h"
#include "drive/Utf8.h"
#include "interfaces/VroGeo.h"

namespace vxdrive {

namespace {

constexpr double kMapSize = 1000.0;  // the longer side of the map area, px
constexpr double kPanel = 440.0;     // width of the text panel, px
constexpr double kPad = 20.0;
constexpr double kLabelFont = 12.0;  // px, the .lbl class
constexpr double kRoadFont = 10.0;   // px, road names
// Where along a stretch (from its middle, in stretch lengths) a road name may go.
constexpr double kAlong[] = {0.0, -0.2, 0.2, -0.35, 0.35};

// The label of an off-route or reroute marker.
std::string EventLabel(const DriveEvent& e) {
  return e.kind == LogKind::kOffRoute ? "off route, rerouted" : "rerouted";
}

std::string F(double d) {
  char sz[32];
  std::snprintf(sz, sizeof sz, "%.1f", std::isfinite(d) ? d : 0.0);
  return sz;
}

// Projection of the area lo..hi onto the map area.
class View {
 public:
  View(const tagLonLat& lo, const tagLonLat& hi) : m_lo(lo), m_hi(hi) {
    m_dCos = std::cos((lo.lat + hi.lat) * 0.5 * std::numbers::pi / 180.0);
    const double w = std::max((hi.lon - lo.lon) * m_dCos, 1e-9);
    const double h = std::max(hi.lat - lo.lat, 1e-9);
    m_dScale = kMapSize / std::max(w, h);
    m_dWidth = w * m_dScale;
    m_dHeight = h * m_dScale;
  }
  double X(const tagLonLat& p) const { return kPad + (p.lon - m_lo.lon) * m_dCos * m_dScale; }
  double Y(const tagLonLat& p) const { return kPad + (m_hi.lat - p.lat) * m_dScale; }
  std::string Points(const std::vector<tagLonLat>& pts) const {
    std::string s;
    for (const tagLonLat& p : pts) {
      s += F(X(p)) + "," + F(Y(p)) + " ";
    }
    return s;
  }
  double Width() const { return m_dWidth; }
  double Height() const { return m_dHeight; }
  // Pixels per metre, for the scale bar.
  double PixelsPerMetre() const {
    double dLon = 0, dLat = 0;
    GetUnitDegree({(m_lo.lon + m_hi.lon) / 2, (m_lo.lat + m_hi.lat) / 2}, dLon, dLat);
    return dLat * m_dScale;
  }

 private:
  tagLonLat m_lo, m_hi;
  double m_dCos = 1, m_dScale = 1, m_dWidth = 0, m_dHeight = 0;
};

const char* kRouteColours[] = {"#1f6fd1", "#e07b00", "#8e44ad", "#138d75", "#c0392b"};

std::string RouteColour(std::size_t i) {
  return kRouteColours[i % (sizeof kRouteColours / sizeof *kRouteColours)];
}

// Splits a text into lines of at most n characters at spaces.
std::vector<std::string> Wrap(const std::string& s, std::size_t n) {
  std::vector<std::string> lines;
  std::string line;
  std::size_t pos = 0;
  while (pos <= s.size()) {
    std::size_t sp = s.find(' ', pos);
    if (sp == std::string::npos) {
      sp = s.size();
    }
    const std::string word = s.substr(pos, sp - pos);
    if (!line.empty() && line.size() + 1 + word.size() > n) {
      lines.push_back(line);
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
    pos = sp + 1;
  }
  if (!line.empty()) {
    lines.push_back(line);
  }
  return lines;
}

// One line of the panel beside the map: a text with an optional swatch in
// front, a line in a colour or dots in colours.
struct PanelLine {
  std::string sClass;  // style class of the text
  std::string sText;
  std::string sLineColour;
  std::vector<std::string> dots;
};

std::string Clock(double t) {
  char sz[32];
  const long s = std::isfinite(t) && t >= 0 && t < 1e9 ? static_cast<long>(t) : 0;
  std::snprintf(sz, sizeof sz, "%ld:%02ld", s / 60, s % 60);
  return sz;
}

}  // namespace

bool RecordArea(const DriveRecord& record, double dMargin, tagLonLat& lo, tagLonLat& hi) {
  bool bAny = false;
  auto add = [&](const tagLonLat& p) {
    if (!bAny) {
      lo = hi = p;
      bAny = true;
    }
    lo = {std::min(lo.lon, p.lon), std::min(lo.lat, p.lat)};
    hi = {std::max(hi.lon, p.lon), std::max(hi.lat, p.lat)};
  };
  for (const RecordedRoute& r : record.routes) {
    std::for_each(r.pts.begin(), r.pts.end(), add);
  }
  for (const RecordedClosure& c : record.closures) {
    std::for_each(c.pts.begin(), c.pts.end(), add);
  }
  for (const RecordedFix& f : record.fixes) {
    add(f.pt);
  }
  if (!bAny) {
    return false;
  }
  double dLon = 0, dLat = 0;
  GetUnitDegree({(lo.lon + hi.lon) / 2, (lo.lat + hi.lat) / 2}, dLon, dLat);
  lo = {lo.lon - dMargin * dLon, lo.lat - dMargin * dLat};
  hi = {hi.lon + dMargin * dLon, hi.lat + dMargin * dLat};
  return true;
}

namespace {

using Node = pugi::xml_node;

// An element with its attributes, appended to parent. Texts are escaped by
// the tree; ValidUtf8 repairs names cut inside a character.
Node Add(Node parent, const char* szName,
         std::initializer_list<std::pair<const char*, std::string>> attrs) {
  Node n = parent.append_child(szName);
  for (const auto& [szKey, sValue] : attrs) {
    n.append_attribute(szKey) = sValue.c_str();
  }
  return n;
}

void AddText(Node parent, std::initializer_list<std::pair<const char*, std::string>> attrs,
             const std::string& sText) {
  Add(parent, "text", attrs).text() = ValidUtf8(sText).c_str();
}

// XML 1.0 allows no control characters besides tab and newlines.
std::string Printable(std::string s) {
  for (char& c : s) {
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n') {
      c = ' ';
    }
  }
  return s;
}

// The box around a road name drawn centred at (x, y), turned by dAngle
// degrees and raised 5 px off the road.
PixelBox RotatedBox(double x, double y, double dAngle, double dWidth) {
  const double a = dAngle * std::numbers::pi / 180.0;
  const double c = std::cos(a), s = std::sin(a);
  PixelBox box{x, y, x, y};
  for (const double u : {-dWidth / 2, dWidth / 2}) {
    for (const double w : {-5.0 - 0.8 * kRoadFont, -5.0 + 0.25 * kRoadFont}) {
      const double px = x + u * c - w * s, py = y + u * s + w * c;
      box = {std::min(box.x0, px), std::min(box.y0, py), std::max(box.x1, px),
             std::max(box.y1, py)};
    }
  }
  return box;
}

// The area to draw: the record's with a margin, at least 3:5 so that the
// roads around show.
View ChooseView(const DriveRecord& record) {
  tagLonLat lo{0, 0};
  tagLonLat hi{0, 0};
  if (!RecordArea(record, 120.0, lo, hi)) {
    lo = {-0.01, -0.01};
    hi = {0.01, 0.01};
  }
  const double dCos = std::cos((lo.lat + hi.lat) * 0.5 * std::numbers::pi / 180.0);
  const double dGrowLon = (hi.lat - lo.lat) * 0.6 / dCos - (hi.lon - lo.lon);
  const double dGrowLat = (hi.lon - lo.lon) * dCos * 0.6 - (hi.lat - lo.lat);
  if (dGrowLon > 0) {
    lo.lon -= dGrowLon / 2;
    hi.lon += dGrowLon / 2;
  }
  if (dGrowLat > 0) {
    lo.lat -= dGrowLat / 2;
    hi.lat += dGrowLat / 2;
  }
  return View(lo, hi);
}

void AddWrapped(std::vector<PanelLine>& panel, const std::string& sClass, const std::string& s) {
  const auto lines = Wrap(s, 58);
  for (std::size_t k = 0; k < lines.size(); ++k) {
    panel.push_back({sClass, (k ? "      " : "") + lines[k], "", {}});
  }
}

// The lines of the panel beside the map: legend, manoeuvres, events.
std::vector<PanelLine> PanelLines(const DriveRecord& record) {
  std::vector<PanelLine> panel;
  panel.push_back({"h", "vxnav drive", "", {}});
  for (std::size_t i = 0; i < record.routes.size(); ++i) {
    std::string sClass = "r";  // built in two steps: GCC 12 warns on "r" + to_string
    sClass += std::to_string(i % 5);
    panel.push_back({sClass,
                     record.routes[i].sLabel + " (" + F(record.routes[i].dLength / 1000.0) + " km)",
                     RouteColour(i),
                     {}});
  }
  panel.push_back({"k", "fix on the route and its match", "", {"#e03030", "#10a040"}});
  panel.push_back({"k", "fix off the route", "", {"#ff9900"}});
  if (!record.closures.empty()) {
    panel.push_back({"c", "closed road", "#d01010", {}});
  }
  panel.push_back({"", "", "", {}});
  panel.push_back({"h", "Manoeuvres", "", {}});
  for (const RecordedManoeuvre& m : record.manoeuvres) {
    AddWrapped(panel, "", std::to_string(m.nNumber) + "  " + Clock(m.dTime) + "  " + m.sText);
  }
  panel.push_back({"", "", "", {}});
  panel.push_back({"h", "Events", "", {}});
  for (const DriveEvent& e : record.events) {
    if (e.kind == LogKind::kAnnounce || e.kind == LogKind::kJunction || e.kind == LogKind::kFix) {
      continue;
    }
    const bool bWarn = e.kind == LogKind::kOffRoute || e.kind == LogKind::kClosure;
    AddWrapped(panel, bWarn ? "w" : "",
               Clock(e.dTime) + "  " + LogKindName(e.kind) + ": " + e.sText);
  }
  return panel;
}

std::string StyleSheet() {
  std::string s =
      "\n text{font-family:'DejaVu Sans',Arial,sans-serif;font-size:13px;fill:#222}\n"
      " .h{font-weight:bold;font-size:15px}\n"
      " .w{fill:#b03020}\n .k{fill:#555}\n .c{fill:#d01010;font-weight:bold}\n";
  for (std::size_t i = 0; i < 5; ++i) {
    s += " .r" + std::to_string(i) + "{fill:" + RouteColour(i) + ";font-weight:bold}\n";
  }
  return s +
         " .num{font-size:11px;font-weight:bold;text-anchor:middle;fill:#222}\n"
         " .lbl{font-size:12px;paint-order:stroke;stroke:#fff;stroke-width:3px}\n";
}

// The map's roads in grey, wider for the higher classes.
void DrawRoads(Node map, const View& v, const std::vector<MapRoad>& roads) {
  Node g = Add(map, "g", {{"stroke", "#c8c8c8"}});
  for (const MapRoad& r : roads) {
    const double dWidth = r.nClass >= 1 && r.nClass <= 4 ? 7.0 : r.nClass == 5 ? 5.5 : 4.0;
    Add(g, "polyline", {{"stroke-width", F(dWidth)}, {"points", v.Points(r.pts)}});
  }
}

// Road names, small, each along the longest stretch of its name in the
// picture (at its middle or off it) whose place no marker or label has
// taken; none when every place is.
void DrawRoadNames(Node map, const View& v, const std::vector<MapRoad>& roads,
                   LabelPlacer& placer) {
  Node g = Add(map, "g", {{"fill", "#8a8a8a"}, {"stroke", "none"}, {"font-size", "10"}});
  struct Stretch {
    double dLen, x, y, dAngle;
  };
  std::map<std::string, std::vector<Stretch>> stretches;
  for (const MapRoad& r : roads) {
    for (std::size_t i = 1; !r.sName.empty() && i < r.pts.size(); ++i) {
      const double x1 = v.X(r.pts[i - 1]), y1 = v.Y(r.pts[i - 1]);
      const double x2 = v.X(r.pts[i]), y2 = v.Y(r.pts[i]);
      const double x = (x1 + x2) / 2, y = (y1 + y2) / 2;
      if (x > kPad + 30 && x < kPad + v.Width() - 30 && y > kPad + 10 &&
          y < kPad + v.Height() - 10) {
        double dAngle = std::atan2(y2 - y1, x2 - x1) * 180.0 / std::numbers::pi;
        dAngle += dAngle > 90 ? -180 : dAngle < -90 ? 180 : 0;
        stretches[r.sName].push_back({std::hypot(x2 - x1, y2 - y1), x, y, dAngle});
      }
    }
  }
  for (auto& [sName, list] : stretches) {
    std::stable_sort(list.begin(), list.end(),
                     [](const Stretch& a, const Stretch& b) { return a.dLen > b.dLen; });
    const double dWidth = TextWidth(sName, kRoadFont);
    bool bPlaced = false;
    for (std::size_t i = 0; i < list.size() * std::size(kAlong) && !bPlaced; ++i) {
      // Each stretch from the longest on, at its middle first, then off it.
      const Stretch& l = list[i / std::size(kAlong)];
      const double dOff = kAlong[i % std::size(kAlong)] * l.dLen;
      const double a = l.dAngle * std::numbers::pi / 180.0;
      const double x = l.x + dOff * std::cos(a), y = l.y + dOff * std::sin(a);
      bPlaced = placer.TryTake(RotatedBox(x, y, l.dAngle, dWidth));
      if (bPlaced) {
        AddText(g,
                {{"style", "font-size:10px;fill:#8a8a8a"},
                 {"text-anchor", "middle"},
                 {"transform", "translate(" + F(x) + "," + F(y) + ") rotate(" + F(l.dAngle) + ")"},
                 {"dy", "-5"}},
                Printable(sName));
      }
    }
  }
}

// The planned route wide and pale, the rebuilt ones dashed; closed roads.
void DrawRoutes(Node map, const View& v, const DriveRecord& record) {
  for (std::size_t i = 0; i < record.routes.size(); ++i) {
    const bool bFirst = i == 0;
    Node line = Add(map, "polyline",
                    {{"stroke", RouteColour(i)},
                     {"stroke-width", bFirst ? "7" : "4"},
                     {"stroke-opacity", bFirst ? "0.45" : "0.85"}});
    if (!bFirst) {
      line.append_attribute("stroke-dasharray") = "10,5";
    }
    line.append_attribute("points") = v.Points(record.routes[i].pts).c_str();
  }
  for (const RecordedClosure& c : record.closures) {
    Add(map, "polyline",
        {{"stroke", "#d01010"},
         {"stroke-width", "9"},
         {"stroke-dasharray", "4,6"},
         {"points", v.Points(c.pts)}});
  }
}

// Fixes (red, orange off the route) with a thin line to their match (green).
// Off the route the match is only the library's fallback point: not drawn.
void DrawFixes(Node map, const View& v, const DriveRecord& record) {
  Node lines = Add(map, "g", {{"stroke", "#e03030"}, {"stroke-width", "0.8"}});
  Node dots = Add(map, "g", {{"stroke", "none"}});
  for (const RecordedFix& f : record.fixes) {
    const bool bOff = f.state == vxnav::RouteState::kOffRoute;
    const bool bMatch = f.bHasMatch && !bOff;
    if (bMatch) {
      Add(lines, "line",
          {{"x1", F(v.X(f.pt))},
           {"y1", F(v.Y(f.pt))},
           {"x2", F(v.X(f.ptMatch))},
           {"y2", F(v.Y(f.ptMatch))}});
    }
    Add(dots, "circle",
        {{"cx", F(v.X(f.pt))},
         {"cy", F(v.Y(f.pt))},
         {"r", "2.6"},
         {"fill", bOff ? "#ff9900" : "#e03030"}});
    if (bMatch) {
      Add(dots, "circle",
          {{"cx", F(v.X(f.ptMatch))},
           {"cy", F(v.Y(f.ptMatch))},
           {"r", "1.8"},
           {"fill", "#10a040"}});
    }
  }
}

// Markers with labels beside them: every marker is kept free first, then the
// labels are placed (manoeuvres, events, start and destination, closures),
// before the road names take what is left; drawn on top of the map.
class Markers {
 public:
  Markers(Node svg, const View& v, const DriveRecord& record) : m_svg(svg), m_v(v), m_rec(record) {
    for (const RecordedManoeuvre& m : record.manoeuvres) {
      Reserve(m.pt, 9);
    }
    for (std::size_t i = 0; i < record.events.size(); ++i) {
      if (IsEventMarker(i)) {
        Reserve(record.events[i].pt, 8);
      }
    }
    const bool bEnds = !record.routes.empty() && !record.routes[0].pts.empty();
    if (bEnds) {
      Reserve(record.routes[0].pts.front(), 9);
      Reserve(record.routes[0].pts.back(), 9);
    }
    for (const RecordedManoeuvre& m : record.manoeuvres) {
      m_labels.push_back({m.pt, Place(m.pt, 9, m.sClass), "lbl", m.sClass});
    }
    for (std::size_t i = 0; i < record.events.size(); ++i) {
      if (IsEventMarker(i)) {
        const std::string sText = EventLabel(record.events[i]);
        m_labels.push_back(
            {record.events[i].pt, Place(record.events[i].pt, 8, sText), "lbl w", sText});
      }
    }
    if (bEnds) {
      m_ptStart = record.routes[0].pts.front();
      m_ptEnd = record.routes[0].pts.back();
      m_labels.push_back({*m_ptStart, Place(*m_ptStart, 9, "start"), "lbl", "start"});
      m_labels.push_back({*m_ptEnd, Place(*m_ptEnd, 9, "destination"), "lbl", "destination"});
    }
    for (const RecordedClosure& c : record.closures) {
      PlaceClosureLabel(c);
    }
  }

  LabelPlacer& Placer() { return m_placer; }

  void Draw() {
    for (const Label& l : m_labels) {
      if (l.place.bLeader) {
        const double x = m_v.X(l.pt), y = m_v.Y(l.pt);
        Add(m_svg, "line",
            {{"x1", F(x)},
             {"y1", F(y)},
             {"x2", F(std::clamp(x, l.place.box.x0, l.place.box.x1))},
             {"y2", F(std::clamp(y, l.place.box.y0, l.place.box.y1))},
             {"stroke", "#777"},
             {"stroke-width", "0.8"}});
      }
    }
    if (m_ptStart) {
      Circle(*m_ptStart, "9", "#10a040", "#fff", "2");
      Add(m_svg, "rect",
          {{"x", F(m_v.X(*m_ptEnd) - 8)},
           {"y", F(m_v.Y(*m_ptEnd) - 8)},
           {"width", "16"},
           {"height", "16"},
           {"fill", "#222"},
           {"stroke", "#fff"},
           {"stroke-width", "2"}});
    }
    for (std::size_t i = 0; i < m_rec.events.size(); ++i) {
      if (IsEventMarker(i)) {
        const DriveEvent& e = m_rec.events[i];
        const bool bOff = e.kind == LogKind::kOffRoute;
        Circle(e.pt, "8", bOff ? "#ffdd33" : "#ffffff", "#b03020", "2");
        Number(e.pt, bOff ? "!" : "R");
      }
    }
    for (const RecordedManoeuvre& m : m_rec.manoeuvres) {
      Circle(m.pt, "9", "#fff", "#222", "1.5");
      Number(m.pt, std::to_string(m.nNumber));
    }
    for (const Label& l : m_labels) {
      Node t = Add(m_svg, "text", {{"class", l.szClass}, {"x", F(l.place.x)}, {"y", F(l.place.y)}});
      if (l.bMiddle || l.place.bEndAnchor) {
        t.append_attribute("text-anchor") = l.bMiddle ? "middle" : "end";
      }
      t.text() = ValidUtf8(Printable(l.sText)).c_str();
    }
  }

 private:
  struct Label {
    tagLonLat pt;  // the marker's point
    LabelPlace place;
    const char* szClass;
    std::string sText;
    bool bMiddle = false;  // centred on place.x
  };

  bool IsEventMarker(std::size_t i) const {
    const DriveEvent& e = m_rec.events[i];
    // A reroute right after its off-route shares the off-route's marker.
    const bool bFollows = i > 0 && m_rec.events[i - 1].kind == LogKind::kOffRoute &&
                          m_rec.events[i - 1].dTime == e.dTime;
    return e.kind == LogKind::kOffRoute || (e.kind == LogKind::kReroute && !bFollows);
  }
  void Reserve(const tagLonLat& pt, double r) {
    m_placer.Reserve({m_v.X(pt) - r, m_v.Y(pt) - r, m_v.X(pt) + r, m_v.Y(pt) + r});
  }
  LabelPlace Place(const tagLonLat& pt, double r, const std::string& sText) {
    return m_placer.Place(m_v.X(pt), m_v.Y(pt), r, TextWidth(sText, kLabelFont), kLabelFont);
  }
  // "closed" centred above the middle of each closed road, else beside it.
  void PlaceClosureLabel(const RecordedClosure& c) {
    if (c.pts.empty()) {
      return;
    }
    const tagLonLat& a = c.pts[(c.pts.size() - 1) / 2];
    const tagLonLat& b = c.pts[c.pts.size() / 2];
    const tagLonLat p = {(a.lon + b.lon) / 2, (a.lat + b.lat) / 2};
    const double w = TextWidth("closed", kLabelFont);
    const double x = m_v.X(p), y = m_v.Y(p) - 9;
    const PixelBox box{x - w / 2, y - kLabelFont * 0.8, x + w / 2, y + kLabelFont * 0.25};
    if (m_placer.TryTake(box)) {
      m_labels.push_back({p, {x, y, false, box, false}, "lbl c", "closed", true});
    } else {
      m_labels.push_back({p, Place(p, 4, "closed"), "lbl c", "closed"});
    }
  }
  void Circle(const tagLonLat& pt, const char* r, const char* fill, const char* stroke,
              const char* width) {
    Add(m_svg, "circle",
        {{"cx", F(m_v.X(pt))},
         {"cy", F(m_v.Y(pt))},
         {"r", r},
         {"fill", fill},
         {"stroke", stroke},
         {"stroke-width", width}});
  }
  void Number(const tagLonLat& pt, const std::string& s) {
    AddText(m_svg, {{"class", "num"}, {"x", F(m_v.X(pt))}, {"y", F(m_v.Y(pt) + 4)}}, s);
  }

  Node m_svg;
  const View& m_v;
  const DriveRecord& m_rec;
  LabelPlacer m_placer;
  std::vector<Label> m_labels;
  std::optional<tagLonLat> m_ptStart, m_ptEnd;
};

// A 200 m scale bar under the map.
void DrawScaleBar(Node svg, const View& v) {
  const double dBar = 200.0 * v.PixelsPerMetre();
  const double yBar = v.Height() + kPad + 22;
  Add(svg, "line",
      {{"x1", F(kPad)},
       {"y1", F(yBar)},
       {"x2", F(kPad + dBar)},
       {"y2", F(yBar)},
       {"stroke", "#222"},
       {"stroke-width", "3"}});
  AddText(svg, {{"x", F(kPad + dBar + 8)}, {"y", F(yBar + 4)}}, "200 m");
}

void DrawPanel(Node svg, double x0, const std::vector<PanelLine>& panel, double dLine) {
  double y = kPad + 14;
  for (const PanelLine& line : panel) {
    double x = x0;
    if (!line.sLineColour.empty()) {
      Add(svg, "line",
          {{"x1", F(x)},
           {"y1", F(y - 4)},
           {"x2", F(x + 24)},
           {"y2", F(y - 4)},
           {"stroke", line.sLineColour},
           {"stroke-width", "5"}});
      x += 32;
    }
    for (std::size_t k = 0; k < line.dots.size(); ++k) {
      Add(svg, "circle",
          {{"cx", F(x + 5 + 12.0 * static_cast<double>(k))},
           {"cy", F(y - 4)},
           {"r", "4"},
           {"fill", line.dots[k]}});
    }
    x += line.dots.empty() ? 0 : 32;
    if (!line.sText.empty()) {
      Node t = Add(svg, "text", {});
      if (!line.sClass.empty()) {
        t.append_attribute("class") = line.sClass.c_str();
      }
      t.append_attribute("x") = F(x).c_str();
      t.append_attribute("y") = F(y).c_str();
      t.text() = ValidUtf8(Printable(line.sText)).c_str();
    }
    y += dLine;
  }
}

}  // namespace

void WriteSvg(const DriveRecord& record, const std::vector<MapRoad>& roads, std::ostream& out) {
  const View v = ChooseView(record);
  const double dMapW = v.Width() + 2 * kPad;
  const double dW = dMapW + kPanel;
  // The panel's lines decide its height; the picture is as tall as the
  // taller of map and panel.
  const std::vector<PanelLine> panel = PanelLines(record);
  const double dLine = 18.0;
  const double dH =
      std::max(v.Height() + 2 * kPad + 30, kPad * 2 + dLine * static_cast<double>(panel.size()));

  pugi::xml_document doc;
  Node decl = doc.append_child(pugi::node_declaration);
  decl.append_attribute("version") = "1.0";
  decl.append_attribute("encoding") = "UTF-8";
  Node svg = Add(doc, "svg",
                 {{"xmlns", "http://www.w3.org/2000/svg"},
                  {"version", "1.1"},
                  {"width", F(dW)},
                  {"height", F(dH)},
                  {"viewBox", "0 0 " + F(dW) + " " + F(dH)}});
  Add(svg, "style", {}).text() = StyleSheet().c_str();
  Add(svg, "rect", {{"width", "100%"}, {"height", "100%"}, {"fill", "#fbfaf6"}});
  Add(Add(svg, "clipPath", {{"id", "map"}}), "rect",
      {{"x", F(kPad)}, {"y", F(kPad)}, {"width", F(v.Width())}, {"height", F(v.Height())}});
  Add(svg, "rect",
      {{"x", F(kPad)},
       {"y", F(kPad)},
       {"width", F(v.Width())},
       {"height", F(v.Height())},
       {"fill", "#ffffff"},
       {"stroke", "#bbb"}});
  Node map = Add(svg, "g",
                 {{"clip-path", "url(#map)"},
                  {"fill", "none"},
                  {"stroke-linecap", "round"},
                  {"stroke-linejoin", "round"}});
  Markers markers(svg, v, record);  // labels placed first: the road names take what is left
  DrawRoads(map, v, roads);
  DrawRoadNames(map, v, roads, markers.Placer());
  DrawRoutes(map, v, record);
  DrawFixes(map, v, record);
  markers.Draw();
  DrawScaleBar(svg, v);
  DrawPanel(svg, dMapW + 10, panel, dLine);
  doc.save(out, " ", pugi::format_default, pugi::encoding_utf8);
}

}  // namespace vxdrive
