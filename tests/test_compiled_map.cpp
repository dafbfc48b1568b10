// The compiled map file: the reader and the engine answer every call on a
// compiled file exactly as on the import of the same OpenStreetMap file (the
// sample town and a generated country with one-ways, restrictions, bridges
// and roundabouts); the file holds the imported arrays; bad files are refused
// with their reason; corrupt records are never read out of bounds; the
// importer's one-pass and two-pass reading agree.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "interfaces/VroRead.h"
#include "interfaces/VroRoute.h"
#include "map/BuildMapCommand.h"
#include "map/OsmImport.h"
#include "mapgen/CountryMap.h"
#include "network/FeatureBoxGrid.h"
#include "network/FeatureId.h"
#include "network/MapFile.h"
#include "network/Overlay.h"
#include "network/ReaderNetwork.h"
#include "network/RouteGraphData.h"

namespace {

using Bytes = std::vector<char>;

std::string TempPath(const std::string& sName) {
  return ::testing::TempDir() + "vx_test_compiled_" + sName;
}

Bytes ReadFile(const std::string& sPath) {
  std::ifstream in(sPath, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& sPath, const Bytes& b) {
  std::ofstream(sPath, std::ios::binary).write(b.data(), static_cast<std::streamsize>(b.size()));
}

// The two maps of these tests, as OpenStreetMap and compiled files.
struct MapPair {
  std::string sOsm, sCompiled;
};

MapPair Compiled(const std::string& sOsm, const std::string& sName) {
  MapPair m{sOsm, TempPath(sName + ".vxmap")};
  std::string sError;
  EXPECT_EQ(vxmap::CompileMap(sOsm.c_str(), m.sCompiled.c_str(), sError),
            vxmap::CompileFault::kNone)
      << sError;
  return m;
}

const MapPair& Town() {
  static const MapPair m = Compiled(VX_SOURCE_DIR "/data/sample-town.osm", "town");
  return m;
}

// 3 x 3 towns with a motorway between every row and column of towns: bridges
// over the secondary roads, roundabouts, one-way streets, restrictions.
const MapPair& Country() {
  static const MapPair m = [] {
    vxgen::CountryOptions o;
    o.nTownStreets = 6;
    o.nMotorwayEvery = 1;
    o.nSeed = 5;
    const std::string sOsm = TempPath("country.osm.pbf");
    vxgen::WriteCountry(sOsm, o);
    return Compiled(sOsm, "country");
  }();
  return m;
}

struct Reader {
  explicit Reader(const std::string& sPath) : h(VroReaderOpen(sPath.c_str())) {}
  ~Reader() { VroReaderClose(h); }
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;
  VRO_READER* h;
};

// The texts joined by "|" (appended one by one: GCC 12 misreports chains of +).
template <class... T>
std::string Join(const T&... parts) {
  std::string s;
  ((s.append(parts), s.append("|")), ...);
  return s;
}

std::string IdText(const VRO_FEATURE_ID& id) {
  return std::to_string(id.dw[0]) + "/" + std::to_string(id.dw[1]) + "/" +
         std::to_string(id.dw[2]) + "/" + std::to_string(id.dw[3]);
}

// Everything the selected feature's attributes give.
void AppendAttrs(VRO_READER* h, std::vector<std::string>& out) {
  char c[6], s1[21], s2[301];
  while (VroReaderNextAttr(h, c, s1, s2) != 0) out.push_back(Join(c, s1, s2));
}

// Everything a search under the current limits hands out.
std::vector<std::string> SearchLog(VRO_READER* h) {
  std::vector<std::string> out;
  VroReaderReset(h, nullptr, 0);
  char c[6], s1[21], s2[301];
  VRO_FEATURE_ID id{};
  Bin_LonLat* p = nullptr;
  for (int n; (n = VroReaderNextFeature(h, c, s1, s2, id, p)) > 0;) {
    std::string s = Join(c, s1, s2, IdText(id));
    for (int i = 0; i < n; ++i) s += Join(std::to_string(p[i].lon), std::to_string(p[i].lat));
    out.push_back(s);
    AppendAttrs(h, out);
  }
  return out;
}

class BothFiles : public ::testing::TestWithParam<const MapPair& (*)()> {};

TEST_P(BothFiles, EveryReaderCallAgrees) {
  const MapPair& m = GetParam()();
  Reader a(m.sOsm), b(m.sCompiled);
  ASSERT_NE(a.h, nullptr) << VroReaderLastError();
  ASSERT_NE(b.h, nullptr) << VroReaderLastError();
  // The whole map, then each feature by id in both directions.
  const std::vector<std::string> all = SearchLog(a.h);
  ASSERT_FALSE(all.empty());
  EXPECT_EQ(all, SearchLog(b.h));
  const std::uint32_t nFeatures = vxnet::NetworkOfReader(a.h)->FeatureCount();
  for (std::uint32_t k = 0; k <= nFeatures; ++k) {
    for (const bool bRev : {false, true}) {
      std::vector<std::string> logs[2];
      VRO_READER* hs[2] = {a.h, b.h};
      for (int i = 0; i < 2; ++i) {
        char c[6] = "", s1[21] = "", s2[301] = "";
        const int r = VroFeatureOneAttr(hs[i], vxnet::FeatureIdOf(k, bRev), 0, c, s1, s2);
        logs[i].push_back(Join(std::to_string(r), c, s1, s2));
        AppendAttrs(hs[i], logs[i]);
        logs[i].push_back(std::to_string(VroReaderIsSameFeature(hs[i], vxnet::FeatureIdOf(k, bRev),
                                                                vxnet::FeatureIdOf(k / 2, false))));
      }
      ASSERT_EQ(logs[0], logs[1]) << "feature " << k;
    }
  }
  // Rectangles of every size, with class limits.
  std::mt19937 rng(3);
  const vxnet::NetworkView& net = *vxnet::NetworkOfReader(a.h);
  for (int q = 0; q < 60; ++q) {
    const Bin_LonLat c = net.points[rng() % net.points.size()];
    const std::int32_t half = static_cast<std::int32_t>(rng() % 3000);
    const char szCats[] = {static_cast<char>('1' + rng() % 7), static_cast<char>('1' + rng() % 7),
                           '7', '\0'};
    for (VRO_READER* h : {a.h, b.h}) {
      VroReaderRectLimit(h, {c.lon - half, c.lat - half}, {c.lon + half, c.lat + half / 2});
      VroReaderCatLimit(h, '1', q % 3 == 0 ? szCats : "1234567");
      VroReaderPriLimit(h, '1', q % 4 == 0 ? '5' : '7');
    }
    ASSERT_EQ(SearchLog(a.h), SearchLog(b.h)) << "query " << q;
  }
}

// Every edge of a route, as handed out.
std::vector<std::string> RouteLog(VRO_ROUTE* h, int nFound) {
  std::vector<std::string> out{std::to_string(nFound)};
  if (nFound <= 0 || VroRouteRetrieveStart(h) == 0) return out;
  char c[6], s1[21], s2[301], s3[100];
  VRO_FEATURE_ID id{};
  double dLen = 0;
  tagLonLat* p = nullptr;
  for (int n; (n = VroRouteRetrieveNextEdgeEx(h, c, s1, s2, s3, id, dLen, p)) > 0;) {
    char sz[64];
    std::snprintf(sz, sizeof sz, "%.17g", dLen);
    std::string s = Join(c, s1, s2, s3, IdText(id), sz);
    for (int i = 0; i < n; ++i) {
      std::snprintf(sz, sizeof sz, "|%.17g,%.17g", p[i].lon, p[i].lat);
      s += sz;
    }
    out.push_back(s);
  }
  return out;
}

TEST_P(BothFiles, EngineRoutesAgree) {
  const MapPair& m = GetParam()();
  Reader a(m.sOsm), b(m.sCompiled);
  ASSERT_NE(b.h, nullptr) << VroReaderLastError();
  VRO_ROUTE* ra = VroRouteOpen(a.h);
  VRO_ROUTE* rb = VroRouteOpen(b.h);
  ASSERT_NE(rb, nullptr);
  const vxnet::NetworkView& net = *vxnet::NetworkOfReader(a.h);
  std::mt19937 rng(9);
  int nRouted = 0;
  for (int q = 0; q < 120; ++q) {
    const Bin_LonLat p = net.points[rng() % net.points.size()];
    const Bin_LonLat z = net.points[rng() % net.points.size()];
    const tagLonLat from{p.lon / 100000.0 + 0.0003, p.lat / 100000.0 - 0.0002};
    const tagLonLat to{z.lon / 100000.0, z.lat / 100000.0 + 0.0001};
    const double dAngle = q % 3 == 0 ? -1.0 : static_cast<double>(rng() % 360);
    const char* szMode = q % 2 == 0 ? "fastest" : "shortest";
    if (q % 10 == 5) {
      // A block on some feature, in both engines.
      const VRO_FEATURE_ID id = vxnet::FeatureIdOf(rng() % net.FeatureCount(), false);
      VroRouteAddBlockEdge(ra, id);
      VroRouteAddBlockEdge(rb, id);
    }
    const int na = VroRouteFindPath(ra, from, to, dAngle, 10.0, szMode, 30.0, nullptr);
    const int nb = VroRouteFindPath(rb, from, to, dAngle, 10.0, szMode, 30.0, nullptr);
    nRouted += na > 0 ? 1 : 0;
    ASSERT_EQ(RouteLog(ra, na), RouteLog(rb, nb)) << "query " << q;
    if (q % 10 == 9) {
      VroRouteRemoveAllBlockEdge(ra);
      VroRouteRemoveAllBlockEdge(rb);
    }
  }
  EXPECT_GT(nRouted, 80);
  VroRouteClose(ra);
  VroRouteClose(rb);
}

template <class T>
std::vector<char> AsBytes(std::span<const T> s) {
  const char* p = reinterpret_cast<const char*>(s.data());
  return {p, p + s.size_bytes()};
}

TEST_P(BothFiles, FileHoldsTheImportedArrays) {
  const MapPair& m = GetParam()();
  vxnet::RoadNetwork net;
  std::string sError;
  ASSERT_TRUE(vxmap::ImportRoadNetwork(m.sOsm.c_str(), net, sError)) << sError;
  net.grid = vxnet::BuildFeatureGrid(net.View());
  net.graph = vxnet::BuildRouteGraph(net.View());
  net.overlay = vxnet::BuildOverlay(vxnet::StateGraph(net.View()));
  const auto mapped = vxnet::MappedMap::Open(m.sCompiled.c_str(), sError);
  ASSERT_TRUE(mapped) << sError;
  EXPECT_TRUE(mapped->VerifyAll(sError)) << sError;
  const vxnet::NetworkView a = net.View(), &b = mapped->View();
  EXPECT_EQ(AsBytes(a.features), AsBytes(b.features));
  EXPECT_EQ(AsBytes(a.points), AsBytes(b.points));
  EXPECT_EQ(AsBytes(a.nodes), AsBytes(b.nodes));
  EXPECT_EQ(AsBytes(a.nameOffsets), AsBytes(b.nameOffsets));
  EXPECT_EQ(AsBytes(a.nameBytes), AsBytes(b.nameBytes));
  EXPECT_EQ(AsBytes(a.forbidden), AsBytes(b.forbidden));
  EXPECT_EQ(AsBytes(a.viaRestrictions), AsBytes(b.viaRestrictions));
  EXPECT_EQ(AsBytes(a.viaHalfEdges), AsBytes(b.viaHalfEdges));
  EXPECT_EQ(AsBytes(a.grid.levels), AsBytes(b.grid.levels));
  EXPECT_EQ(AsBytes(a.grid.cellStart), AsBytes(b.grid.cellStart));
  EXPECT_EQ(AsBytes(a.grid.items), AsBytes(b.grid.items));
  EXPECT_EQ(AsBytes(a.graph.lengths), AsBytes(b.graph.lengths));
  EXPECT_EQ(AsBytes(a.graph.bearings), AsBytes(b.graph.bearings));
  EXPECT_EQ(AsBytes(a.graph.flags), AsBytes(b.graph.flags));
  EXPECT_EQ(AsBytes(a.graph.leavingStart), AsBytes(b.graph.leavingStart));
  EXPECT_EQ(AsBytes(a.graph.leaving), AsBytes(b.graph.leaving));
  EXPECT_EQ(AsBytes(a.graph.copies), AsBytes(b.graph.copies));
  EXPECT_EQ(AsBytes(a.graph.steps), AsBytes(b.graph.steps));
  EXPECT_EQ(a.graph.copies.empty(), a.viaRestrictions.empty());
  EXPECT_EQ(std::memcmp(&a.graph.info, &b.graph.info, sizeof a.graph.info), 0);
  // The overlay and the components, built the same way on both.
  const vxnet::OverlayView &oa = a.overlay, &ob = b.overlay;
  ASSERT_TRUE(ob.Built());
  EXPECT_EQ(std::memcmp(&oa.info, &ob.info, sizeof oa.info), 0);
  EXPECT_EQ(AsBytes(oa.cells), AsBytes(ob.cells));
  EXPECT_EQ(AsBytes(oa.parents), AsBytes(ob.parents));
  EXPECT_EQ(AsBytes(oa.nodeCells), AsBytes(ob.nodeCells));
  EXPECT_EQ(AsBytes(oa.vertexState), AsBytes(ob.vertexState));
  EXPECT_EQ(AsBytes(oa.byState), AsBytes(ob.byState));
  EXPECT_EQ(AsBytes(oa.entries), AsBytes(ob.entries));
  EXPECT_EQ(AsBytes(oa.exits), AsBytes(ob.exits));
  EXPECT_EQ(AsBytes(oa.weights[0]), AsBytes(ob.weights[0]));
  EXPECT_EQ(AsBytes(oa.weights[1]), AsBytes(ob.weights[1]));
  EXPECT_EQ(AsBytes(oa.reach), AsBytes(ob.reach));
  // The generated map has what it is meant to have.
  if (GetParam() == &Country) {
    int nOneWay = 0, nRoundabout = 0, nBridge = 0;
    for (const vxnet::Feature& f : b.features) {
      nOneWay += f.nOneWay != 0 ? 1 : 0;
      nRoundabout += f.IsRoundabout() ? 1 : 0;
    }
    // Bridges meet the roads they join at level 0: they show in the raw ways.
    vxmap::RawOsm raw;
    ASSERT_TRUE(vxmap::ReadOsmFile(m.sOsm.c_str(), raw, sError));
    for (const vxmap::RawWay& w : raw.ways) nBridge += w.nLevel > 0 ? 1 : 0;
    EXPECT_GT(nOneWay, 0);
    EXPECT_GT(nRoundabout, 0);
    EXPECT_GT(nBridge, 0);
    EXPECT_FALSE(b.forbidden.empty());
    EXPECT_FALSE(b.viaRestrictions.empty());
    // Restrictions of every fate a town has: applied over a node and over
    // via ways, and each kind a car does not obey.
    vxnet::RoadNetwork again;
    ASSERT_TRUE(vxmap::BuildRoadNetwork(raw, again, sError));
    const vxmap::RestrictionStats& st = raw.restrictionStats;
    EXPECT_GT(st.Of(vxmap::RestrictionFate::kApplied), st.nAppliedViaWays);
    EXPECT_GT(st.nAppliedViaWays, 0u);
    for (const auto fate :
         {vxmap::RestrictionFate::kOnRed, vxmap::RestrictionFate::kNotForCars,
          vxmap::RestrictionFate::kConditional, vxmap::RestrictionFate::kExceptCars})
      EXPECT_GT(st.Of(fate), 0u) << vxmap::FateName(fate);
  }
}

TEST_P(BothFiles, OneAndTwoPassReadingAgree) {
  const MapPair& m = GetParam()();
  vxnet::RoadNetwork one, two;
  std::string sError;
  ASSERT_TRUE(vxmap::ImportRoadNetwork(m.sOsm.c_str(), one, sError, vxmap::NodePass::kSame));
  ASSERT_TRUE(vxmap::ImportRoadNetwork(m.sOsm.c_str(), two, sError, vxmap::NodePass::kSecond));
  EXPECT_EQ(AsBytes(one.View().features), AsBytes(two.View().features));
  EXPECT_EQ(AsBytes(one.View().points), AsBytes(two.View().points));
  EXPECT_EQ(AsBytes(one.View().nodes), AsBytes(two.View().nodes));
  EXPECT_EQ(AsBytes(one.View().forbidden), AsBytes(two.View().forbidden));
  EXPECT_EQ(AsBytes(one.View().viaRestrictions), AsBytes(two.View().viaRestrictions));
  EXPECT_EQ(AsBytes(one.View().viaHalfEdges), AsBytes(two.View().viaHalfEdges));
  EXPECT_EQ(one.names.bytes, two.names.bytes);
  EXPECT_EQ(one.wayIds, two.wayIds);
}

INSTANTIATE_TEST_SUITE_P(Maps, BothFiles, ::testing::Values(&Town, &Country),
                         [](const auto& info) { return info.index == 0 ? "Town" : "Country"; });

// Header and section table of a file in memory, for making bad files.
vxnet::MapHeader& HeaderOf(Bytes& b) { return *reinterpret_cast<vxnet::MapHeader*>(b.data()); }
vxnet::SectionEntry* TableOf(Bytes& b) {
  return reinterpret_cast<vxnet::SectionEntry*>(b.data() + sizeof(vxnet::MapHeader));
}
vxnet::SectionEntry& SectionOf(Bytes& b, std::uint32_t nId) {
  vxnet::SectionEntry* t = TableOf(b);
  for (std::uint32_t i = 0; i < HeaderOf(b).nSectionCount; ++i)
    if (t[i].nId == nId) return t[i];
  throw std::runtime_error("no such section");
}

void FixChecksums(Bytes& b) { vxnet::RestampChecksums(b); }

std::string OpenError(const Bytes& b, const std::string& sName) {
  const std::string sPath = TempPath(sName);
  WriteFile(sPath, b);
  VRO_READER* h = VroReaderOpen(sPath.c_str());
  EXPECT_EQ(h, nullptr) << sName;
  VroReaderClose(h);
  return VroReaderLastError();
}

TEST(CompiledMap, BadFilesAreRefusedWithTheReason) {
  const Bytes good = ReadFile(Town().sCompiled);
  ASSERT_GT(good.size(), 1000u);
  EXPECT_NE(OpenError(Bytes(good.begin(), good.begin() + 20), "short").find("truncated"),
            std::string::npos);
  EXPECT_NE(OpenError(Bytes(good.begin(), good.end() - 100), "cut").find("truncated"),
            std::string::npos);
  Bytes b = good;
  HeaderOf(b).nMajor = 2;
  HeaderOf(b).nMinor = 0;
  FixChecksums(b);
  EXPECT_NE(OpenError(b, "newer").find("format version 2.0"), std::string::npos);
  b = good;
  HeaderOf(b).nByteOrder = 0x04030201u;
  FixChecksums(b);
  EXPECT_NE(OpenError(b, "order").find("byte order"), std::string::npos);
  b = good;
  b[sizeof(vxnet::MapHeader) + 3] ^= 1;  // in the section table
  EXPECT_NE(OpenError(b, "table").find("section table checksum"), std::string::npos);
  b = good;
  b[SectionOf(b, vxnet::section::kFeatures).nOffset + 5] ^= 1;
  EXPECT_NE(OpenError(b, "feat").find("FEAT checksum"), std::string::npos);
  b = good;
  SectionOf(b, vxnet::section::kPoints).nSize += 1u << 30;
  FixChecksums(b);
  EXPECT_NE(OpenError(b, "outside").find("PNTS lies outside"), std::string::npos);
  b = good;
  SectionOf(b, vxnet::section::kLengths).nId = vxnet::SectionId("XLEN");  // unknown: passed over
  FixChecksums(b);
  EXPECT_NE(OpenError(b, "missing").find("GLEN missing"), std::string::npos);
  b = good;
  SectionOf(b, vxnet::section::kGraphFlags).nSize -= 1;
  FixChecksums(b);
  EXPECT_NE(OpenError(b, "count").find("do not match the feature count"), std::string::npos);
  b = good;
  reinterpret_cast<vxnet::GridLevel*>(b.data() + SectionOf(b, vxnet::section::kGridLevels).nOffset)
      ->nCols = 1LL << 40;
  FixChecksums(b);
  EXPECT_NE(OpenError(b, "grid").find("GRDL level out of range"), std::string::npos);
  // The overlay's sections hang together or the file is refused.
  b = good;
  SectionOf(b, vxnet::section::kOverlayStates).nId = vxnet::SectionId("XVST");
  FixChecksums(b);
  EXPECT_NE(OpenError(b, "overlay").find("overlay sections do not match OINF"), std::string::npos);
  b = good;
  reinterpret_cast<vxnet::OverlayInfo*>(b.data() +
                                        SectionOf(b, vxnet::section::kOverlayInfo).nOffset)
      ->nLevels = 9;
  FixChecksums(b);
  EXPECT_NE(OpenError(b, "levels").find("OINF values out of range"), std::string::npos);
  // A file of format 1.0 (no overlay, no components) opens and routes.
  b = good;
  for (const std::uint32_t nId : {vxnet::section::kOverlayInfo, vxnet::section::kOverlayCells,
                                  vxnet::section::kOverlayParents, vxnet::section::kOverlayNodes,
                                  vxnet::section::kOverlayStates, vxnet::section::kOverlayByState,
                                  vxnet::section::kOverlayPoints, vxnet::section::kOverlayEntries,
                                  vxnet::section::kOverlayExits, vxnet::section::kOverlayFastest,
                                  vxnet::section::kOverlayShortest, vxnet::section::kReach})
    SectionOf(b, nId).nId = vxnet::SectionId("XXXX");
  HeaderOf(b).nMinor = 0;
  FixChecksums(b);
  WriteFile(TempPath("old"), b);
  Reader old(TempPath("old"));
  ASSERT_NE(old.h, nullptr) << VroReaderLastError();
  Reader now(Town().sCompiled);
  ASSERT_NE(now.h, nullptr) << VroReaderLastError();
  VRO_ROUTE* hOld = VroRouteOpen(old.h);
  VRO_ROUTE* hNow = VroRouteOpen(now.h);
  const vxnet::NetworkView& net = *vxnet::NetworkOfReader(old.h);
  EXPECT_FALSE(net.overlay.Built());
  EXPECT_TRUE(net.overlay.reach.empty());
  EXPECT_TRUE(vxnet::NetworkOfReader(now.h)->overlay.Built());
  // The same lengths (ties may pick other roads of the same length).
  const auto length = [](VRO_ROUTE* h, const tagLonLat& a, const tagLonLat& z) {
    if (VroRouteFindPath(h, a, z, -1, 0, "shortest", 0, nullptr) <= 0) return -1.0;
    double dSum = 0.0, dLen = 0.0;
    char c[6], s1[21], s2[301], s3[100];
    VRO_FEATURE_ID id{};
    tagLonLat* p = nullptr;
    VroRouteRetrieveStart(h);
    while (VroRouteRetrieveNextEdgeEx(h, c, s1, s2, s3, id, dLen, p) > 0) dSum += dLen;
    return dSum;
  };
  int nRouted = 0;
  for (std::size_t i = 0; i + 7 < net.nodes.size(); i += 7) {
    const tagLonLat a{net.nodes[i].lon / 1e5, net.nodes[i].lat / 1e5};
    const tagLonLat z{net.nodes[i + 7].lon / 1e5, net.nodes[i + 7].lat / 1e5};
    const double dOld = length(hOld, a, z);
    EXPECT_NEAR(dOld, length(hNow, a, z), 1e-6 * dOld + 1e-9) << "node " << i;
    nRouted += dOld > 0 ? 1 : 0;
  }
  EXPECT_GT(nRouted, 5);
  VroRouteClose(hOld);
  VroRouteClose(hNow);
  // A file that is not a compiled map is read as OpenStreetMap; asked for as
  // a compiled map it is named as foreign.
  std::string sError;
  EXPECT_FALSE(vxnet::MappedMap::Open(Town().sOsm.c_str(), sError));
  EXPECT_NE(sError.find("not a compiled map"), std::string::npos);
  b = good;
  SectionOf(b, vxnet::section::kViaRestrictions).nRecordSize = 8;
  FixChecksums(b);
  EXPECT_NE(OpenError(b, "via").find("VIAR has records of 8 bytes"), std::string::npos);
  // A file of format 1.0 has no via restrictions: it opens without them.
  b = good;
  HeaderOf(b).nMinor = 0;
  SectionOf(b, vxnet::section::kViaRestrictions).nId = vxnet::SectionId("XIAR");
  SectionOf(b, vxnet::section::kViaHalfEdges).nId = vxnet::SectionId("XIAH");
  FixChecksums(b);
  WriteFile(TempPath("v10"), b);
  const auto v10 = vxnet::MappedMap::Open(TempPath("v10").c_str(), sError);
  ASSERT_TRUE(v10) << sError;
  EXPECT_TRUE(v10->View().viaRestrictions.empty());
  EXPECT_TRUE(v10->View().viaHalfEdges.empty());
  EXPECT_FALSE(v10->View().features.empty());
  // A minor version above this reader's, with a section it does not know, opens.
  b = good;
  HeaderOf(b).nMinor = 7;
  FixChecksums(b);
  WriteFile(TempPath("minor"), b);
  Reader minor(TempPath("minor"));
  EXPECT_NE(minor.h, nullptr) << VroReaderLastError();
}

// Random bytes written over records of every big section (checksums made to
// match): opening succeeds or fails cleanly, and every call on the map, of
// the reader and the engine, stays within the file (ASan and valgrind check).
TEST(CompiledMap, CorruptRecordsAreNeverReadOutOfBounds) {
  const Bytes good = ReadFile(Country().sCompiled);
  std::mt19937 rng(21);
  const std::uint32_t ids[] = {vxnet::section::kFeatures,        vxnet::section::kNameOffsets,
                               vxnet::section::kGridCells,       vxnet::section::kGridItems,
                               vxnet::section::kLengths,         vxnet::section::kBearings,
                               vxnet::section::kGraphFlags,      vxnet::section::kLeavingStart,
                               vxnet::section::kLeaving,         vxnet::section::kForbidden,
                               vxnet::section::kNameBytes,       vxnet::section::kOverlayCells,
                               vxnet::section::kOverlayParents,  vxnet::section::kOverlayNodes,
                               vxnet::section::kOverlayStates,   vxnet::section::kOverlayByState,
                               vxnet::section::kOverlayPoints,   vxnet::section::kOverlayEntries,
                               vxnet::section::kOverlayExits,    vxnet::section::kOverlayFastest,
                               vxnet::section::kOverlayShortest, vxnet::section::kReach,
                               vxnet::section::kViaRestrictions, vxnet::section::kViaHalfEdges};
  int nOpened = 0;
  for (int round = 0; round < 40; ++round) {
    Bytes b = good;
    for (int k = 0; k < 200; ++k) {
      const vxnet::SectionEntry& s = SectionOf(b, ids[rng() % std::size(ids)]);
      if (s.nSize == 0) continue;
      b[s.nOffset + rng() % s.nSize] = static_cast<char>(rng());
    }
    FixChecksums(b);
    const std::string sPath = TempPath("corrupt");
    WriteFile(sPath, b);
    Reader r(sPath);
    if (r.h == nullptr) continue;
    ++nOpened;
    std::vector<std::string> log = SearchLog(r.h);
    for (std::uint32_t k = 0; k < 3000; k += 7) {
      char c[6], s1[21], s2[301];
      VroFeatureOneAttr(r.h, vxnet::FeatureIdOf(k, k % 2 != 0), 0, c, s1, s2);
      AppendAttrs(r.h, log);
    }
    // The via restrictions through the view's accessors, as the engine reads them.
    const vxnet::NetworkView& net = *vxnet::NetworkOfReader(r.h);
    std::uint64_t nViaSum = 0;
    for (const vxnet::ViaRestriction& v : net.viaRestrictions) {
      for (const std::uint32_t h : net.ViaOf(v)) nViaSum += h;
      nViaSum += net.ViaRestrictionsFrom(v.nFrom).size();
    }
    log.push_back(std::to_string(nViaSum));
    VroReaderRectLimit(r.h, {600000, 4700000}, {630000, 4780000});
    log = SearchLog(r.h);
    VRO_ROUTE* route = VroRouteOpen(r.h);
    ASSERT_NE(route, nullptr);
    for (int q = 0; q < 10; ++q) {
      const tagLonLat a{6.0 + (rng() % 1000) / 5000.0, 47.5 + (rng() % 1000) / 5000.0};
      const tagLonLat z{6.0 + (rng() % 1000) / 5000.0, 47.5 + (rng() % 1000) / 5000.0};
      VroRouteAddBlockEdge(route, vxnet::FeatureIdOf(rng() % 3000, false));
      RouteLog(route, VroRouteFindPath(route, a, z, q * 40.0, 5, "fastest", 5, nullptr));
    }
    VroRouteClose(route);
  }
  EXPECT_GT(nOpened, 30);
}

// The engine reaches a reader's network only through a handle our reader
// opened and has not closed; any other handle is never read.
TEST(CompiledMap, ForeignAndClosedReaderHandlesAreNotFollowed) {
  alignas(16) unsigned char fake[256];
  std::memset(fake, 0xA5, sizeof fake);
  VRO_READER* hFake = reinterpret_cast<VRO_READER*>(fake);
  EXPECT_EQ(vxnet::NetworkOfReader(hFake), nullptr);
  EXPECT_EQ(VroRouteOpen(hFake), nullptr);
  VRO_READER* h = VroReaderOpen(Town().sCompiled.c_str());
  ASSERT_NE(h, nullptr);
  EXPECT_NE(vxnet::NetworkOfReader(h), nullptr);
  VroReaderClose(h);
  EXPECT_EQ(vxnet::NetworkOfReader(h), nullptr);  // compared, never read
}

}  // namespace
