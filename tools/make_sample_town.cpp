// make_sample_town: writes the default map, a small invented town in
// OpenStreetMap XML, always byte for byte the same. Usage:
//   make_sample_town [output file]   (default data/sample-town.osm)
//
// The town: a grid of 9 streets (west-east) and 9 avenues (south-north),
// 8 x 8 blocks of about 100 m near 13.40 E, 52.50 N; a ring road (primary,
// 70 km/h) one block outside, joined by the middle street and the middle
// avenue; a roundabout in place of the centre junction; one-way streets; an
// avenue carried on a bridge over a street without a junction, with a
// service road leaving the street right under the bridge; turn restrictions
// (no_left_turn, only_straight_on, and no_u_turn over the Südtor lane as its
// via way); dead ends.
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr double kLon0 = 13.3940, kLat0 = 52.4964;  // grid corner (0, 0)
constexpr double kDLon = 0.0015, kDLat = 0.0009;    // one block

using Tags = std::vector<std::pair<std::string, std::string>>;

struct Node {
  long nId;
  double dLon, dLat;
};
struct Way {
  long nId;
  std::vector<long> refs;
  Tags tags;
};
struct Restriction {
  long nId;
  long nFrom, nVia, nTo;
  std::string sKind;
  bool bViaWay;  // nVia is a way
};

class Town {
 public:
  // The node at grid position (x, y) in blocks, made on first use.
  long At(double x, double y) {
    const auto key = std::make_pair(static_cast<long>(x * 100), static_cast<long>(y * 100));
    const auto it = m_byPos.find(key);
    if (it != m_byPos.end()) return it->second;
    return m_byPos[key] = NewNode(x, y);
  }
  // A node of its own at (x, y), even where another node lies.
  long NewNode(double x, double y) {
    const long nId = 1 + static_cast<long>(m_nodes.size());
    m_nodes.push_back({nId, kLon0 + x * kDLon, kLat0 + y * kDLat});
    return nId;
  }
  long AddWay(std::vector<long> refs, Tags tags) {
    const long nId = 1 + static_cast<long>(m_ways.size());
    m_ways.push_back({nId, std::move(refs), std::move(tags)});
    return nId;
  }
  void AddRestriction(long nFrom, long nVia, long nTo, const std::string& sKind,
                      bool bViaWay = false) {
    m_restrictions.push_back(
        {1 + static_cast<long>(m_restrictions.size()), nFrom, nVia, nTo, sKind, bViaWay});
  }
  bool Write(const char* szPath) const;

 private:
  std::map<std::pair<long, long>, long> m_byPos;
  std::vector<Node> m_nodes;
  std::vector<Way> m_ways;
  std::vector<Restriction> m_restrictions;
};

std::string Escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '&')
      out += "&amp;";
    else if (c == '<')
      out += "&lt;";
    else if (c == '>')
      out += "&gt;";
    else if (c == '"')
      out += "&quot;";
    else
      out += c;
  }
  return out;
}

