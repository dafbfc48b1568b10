// SVG drawing: an equirectangular view scaled by the cosine of the mid
// latitude, so that the town keeps its shape.
#include "drive/Svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <numbers>
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

// The label of an off-route or reroute marker.
std::string EventLabel(const DriveEvent& e) {
  return e.sKind == "off-route" ? "off route, rerouted" : "rerouted";
}

std::string Xml(const std::string& s) {
  std::string out;
  for (const char c : ValidUtf8(s)) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        // XML 1.0 allows no control characters besides tab and newlines.
        out += static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' ? ' ' : c;
    }
  }
  return out;
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

void WriteSvg(const DriveRecord& record, const std::vector<MapRoad>& roads, std::ostream& out) {
  tagLonLat lo{0, 0};
  tagLonLat hi{0, 0};
  if (!RecordArea(record, 120.0, lo, hi)) {
    lo = {-0.01, -0.01};
    hi = {0.01, 0.01};
  }
  // A long thin area becomes at least 3:5, so that the roads around show.
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
  const View v(lo, hi);
  const double dMapW = v.Width() + 2 * kPad;
  const double dW = dMapW + kPanel;
  // The panel's lines decide its height; the picture is as tall as the
  // taller of map and panel.
  std::vector<PanelLine> panel;
  panel.push_back({"h", "vxnav drive", "", {}});
  for (std::size_t i = 0; i < record.routes.size(); ++i) {
    std::string sClass = "r";
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
    const auto lines = Wrap(std::to_string(m.nNumber) + "  " + Clock(m.dTime) + "  " + m.sText, 58);
    for (std::size_t k = 0; k < lines.size(); ++k) {
      panel.push_back({"", (k ? "      " : "") + lines[k], "", {}});
    }
  }
  panel.push_back({"", "", "", {}});
  panel.push_back({"h", "Events", "", {}});
  for (const DriveEvent& e : record.events) {
    if (e.sKind == "announce" || e.sKind == "junction" || e.sKind == "fix") {
      continue;
    }
    const auto lines = Wrap(Clock(e.dTime) + "  " + e.sKind + ": " + e.sText, 58);
    for (std::size_t k = 0; k < lines.size(); ++k) {
      panel.push_back({e.sKind == "off-route" || e.sKind == "closure" ? "w" : "",
                       (k ? "      " : "") + lines[k],
                       "",
                       {}});
    }
  }
  const double dLine = 18.0;
  const double dH = std::max(v.Height() + 2 * kPad + 30, kPad * 2 + dLine * panel.size());

  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" << F(dW)
      << "\" height=\"" << F(dH) << "\" viewBox=\"0 0 " << F(dW) << " " << F(dH) << "\">\n"
      << "<style>\n"
      << " text{font-family:'DejaVu Sans',Arial,sans-serif;font-size:13px;fill:#222}\n"
      << " .h{font-weight:bold;font-size:15px}\n"
      << " .w{fill:#b03020}\n .k{fill:#555}\n .c{fill:#d01010;font-weight:bold}\n";
  for (std::size_t i = 0; i < 5; ++i) {
    out << " .r" << i << "{fill:" << RouteColour(i) << ";font-weight:bold}\n";
  }
  out << " .num{font-size:11px;font-weight:bold;text-anchor:middle;fill:#222}\n"
      << " .lbl{font-size:12px;paint-order:stroke;stroke:#fff;stroke-width:3px}\n"
      << "</style>\n"
      << "<rect width=\"100%\" height=\"100%\" fill=\"#fbfaf6\"/>\n"
      << "<clipPath id=\"map\"><rect x=\"" << F(kPad) << "\" y=\"" << F(kPad) << "\" width=\""
      << F(v.Width()) << "\" height=\"" << F(v.Height()) << "\"/></clipPath>\n"
      << "<rect x=\"" << F(kPad) << "\" y=\"" << F(kPad) << "\" width=\"" << F(v.Width())
      << "\" height=\"" << F(v.Height()) << "\" fill=\"#ffffff\" stroke=\"#bbb\"/>\n"
      << "<g clip-path=\"url(#map)\" fill=\"none\" stroke-linecap=\"round\" "
         "stroke-linejoin=\"round\">\n";
  // Roads: wider for the higher classes.
  out << "<g stroke=\"#c8c8c8\">\n";
  for (const MapRoad& r : roads) {
    const double dWidth = r.nClass >= 1 && r.nClass <= 4 ? 7.0 : r.nClass == 5 ? 5.5 : 4.0;
    out << "<polyline stroke-width=\"" << F(dWidth) << "\" points=\"" << v.Points(r.pts)
        << "\"/>\n";
  }
  out << "</g>\n";
  // Road names, small, along the longest stretch of each name in the picture.
  out << "<g fill=\"#8a8a8a\" stroke=\"none\" font-size=\"10\">\n";
  struct Label {
    double dLen = 0, x = 0, y = 0, dAngle = 0;
  };
  std::map<std::string, Label> labels;
  for (const MapRoad& r : roads) {
    for (std::size_t i = 1; !r.sName.empty() && i < r.pts.size(); ++i) {
      const double x1 = v.X(r.pts[i - 1]), y1 = v.Y(r.pts[i - 1]);
      const double x2 = v.X(r.pts[i]), y2 = v.Y(r.pts[i]);
      const double x = (x1 + x2) / 2, y = (y1 + y2) / 2;
      const double dLen = std::hypot(x2 - x1, y2 - y1);
      Label& l = labels[r.sName];
      if (dLen > l.dLen && x > kPad + 30 && x < kPad + v.Width() - 30 && y > kPad + 10 &&
          y < kPad + v.Height() - 10) {
        double dAngle = std::atan2(y2 - y1, x2 - x1) * 180.0 / std::numbers::pi;
        dAngle += dAngle > 90 ? -180 : dAngle < -90 ? 180 : 0;
        l = {dLen, x, y, dAngle};
      }
    }
  }
  for (const auto& [sName, l] : labels) {
    if (l.dLen > 0) {
      out << "<text style=\"font-size:10px;fill:#8a8a8a\" text-anchor=\"middle\" "
             "transform=\"translate("
          << F(l.x) << "," << F(l.y) << ") rotate(" << F(l.dAngle) << ")\" dy=\"-5\">" << Xml(sName)
          << "</text>\n";
    }
  }
  out << "</g>\n";
  for (std::size_t i = 0; i < record.routes.size(); ++i) {
    const bool bFirst = i == 0;
    out << "<polyline stroke=\"" << RouteColour(i) << "\" stroke-width=\"" << (bFirst ? 7 : 4)
        << "\" stroke-opacity=\"" << (bFirst ? "0.45" : "0.85") << "\""
        << (bFirst ? "" : " stroke-dasharray=\"10,5\"") << " points=\""
        << v.Points(record.routes[i].pts) << "\"/>\n";
  }
  for (const RecordedClosure& c : record.closures) {
    out << "<polyline stroke=\"#d01010\" stroke-width=\"9\" stroke-dasharray=\"4,6\" points=\""
        << v.Points(c.pts) << "\"/>\n";
  }
  // Fixes with a thin line to their match.
  out << "<g stroke=\"#e03030\" stroke-width=\"0.8\">\n";
  for (const RecordedFix& f : record.fixes) {
    // An off-route match is only the library's fallback point: no line.
    if (f.bHasMatch && f.nResult != 3) {
      out << "<line x1=\"" << F(v.X(f.pt)) << "\" y1=\"" << F(v.Y(f.pt)) << "\" x2=\""
          << F(v.X(f.ptMatch)) << "\" y2=\"" << F(v.Y(f.ptMatch)) << "\"/>\n";
    }
  }
  out << "</g>\n<g stroke=\"none\">\n";
  for (const RecordedFix& f : record.fixes) {
    out << "<circle cx=\"" << F(v.X(f.pt)) << "\" cy=\"" << F(v.Y(f.pt)) << "\" r=\"2.6\" fill=\""
        << (f.nResult == 3 ? "#ff9900" : "#e03030") << "\"/>\n";
    if (f.bHasMatch && f.nResult != 3) {
      out << "<circle cx=\"" << F(v.X(f.ptMatch)) << "\" cy=\"" << F(v.Y(f.ptMatch))
          << "\" r=\"1.8\" fill=\"#10a040\"/>\n";
    }
  }
  out << "</g>\n</g>\n";
  // Labels beside the markers: every marker is kept free first, then the
  // manoeuvres' labels are placed, then the others.
  const bool bEnds = !record.routes.empty() && !record.routes[0].pts.empty();
  const tagLonLat ptStart = bEnds ? record.routes[0].pts.front() : tagLonLat{0, 0};
  const tagLonLat ptEnd = bEnds ? record.routes[0].pts.back() : tagLonLat{0, 0};
  const auto IsEventMarker = [&](std::size_t i) {
    const DriveEvent& e = record.events[i];
    // A reroute right after its off-route shares the off-route's marker.
    const bool bFollows =
        i > 0 && record.events[i - 1].sKind == "off-route" && record.events[i - 1].dTime == e.dTime;
    return e.sKind == "off-route" || (e.sKind == "reroute" && !bFollows);
  };
  LabelPlacer placer;
  const auto Marker = [&](const tagLonLat& pt, double r) {
    placer.Reserve({v.X(pt) - r, v.Y(pt) - r, v.X(pt) + r, v.Y(pt) + r});
  };
  for (const RecordedManoeuvre& m : record.manoeuvres) {
    Marker(m.pt, 9);
  }
  for (std::size_t i = 0; i < record.events.size(); ++i) {
    if (IsEventMarker(i)) {
      Marker(record.events[i].pt, 8);
    }
  }
  if (bEnds) {
    Marker(ptStart, 9);
    Marker(ptEnd, 9);
  }
  const auto PlaceLabel = [&](const tagLonLat& pt, double r, const std::string& sText) {
    return placer.Place(v.X(pt), v.Y(pt), r, TextWidth(sText, kLabelFont), kLabelFont);
  };
  const auto LabelText = [&](const LabelPlace& p, const std::string& sClass,
                             const std::string& sText) {
    out << "<text class=\"" << sClass << "\" x=\"" << F(p.x) << "\" y=\"" << F(p.y) << "\""
        << (p.bEndAnchor ? " text-anchor=\"end\"" : "") << ">" << Xml(sText) << "</text>\n";
  };
  std::vector<LabelPlace> manoeuvreLabels;
  for (const RecordedManoeuvre& m : record.manoeuvres) {
    manoeuvreLabels.push_back(PlaceLabel(m.pt, 9, m.sClass));
  }
  std::vector<LabelPlace> eventLabels(record.events.size(), LabelPlace{0, 0, false});
  for (std::size_t i = 0; i < record.events.size(); ++i) {
    if (IsEventMarker(i)) {
      eventLabels[i] = PlaceLabel(record.events[i].pt, 8, EventLabel(record.events[i]));
    }
  }
  // Start and destination of the planned route.
  if (bEnds) {
    out << "<circle cx=\"" << F(v.X(ptStart)) << "\" cy=\"" << F(v.Y(ptStart))
        << "\" r=\"9\" fill=\"#10a040\" stroke=\"#fff\" stroke-width=\"2\"/>\n";
    LabelText(PlaceLabel(ptStart, 9, "start"), "lbl", "start");
    out << "<rect x=\"" << F(v.X(ptEnd) - 8) << "\" y=\"" << F(v.Y(ptEnd) - 8)
        << "\" width=\"16\" height=\"16\" fill=\"#222\" stroke=\"#fff\" stroke-width=\"2\"/>\n";
    LabelText(PlaceLabel(ptEnd, 9, "destination"), "lbl", "destination");
  }
  for (const RecordedClosure& c : record.closures) {
    if (!c.pts.empty()) {
      // Halfway along the middle stretch of the closed road.
      const tagLonLat& a = c.pts[(c.pts.size() - 1) / 2];
      const tagLonLat& b = c.pts[c.pts.size() / 2];
      const tagLonLat p = {(a.lon + b.lon) / 2, (a.lat + b.lat) / 2};
      out << "<text class=\"lbl c\" text-anchor=\"middle\" x=\"" << F(v.X(p)) << "\" y=\""
          << F(v.Y(p) - 9) << "\">closed</text>\n";
    }
  }
  for (std::size_t i = 0; i < record.events.size(); ++i) {
    const DriveEvent& e = record.events[i];
    if (IsEventMarker(i)) {
      const bool bOff = e.sKind == "off-route";
      out << "<circle cx=\"" << F(v.X(e.pt)) << "\" cy=\"" << F(v.Y(e.pt)) << "\" r=\"8\" fill=\""
          << (bOff ? "#ffdd33" : "#ffffff") << "\" stroke=\"#b03020\" stroke-width=\"2\"/>\n"
          << "<text class=\"num\" x=\"" << F(v.X(e.pt)) << "\" y=\"" << F(v.Y(e.pt) + 4) << "\">"
          << (bOff ? "!" : "R") << "</text>\n";
      LabelText(eventLabels[i], "lbl w", EventLabel(e));
    }
  }
  for (std::size_t i = 0; i < record.manoeuvres.size(); ++i) {
    const RecordedManoeuvre& m = record.manoeuvres[i];
    out << "<circle cx=\"" << F(v.X(m.pt)) << "\" cy=\"" << F(v.Y(m.pt))
        << "\" r=\"9\" fill=\"#fff\" stroke=\"#222\" stroke-width=\"1.5\"/>\n"
        << "<text class=\"num\" x=\"" << F(v.X(m.pt)) << "\" y=\"" << F(v.Y(m.pt) + 4) << "\">"
        << m.nNumber << "</text>\n";
    LabelText(manoeuvreLabels[i], "lbl", m.sClass);
  }
  // Scale bar: 200 m.
  const double dBar = 200.0 * v.PixelsPerMetre();
  const double yBar = v.Height() + kPad + 22;
  out << "<line x1=\"" << F(kPad) << "\" y1=\"" << F(yBar) << "\" x2=\"" << F(kPad + dBar)
      << "\" y2=\"" << F(yBar) << "\" stroke=\"#222\" stroke-width=\"3\"/>\n"
      << "<text x=\"" << F(kPad + dBar + 8) << "\" y=\"" << F(yBar + 4) << "\">200 m</text>\n";
  // The panel.
  double y = kPad + 14;
  for (const PanelLine& line : panel) {
    double x = dMapW + 10;
    if (!line.sLineColour.empty()) {
      out << "<line x1=\"" << F(x) << "\" y1=\"" << F(y - 4) << "\" x2=\"" << F(x + 24)
          << "\" y2=\"" << F(y - 4) << "\" stroke=\"" << line.sLineColour
          << "\" stroke-width=\"5\"/>\n";
      x += 32;
    }
    if (!line.dots.empty()) {
      for (std::size_t k = 0; k < line.dots.size(); ++k) {
        out << "<circle cx=\"" << F(x + 5 + 12.0 * k) << "\" cy=\"" << F(y - 4)
            << "\" r=\"4\" fill=\"" << line.dots[k] << "\"/>\n";
      }
      x += 32;
    }
    if (!line.sText.empty()) {
      out << "<text" << (line.sClass.empty() ? "" : " class=\"" + line.sClass + "\"") << " x=\""
          << F(x) << "\" y=\"" << F(y) << "\">" << Xml(line.sText) << "</text>\n";
    }
    y += dLine;
  }
  out << "</svg>\n";
}

}  // namespace vxdrive
