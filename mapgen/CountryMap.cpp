// Generating and writing the synthetic country (see CountryMap.h).
#include "mapgen/CountryMap.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <osmium/builder/attr.hpp>
#include <osmium/io/any_output.hpp>
#include <random>
#include <stdexcept>
#include <utility>
#include <vector>

namespace vxgen {
namespace {

using NodeId = std::int64_t;

constexpr double kCarriagewayKm = 0.015;  // half the gap between a motorway's carriageways
constexpr double kBridgeKm = 0.03;        // half a bridge's length
constexpr double kRingKm = 0.025;         // roundabout radius
constexpr std::size_t kBatch = 20000;     // objects per write buffer

const char* const kNames[] = {
    "Linden",  "Eichen",   "Birken",  "Buchen",  "Ahorn",    "Kastanien", "Rosen",   "Tulpen",
    "Garten",  "Schul",    "Kirch",   "Bahnhof", "Mühlen",   "Wiesen",    "Feld",    "Wald",
    "Berg",    "Tal",      "Bach",    "Brunnen", "Markt",    "Post",      "Schloss", "Burg",
    "Sonnen",  "Mond",     "Stern",   "Garten",  "Hafen",    "Brücken",   "Kloster", "Ring",
    "Amsel",   "Drossel",  "Finken",  "Lerchen", "Meisen",   "Schwalben", "Tannen",  "Fichten",
    "Kiefern", "Holunder", "Flieder", "Nelken",  "Veilchen", "Weiden",    "Erlen",   "Pappel"};

struct Point {
  double x, y;  // km from the first town's centre
};

/// A way under construction: its nodes and what kind of road it is.
struct Way {
  std::vector<NodeId> nodes;
  const char* szHighway;
  std::string sName;
  const char* szOneWay = nullptr;
  const char* szMaxSpeed = nullptr;
  bool bBridge = false;
  bool bRoundabout = false;
};

/// A restriction relation: from ways, a via node or via ways (in driving
/// order), to ways (way indices), the tag that carries its kind (restriction,
/// restriction:hgv, ...), and an except value when it has one.
struct Restriction {
  std::vector<std::size_t> from;
  NodeId nVia;  ///< 0: via ways
  std::vector<std::size_t> via;
  std::vector<std::size_t> to;
  const char* szKind;
  const char* szKey = "restriction";
  const char* szExcept = nullptr;
};

/// A node fixed on a line: at distance s (km) from its start.
struct Fixed {
  double s;
  NodeId id;
};

class Country {
 public:
  explicit Country(const CountryOptions& o)
      : m_o(o),
        m_rng(o.nSeed),
        m_dLatPerKm(1.0 / 111.2),
        m_dLonPerKm(1.0 / (111.32 * std::cos(o.dOriginLat * std::numbers::pi / 180.0))) {}

  void Build() {
    const int nx = m_o.nTownsX, ny = m_o.nTownsY;
    m_towns.resize(static_cast<std::size_t>(nx) * static_cast<std::size_t>(ny));
    for (int j = 0; j < ny; ++j)
      for (int i = 0; i < nx; ++i) BuildTown(i, j);
    BuildMainRoads();
  }

