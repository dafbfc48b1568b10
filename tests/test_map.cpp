// The road network importer and the map reader: tag reading, cutting ways
// at junctions, one-way forms, levels, turn restrictions, broken input, the
// reader's limits, rectangle search, attributes, direction flag and buffers.
#include <bzlib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "interfaces/VroRead.h"
#include "map/OsmImport.h"
#include "map/OsmTags.h"
#include "network/FeatureId.h"
#include "network/ReaderNetwork.h"
#include "network/RoadGeometry.h"

namespace {

using vxnet::Feature;
using vxnet::NetworkView;
using vxnet::RoadNetwork;

// Writes a small OpenStreetMap XML file node by node, way by way.
class OsmWriter {
 public:
  void Node(long nId, double dLon, double dLat) {
    char sz[160];
    std::snprintf(sz, sizeof sz, "<node id=\"%ld\" lat=\"%.7f\" lon=\"%.7f\"/>\n", nId, dLat, dLon);
    m_nodes += sz;
  }
  void Way(long nId, const std::vector<long>& refs,
           const std::vector<std::pair<std::string, std::string>>& tags) {
    std::string s = "<way id=\"" + std::to_string(nId) + "\">";
    for (long r : refs) s += "<nd ref=\"" + std::to_string(r) + "\"/>";
    for (const auto& [k, v] : tags) s += "<tag k=\"" + k + "\" v=\"" + v + "\"/>";
    m_ways += s + "</way>\n";
  }
  void Restriction(long nId, long nFrom, long nVia, long nTo, const std::string& sKind) {
    m_relations +=
        "<relation id=\"" + std::to_string(nId) + "\"><member type=\"way\" ref=\"" +
        std::to_string(nFrom) + "\" role=\"from\"/><member type=\"node\" ref=\"" +
        std::to_string(nVia) + "\" role=\"via\"/><member type=\"way\" ref=\"" +
        std::to_string(nTo) +
        "\" role=\"to\"/><tag k=\"type\" v=\"restriction\"/><tag k=\"restriction\" v=\"" + sKind +
        "\"/></relation>\n";
  }
  std::string Save(const std::string& sName) const {
    return WriteFile(sName, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<osm version=\"0.6\">\n" +
                                m_nodes + m_ways + m_relations + "</osm>\n");
  }
  static std::string WriteFile(const std::string& sName, const std::string& sText) {
    const std::string sPath = ::testing::TempDir() + "vx_test_map_" + sName;
    std::ofstream(sPath, std::ios::binary) << sText;
    return sPath;
  }

 private:
  std::string m_nodes, m_ways, m_relations;
};

using Tags = std::vector<std::pair<std::string, std::string>>;
const Tags kResidential = {{"highway", "residential"}};

RoadNetwork Import(const std::string& sPath) {
  RoadNetwork net;
  std::string sError;
  EXPECT_TRUE(vxmap::ImportRoadNetwork(sPath.c_str(), net, sError)) << sError;
  return net;
}

std::vector<Bin_LonLat> PointsOf(const NetworkView& net, const Feature& f) {
  const std::span<const Bin_LonLat> pts = net.PointsOf(f);
  return {pts.begin(), pts.end()};
}
std::vector<Bin_LonLat> PointsOf(const RoadNetwork& net, const Feature& f) {
  return PointsOf(net.View(), f);
}

// Index of the feature cut from way nWay that starts at point (nLon, nLat).
int FeatureFrom(const RoadNetwork& net, std::uint64_t nWay, std::int32_t nLon, std::int32_t nLat) {
  for (std::size_t k = 0; k < net.features.size(); ++k) {
    const Feature& f = net.features[k];
    const Bin_LonLat& p = net.points[f.nFirstPoint];
    if (net.wayIds[k] == nWay && p.lon == nLon && p.lat == nLat) return static_cast<int>(k);
  }
  return -1;
}

std::string NameOf(const NetworkView& net, std::uint32_t nName) { return net.NameOf(nName); }
std::string NameOf(const RoadNetwork& net, std::uint32_t nName) {
  return NameOf(net.View(), nName);
}

struct Attr {
  std::string sCode, sName, sValue;
};

std::vector<Attr> ReadAttrs(VRO_READER* h) {
  std::vector<Attr> out;
  char c[6], s1[21], s2[301];
  while (VroReaderNextAttr(h, c, s1, s2)) out.push_back({c, s1, s2});
  return out;
}

std::string AttrValue(const std::vector<Attr>& attrs, const std::string& sCode) {
  std::string s;
  for (const Attr& a : attrs) {
    if (a.sCode == sCode) s += (s.empty() ? "" : "|") + a.sValue;
  }
  return s;
}

// Reader over a file; closed at the end of the test.
struct Reader {
  explicit Reader(const std::string& sPath) : h(VroReaderOpen(sPath.c_str())) {
    EXPECT_NE(h, nullptr) << VroReaderLastError();
  }
  ~Reader() { VroReaderClose(h); }
  std::vector<std::uint32_t> Search() const {
    std::vector<std::uint32_t> out;
    VroReaderReset(h, nullptr, 1);
    char c[6], s1[21], s2[301];
    VRO_FEATURE_ID id;
    Bin_LonLat* p = nullptr;
    while (VroReaderNextFeature(h, c, s1, s2, id, p) > 0) {
      std::uint32_t k = 0;
      bool bRev = true;
      EXPECT_TRUE(vxnet::DecodeFeatureId(id, k, bRev));
      EXPECT_FALSE(bRev);
      out.push_back(k);
    }
    return out;
  }
  VRO_READER* h;
};

// A plus-shaped crossing: way 10 west-east through node 2, way 11
// south-north through node 2; plus a footway and an untagged way touching.
std::string CrossingFile(const std::string& sName, const Tags& tagsNorthSouth) {
  OsmWriter w;
  w.Node(1, 13.400, 52.500);
  w.Node(2, 13.401, 52.500);
  w.Node(3, 13.402, 52.500);
  w.Node(4, 13.401, 52.499);
  w.Node(5, 13.401, 52.501);
  w.Node(6, 13.4015, 52.5005);
  w.Way(10, {1, 2, 3}, {{"highway", "residential"}, {"name", "East Street"}});
  w.Way(11, {4, 2, 5}, tagsNorthSouth);
  w.Way(12, {3, 6}, {{"highway", "footway"}});
  w.Way(13, {1, 6}, {{"name", "no highway"}});
  return w.Save(sName);
}

// Writes OpenStreetMap PBF files by hand, protocol buffer field by field,
// with uncompressed blobs: one header block and one data block holding
// dense nodes and ways.
class PbfWriter {
 public:
  // Appends a varint-encoded unsigned value.
  static void Varint(std::string& s, std::uint64_t n) {
    for (; n >= 0x80; n >>= 7) s += static_cast<char>((n & 0x7F) | 0x80);
    s += static_cast<char>(n);
  }
  static std::uint64_t ZigZag(std::int64_t n) {
    return (static_cast<std::uint64_t>(n) << 1) ^ static_cast<std::uint64_t>(n < 0 ? -1 : 0);
  }
  static void Int(std::string& s, int nField, std::uint64_t n) {
    Varint(s, static_cast<std::uint64_t>(nField) << 3);
    Varint(s, n);
  }
  static void Bytes(std::string& s, int nField, const std::string& sValue) {
    Varint(s, (static_cast<std::uint64_t>(nField) << 3) | 2);
    Varint(s, sValue.size());
    s += sValue;
  }
  static std::string PackedSigned(const std::vector<std::int64_t>& values) {
    std::string s;
    for (std::int64_t n : values) Varint(s, ZigZag(n));
    return s;
  }

