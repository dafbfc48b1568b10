// GeoJSON writing by hand: the structure is small and fixed.
#include "drive/GeoJson.h"

#include <cmath>
#include <cstdio>

#include "drive/Utf8.h"

namespace vxdrive {

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (const char ch : ValidUtf8(s)) {
    const auto c = static_cast<unsigned char>(ch);
    if (ch == '"' || ch == '\\') {
      out += '\\';
      out += ch;
    } else if (c < 0x20) {
      char sz[8];
      std::snprintf(sz, sizeof sz, "\\u%04x", c);
      out += sz;
    } else {
      out += ch;
    }
  }
  return out + "\"";
}

namespace {

// A JSON number; JSON has no NaN or infinity, so those become null.
std::string Num(double d, int nDecimals) {
  if (!std::isfinite(d)) {
    return "null";
  }
  char sz[64];
  std::snprintf(sz, sizeof sz, "%.*f", nDecimals, d);
  return sz;
}

std::string Position(const tagLonLat& pt) {
  std::string s = Num(pt.lon, 7);
  s.insert(0, 1, '[');
  s += ',';
  s += Num(pt.lat, 7);
  s += ']';
  return s;
}

// Writes the features one by one with the commas between them.
class FeatureWriter {
 public:
  explicit FeatureWriter(std::ostream& out) : m_out(out) {
    m_out << "{\"type\":\"FeatureCollection\",\"features\":[";
  }
  ~FeatureWriter() { m_out << "\n]}\n"; }
  FeatureWriter(const FeatureWriter&) = delete;
  FeatureWriter& operator=(const FeatureWriter&) = delete;

  void Point(const tagLonLat& pt, const std::string& sProps) {
    Feature("{\"type\":\"Point\",\"coordinates\":" + Position(pt) + "}", sProps);
  }

  void Line(const std::vector<tagLonLat>& pts, const std::string& sProps) {
    if (pts.size() < 2) {
      return;  // a LineString needs two or more positions
    }
    std::string g = "{\"type\":\"LineString\",\"coordinates\":[";
    for (std::size_t i = 0; i < pts.size(); ++i) {
      if (i > 0) {
        g += ',';
      }
      g += Position(pts[i]);
    }
    Feature(g + "]}", sProps);
  }

 private:
  void Feature(const std::string& sGeometry, const std::string& sProps) {
    m_out << (m_bFirst ? "\n" : ",\n") << "{\"type\":\"Feature\",\"geometry\":" << sGeometry
          << ",\"properties\":{" << sProps << "}}";
    m_bFirst = false;
  }

  std::ostream& m_out;
  bool m_bFirst = true;
};

std::string Prop(const char* szName, const std::string& sJson) {
  return std::string("\"") + szName + "\":" + sJson;
}

const char* ResultName(int nResult) {
  switch (nResult) {
    case 1:
      return "on route";
    case 2:
      return "arrived";
    case 3:
      return "off route";
    default:
      return "no match";
  }
}

}  // namespace

void WriteGeoJson(const DriveRecord& record, std::ostream& out) {
  FeatureWriter w(out);
  for (const RecordedRoute& r : record.routes) {
    w.Line(r.pts, Prop("kind", "\"route\"") + "," + Prop("label", JsonString(r.sLabel)) + "," +
                      Prop("time", Num(r.dTime, 0)) + "," + Prop("length_m", Num(r.dLength, 1)));
  }
  for (const RecordedClosure& c : record.closures) {
    w.Line(c.pts, Prop("kind", "\"closure\"") + "," + Prop("road", JsonString(c.sRoad)) + "," +
                      Prop("time", Num(c.dTime, 0)));
  }
  for (const RecordedFix& f : record.fixes) {
    w.Point(f.pt, Prop("kind", "\"fix\"") + "," + Prop("time", Num(f.dTime, 0)) + "," +
                      Prop("heading", f.dHeading < 0 ? "null" : Num(f.dHeading, 1)) + "," +
                      Prop("result", JsonString(ResultName(f.nResult))));
  }
  for (const RecordedFix& f : record.fixes) {
    if (f.bHasMatch) {
      w.Point(f.ptMatch, Prop("kind", "\"match\"") + "," + Prop("time", Num(f.dTime, 0)) + "," +
                             Prop("result", JsonString(ResultName(f.nResult))));
    }
  }
  for (const RecordedManoeuvre& m : record.manoeuvres) {
    w.Point(m.pt, Prop("kind", "\"manoeuvre\"") + "," + Prop("number", std::to_string(m.nNumber)) +
                      "," + Prop("time", Num(m.dTime, 0)) + "," +
                      Prop("class", JsonString(m.sClass)) + "," +
                      Prop("text", JsonString(m.sText)) + "," +
                      Prop("junction", JsonString(m.sJunction)));
  }
  for (const DriveEvent& e : record.events) {
    if (e.sKind == "off-route" || e.sKind == "reroute" || e.sKind == "closure" ||
        e.sKind == "arrive") {
      w.Point(e.pt, Prop("kind", "\"event\"") + "," + Prop("event", JsonString(e.sKind)) + "," +
                        Prop("time", Num(e.dTime, 0)) + "," + Prop("text", JsonString(e.sText)));
    }
  }
}

}  // namespace vxdrive