  CountryStats Write(const std::string& sPath) const {
    osmium::io::Header header;
    header.set("generator", "vx mapgen");
    osmium::io::Writer writer{sPath, header, osmium::io::overwrite::allow};
    using namespace osmium::builder::attr;  // NOLINT
    osmium::memory::Buffer buffer{1 << 20, osmium::memory::Buffer::auto_grow::yes};
    std::size_t nInBuffer = 0;
    const auto flush = [&](bool bForce) {
      if (++nInBuffer < kBatch && !bForce) return;
      writer(std::move(buffer));
      buffer = osmium::memory::Buffer{1 << 20, osmium::memory::Buffer::auto_grow::yes};
      nInBuffer = 0;
    };
    for (std::size_t n = 0; n < m_points.size(); ++n) {
      osmium::builder::add_node(
          buffer, _id(static_cast<NodeId>(n + 1)), _version(1),
          _location(m_dLon0 + m_points[n].x * m_dLonPerKm, m_dLat0 + m_points[n].y * m_dLatPerKm));
      flush(false);
    }
    for (std::size_t w = 0; w < m_ways.size(); ++w) {
      const Way& way = m_ways[w];
      std::vector<std::pair<const char*, const char*>> tags{{"highway", way.szHighway}};
      if (!way.sName.empty()) tags.emplace_back("name", way.sName.c_str());
      if (way.szOneWay != nullptr) tags.emplace_back("oneway", way.szOneWay);
      if (way.szMaxSpeed != nullptr) tags.emplace_back("maxspeed", way.szMaxSpeed);
      if (way.bBridge) {
        tags.emplace_back("bridge", "yes");
        tags.emplace_back("layer", "1");
      }
      if (way.bRoundabout) tags.emplace_back("junction", "roundabout");
      osmium::builder::add_way(buffer, _id(static_cast<NodeId>(w + 1)), _version(1),
                               _nodes(way.nodes), _tags(tags));
      flush(false);
    }
    for (std::size_t r = 0; r < m_restrictions.size(); ++r) {
      const Restriction& rr = m_restrictions[r];
      std::vector<member_type> members;
      const auto ways = [&](const std::vector<std::size_t>& list, const char* szRole) {
        for (const std::size_t w : list)
          members.emplace_back(osmium::item_type::way, static_cast<NodeId>(w + 1), szRole);
      };
      ways(rr.from, "from");
      if (rr.nVia != 0) members.emplace_back(osmium::item_type::node, rr.nVia, "via");
      ways(rr.via, "via");
      ways(rr.to, "to");
      std::vector<std::pair<const char*, const char*>> tags{{"type", "restriction"},
                                                            {rr.szKey, rr.szKind}};
      if (rr.szExcept != nullptr) tags.emplace_back("except", rr.szExcept);
      osmium::builder::add_relation(buffer, _id(static_cast<NodeId>(r + 1)), _version(1),
                                    _members(members), _tags(tags));
      flush(false);
    }
    flush(true);
    writer.close();
    return {m_points.size(), m_ways.size(), m_restrictions.size()};
  }

 private:
  /// A town's street ends, where the roads between towns join it.
  struct Town {
    NodeId west, east, south, north;
  };

  NodeId Node(const Point& p) {
    m_points.push_back(p);
    return static_cast<NodeId>(m_points.size());
  }
  const Point& At(NodeId id) const { return m_points[static_cast<std::size_t>(id - 1)]; }
  double Uniform(double a, double b) { return std::uniform_real_distribution<double>(a, b)(m_rng); }
  bool Chance(double p) { return Uniform(0.0, 1.0) < p; }

  // Appends to nodes the inner nodes from a to b (every 30 to 80 m, bent
  // sideways by up to dBendKm in the middle) and then b.
  void Stretch(std::vector<NodeId>& nodes, NodeId a, NodeId b, double dBendKm) {
    const Point pa = At(a), pb = At(b);
    const double dx = pb.x - pa.x, dy = pb.y - pa.y;
    const double dLen = std::hypot(dx, dy);
    const double dBend = Uniform(-dBendKm, dBendKm);
    for (double s = Uniform(0.03, 0.08); s < dLen - 0.02; s += Uniform(0.03, 0.08)) {
      const double t = s / dLen;
      const double off = dBend * std::sin(std::numbers::pi * t);
      nodes.push_back(Node({pa.x + t * dx - off * dy / dLen, pa.y + t * dy + off * dx / dLen}));
    }
    nodes.push_back(b);
  }

  std::size_t AddWay(Way way) {
    m_ways.push_back(std::move(way));
    return m_ways.size() - 1;
  }