  /// Nodes as (delta-coded) ids and raw lat/lon deltas in units of the
  /// granularity; each way is its id and its node id deltas.
  std::vector<std::string> strings = {"", "highway", "residential"};
  std::string sDataType = "OSMData";  // no type field when empty
  int nKeyIndex = 1;                  // the string of the ways' one tag key
  std::int32_t nGranularity = 100;
  std::int64_t nLatOffset = 0, nLonOffset = 0;
  std::vector<std::int64_t> nodeIds, nodeLats, nodeLons;
  std::vector<std::pair<std::int64_t, std::vector<std::int64_t>>> ways;

  /// One residential road from (13.4, 52.5) 0.001 degree east.
  static PbfWriter TwoNodeRoad() {
    PbfWriter pbf;
    pbf.nodeIds = {1, 1};
    pbf.nodeLats = {525000000, 0};
    pbf.nodeLons = {134000000, 10000};
    pbf.ways = {{10, {1, 1}}};
    return pbf;
  }

  std::string Save(const std::string& sName) const {
    std::string sHeader;
    Bytes(sHeader, 4, "OsmSchema-V0.6");
    Bytes(sHeader, 4, "DenseNodes");
    std::string sStrings;
    for (const std::string& sText : strings) Bytes(sStrings, 1, sText);
    std::string sDense;
    Bytes(sDense, 1, PackedSigned(nodeIds));
    Bytes(sDense, 8, PackedSigned(nodeLats));
    Bytes(sDense, 9, PackedSigned(nodeLons));
    std::string sNodeGroup, sWayGroup;
    Bytes(sNodeGroup, 2, sDense);
    for (const auto& [nId, refs] : ways) {
      std::string sWay;
      Int(sWay, 1, static_cast<std::uint64_t>(nId));
      Bytes(sWay, 2, std::string(1, static_cast<char>(nKeyIndex)));
      Bytes(sWay, 3, std::string(1, '\2'));
      Bytes(sWay, 8, PackedSigned(refs));
      Bytes(sWayGroup, 3, sWay);
    }
    std::string sBlock;
    Bytes(sBlock, 1, sStrings);
    Bytes(sBlock, 2, sNodeGroup);
    Bytes(sBlock, 2, sWayGroup);
    Int(sBlock, 17, static_cast<std::uint64_t>(static_cast<std::int64_t>(nGranularity)));
    Int(sBlock, 19, static_cast<std::uint64_t>(nLatOffset));
    Int(sBlock, 20, static_cast<std::uint64_t>(nLonOffset));
    return OsmWriter::WriteFile(sName, Blob("OSMHeader", sHeader) + Blob(sDataType, sBlock));
  }

 private:
  static std::string Blob(const std::string& sType, const std::string& sContent) {
    std::string sBlob;
    Bytes(sBlob, 1, sContent);
    std::string sBlobHeader;
    if (!sType.empty()) Bytes(sBlobHeader, 1, sType);
    Int(sBlobHeader, 3, sBlob.size());
    const auto n = static_cast<std::uint32_t>(sBlobHeader.size());
    std::string s{static_cast<char>(n >> 24), static_cast<char>(n >> 16), static_cast<char>(n >> 8),
                  static_cast<char>(n)};
    return s + sBlobHeader + sBlob;
  }
};

}  // namespace