bool Town::Write(const char* szPath) const {
  std::FILE* f = std::fopen(szPath, "wb");
  if (f == nullptr) return false;
  std::fprintf(f, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
  std::fprintf(f, "<osm version=\"0.6\" generator=\"make_sample_town\">\n");
  for (const Node& n : m_nodes)
    std::fprintf(f, "  <node id=\"%ld\" version=\"1\" lat=\"%.7f\" lon=\"%.7f\"/>\n", n.nId, n.dLat,
                 n.dLon);
  for (const Way& w : m_ways) {
    std::fprintf(f, "  <way id=\"%ld\" version=\"1\">\n", w.nId);
    for (long r : w.refs) std::fprintf(f, "    <nd ref=\"%ld\"/>\n", r);
    for (const auto& [k, v] : w.tags)
      std::fprintf(f, "    <tag k=\"%s\" v=\"%s\"/>\n", Escape(k).c_str(), Escape(v).c_str());
    std::fprintf(f, "  </way>\n");
  }
  for (const Restriction& r : m_restrictions) {
    std::fprintf(f, "  <relation id=\"%ld\" version=\"1\">\n", r.nId);
    std::fprintf(f, "    <member type=\"way\" ref=\"%ld\" role=\"from\"/>\n", r.nFrom);
    std::fprintf(f, "    <member type=\"%s\" ref=\"%ld\" role=\"via\"/>\n",
                 r.bViaWay ? "way" : "node", r.nVia);
    std::fprintf(f, "    <member type=\"way\" ref=\"%ld\" role=\"to\"/>\n", r.nTo);
    std::fprintf(f, "    <tag k=\"type\" v=\"restriction\"/>\n");
    std::fprintf(f, "    <tag k=\"restriction\" v=\"%s\"/>\n", r.sKind.c_str());
    std::fprintf(f, "  </relation>\n");
  }
  std::fprintf(f, "</osm>\n");
  return std::fclose(f) == 0;
}

const char* const kStreets[9] = {"Ahornstraße",   "Birkenweg",   "Eichenallee",
                                 "Fliederstraße", "Marktstraße", "Lindenstraße",
                                 "Pappelweg",     "Ulmenstraße", "Weidenweg"};
const char* const kAvenues[9] = {"Amselweg",     "Bachstraße",    "Drosselgasse",
                                 "Finkenstraße", "Hauptstraße",   "Lerchenweg",
                                 "Meisenweg",    "Brückenstraße", "Zeisigweg"};

Tags Road(const char* szHighway, const std::string& sName, const char* szMaxSpeed) {
  Tags t = {{"highway", szHighway}};
  if (!sName.empty()) t.push_back({"name", sName});
  if (szMaxSpeed != nullptr) t.push_back({"maxspeed", szMaxSpeed});
  return t;
}

Tags With(Tags t, const Tags& more) {
  t.insert(t.end(), more.begin(), more.end());
  return t;
}

// Nodes of street y (x from x0 to x1) or avenue x (y from y0 to y1).
std::vector<long> Street(Town& t, int y, int x0, int x1) {
  std::vector<long> v;
  for (int x = x0; x <= x1; ++x) v.push_back(t.At(x, y));
  return v;
}
std::vector<long> Avenue(Town& t, int x, int y0, int y1) {
  std::vector<long> v;
  for (int y = y0; y <= y1; ++y) v.push_back(t.At(x, y));
  return v;
}

// The middle street or avenue: from the ring road through the grid into the
// roundabout, and out of it through the grid on to the ring road (two ways).
void AddThroughRoundabout(Town& t, long nRingIn, std::vector<long> in, long nEntry, long nExit,
                          const std::vector<long>& out, long nRingOut, const Tags& tags) {
  in.insert(in.begin(), nRingIn);
  in.push_back(nEntry);
  std::vector<long> onward = {nExit};
  onward.insert(onward.end(), out.begin(), out.end());
  onward.push_back(nRingOut);
  t.AddWay(in, tags);
  t.AddWay(onward, tags);
}

// Over the size limit: the town is written street by street in one place,
// which is what makes its layout readable.
// NOLINTNEXTLINE(readability-function-size)
void Build(Town& t) {
  // Grid nodes first, row by row, so that node ids follow the map.
  for (int y = 0; y <= 8; ++y)
    for (int x = 0; x <= 8; ++x) t.At(x, y);

  // The roundabout replaces junction (4, 4): eight nodes counterclockwise
  // from its east point, about 20 m from the centre.
  const double kR = 0.2;
  const double kCos45 = 0.70710678;
  const double ring[8][2] = {
      {kR, 0},  {kR * kCos45, kR * kCos45},   {0, kR},  {-kR * kCos45, kR * kCos45},
      {-kR, 0}, {-kR * kCos45, -kR * kCos45}, {0, -kR}, {kR * kCos45, -kR * kCos45}};
  std::vector<long> circle;
  for (const auto& p : ring) circle.push_back(t.At(4 + p[0], 4 + p[1]));
  const long nEast = circle[0], nNorth = circle[2], nWest = circle[4], nSouth = circle[6];
  circle.push_back(circle.front());

  // Street 5 passes under the bridge at (7, 5); the bridge has its own node there.
  const long nUnderBridge = t.At(7, 5);
  const long nOnBridge = t.NewNode(7, 5);

  // Ring road: a closed way two blocks beyond the grid, joined to it by the
  // middle street, the middle avenue and a lane from the south-east corner.
  std::vector<long> ringRoad = {t.At(-2, -2), t.At(4, -2), t.At(10, -2), t.At(10, 4),
                                t.At(10, 10), t.At(4, 10), t.At(-2, 10), t.At(-2, 4)};
  ringRoad.push_back(ringRoad.front());
  const long nRing = t.AddWay(ringRoad, Road("primary", "Ring", "70"));
  t.AddWay(circle, With(Road("tertiary", "Marktplatz", "30"), {{"junction", "roundabout"}}));

  long nStreet3West = 0, nStreet0 = 0;
  for (int y = 0; y <= 8; ++y) {
    const std::string sName = kStreets[y];
    if (y == 4) {
      const long nRingWest = t.At(-2, 4), nRingEast = t.At(10, 4);
      AddThroughRoundabout(t, nRingWest, Street(t, 4, 0, 3), nWest, nEast, Street(t, 4, 5, 8),
                           nRingEast, Road("secondary", sName, "50"));
    } else if (y == 3) {  // split where the no_left_turn restriction starts
      nStreet3West = t.AddWay(Street(t, 3, 0, 3), Road("residential", sName, "30"));
      t.AddWay(Street(t, 3, 3, 8), Road("residential", sName, "30"));
    } else if (y == 1) {
      t.AddWay(Street(t, 1, 0, 8), With(Road("residential", sName, "30"), {{"oneway", "yes"}}));
    } else if (y == 7) {
      t.AddWay(Street(t, 7, 0, 8), With(Road("residential", sName, "30"), {{"oneway", "-1"}}));
    } else {
      const long nWay = t.AddWay(Street(t, y, 0, 8), Road("residential", sName, "30"));
      if (y == 0) nStreet0 = nWay;
    }
  }
  for (int x = 0; x <= 8; ++x) {
    const std::string sName = kAvenues[x];
    if (x == 4) {
      const long nRingSouth = t.At(4, -2), nRingNorth = t.At(4, 10);
      AddThroughRoundabout(t, nRingSouth, Avenue(t, 4, 0, 3), nSouth, nNorth, Avenue(t, 4, 5, 8),
                           nRingNorth, Road("secondary", sName, "50"));
    } else if (x == 3) {
      t.AddWay(Avenue(t, 3, 0, 3), Road("tertiary", sName, "50"));
      const long nNorthPart = t.AddWay(Avenue(t, 3, 3, 8), Road("tertiary", sName, "50"));
      // Eastwards on street 3, no left turn into the avenue northwards.
      t.AddRestriction(nStreet3West, t.At(3, 3), nNorthPart, "no_left_turn");
    } else if (x == 5) {  // only straight on northwards at street 6
      const long nSouthPart = t.AddWay(Avenue(t, 5, 0, 6), Road("tertiary", sName, "50"));
      const long nNorthPart = t.AddWay(Avenue(t, 5, 6, 8), Road("tertiary", sName, "50"));
      t.AddRestriction(nSouthPart, t.At(5, 6), nNorthPart, "only_straight_on");
    } else if (x == 7) {  // on a bridge over street 5, without a junction there
      const Tags bridge = With(Road("tertiary", sName, "50"), {{"bridge", "yes"}, {"layer", "1"}});
      t.AddWay(Avenue(t, 7, 0, 4), Road("tertiary", sName, "50"));
      t.AddWay({t.At(7, 4), nOnBridge}, bridge);
      t.AddWay({nOnBridge, t.At(7, 6)}, bridge);
      t.AddWay(Avenue(t, 7, 6, 8), Road("tertiary", sName, "50"));
    } else if (x == 1) {
      t.AddWay(Avenue(t, 1, 0, 8), With(Road("residential", sName, "30"), {{"oneway", "yes"}}));
    } else {
      t.AddWay(Avenue(t, x, 0, 8), Road("residential", sName, "30"));
    }
  }
  // Service road from under the bridge to a car park (a dead end).
  t.AddWay({nUnderBridge, t.At(7.4, 4.7), t.At(7.6, 4.6)}, {{"highway", "service"}});
  // A cul-de-sac west of the first avenue, and a lane to the ring.
  t.AddWay({t.At(0, 6), t.At(-0.5, 6.3), t.At(-1, 6.3)}, Road("residential", "Am Teich", "30"));
  const long nGate = t.AddWay({t.At(8, 0), t.At(10, -2)}, Road("unclassified", "Südtor", "50"));
  // Eastwards on street 0, through the lane, no U-turn back west on the ring.
  t.AddRestriction(nStreet0, nGate, nRing, "no_u_turn", true);
  // A footway that crosses the grid is not a road.
  t.AddWay({t.At(2, 2), t.At(2.5, 2.5), t.At(3, 3)}, {{"highway", "footway"}});
}

}  // namespace

int main(int argc, char** argv) {
  const char* szPath = argc > 1 ? argv[1] : "data/sample-town.osm";
  Town t;
  Build(t);
  if (!t.Write(szPath)) {
    std::fprintf(stderr, "make_sample_town: cannot write %s\n", szPath);
    return 1;
  }
  return 0;
}