  // Over the limits: a town is laid out street by street, with its one-ways,
  // roundabout and restrictions, in one readable sequence.
  // NOLINTNEXTLINE(readability-function-size,readability-function-cognitive-complexity)
  void BuildTown(int i, int j) {
    const int n = m_o.nTownStreets;
    const double b = m_o.dBlockKm;
    const double w = (n - 1) * b;
    const Point c{i * m_o.dTownSpacingKm, j * m_o.dTownSpacingKm};
    std::vector<NodeId> grid(static_cast<std::size_t>(n * n));
    const auto g = [&](int r, int k) -> NodeId& {
      return grid[static_cast<std::size_t>(r) * static_cast<std::size_t>(n) +
                  static_cast<std::size_t>(k)];
    };
    for (int r = 0; r < n; ++r)
      for (int k = 0; k < n; ++k)
        g(r, k) = Node({c.x - w / 2 + k * b + Uniform(-0.005, 0.005),
                        c.y - w / 2 + r * b + Uniform(-0.005, 0.005)});
    const int mid = n / 2;
    const bool bRoundabout = (i + j) % 3 == 0;
    NodeId ring[8] = {};
    if (bRoundabout) {
      const Point pc = At(g(mid, mid));
      Way rw{{}, "tertiary", "Marktplatz", nullptr, "30", false, true};
      for (int a = 0; a < 8; ++a)
        ring[a] = Node({pc.x + kRingKm * std::cos(a * std::numbers::pi / 4),
                        pc.y + kRingKm * std::sin(a * std::numbers::pi / 4)});
      for (int a = 0; a <= 8; ++a) rw.nodes.push_back(ring[a % 8]);
      AddWay(std::move(rw));
    }
    // Streets: rows (west to east) and columns (south to north). The middle
    // row and column end at the roundabout, where there is one. Row n - 2
    // and column 1 are split where they cross (two ways each).
    const int nSplitRow = n - 2, nSplitCol = 1;
    std::size_t splitRow[2] = {0, 0}, splitCol[2] = {0, 0};  // west, east; south, north
    std::size_t rowFirst = 0, rowSecond = 0, colLast = 0;
    for (int dir = 0; dir < 2; ++dir) {
      for (int r = 0; r < n; ++r) {
        const auto at = [&](int k) { return dir == 0 ? g(r, k) : g(k, r); };
        Way way{{},
                "residential",
                std::string(kNames[(i * 7 + j * 13 + r * 3 + dir) % std::size(kNames)]) +
                    (dir == 0 ? "straße" : "weg"),
                nullptr,
                Chance(0.5) ? "30" : nullptr};
        if (r != mid && Chance(0.1)) way.szOneWay = Chance(0.5) ? "yes" : "-1";
        way.nodes.push_back(at(0));
        for (int k = 1; k < n; ++k) {
          if (bRoundabout && r == mid && k == mid) {
            Way rest = way;
            Stretch(way.nodes, way.nodes.back(), ring[dir == 0 ? 4 : 6], 0.0);
            AddWay(std::move(way));
            way = std::move(rest);
            way.nodes.assign(1, ring[dir == 0 ? 0 : 2]);
            continue;
          }
          Stretch(way.nodes, way.nodes.back(), at(k), 0.004);
          const bool bSplit =
              dir == 0 ? r == nSplitRow && k == nSplitCol : r == nSplitCol && k == nSplitRow;
          if (bSplit) {
            Way rest = way;
            rest.nodes.assign(1, at(k));
            (dir == 0 ? splitRow : splitCol)[0] = AddWay(std::move(way));
            way = std::move(rest);
          }
        }
        const std::size_t nWay = AddWay(std::move(way));
        if (dir == 0 && r == nSplitRow) splitRow[1] = nWay;
        if (dir == 1 && r == nSplitCol) splitCol[1] = nWay;
        if (dir == 0 && r == 0) rowFirst = nWay;
        if (dir == 0 && r == 1) rowSecond = nWay;
        if (dir == 1 && r == n - 1) colLast = nWay;
      }
    }
    // A connector cutting the south-east corner block, as two ways.
    const NodeId cornerIn = g(1, n - 2), corner = g(0, n - 1);
    const Point pIn = At(cornerIn), pCorner = At(corner);
    const NodeId connMid = Node({(pIn.x + pCorner.x) / 2 + 0.01, (pIn.y + pCorner.y) / 2 + 0.01});
    const std::size_t conn[2] = {
        AddWay({{cornerIn, connMid}, "residential", "Verbindungsweg", nullptr, "30"}),
        AddWay({{connMid, corner}, "residential", "Verbindungsweg", nullptr, "30"})};
    // No left turn from the second row into column 1 (the second column
    // south of the split), only straight on along the last-but-one row.
    m_restrictions.push_back({{rowSecond}, g(1, 1), {}, {splitCol[0]}, "no_left_turn"});
    m_restrictions.push_back(
        {{splitRow[1]}, g(n - 2, n - 2), {}, {splitRow[1]}, "only_straight_on"});
    // Over the connector: no U-turn from the second row back onto the first,
    // no left turn from the last column into the second row heading east.
    m_restrictions.push_back({{rowSecond}, 0, {conn[0], conn[1]}, {rowFirst}, "no_u_turn"});
    m_restrictions.push_back({{colLast}, 0, {conn[1], conn[0]}, {rowSecond}, "no_left_turn"});
    // Several members where row n - 2 and column 1 are split: no entry from
    // the row into the column northwards, no exit from the column's south
    // part into the row.
    const NodeId split = g(nSplitRow, nSplitCol);
    m_restrictions.push_back({{splitRow[0], splitRow[1]}, split, {}, {splitCol[1]}, "no_entry"});
    m_restrictions.push_back({{splitCol[0]}, split, {}, {splitRow[0], splitRow[1]}, "no_exit"});
    // One a car does not obey, in turn: on red, for lorries, conditional,
    // except cars.
    Restriction other{{rowSecond}, g(1, 1), {}, {rowSecond}, "no_u_turn"};
    switch ((i + j) % 4) {
      case 0:
        other.szKind = "no_right_turn_on_red";
        break;
      case 1:
        other.szKey = "restriction:hgv";
        break;
      case 2:
        other.szKey = "restriction:conditional";
        other.szKind = "no_u_turn @ (Mo-Fr 07:00-19:00)";
        break;
      default:
        other.szExcept = "motorcar";
    }
    m_restrictions.push_back(other);
    m_towns[static_cast<std::size_t>(j) * static_cast<std::size_t>(m_o.nTownsX) +
            static_cast<std::size_t>(i)] = Town{g(mid, 0), g(mid, n - 1), g(0, mid), g(n - 1, mid)};
  }