TEST(MapTags, RoadClassesSpeedsLevelsAndAccess) {
  EXPECT_EQ(vxmap::RoadClassOf("motorway_link"), 1);
  EXPECT_EQ(vxmap::RoadClassOf("tertiary"), 5);
  EXPECT_EQ(vxmap::RoadClassOf("service"), 7);
  for (const char* sz : {"footway", "cycleway", "path", "steps", "", "Residential"})
    EXPECT_EQ(vxmap::RoadClassOf(sz), 0) << sz;
  EXPECT_EQ(vxmap::RoadClassOf(nullptr), 0);

  EXPECT_EQ(vxmap::ParseMaxSpeed("50"), 50);
  EXPECT_EQ(vxmap::ParseMaxSpeed("70 km/h"), 70);
  EXPECT_EQ(vxmap::ParseMaxSpeed("30 mph"), 48);
  EXPECT_EQ(vxmap::ParseMaxSpeed("70mph"), 113);
  for (const char* sz : {"none", "signals", "DE:urban", "7.5", "50;30", "-30", "", "99999999999"})
    EXPECT_EQ(vxmap::ParseMaxSpeed(sz), 0) << sz;
  EXPECT_EQ(vxmap::ParseMaxSpeed(nullptr), 0);

  EXPECT_EQ(vxmap::LevelOf(nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(vxmap::LevelOf(nullptr, "yes", nullptr), 1);
  EXPECT_EQ(vxmap::LevelOf(nullptr, "viaduct", nullptr), 1);
  EXPECT_EQ(vxmap::LevelOf(nullptr, "no", "yes"), -1);
  EXPECT_EQ(vxmap::LevelOf("2", "yes", nullptr), 2);
  EXPECT_EQ(vxmap::LevelOf("-1", nullptr, "yes"), -1);
  EXPECT_EQ(vxmap::LevelOf("x", "yes", nullptr), 1);  // unreadable layer: the bridge counts
  EXPECT_EQ(vxmap::LevelOf("12345678901", nullptr, nullptr), 0);
  EXPECT_EQ(vxmap::LevelOf("1.5", nullptr, "no"), 0);

  EXPECT_TRUE(vxmap::CarAccessDenied(nullptr, nullptr, nullptr, "no"));
  EXPECT_TRUE(vxmap::CarAccessDenied(nullptr, nullptr, "private", "yes"));
  EXPECT_FALSE(vxmap::CarAccessDenied("yes", nullptr, nullptr, "no"));
  EXPECT_FALSE(vxmap::CarAccessDenied(nullptr, nullptr, nullptr, "destination"));
  EXPECT_FALSE(vxmap::CarAccessDenied(nullptr, nullptr, nullptr, nullptr));
}

TEST(MapImport, CutsAtJunctionsOnlyAndSharesExactPoints) {
  const RoadNetwork net = Import(CrossingFile("cross.osm", {{"highway", "primary"}}));
  // The footway and the untagged way are not roads and do not cut way 10 at node 3 or 1.
  ASSERT_EQ(net.features.size(), 4u);
  const int w = FeatureFrom(net, 10, 1340000, 5250000);
  const int e = FeatureFrom(net, 10, 1340100, 5250000);
  const int s = FeatureFrom(net, 11, 1340100, 5249900);
  const int n = FeatureFrom(net, 11, 1340100, 5250000);
  ASSERT_TRUE(w >= 0 && e >= 0 && s >= 0 && n >= 0);
  // Deterministic order: file order of the ways, node order within a way.
  EXPECT_EQ(std::vector<int>({w, e, s, n}), std::vector<int>({0, 1, 2, 3}));
  EXPECT_EQ(net.features[w].nToNode, net.features[e].nFromNode);
  EXPECT_EQ(net.features[s].nToNode, net.features[e].nFromNode);
  EXPECT_EQ(net.features[n].nFromNode, net.features[e].nFromNode);
  const Bin_LonLat& c = net.nodes[net.features[e].nFromNode];
  EXPECT_EQ(c.lon, 1340100);
  EXPECT_EQ(c.lat, 5250000);
  EXPECT_EQ(NameOf(net, net.features[w].nName), "East Street");
  EXPECT_EQ(NameOf(net, net.features[s].nName), "");
  EXPECT_EQ(net.features[s].nRoadClass, 3);
  EXPECT_TRUE(net.forbidden.empty());
}

TEST(MapImport, ReadsCompressedFilesLikePlainOnes) {
  const std::string sPlain = CrossingFile("packed.osm", kResidential);
  std::ifstream in(sPlain, std::ios::binary);
  const std::string sText((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<char> packed(sText.size() + sText.size() / 100 + 600);
  unsigned nPacked = static_cast<unsigned>(packed.size());
  ASSERT_EQ(BZ2_bzBuffToBuffCompress(packed.data(), &nPacked, const_cast<char*>(sText.data()),
                                     static_cast<unsigned>(sText.size()), 9, 0, 0),
            BZ_OK);
  const std::string sPacked =
      OsmWriter::WriteFile("packed.osm.bz2", std::string(packed.data(), nPacked));
  const RoadNetwork plain = Import(sPlain), fromBz2 = Import(sPacked);
  ASSERT_EQ(fromBz2.features.size(), plain.features.size());
  ASSERT_EQ(fromBz2.points.size(), plain.points.size());
  for (std::size_t i = 0; i < plain.points.size(); ++i) {
    EXPECT_EQ(fromBz2.points[i].lon, plain.points[i].lon);
    EXPECT_EQ(fromBz2.points[i].lat, plain.points[i].lat);
  }
  EXPECT_EQ(fromBz2.names.bytes, plain.names.bytes);
}

TEST(MapImport, RoundsOnceAndPassesOverSinglePointStretches) {
  OsmWriter w;
  // 13.4000050 rounds up, -0.0000050 rounds away from zero, 13.4000049 down.
  w.Node(1, 13.4000050, 52.5);
  w.Node(2, 13.4000049, 52.501);
  w.Node(3, -0.0000050, -0.0000049);
  w.Node(4, 13.40000, 52.502);
  w.Node(5, 13.400001, 52.502);  // rounds onto node 4's point
  w.Node(6, 13.401, 52.503);
  w.Way(20, {1, 2}, kResidential);
  w.Way(21, {3, 1}, kResidential);
  w.Node(10, 13.41, 52.51);
  w.Node(11, 13.410001, 52.51);              // rounds onto node 10's point
  w.Way(22, {10, 11}, kResidential);         // collapses to one point: passed over
  w.Way(23, {6}, kResidential);              // a single node: passed over
  w.Way(24, {2, 2, 4, 5, 6}, kResidential);  // repeated node and repeated point kept once
  w.Way(25, {6, 99, 4}, kResidential);       // node 99 is missing: nothing to cut
  // A stretch of one point between two roads: the roads stay joined.
  w.Node(20, 13.42, 52.52);
  w.Node(21, 13.420003, 52.520002);
  w.Node(22, 13.42, 52.53);
  w.Node(23, 13.43, 52.52);
  w.Way(26, {22, 20}, kResidential);
  w.Way(27, {20, 21}, kResidential);
  w.Way(28, {21, 23}, kResidential);
  const RoadNetwork net = Import(w.Save("round.osm"));
  ASSERT_EQ(net.features.size(), 5u);
  EXPECT_EQ(net.features[3].nToNode, net.features[4].nFromNode);
  EXPECT_EQ(net.nodes.size(), 7u);
  EXPECT_EQ(PointsOf(net, net.features[0])[0].lon, 1340001);
  EXPECT_EQ(PointsOf(net, net.features[0])[1].lon, 1340000);
  const std::vector<Bin_LonLat> p21 = PointsOf(net, net.features[1]);
  EXPECT_EQ(p21[0].lon, -1);
  EXPECT_EQ(p21[0].lat, 0);
  EXPECT_EQ(net.features[1].nToNode, net.features[0].nFromNode);
  const std::vector<Bin_LonLat> p24 = PointsOf(net, net.features[2]);
  ASSERT_EQ(p24.size(), 3u);
  EXPECT_EQ(p24[1].lon, 1340000);
  EXPECT_EQ(p24[1].lat, 5250200);
  for (const Feature& f : net.features) EXPECT_GE(f.nPointCount, 2u);
}

TEST(MapImport, GapsAndLoopsCutWays) {
  OsmWriter w;
  for (long i = 1; i <= 6; ++i) w.Node(i, 13.40 + 0.001 * static_cast<double>(i), 52.5);
  w.Node(7, 13.403, 52.501);
  w.Way(30, {1, 2, 99, 3, 4}, kResidential);  // missing node 99 leaves two pieces
  w.Way(31, {4, 5, 7, 4, 6}, kResidential);   // comes back to node 4: a loop and a tail
  const RoadNetwork net = Import(w.Save("gaps.osm"));
  ASSERT_EQ(net.features.size(), 4u);
  EXPECT_EQ(net.features[0].nPointCount, 2u);
  EXPECT_EQ(net.features[1].nPointCount, 2u);
  EXPECT_NE(net.features[0].nToNode, net.features[1].nFromNode);
  EXPECT_EQ(net.features[2].nFromNode, net.features[2].nToNode);  // the loop 4-5-7-4
  EXPECT_EQ(net.features[2].nPointCount, 4u);
  EXPECT_EQ(net.features[3].nFromNode, net.features[1].nToNode);
}

TEST(MapImport, OneWayFormsReachFeaturesAndCodes) {
  OsmWriter w;
  const std::vector<Tags> forms = {
      {{"highway", "residential"}, {"oneway", "yes"}},
      {{"highway", "residential"}, {"oneway", "true"}},
      {{"highway", "residential"}, {"oneway", "1"}},
      {{"highway", "residential"}, {"oneway", "-1"}},
      {{"highway", "residential"}, {"oneway", "no"}},
      {{"highway", "residential"}, {"oneway", "reversible"}},
      {{"highway", "primary"}, {"junction", "roundabout"}},
      {{"highway", "motorway"}},
      {{"highway", "motorway"}, {"oneway", "no"}},
      {{"highway", "secondary"}, {"maxspeed", "30 mph"}},
  };
  for (std::size_t i = 0; i < forms.size(); ++i) {
    const long a = 100 + 2 * static_cast<long>(i);
    w.Node(a, 13.4, 52.5 + 0.001 * static_cast<double>(i));
    w.Node(a + 1, 13.401, 52.5 + 0.001 * static_cast<double>(i));
    w.Way(static_cast<long>(i) + 1, {a, a + 1}, forms[i]);
  }
  const std::string sPath = w.Save("oneway.osm");
  const RoadNetwork net = Import(sPath);
  ASSERT_EQ(net.features.size(), forms.size());
  const int kWant[] = {1, 1, 1, -1, 0, 0, 1, 1, 0, 0};
  for (std::size_t i = 0; i < forms.size(); ++i) EXPECT_EQ(net.features[i].nOneWay, kWant[i]) << i;
  EXPECT_FALSE(net.features[5].IsRoutable());
  EXPECT_TRUE(net.features[6].IsRoutable());
  EXPECT_EQ(net.features[9].nMaxSpeed, 48);
  EXPECT_EQ(net.features[7].nRoadClass, 1);

  Reader r(sPath);
  const char kMarks[] = "+++-00++00";
  char c[6], s1[21], s2[301];
  for (std::uint32_t k = 0; k < forms.size(); ++k) {
    ASSERT_EQ(VroFeatureOneAttr(r.h, vxnet::FeatureIdOf(k, false), 0, c, s1, s2), 1);
    EXPECT_EQ(std::strlen(c), 5u);
    EXPECT_EQ(c[3], kMarks[k]) << k;
    EXPECT_EQ(c[4], k == 5 ? 'X' : '0');
    EXPECT_EQ(c[2], k == 6 ? 'C' : '0') << k;  // the roundabout
    EXPECT_EQ(net.features[k].IsRoundabout(), k == 6);
    EXPECT_EQ(s1[0], 'R');
    EXPECT_EQ(std::atoi(s1 + 1), net.features[k].nRoadClass);
    // Driven against its digitisation, a one-way road shows the mirrored mark.
    ASSERT_EQ(VroFeatureOneAttr(r.h, vxnet::FeatureIdOf(k, true), 0, c, s1, s2), 1);
    const char cMirror = kMarks[k] == '+' ? '-' : kMarks[k] == '-' ? '+' : '0';
    EXPECT_EQ(c[3], cMirror) << k;
    EXPECT_EQ(c[2], k == 6 ? 'C' : '0') << k;
  }
}

TEST(MapImport, LevelsAtConnectedAndUnconnectedEnds) {
  OsmWriter w;
  // Ground street 1-2-3 west-east; a bridge of two ways 4-5 and 5-6 that
  // crosses it north-south, its middle node 5 on the very point of node 2
  // but not joined to it; the bridge ramps join ground roads at 4 and 6.
  w.Node(1, 13.400, 52.500);
  w.Node(2, 13.401, 52.500);
  w.Node(3, 13.402, 52.500);
  w.Node(4, 13.401, 52.499);
  w.Node(5, 13.401, 52.500);
  w.Node(6, 13.401, 52.501);
  w.Node(7, 13.401, 52.498);
  w.Node(8, 13.401, 52.502);
  w.Node(9, 13.403, 52.500);
  w.Way(40, {1, 2, 3}, kResidential);
  w.Way(41, {2, 2}, kResidential);  // a single-node way does not join node 2 to anything
  w.Way(42, {4, 5}, {{"highway", "primary"}, {"bridge", "yes"}, {"layer", "1"}});
  w.Way(43, {5, 6}, {{"highway", "primary"}, {"bridge", "yes"}});
  w.Way(44, {7, 4}, {{"highway", "primary"}});
  w.Way(45, {6, 8}, {{"highway", "primary"}});
  w.Way(46, {3, 9}, {{"highway", "residential"}, {"tunnel", "yes"}});
  const std::string sPath = w.Save("levels.osm");
  const RoadNetwork net = Import(sPath);
  ASSERT_EQ(net.features.size(), 6u);
  const Feature& bridgeSouth = net.features[1];
  const Feature& bridgeNorth = net.features[2];
  EXPECT_EQ(net.wayIds[1], 42u);
  EXPECT_EQ(bridgeSouth.nLevelFirst, 0);  // joined to the ground road at node 4
  EXPECT_EQ(bridgeSouth.nLevelLast, 1);   // above the street
  EXPECT_EQ(bridgeNorth.nLevelFirst, 1);
  EXPECT_EQ(bridgeNorth.nLevelLast, 0);
  EXPECT_EQ(net.features[0].nLevelFirst, 0);
  EXPECT_EQ(net.features[0].nLevelLast, 0);
  EXPECT_EQ(net.features[5].nLevelFirst, 0);  // tunnel mouth at the street
  EXPECT_EQ(net.features[5].nLevelLast, -1);  // dead end inside the tunnel
  // The bridge ends on the street's middle point without joining it: way 40
  // stays one feature of three points.
  EXPECT_EQ(net.features[0].nPointCount, 3u);
  const Bin_LonLat& over = net.nodes[bridgeSouth.nToNode];
  const Bin_LonLat& under = net.points[net.features[0].nFirstPoint + 1];
  EXPECT_TRUE(over.lon == under.lon && over.lat == under.lat);

  Reader r(sPath);
  char c[6], s1[21], s2[301];
  ASSERT_EQ(VroFeatureOneAttr(r.h, vxnet::FeatureIdOf(1, false), 0, c, s1, s2), 1);
  std::vector<Attr> a = ReadAttrs(r.h);
  EXPECT_EQ(AttrValue(a, "LVL+"), "0");
  EXPECT_EQ(AttrValue(a, "LVL-"), "1");
  EXPECT_EQ(AttrValue(a, "EID0"), "2");
  ASSERT_EQ(VroFeatureOneAttr(r.h, vxnet::FeatureIdOf(1, true), 0, c, s1, s2), 1);
  a = ReadAttrs(r.h);
  EXPECT_EQ(AttrValue(a, "LVL+"), "1");
  EXPECT_EQ(AttrValue(a, "LVL-"), "0");
  EXPECT_EQ(AttrValue(a, "EID0"), "2");
}

TEST(MapImport, RestrictionsBecomeTurnLists) {
  OsmWriter w;
  // Four-way crossing at node 5: west arm way 1 (1-5), east way 2 (5-2),
  // south way 3 (3-5), north way 4 (5-4), plus a diagonal way 6 (5-6).
  w.Node(1, 13.399, 52.500);
  w.Node(2, 13.401, 52.500);
  w.Node(3, 13.400, 52.499);
  w.Node(4, 13.400, 52.501);
  w.Node(5, 13.400, 52.500);
  w.Node(6, 13.401, 52.501);
  w.Node(7, 13.399, 52.501);
  w.Way(1, {1, 5}, kResidential);
  w.Way(2, {5, 2}, kResidential);
  w.Way(3, {3, 5}, kResidential);
  w.Way(4, {5, 4}, kResidential);
  w.Way(6, {5, 6}, kResidential);
  w.Way(7, {1, 7}, kResidential);
  w.Restriction(900, 1, 5, 4, "no_left_turn");      // west arm may not turn into north arm
  w.Restriction(901, 3, 5, 4, "only_straight_on");  // south arm must go on north
  w.Restriction(902, 1, 7, 4, "no_right_turn");     // via node not on the ways: ignored
  w.Restriction(903, 1, 5, 77, "no_left_turn");     // unknown to-way: ignored
  const std::string sPath = w.Save("turns.osm");
  const RoadNetwork net = Import(sPath);
  ASSERT_EQ(net.features.size(), 6u);
  // Features 0..5 are ways 1,2,3,4,6,7; network node of node 5 is features[0].nToNode.
  const std::uint32_t nVia = net.features[0].nToNode;
  std::set<std::tuple<int, int, int>> got;
  for (const vxnet::ForbiddenTurn& t : net.forbidden) got.insert({t.nFrom, t.nVia, t.nTo});
  const std::set<std::tuple<int, int, int>> want = {
      {0, nVia, 3},                                            // no_left_turn
      {2, nVia, 0}, {2, nVia, 1}, {2, nVia, 2}, {2, nVia, 4},  // only_straight_on
  };
  EXPECT_EQ(got, want);
  EXPECT_TRUE(std::is_sorted(net.forbidden.begin(), net.forbidden.end(),
                             [](const vxnet::ForbiddenTurn& a, const vxnet::ForbiddenTurn& b) {
                               return std::tie(a.nFrom, a.nVia, a.nTo) <
                                      std::tie(b.nFrom, b.nVia, b.nTo);
                             }));

  Reader r(sPath);
  char c[6], s1[21], s2[301];
  // Way 3 (south arm, 3 -> 5) ends at the via node: its last end lists edges 1, 2, 3, 5.
  ASSERT_EQ(VroFeatureOneAttr(r.h, vxnet::FeatureIdOf(2, false), 0, c, s1, s2), 1);
  std::vector<Attr> a = ReadAttrs(r.h);
  EXPECT_EQ(AttrValue(a, "TRN-"), "-$1;-$2;-$3;-$5");
  EXPECT_EQ(AttrValue(a, "TRN+"), "");
  // Driven reversed, that end is where the drive starts: the list moves to "+".
  ASSERT_EQ(VroFeatureOneAttr(r.h, vxnet::FeatureIdOf(2, true), 0, c, s1, s2), 1);
  a = ReadAttrs(r.h);
  EXPECT_EQ(AttrValue(a, "TRN+"), "-$1;-$2;-$3;-$5");
  EXPECT_EQ(AttrValue(a, "TRN-"), "");
  ASSERT_EQ(VroFeatureOneAttr(r.h, vxnet::FeatureIdOf(0, false), 0, c, s1, s2), 1);
  EXPECT_EQ(AttrValue(ReadAttrs(r.h), "TRN-"), "-$4");
  // The way that cannot be entered has no list of its own.
  ASSERT_EQ(VroFeatureOneAttr(r.h, vxnet::FeatureIdOf(3, false), 0, c, s1, s2), 1);
  a = ReadAttrs(r.h);
  EXPECT_EQ(AttrValue(a, "TRN-") + AttrValue(a, "TRN+"), "");
}

TEST(MapImport, BrokenAndEmptyInputFailsCleanly) {
  const std::string sNoRoads = OsmWriter::WriteFile(
      "noroads.osm",
      "<?xml version=\"1.0\"?><osm version=\"0.6\"><node id=\"1\" lat=\"1\" "
      "lon=\"1\"/><way id=\"1\"><nd ref=\"1\"/><nd ref=\"1\"/><tag k=\"highway\" "
      "v=\"footway\"/></way></osm>");
  const std::vector<std::string> bad = {
      OsmWriter::WriteFile("empty.osm", ""),
      OsmWriter::WriteFile("garbage.osm", "this is not a map\n"),
      OsmWriter::WriteFile("html.osm", "<html><body>hello</body></html>"),
      OsmWriter::WriteFile("cut.osm", "<?xml version=\"1.0\"?><osm version=\"0.6\"><node id=\"1\""),
      OsmWriter::WriteFile("map.txt", "<osm version=\"0.6\"></osm>"),
      OsmWriter::WriteFile("bad.osm.pbf", "not a protocol buffer file at all"),
      OsmWriter::WriteFile("bad.osm.bz2", "not bzip2"),
      ::testing::TempDir() + "vx_test_map_does_not_exist.osm",
      sNoRoads,
  };
  for (const std::string& s : bad) {
    EXPECT_EQ(VroReaderOpen(s.c_str()), nullptr) << s;
    EXPECT_STRNE(VroReaderLastError(), "") << s;
  }
  EXPECT_NE(std::string(VroReaderLastError()).find("no drivable road"), std::string::npos);
  EXPECT_EQ(VroReaderOpen(nullptr), nullptr);
  EXPECT_STRNE(VroReaderLastError(), "");
  Reader ok(CrossingFile("ok.osm", kResidential));
  EXPECT_STREQ(VroReaderLastError(), "");
  // The message belongs to the thread whose open failed.
  std::string sOther;
  std::thread([&] {
    EXPECT_EQ(VroReaderOpen(bad.front().c_str()), nullptr);
    sOther = VroReaderLastError();
  }).join();
  EXPECT_NE(sOther, "");
  EXPECT_STREQ(VroReaderLastError(), "");
  VroReaderClose(nullptr);
}

// libosmium reads coordinates, ids and deltas in signed 64-bit integers
// without overflow checks; files made to overflow them must give a defined
// result (the ASan+UBSan build of this test reports any overflow).
TEST(MapImport, OverflowingNumbersInTheFileAreHarmless) {
  PbfWriter pbf = PbfWriter::TwoNodeRoad();
  RoadNetwork net = Import(pbf.Save("ok.osm.pbf"));
  ASSERT_EQ(net.features.size(), 1U);
  EXPECT_EQ(net.points[0].lon, 1340000);
  EXPECT_EQ(net.points[1].lon, 1340100);
  EXPECT_EQ(net.points[1].lat, 5250000);

  std::string sError;
  // Granularity times a coordinate, and a delta sum, beyond 64 bits.
  PbfWriter huge = pbf;
  huge.nGranularity = std::numeric_limits<std::int32_t>::max();
  huge.nodeLats = {std::numeric_limits<std::int64_t>::max() / 2, 0};
  vxmap::ImportRoadNetwork(huge.Save("granularity.osm.pbf").c_str(), net, sError);
  PbfWriter deltas = pbf;
  deltas.nodeLons = {std::numeric_limits<std::int64_t>::max(),
                     std::numeric_limits<std::int64_t>::max()};
  deltas.nodeIds = {std::numeric_limits<std::int64_t>::max(), 1};
  deltas.ways = {{10, {std::numeric_limits<std::int64_t>::max(), 1}}};
  vxmap::ImportRoadNetwork(deltas.Save("deltas.osm.pbf").c_str(), net, sError);

  // Coordinate texts whose exponent scales them past 64 bits.
  // They are refused by name; exponents within range still read.
  const auto TwoNodeRoad = [](const std::string& sLat) {
    return OsmWriter::WriteFile(
        "exponent.osm",
        "<osm version=\"0.6\"><node id=\"1\" lat=\"" + sLat +
            "\" lon=\"13.4\"/><node id=\"2\" lat=\"52.5\" lon=\"13.401\"/><way id=\"10\"><nd "
            "ref=\"1\"/><nd ref=\"2\"/><tag k=\"highway\" v=\"residential\"/></way></osm>");
  };
  for (const char* szLat : {"1.3e20", "-.5e25", "9999999999e99999", "1e18", "1e400", "&#49;e30"}) {
    EXPECT_FALSE(vxmap::ImportRoadNetwork(TwoNodeRoad(szLat).c_str(), net, sError)) << szLat;
    EXPECT_NE(sError.find("coordinate out of range: lat="), std::string::npos) << sError;
  }
  ASSERT_TRUE(vxmap::ImportRoadNetwork(TwoNodeRoad("5.249e1").c_str(), net, sError)) << sError;
  EXPECT_EQ(net.points[0].lat, 5249000);
}

// PBF data libosmium would misread is refused: a text with a NUL byte inside
// (tags are NUL-terminated texts, keys and values would fall out of step)
// and a blob header without its type (compared through a null pointer).
TEST(MapImport, PbfBlobsOsmiumMisreadsAndOtherFormatsAreRefused) {
  PbfWriter pbf = PbfWriter::TwoNodeRoad();
  pbf.strings[2] = std::string("resi\0dential", 12);
  RoadNetwork net;
  std::string sError;
  EXPECT_FALSE(vxmap::ImportRoadNetwork(pbf.Save("nul.osm.pbf").c_str(), net, sError));
  EXPECT_NE(sError.find("NUL byte"), std::string::npos) << sError;
  // A blob without its type, or of another type.
  pbf.strings[2] = "residential";
  for (const char* szType : {"", "OSMDat", "OSMDataX"}) {
    pbf.sDataType = szType;
    EXPECT_FALSE(vxmap::ImportRoadNetwork(pbf.Save("untyped.osm.pbf").c_str(), net, sError));
    EXPECT_NE(sError.find("PBF blob is not of type OSMData"), std::string::npos) << sError;
  }
  pbf.sDataType = "OSMData";
  EXPECT_TRUE(vxmap::ImportRoadNetwork(pbf.Save("typed.osm.pbf").c_str(), net, sError)) << sError;
  // Formats other than XML and PBF are not read.
  EXPECT_FALSE(vxmap::ImportRoadNetwork(
      OsmWriter::WriteFile("map.opl", "n1 v1 x13.4 y52.5\n").c_str(), net, sError));
  EXPECT_NE(sError.find("not an OpenStreetMap XML or PBF file"), std::string::npos) << sError;
}

// The descriptors a reader opens are closed again, also when libosmium
// refuses a PBF file half way (it closes its own only at the end of a file).
TEST(MapImport, NoFileDescriptorOutlivesAnOpen) {
  const auto OpenDescriptors = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                         std::filesystem::directory_iterator{});
  };
  PbfWriter pbf = PbfWriter::TwoNodeRoad();
  const std::string sGood = pbf.Save("fd-good.osm.pbf");
  pbf.nKeyIndex = 99;  // a string the table does not hold
  const std::string sBadIndex = pbf.Save("fd-index.osm.pbf");
  const std::string sCut = OsmWriter::WriteFile("fd-cut.osm.pbf", [&] {
    std::ifstream in(sGood, std::ios::binary);
    const std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return s.substr(0, s.size() - 5);
  }());
  const auto nBefore = OpenDescriptors();
  for (int i = 0; i < 20; ++i) {
    for (const std::string& sFile : {sBadIndex, sCut}) {
      EXPECT_EQ(VroReaderOpen(sFile.c_str()), nullptr) << sFile;
    }
    VRO_READER* h = VroReaderOpen(sGood.c_str());
    EXPECT_NE(h, nullptr) << VroReaderLastError();
    VroReaderClose(h);
  }
  EXPECT_EQ(OpenDescriptors(), nBefore);
}

TEST(MapReader, FeatureIdsAreStableAndNeverNull) {
  const std::string sPath = CrossingFile("ids.osm", kResidential);
  Reader a(sPath), b(sPath);
  EXPECT_EQ(a.Search(), b.Search());
  const VRO_FEATURE_ID null{{0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0}};
  std::uint32_t k = 0;
  bool bRev = false;
  EXPECT_FALSE(vxnet::DecodeFeatureId(null, k, bRev));
  for (std::uint32_t n : {0u, 1u, 0xFFFFFFFFu}) {
    for (bool r : {false, true}) {
      const VRO_FEATURE_ID id = vxnet::FeatureIdOf(n, r);
      EXPECT_FALSE(std::equal(id.dw, id.dw + 4, null.dw));
      ASSERT_TRUE(vxnet::DecodeFeatureId(id, k, bRev));
      EXPECT_EQ(k, n);
      EXPECT_EQ(bRev, r);
      VRO_FEATURE_ID bent = id;
      bent.dw[3] ^= 1u;
      EXPECT_FALSE(vxnet::DecodeFeatureId(bent, k, bRev));
    }
  }
  EXPECT_EQ(VroReaderIsSameFeature(a.h, vxnet::FeatureIdOf(2, false), vxnet::FeatureIdOf(2, true)),
            1);
  EXPECT_EQ(VroReaderIsSameFeature(a.h, vxnet::FeatureIdOf(2, false), vxnet::FeatureIdOf(3, false)),
            0);
  EXPECT_EQ(VroReaderIsSameFeature(a.h, null, null), 0);
  EXPECT_EQ(VroReaderIsSameFeature(a.h, vxnet::FeatureIdOf(4, false), vxnet::FeatureIdOf(4, false)),
            0);  // beyond the map
  char c[6], s1[21], s2[301];
  EXPECT_EQ(VroFeatureOneAttr(a.h, null, 0, c, s1, s2), 0);
  EXPECT_EQ(VroReaderNextAttr(a.h, c, s1, s2), 0);
  EXPECT_EQ(VroFeatureOneAttr(a.h, vxnet::FeatureIdOf(4, false), 0, c, s1, s2), 0);
  EXPECT_EQ(VroFeatureOneAttr(nullptr, vxnet::FeatureIdOf(0, false), 0, c, s1, s2), 0);
}

TEST(MapReader, DegreesGiveBackTheSameUnits) {
  // Every coordinate of the western hemisphere's and the eastern's first
  // degrees, and a sample across the whole range, survive the round trip.
  std::mt19937 rng(3);
  std::uniform_int_distribution<std::int32_t> any(-18000000, 18000000);
  std::vector<std::int32_t> values;
  for (std::int32_t v = -300000; v <= 300000; ++v) values.push_back(v);
  for (int i = 0; i < 1000000; ++i) values.push_back(any(rng));
  int nPlainMisses = 0;
  for (std::int32_t v : values) {
    const double d = vxnet::BinToDegrees(v);
    ASSERT_EQ(static_cast<std::int64_t>(d * 100000.0), v) << v;
    ASSERT_LE(std::fabs(d - v / 100000.0), 4 * std::numeric_limits<double>::epsilon() * 180.0);
    nPlainMisses += static_cast<std::int64_t>((v / 100000.0) * 100000.0) != v;
  }
  EXPECT_GT(nPlainMisses, 0);  // the plain division does miss
}

TEST(MapReader, CategoryAndPriorityLimits) {
  OsmWriter w;
  const char* kTypes[] = {"motorway", "trunk",       "primary", "secondary",
                          "tertiary", "residential", "service"};
  for (long i = 0; i < 7; ++i) {
    w.Node(2 * i + 1, 13.4, 52.5 + 0.001 * static_cast<double>(i));
    w.Node(2 * i + 2, 13.401, 52.5 + 0.001 * static_cast<double>(i));
    w.Way(i + 1, {2 * i + 1, 2 * i + 2}, {{"highway", kTypes[i]}});
  }
  Reader r(w.Save("classes.osm"));
  using V = std::vector<std::uint32_t>;
  EXPECT_EQ(r.Search(), V({0, 1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(VroReaderCatLimit(r.h, '1', "735"), 1);
  EXPECT_EQ(r.Search(), V({2, 4, 6}));
  EXPECT_EQ(VroReaderPriLimit(r.h, '4', '7'), 1);
  EXPECT_EQ(r.Search(), V({4, 6}));
  EXPECT_EQ(VroReaderPriLimit(r.h, '5', '3'), 1);  // taken in either order
  EXPECT_EQ(r.Search(), V({2, 4}));
  EXPECT_EQ(VroReaderCatLimit(r.h, '0', ""), 1);
  EXPECT_EQ(VroReaderCatLimit(r.h, '2', ""), 1);
  EXPECT_EQ(r.Search(), V({2, 4}));  // other kinds do not touch the roads
  EXPECT_EQ(VroReaderCatLimit(r.h, '9', "1"), 0);
  EXPECT_EQ(VroReaderCatLimit(r.h, '1', nullptr), 0);
  EXPECT_EQ(r.Search(), V({2, 4}));
  EXPECT_EQ(VroReaderCatLimit(r.h, '1', ""), 1);
  EXPECT_EQ(r.Search(), V());
  EXPECT_EQ(VroReaderCatLimit(r.h, '1', "1234567"), 1);
  EXPECT_EQ(VroReaderPriLimit(r.h, '1', '1'), 1);
  EXPECT_EQ(r.Search(), V({0}));
  // Limits act when the search is reset, not on a search under way.
  EXPECT_EQ(VroReaderPriLimit(r.h, '1', '7'), 1);
  VroReaderReset(r.h, nullptr, 1);
  EXPECT_EQ(VroReaderPriLimit(r.h, '7', '7'), 1);
  char c[6], s1[21], s2[301];
  VRO_FEATURE_ID id;
  Bin_LonLat* p = nullptr;
  int nCount = 0;
  while (VroReaderNextFeature(r.h, c, s1, s2, id, p) > 0) ++nCount;
  EXPECT_EQ(nCount, 7);
  EXPECT_EQ(VroReaderNextFeature(r.h, c, s1, s2, id, p), 0);
}

TEST(MapReader, RectangleSearchMatchesAFullScan) {
  // A 30 x 30 grid of streets with a long diagonal motorway across it.
  OsmWriter w;
  const int kN = 30;
  for (int y = 0; y < kN; ++y)
    for (int x = 0; x < kN; ++x) w.Node(1 + y * kN + x, 13.3 + 0.001 * x, 52.4 + 0.0007 * y);
  for (int y = 0; y < kN; ++y) {
    std::vector<long> row, col;
    for (int x = 0; x < kN; ++x) {
      row.push_back(1 + y * kN + x);
      col.push_back(1 + x * kN + y);
    }
    w.Way(1000 + y, row, kResidential);
    w.Way(2000 + y, col, kResidential);
  }
  std::vector<long> diag;
  for (int i = 0; i < kN; ++i) diag.push_back(1 + i * kN + i);
  w.Way(3000, diag, {{"highway", "motorway"}});
  const std::string sPath = w.Save("grid.osm");
  Reader r(sPath);
  const NetworkView& net = *vxnet::NetworkOfReader(r.h);
  EXPECT_EQ(vxnet::NetworkOfReader(nullptr), nullptr);
  ASSERT_EQ(net.features.size(), 2u * kN * (kN - 1) + (kN - 1));

  std::mt19937 rng(7);
  std::uniform_int_distribution<int> lon(1329000, 1333500), lat(5239000, 5242500), span(0, 600);
  for (int t = 0; t < 200; ++t) {
    const Bin_LonLat p1{lon(rng), lat(rng)};
    const Bin_LonLat p2{p1.lon + span(rng) * (t % 2 ? 1 : -1), p1.lat + span(rng)};
    std::vector<std::uint32_t> want;
    for (std::uint32_t k = 0; k < net.features.size(); ++k) {
      const Feature& f = net.features[k];
      bool bMeets = false;
      std::int32_t x0 = INT32_MAX, x1 = INT32_MIN, y0 = INT32_MAX, y1 = INT32_MIN;
      for (const Bin_LonLat& p : PointsOf(net, f)) {
        x0 = std::min(x0, p.lon), x1 = std::max(x1, p.lon);
        y0 = std::min(y0, p.lat), y1 = std::max(y1, p.lat);
      }
      bMeets = x0 <= std::max(p1.lon, p2.lon) && x1 >= std::min(p1.lon, p2.lon) &&
               y0 <= std::max(p1.lat, p2.lat) && y1 >= std::min(p1.lat, p2.lat);
      if (bMeets) want.push_back(k);
    }
    ASSERT_EQ(VroReaderRectLimit(r.h, p1, p2), 1);
    ASSERT_EQ(r.Search(), want) << t;
  }
  // A two-unit box around the inner junction x=5, y=7 finds exactly the four
  // streets ending there (the diagonal motorway passes through other junctions).
  const Bin_LonLat c{1330500, 5240490};
  VroReaderRectLimit(r.h, {c.lon - 2, c.lat - 2}, {c.lon + 2, c.lat + 2});
  std::size_t nEnding = 0;
  for (std::uint32_t k : r.Search()) {
    const Feature& f = net.features[k];
    const Bin_LonLat a = net.points[f.nFirstPoint],
                     b = net.points[f.nFirstPoint + f.nPointCount - 1];
    nEnding += (a.lon == c.lon && a.lat == c.lat) || (b.lon == c.lon && b.lat == c.lat);
  }
  EXPECT_EQ(nEnding, 4u);
}

TEST(MapReader, SearchHandsOutPointsTextsAndAttributes) {
  const std::string sPath = CrossingFile("attrs.osm", {{"highway", "primary"}, {"oneway", "-1"}});
  Reader r(sPath);
  const NetworkView& net = *vxnet::NetworkOfReader(r.h);
  char c[6], s1[21], s2[301];
  VRO_FEATURE_ID id;
  Bin_LonLat* p = nullptr;
  // No search started yet.
  EXPECT_EQ(VroReaderNextFeature(r.h, c, s1, s2, id, p), 0);
  VroReaderReset(r.h, nullptr, 1);
  ASSERT_EQ(VroReaderNextFeature(r.h, c, s1, s2, id, p), 2);
  EXPECT_STREQ(c, "R6000");
  EXPECT_STREQ(s1, "R6");
  EXPECT_STREQ(s2, "East Street");
  EXPECT_EQ(p[0].lon, 1340000);
  EXPECT_EQ(p[1].lon, 1340100);
  // Writing into the handed-out points does not change the map.
  p[0].lon = 7;
  EXPECT_EQ(net.points[0].lon, 1340000);
  std::vector<Attr> a = ReadAttrs(r.h);
  ASSERT_EQ(a.size(), 3u);
  EXPECT_EQ(a[0].sCode + a[0].sName + a[0].sValue, "LVL+LVL0");
  EXPECT_EQ(a[1].sCode + a[1].sName + a[1].sValue, "LVL-LVL0");
  EXPECT_EQ(a[2].sCode + a[2].sName + a[2].sValue, "EID0EID1");
  EXPECT_EQ(VroReaderNextAttr(r.h, c, s1, s2), 0);
  ASSERT_EQ(VroReaderNextFeature(r.h, c, s1, s2, id, p), 2);
  EXPECT_EQ(AttrValue(ReadAttrs(r.h), "EID0"), "2");
  ASSERT_EQ(VroReaderNextFeature(r.h, c, s1, s2, id, p), 2);
  EXPECT_STREQ(c, "R30-0");
  EXPECT_STREQ(s2, "");
  ASSERT_EQ(VroReaderNextFeature(r.h, c, s1, s2, id, p), 2);
  EXPECT_EQ(VroReaderNextFeature(r.h, c, s1, s2, id, p), 0);
  EXPECT_EQ(VroReaderNextAttr(r.h, c, s1, s2), 0);
  EXPECT_EQ(VroReaderNextFeature(nullptr, c, s1, s2, id, p), 0);
  EXPECT_EQ(VroReaderReset(nullptr, nullptr, 1), 0);
  EXPECT_EQ(VroReaderRectLimit(nullptr, {0, 0}, {1, 1}), 0);
  EXPECT_EQ(VroReaderNextAttr(nullptr, c, s1, s2), 0);
}

TEST(MapReader, TextsNeverExceedTheBuffers) {
  // A 400-byte name of two-byte characters, and a junction with 70 roads
  // where one arm may only go one way: the TRN list outgrows one value.
  std::string sLong;
  while (sLong.size() < 400) sLong += "\xC3\xA4";  // "ä"
  OsmWriter w;
  w.Node(1, 13.4, 52.5);
  w.Node(2, 13.39, 52.5);
  w.Way(1, {2, 1}, {{"highway", "residential"}, {"name", sLong}});
  const int kArms = 70;
  for (int i = 0; i < kArms; ++i) {
    const double dAngle = 6.283185307 * i / kArms;
    w.Node(100 + i, 13.4 + 0.005 * std::cos(dAngle), 52.5 + 0.003 * std::sin(dAngle));
    w.Way(100 + i, {1, 100 + i}, kResidential);
  }
  w.Restriction(9, 1, 1, 100, "only_straight_on");
  Reader r(w.Save("long.osm"));
  char c[7], s1[22], s2[302];
  std::memset(s2, '#', sizeof s2);
  std::memset(s1, '#', sizeof s1);
  std::memset(c, '#', sizeof c);
  ASSERT_EQ(VroFeatureOneAttr(r.h, vxnet::FeatureIdOf(0, false), 0, c, s1, s2), 1);
  EXPECT_EQ(s2[301], '#');
  EXPECT_EQ(std::strlen(s2), 300u);  // 150 whole characters
  EXPECT_EQ(std::string(s2), sLong.substr(0, 300));
  EXPECT_EQ(c[6], '#');
  EXPECT_EQ(s1[21], '#');
  std::set<std::string> items;
  int nLists = 0;
  while (VroReaderNextAttr(r.h, c, s1, s2)) {
    EXPECT_EQ(s2[301], '#');
    EXPECT_LE(std::strlen(s2), 300u);
    if (std::string(c) != "TRN-") continue;
    ++nLists;
    std::string sList = s2;
    for (std::size_t at = 0; at <= sList.size();) {
      const std::size_t semi = std::min(sList.find(';', at), sList.size());
      items.insert(sList.substr(at, semi - at));
      at = semi + 1;
    }
  }
  EXPECT_GE(nLists, 2);
  ASSERT_EQ(items.size(), static_cast<std::size_t>(kArms));  // every road but edge 2, and edge 1
  EXPECT_EQ(items.count("-$2"), 0u);
  EXPECT_EQ(items.count("-$1"), 1u);
  EXPECT_EQ(items.count("-$71"), 1u);
}

TEST(MapSampleTown, LoadsWithItsStreetsRingRoundaboutBridgeAndRestrictions) {
  Reader r(std::string(VX_SOURCE_DIR) + "/data/sample-town.osm");
  ASSERT_NE(r.h, nullptr);
  const NetworkView& net = *vxnet::NetworkOfReader(r.h);
  ASSERT_EQ(net.features.size(), 161u);
  std::map<std::string, std::vector<const Feature*>> byName;
  for (const Feature& f : net.features) byName[NameOf(net, f.nName)].push_back(&f);
  // Grid point (x, y) in blocks, in reader units.
  const auto grid = [](double x, double y) {
    return Bin_LonLat{static_cast<std::int32_t>(1339400 + 150 * x),
                      static_cast<std::int32_t>(5249640 + 90 * y)};
  };
  const auto same = [](const Bin_LonLat& a, const Bin_LonLat& b) {
    return a.lon == b.lon && a.lat == b.lat;
  };

  ASSERT_EQ(byName["Ring"].size(), 6u);  // cut where the town joins it and at its closing node
  for (const Feature* f : byName["Ring"]) {
    EXPECT_EQ(f->nRoadClass, 3);
    EXPECT_EQ(f->nMaxSpeed, 70);
    EXPECT_EQ(f->nOneWay, 0);
  }
  ASSERT_EQ(byName["Marktplatz"].size(), 4u);
  for (const Feature* f : byName["Marktplatz"]) EXPECT_EQ(f->nOneWay, 1);
  for (const Feature& f : net.features) {
    EXPECT_EQ(f.IsRoundabout(), NameOf(net, f.nName) == "Marktplatz");
  }
  for (const Feature* f : byName["Birkenweg"]) EXPECT_EQ(f->nOneWay, 1);
  for (const Feature* f : byName["Ulmenstraße"]) EXPECT_EQ(f->nOneWay, -1);
  for (const Feature* f : byName["Bachstraße"]) EXPECT_EQ(f->nOneWay, 1);
  EXPECT_EQ(byName["Fliederstraße"].size(), 8u);  // 8 blocks, cut at every avenue
  EXPECT_EQ(byName["Fliederstraße"].front()->nMaxSpeed, 30);

  // Under the bridge: street 5 and the service road end at (7, 5) at level 0,
  // the two bridge halves end at the same point at level 1, on another node.
  const Bin_LonLat under = grid(7, 5);
  int nGround = 0, nBridge = 0;
  std::set<std::uint32_t> groundNodes, bridgeNodes;
  for (const Feature& f : net.features) {
    const Bin_LonLat& a = net.points[f.nFirstPoint];
    const Bin_LonLat& b = net.points[f.nFirstPoint + f.nPointCount - 1];
    for (int nEnd = 0; nEnd < 2; ++nEnd) {
      if (!same(nEnd == 0 ? a : b, under)) continue;
      const int nLevel = nEnd == 0 ? f.nLevelFirst : f.nLevelLast;
      const std::uint32_t nNode = nEnd == 0 ? f.nFromNode : f.nToNode;
      if (NameOf(net, f.nName) == "Brückenstraße") {
        ++nBridge;
        EXPECT_EQ(nLevel, 1);
        bridgeNodes.insert(nNode);
      } else {
        ++nGround;
        EXPECT_EQ(nLevel, 0);
        groundNodes.insert(nNode);
      }
    }
  }
  EXPECT_EQ(nBridge, 2);
  EXPECT_EQ(nGround, 3);
  ASSERT_EQ(bridgeNodes.size(), 1u);
  ASSERT_EQ(groundNodes.size(), 1u);
  EXPECT_NE(*bridgeNodes.begin(), *groundNodes.begin());

  // no_left_turn forbids one turn; only_straight_on forbids the three others.
  ASSERT_EQ(net.forbidden.size(), 4u);
  const auto nodeAt = [&](const Bin_LonLat& p) {
    for (std::uint32_t n = 0; n < net.nodes.size(); ++n)
      if (same(net.nodes[n], p)) return n;
    return UINT32_MAX;
  };
  EXPECT_EQ(net.forbidden[0].nVia, nodeAt(grid(3, 3)));
  EXPECT_EQ(NameOf(net, net.features[net.forbidden[0].nTo].nName), "Finkenstraße");
  for (int i = 1; i < 4; ++i) EXPECT_EQ(net.forbidden[i].nVia, nodeAt(grid(5, 6)));
  // no_u_turn over the Südtor lane: Ahornstraße eastwards into (8, 0), the
  // lane to (10, -2), the ring westwards from there.
  ASSERT_EQ(net.viaRestrictions.size(), 1u);
  const vxnet::ViaRestriction& via = net.viaRestrictions[0];
  const auto drives = [&](std::uint32_t h, const char* szName, const Bin_LonLat& from,
                          const Bin_LonLat& to) {
    const Feature& f = net.features[h / 2];
    const Bin_LonLat& a = net.points[f.nFirstPoint];
    const Bin_LonLat& b = net.points[f.nFirstPoint + f.nPointCount - 1];
    return NameOf(net, f.nName) == szName && same(h % 2 == 0 ? a : b, from) &&
           same(h % 2 == 0 ? b : a, to);
  };
  EXPECT_TRUE(drives(via.nFrom, "Ahornstraße", grid(7, 0), grid(8, 0)));
  ASSERT_EQ(net.ViaOf(via).size(), 1u);
  EXPECT_TRUE(drives(net.ViaOf(via)[0], "Südtor", grid(8, 0), grid(10, -2)));
  EXPECT_TRUE(drives(via.nTo, "Ring", grid(10, -2), grid(4, -2)));
  EXPECT_EQ(via.nKind, vxnet::kViaNo);

  // Dead ends: nodes at the end of a single feature (car park, cul-de-sac).
  std::vector<int> degree(net.nodes.size(), 0);
  for (const Feature& f : net.features) ++degree[f.nFromNode], ++degree[f.nToNode];
  EXPECT_EQ(degree[nodeAt(grid(7.6, 4.6))], 1);
  EXPECT_EQ(degree[nodeAt(grid(-1, 6.3))], 1);
  // The footway is not a road and does not cut the grid streets at (2, 2).
  EXPECT_EQ(nodeAt(grid(2.5, 2.5)), UINT32_MAX);
}