  // Writes a line from a to b with the fixed nodes on it (by distance from a)
  // and bridges (centres by distance from a) as ways of the given kind.
  void Line(NodeId a, NodeId b, const std::vector<Fixed>& fixed, const std::vector<double>& bridges,
            const Way& kind, double dBendKm) {
    const Point pa = At(a), pb = At(b);
    const double dLen = std::hypot(pb.x - pa.x, pb.y - pa.y);
    const auto along = [&](double s) {
      return Point{pa.x + (pb.x - pa.x) * s / dLen, pa.y + (pb.y - pa.y) * s / dLen};
    };
    std::vector<std::pair<double, NodeId>> stops;  // second: node, or -1 bridge start
    stops.reserve(fixed.size() + bridges.size());
    for (const Fixed& f : fixed) stops.emplace_back(f.s, f.id);
    for (const double s : bridges) stops.emplace_back(s - kBridgeKm, -1);
    std::sort(stops.begin(), stops.end());
    Way way = kind;
    way.nodes.assign(1, a);
    for (const auto& [s, id] : stops) {
      if (id >= 0) {
        Stretch(way.nodes, way.nodes.back(), id, dBendKm);
        continue;
      }
      const NodeId start = Node(along(s)), end = Node(along(s + 2 * kBridgeKm));
      Stretch(way.nodes, way.nodes.back(), start, dBendKm);
      AddWay(way);
      Way bridge = kind;
      bridge.bBridge = true;
      bridge.nodes = {start, end};
      AddWay(std::move(bridge));
      way.nodes.assign(1, end);
    }
    Stretch(way.nodes, way.nodes.back(), b, dBendKm);
    AddWay(std::move(way));
  }

  // Over the limits: the road hierarchy between towns (motorways with their
  // junctions and bridges, primaries, secondaries) in one sequence; to be
  // split by road kind.
  // NOLINTNEXTLINE(readability-function-size,readability-function-cognitive-complexity)
  void BuildMainRoads() {
    const int nx = m_o.nTownsX, ny = m_o.nTownsY, m = m_o.nMotorwayEvery;
    const double sp = m_o.dTownSpacingKm;
    const auto town = [&](int i, int j) -> const Town& {
      return m_towns[static_cast<std::size_t>(j) * static_cast<std::size_t>(nx) +
                     static_cast<std::size_t>(i)];
    };
    // Motorways: between town rows j and j + 1 (and columns) where j % m is 0.
    std::vector<int> rowsM, colsM;
    for (int j = 0; j + 1 < ny; ++j)
      if (j % m == 0) rowsM.push_back(j);
    for (int i = 0; i + 1 < nx; ++i)
      if (i % m == 0) colsM.push_back(i);
    // Fixed nodes of each carriageway: [line][carriageway].
    std::vector<std::vector<Fixed>> hFixed(rowsM.size() * 2), vFixed(colsM.size() * 2);
    std::vector<std::vector<double>> hBridges(rowsM.size() * 2), vBridges(colsM.size() * 2);
    const double x0 = -0.5 * sp, x1 = (nx - 0.5) * sp, y0 = -0.5 * sp, y1 = (ny - 0.5) * sp;
    // Motorway crossings: shared nodes.
    for (std::size_t a = 0; a < rowsM.size(); ++a)
      for (std::size_t c = 0; c < colsM.size(); ++c)
        for (int ha = 0; ha < 2; ++ha)
          for (int vc = 0; vc < 2; ++vc) {
            const double x = (colsM[c] + 0.5) * sp + (vc == 0 ? kCarriagewayKm : -kCarriagewayKm);
            const double y = (rowsM[a] + 0.5) * sp + (ha == 0 ? -kCarriagewayKm : kCarriagewayKm);
            const NodeId id = Node({x, y});
            hFixed[a * 2 + ha].push_back({ha == 0 ? x - x0 : x1 - x, id});
            vFixed[c * 2 + vc].push_back({vc == 0 ? y - y0 : y1 - y, id});
          }
    // Roads between towns: primary on even lines, secondary on odd ones; a
    // motorway joins a primary road and bridges a secondary one.
    for (int dir = 0; dir < 2; ++dir) {
      const int nLines = dir == 0 ? ny : nx, nSteps = dir == 0 ? nx : ny;
      for (int line = 0; line < nLines; ++line) {
        const bool bPrimary = line % 2 == 0;
        const std::string sName =
            std::string(bPrimary ? "B " : "L ") + std::to_string(line * 2 + dir + 1);
        const Way kind{
            {}, bPrimary ? "primary" : "secondary", sName, nullptr, bPrimary ? "100" : "80"};
        for (int step = 0; step + 1 < nSteps; ++step) {
          const NodeId a = dir == 0 ? town(step, line).east : town(line, step).north;
          const NodeId b = dir == 0 ? town(step + 1, line).west : town(line, step + 1).south;
          std::vector<Fixed> fixed;
          const std::vector<int>& crossing = dir == 0 ? colsM : rowsM;
          for (std::size_t c = 0; c < crossing.size(); ++c) {
            if (crossing[c] != step) continue;
            const Point pa = At(a);
            const double dMid = (crossing[c] + 0.5) * sp;
            for (int cw = 0; cw < 2; ++cw) {
              const double off = cw == 0 ? kCarriagewayKm : -kCarriagewayKm;
              auto& mFixed = dir == 0 ? vFixed[c * 2 + cw] : hFixed[c * 2 + cw];
              auto& mBridges = dir == 0 ? vBridges[c * 2 + cw] : hBridges[c * 2 + cw];
              const double dAcross = dir == 0 ? pa.y : pa.x;  // the road's position across
              const double sOnMotorway = dir == 0 ? (cw == 0 ? dAcross - y0 : y1 - dAcross)
                                                  : (cw == 0 ? dAcross - x0 : x1 - dAcross);
              if (!bPrimary) {
                mBridges.push_back(sOnMotorway);
                continue;
              }
              const Point p = dir == 0 ? Point{dMid + off, pa.y} : Point{pa.x, dMid - off};
              const NodeId id = Node(p);
              fixed.push_back({std::hypot(p.x - pa.x, p.y - pa.y), id});
              mFixed.push_back({sOnMotorway, id});
            }
          }
          Line(a, b, fixed, {}, kind, 0.2);
        }
      }
    }
    // The carriageways: the first of a pair runs east (north), the second back.
    for (int dir = 0; dir < 2; ++dir) {
      const std::vector<int>& lines = dir == 0 ? rowsM : colsM;
      for (std::size_t a = 0; a < lines.size(); ++a) {
        const double mid = (lines[a] + 0.5) * sp;
        for (int cw = 0; cw < 2; ++cw) {
          const double off = cw == 0 ? -kCarriagewayKm : kCarriagewayKm;
          const Point from =
              dir == 0 ? Point{cw == 0 ? x0 : x1, mid + off} : Point{mid - off, cw == 0 ? y0 : y1};
          const Point to =
              dir == 0 ? Point{cw == 0 ? x1 : x0, mid + off} : Point{mid - off, cw == 0 ? y1 : y0};
          const Way kind{
              {}, "motorway", "A " + std::to_string(a * 2 + static_cast<std::size_t>(dir) + 1)};
          Line(Node(from), Node(to), (dir == 0 ? hFixed : vFixed)[a * 2 + cw],
               (dir == 0 ? hBridges : vBridges)[a * 2 + cw], kind, 0.0);
        }
      }
    }
  }

  CountryOptions m_o;
  std::mt19937 m_rng;
  double m_dLatPerKm, m_dLonPerKm;
  double m_dLon0 = m_o.dOriginLon, m_dLat0 = m_o.dOriginLat;
  std::vector<Point> m_points;  // node id - 1
  std::vector<Way> m_ways;      // way id - 1
  std::vector<Restriction> m_restrictions;
  std::vector<Town> m_towns;
};

}  // namespace

CountryOptions CountryOfSize(std::uint64_t nFeatures, std::uint32_t nSeed) {
  CountryOptions o;
  o.nTownStreets = 19;
  const double dPerTown = 2.0 * 19 * 18 + 5;
  const int nSide = std::max(
      1, static_cast<int>(std::lround(std::sqrt(static_cast<double>(nFeatures) / dPerTown))));
  o.nTownsX = o.nTownsY = nSide;
  o.nSeed = nSeed;
  return o;
}

CountryStats WriteCountry(const std::string& sPath, const CountryOptions& o) {
  if (o.nTownsX < 1 || o.nTownsY < 1 || o.nTownStreets < 5 || o.nMotorwayEvery < 1 ||
      !(o.dBlockKm >= 0.05) || !(o.dTownSpacingKm > (o.nTownStreets + 4) * o.dBlockKm) ||
      o.nTownsX > 2000 || o.nTownsY > 2000 || o.nTownStreets > 200)
    throw std::invalid_argument("country options out of range");
  Country country{o};
  country.Build();
  return country.Write(sPath);
}

}  // namespace vxgen
