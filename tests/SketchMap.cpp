// Test maps drawn as text: the drawing's grid, the tag and member words, the
// OpenStreetMap XML, and the answers of the real reader and engine in the
// drawing's terms.
#include "tests/SketchMap.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <stdexcept>

#include "CPath/CPath.h"
#include "interfaces/VroRead.h"
#include "interfaces/VroRoute.h"
#include "network/FeatureId.h"
#include "network/ReaderNetwork.h"
#include "network/RoadGeometry.h"

namespace vxtest {

namespace {

// Metres of one map unit (0.00001 degree) of latitude, on a sphere of 6371 km.
constexpr double kMetresPerUnit = 6371008.8 * std::numbers::pi / 180.0 / 100000.0;

struct Word {
  std::string sText;
  bool bQuoted;  // the word began with a quote
};

bool IsBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
bool IsSeparator(const Word& w) { return !w.bQuoted && w.sText == ";"; }

// Splits text into words at blanks; quotes ("..." or '...') group blanks into
// a word and are dropped; an unquoted ";" is a word of its own.
std::vector<Word> Words(std::string_view text) {
  std::vector<Word> words;
  for (std::size_t i = 0; i < text.size();) {
    if (IsBlank(text[i]) || text[i] == ';') {
      if (text[i++] == ';') words.push_back({";", false});
      continue;
    }
    Word w{"", text[i] == '"' || text[i] == '\''};
    while (i < text.size() && !IsBlank(text[i]) && text[i] != ';') {
      if (text[i] != '"' && text[i] != '\'') {
        w.sText += text[i++];
        continue;
      }
      const std::size_t nClose = text.find(text[i], i + 1);
      if (nClose == std::string_view::npos) {
        throw std::invalid_argument("unmatched quote in: " + std::string(text));
      }
      w.sText += text.substr(i + 1, nClose - i - 1);
      i = nClose + 1;
    }
    words.push_back(w);
  }
  return words;
}

// A key=value word as a tag; false for a word without "=".
bool AsTag(const Word& w, std::pair<std::string, std::string>& tag) {
  const std::size_t nEq = w.sText.find('=');
  if (w.bQuoted || nEq == std::string::npos) {
    return false;
  }
  if (nEq == 0) {
    throw std::invalid_argument("tag without a key: " + w.sText);
  }
  tag = {w.sText.substr(0, nEq), w.sText.substr(nEq + 1)};
  return true;
}

// Text for an XML attribute value in double quotes.
std::string Escaped(const std::string& s) {
  std::string out;
  for (const char c : s) {
    out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '"' ? "&quot;" : std::string(1, c);
  }
  return out;
}

// Map units as decimal degrees, exactly.
std::string Degrees(std::int32_t n) {
  char sz[32];
  const long a = std::labs(static_cast<long>(n));
  std::snprintf(sz, sizeof sz, "%s%ld.%05ld", n < 0 ? "-" : "", a / 100000, a % 100000);
  return sz;
}

bool Same(const Bin_LonLat& a, const Bin_LonLat& b) { return a.lon == b.lon && a.lat == b.lat; }

// The map units a handed-out point came from (they truncate back).
Bin_LonLat Units(const tagLonLat& p) {
  return {static_cast<std::int32_t>(std::trunc(p.lon * 100000.0)),
          static_cast<std::int32_t>(std::trunc(p.lat * 100000.0))};
}

// A grid step of dMetres in whole map units of dUnitMetres each, at most a degree.
std::int64_t Step(double dMetres, double dUnitMetres) {
  const double dUnits = dMetres / dUnitMetres;
  if (!(dUnits > 0.0 && dUnits <= 100000.0)) {
    throw std::invalid_argument("grid step out of range");
  }
  return std::max<std::int64_t>(1, std::llround(dUnits));
}

}  // namespace

SketchMap::SketchMap(std::string_view sDrawing, const SketchGrid& grid) {
  if (!(std::fabs(grid.origin.lon) <= 180.0 && std::fabs(grid.origin.lat) <= 85.0)) {
    throw std::invalid_argument("grid origin out of range");
  }
  const double dCos = std::cos(grid.origin.lat * std::numbers::pi / 180.0);
  const std::int64_t nColumn = Step(grid.dColumnMetres, kMetresPerUnit * dCos);
  const std::int64_t nLine = Step(grid.dLineMetres, kMetresPerUnit);
  std::int64_t nLon = std::llround(grid.origin.lon * 100000.0);
  std::int64_t nLat = std::llround(grid.origin.lat * 100000.0);
  const std::int64_t nLon0 = nLon;
  for (const char c : sDrawing) {
    if (c == '\n') {
      nLon = nLon0;
      nLat -= nLine;
      continue;
    }
    if (std::isalnum(static_cast<unsigned char>(c)) != 0) {
      if (std::llabs(nLon) > 18000000 || std::llabs(nLat) > 9000000) {
        throw std::invalid_argument(std::string("node ") + c + " lies off the earth");
      }
      AddNode(c, {static_cast<std::int32_t>(nLon), static_cast<std::int32_t>(nLat)});
    }
    nLon += nColumn;
  }
}

void SketchMap::AddNode(char cNode, const Bin_LonLat& pt) {
  if (!m_points.emplace(cNode, pt).second) {
    throw std::invalid_argument(std::string("node ") + cNode + " appears twice");
  }
}

Bin_LonLat SketchMap::Point(char cNode) const {
  const auto it = m_points.find(cNode);
  if (it == m_points.end()) {
    throw std::invalid_argument(std::string("no node ") + cNode + " in the sketch");
  }
  return it->second;
}

SketchMap& SketchMap::Ways(std::string_view sWays) {
  const std::vector<Word> words = Words(sWays);
  for (std::size_t i = 0; i < words.size(); ++i) {
    const Word& w = words[i];
    if (IsSeparator(w)) {
      continue;
    }
    if (i == 0 || IsSeparator(words[i - 1])) {
      if (w.sText.size() < 2 || w.bQuoted) {
        throw std::invalid_argument("a way needs two nodes: " + w.sText);
      }
      for (const char c : w.sText) Point(c);
      m_wayNodes.push_back(w.sText);
      m_wayTags.emplace_back();
      continue;
    }
    std::pair<std::string, std::string> tag;
    if (!AsTag(w, tag)) {
      tag = {w.bQuoted ? "name" : "highway", w.sText};
    }
    m_wayTags.back().push_back(tag);
  }
  for (Tags& tags : m_wayTags) {
    if (std::none_of(tags.begin(), tags.end(),
                     [](const auto& t) { return t.first == "highway"; })) {
      tags.insert(tags.begin(), {"highway", "residential"});
    }
  }
  return *this;
}

SketchMap& SketchMap::Node(char cNode, std::string_view sTags) {
  Point(cNode);
  for (const Word& w : Words(sTags)) {
    std::pair<std::string, std::string> tag;
    if (!AsTag(w, tag)) {
      throw std::invalid_argument("not a key=value tag: " + w.sText);
    }
    m_nodeTags[cNode].push_back(tag);
  }
  return *this;
}

SketchMap& SketchMap::Place(char cNode, char cAt) {
  AddNode(cNode, Point(cAt));
  return *this;
}

SketchMap& SketchMap::Relation(std::string_view sText) {
  Relations r;
  for (const Word& w : Words(sText)) {
    std::pair<std::string, std::string> tag;
    if (AsTag(w, tag)) {
      r.tags.push_back(tag);
      continue;
    }
    const std::size_t nColon = w.sText.find(':');
    if (w.bQuoted || nColon == std::string::npos) {
      throw std::invalid_argument("neither key=value nor role:member: " + w.sText);
    }
    const std::string sRef = w.sText.substr(nColon + 1);
    const std::string sRole = w.sText.substr(0, nColon);
    if (sRef.size() == 1) {
      Point(sRef[0]);
      r.members.push_back({false, static_cast<unsigned char>(sRef[0]), sRole});
      continue;
    }
    const auto it = std::find(m_wayNodes.begin(), m_wayNodes.end(), sRef);
    if (it == m_wayNodes.end() || std::find(it + 1, m_wayNodes.end(), sRef) != m_wayNodes.end()) {
      throw std::invalid_argument("member " + sRef + " names no way, or more than one");
    }
    r.members.push_back({true, it - m_wayNodes.begin() + 1, sRole});
  }
  if (std::none_of(r.tags.begin(), r.tags.end(), [](const auto& t) { return t.first == "type"; })) {
    r.tags.insert(r.tags.begin(), {"type", "restriction"});
  }
  m_relations.push_back(r);
  return *this;
}

std::string SketchMap::Xml() const {
  const auto tagLines = [](const Tags& tags) {
    std::string s;
    for (const auto& [k, v] : tags)
      s += "  <tag k=\"" + Escaped(k) + "\" v=\"" + Escaped(v) + "\"/>\n";
    return s;
  };
  std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<osm version=\"0.6\">\n";
  for (const auto& [c, pt] : m_points) {
    s += "<node id=\"" + std::to_string(static_cast<unsigned char>(c)) + "\" lat=\"" +
         Degrees(pt.lat) + "\" lon=\"" + Degrees(pt.lon) + "\"";
    const auto it = m_nodeTags.find(c);
    s += it == m_nodeTags.end() ? "/>\n" : ">\n" + tagLines(it->second) + "</node>\n";
  }
  for (std::size_t i = 0; i < m_wayNodes.size(); ++i) {
    s += "<way id=\"" + std::to_string(i + 1) + "\">\n";
    for (const char c : m_wayNodes[i]) {
      s += "  <nd ref=\"" + std::to_string(static_cast<unsigned char>(c)) + "\"/>\n";
    }
    s += tagLines(m_wayTags[i]) + "</way>\n";
  }
  for (std::size_t i = 0; i < m_relations.size(); ++i) {
    s += "<relation id=\"" + std::to_string(i + 1) + "\">\n";
    for (const Member& m : m_relations[i].members) {
      s += std::string("  <member type=\"") + (m.bWay ? "way" : "node") + "\" ref=\"" +
           std::to_string(m.nRef) + "\" role=\"" + Escaped(m.sRole) + "\"/>\n";
    }
    s += tagLines(m_relations[i].tags) + "</relation>\n";
  }
  return s + "</osm>\n";
}

SketchReader::SketchReader(const SketchMap& map) : m_map(map) {
  static std::atomic<int> s_nFiles{0};
  m_sFile = (std::filesystem::temp_directory_path() /
             ("vx_sketch_" + std::to_string(getpid()) + "_" + std::to_string(++s_nFiles) + ".osm"))
                .string();
  std::ofstream(m_sFile, std::ios::binary) << m_map.Xml();
  try {
    m_hReader = VroReaderOpen(m_sFile.c_str());
    if (m_hReader == nullptr) {
      throw std::runtime_error(std::string("the reader refuses the sketch: ") +
                               VroReaderLastError());
    }
    m_hRoute = VroRouteOpen(m_hReader);
    const vxnet::NetworkView* pNet = vxnet::NetworkOfReader(m_hReader);
    if (m_hRoute == nullptr || pNet == nullptr || pNet->wayIds.size() != pNet->features.size()) {
      throw std::runtime_error("no route engine over the sketch");
    }
    // Each feature is the run of its way's nodes that lies on its points.
    for (std::size_t k = 0; k < pNet->features.size(); ++k) {
      const vxnet::Feature& f = pNet->features[k];
      const std::string& sWay = m_map.WayNodes().at(pNet->wayIds[k] - 1);
      const Bin_LonLat* pPts = &pNet->points[f.nFirstPoint];
      std::string sNodes;
      for (std::size_t i = 0; sNodes.empty() && i + f.nPointCount <= sWay.size(); ++i) {
        std::size_t j = 0;
        while (j < f.nPointCount && Same(m_map.Point(sWay[i + j]), pPts[j])) ++j;
        if (j == f.nPointCount) sNodes = sWay.substr(i, j);
      }
      if (sNodes.empty()) {
        throw std::runtime_error("a feature of way " + sWay + " lies on none of its nodes");
      }
      m_featureNodes.push_back(sNodes);
    }
  } catch (...) {
    Close();
    throw;
  }
}

SketchReader::~SketchReader() { Close(); }

void SketchReader::Close() {
  VroRouteClose(m_hRoute);
  VroReaderClose(m_hReader);
  m_hRoute = nullptr;
  m_hReader = nullptr;
  std::error_code ec;
  std::filesystem::remove(m_sFile, ec);
}

tagLonLat SketchReader::At(char cNode) const {
  const Bin_LonLat p = m_map.Point(cNode);
  return {vxnet::BinToDegrees(p.lon), vxnet::BinToDegrees(p.lat)};
}

tagLonLat SketchReader::Between(char a, char b, double t) const {
  const tagLonLat p = At(a);
  const tagLonLat q = At(b);
  return {p.lon + t * (q.lon - p.lon), p.lat + t * (q.lat - p.lat)};
}

std::string SketchReader::Oriented(std::uint32_t nFeature, bool bReversed) const {
  std::string s = m_featureNodes.at(nFeature);
  if (bReversed) std::reverse(s.begin(), s.end());
  return s;
}

SketchReader::Travel SketchReader::FindTravel(std::string_view sTravel) const {
  if (sTravel.size() < 2) {
    throw std::invalid_argument("a stretch needs two nodes: " + std::string(sTravel));
  }
  std::vector<Travel> found;
  for (std::uint32_t k = 0; k < m_featureNodes.size(); ++k) {
    for (const bool bReversed : {false, true}) {
      const std::string s = Oriented(k, bReversed);
      if (s.find(sTravel) != std::string::npos) found.push_back({k, bReversed, s});
    }
  }
  if (found.size() != 1) {
    throw std::invalid_argument(std::to_string(found.size()) + " roads hold " +
                                std::string(sTravel));
  }
  return found[0];
}

VRO_FEATURE_ID SketchReader::Feature(std::string_view sTravel) const {
  const Travel t = FindTravel(sTravel);
  return vxnet::FeatureIdOf(t.nFeature, t.bReversed);
}

std::string SketchReader::EdgeNodes(const VRO_FEATURE_ID& id, int nPts,
                                    const tagLonLat* pPts) const {
  std::uint32_t k = 0;
  bool bReversed = false;
  if (!vxnet::DecodeFeatureId(id, k, bReversed) || k >= m_featureNodes.size()) {
    return "?";
  }
  // Each point's node, searched from the last one found onwards: a node found
  // only behind it means the points run against the direction flag.
  const std::string sNodes = Oriented(k, bReversed);
  const auto find = [&](const tagLonLat& p, std::size_t nFrom) {
    for (std::size_t i = nFrom; i < sNodes.size(); ++i) {
      if (Same(m_map.Point(sNodes[i]), Units(p))) return i;
    }
    return std::string::npos;
  };
  std::string s;
  std::size_t nAt = 0;
  bool bBackwards = false;
  for (int i = 0; i < nPts; ++i) {
    std::size_t nNode = find(pPts[i], nAt);
    if (nNode == std::string::npos) {
      nNode = find(pPts[i], 0);
      bBackwards = bBackwards || nNode != std::string::npos;
    }
    s += nNode == std::string::npos ? '*' : sNodes[nNode];
    nAt = nNode == std::string::npos ? nAt : nNode;
  }
  return bBackwards ? s + "!" : s;
}

std::string SketchReader::Route(const tagLonLat& from, const tagLonLat& to, double dAngle,
                                const char* szMode, double dTurnPenalty,
                                double dDeadEndPenalty) const {
  const int nFound =
      VroRouteFindPath(m_hRoute, from, to, dAngle, dTurnPenalty, szMode, dDeadEndPenalty, nullptr);
  if (nFound < 0) {
    return "no route";
  }
  std::string sRoute;
  if (nFound > 0 && VroRouteRetrieveStart(m_hRoute) != 0) {
    char szCode[6], szStr1[21], szStr2[301], szAttr[100];
    VRO_FEATURE_ID id{};
    double dLen = 0.0;
    tagLonLat* pPts = nullptr;
    int n = 0;
    while ((n = VroRouteRetrieveNextEdgeEx(m_hRoute, szCode, szStr1, szStr2, szAttr, id, dLen,
                                           pPts)) > 0) {
      sRoute += sRoute.empty() ? "" : " ";
      sRoute += EdgeNodes(id, n, pPts);
    }
  }
  VroRouteReset(m_hRoute);
  return sRoute;
}

CPath SketchReader::RoutePath(const tagLonLat& from, const tagLonLat& to, double dAngle,
                              const char* szMode) const {
  CPath path;
  path.SetVroReader(m_hReader);
  if (VroRouteFindPath(m_hRoute, from, to, dAngle, 0.0, szMode, 0.0, nullptr) > 0 &&
      VroRouteRetrieveStart(m_hRoute) != 0) {
    char szCode[6], szStr1[21], szStr2[301], szAttr[100];
    VRO_FEATURE_ID id{};
    double dLen = 0.0;
    tagLonLat* pPts = nullptr;
    for (int n; (n = VroRouteRetrieveNextEdgeEx(m_hRoute, szCode, szStr1, szStr2, szAttr, id, dLen,
                                                pPts)) > 0;) {
      path.AddEdge(szCode, szStr1, szStr2, szAttr, static_cast<unsigned short>(n), pPts, id, dLen);
    }
  }
  VroRouteReset(m_hRoute);
  return path;
}

std::string SketchReader::PathText(const CPath& path) const {
  std::string s;
  unsigned short wPtNum = 0;
  tagLonLat* pPts = nullptr;
  VRO_FEATURE_ID id{};
  for (int b = path.StartEdge(); b != 0 && path.NextEdge(wPtNum, pPts, id) != 0;) {
    s += s.empty() ? "" : " ";
    s += EdgeNodes(id, wPtNum, pPts);
  }
  return s;
}

std::string SketchReader::Cross(std::string_view sArrival, int bTurnCheck, int bLevelCheck) const {
  const Travel in = FindTravel(sArrival);
  const std::size_t nEnd = in.sNodes.find(sArrival) + sArrival.size();
  std::vector<tagLonLat> pts;
  for (std::size_t i = 0; i < nEnd; ++i) pts.push_back(At(in.sNodes[i]));
  NavGuid nav{};
  nav.idEdge = vxnet::FeatureIdOf(in.nFeature, in.bReversed);
  nav.wPtNum = static_cast<unsigned short>(pts.size());
  nav.pPts = pts.data();
  nav.ptEnd = pts.back();
  const Bin_LonLat at = m_map.Point(sArrival.back());
  constexpr unsigned short kMax = 32;
  VRO_FEATURE_ID ids[kMax];
  double angles[kMax];
  const int n = CPath::GetCrossEdge(m_hReader, nav, ids, angles, kMax, bTurnCheck, bLevelCheck,
                                    nullptr, '1', '7');
  std::vector<std::pair<long, std::string>> roads;
  for (int i = 0; i < n; ++i) {
    std::uint32_t k = 0;
    bool bReversed = false;
    std::string sRoad = "?";
    if (vxnet::DecodeFeatureId(ids[i], k, bReversed) && k < m_featureNodes.size()) {
      sRoad = Oriented(k, !Same(m_map.Point(m_featureNodes[k].front()), at)).substr(0, 2);
    }
    roads.push_back({std::lround(angles[i]) % 360, sRoad});
  }
  std::sort(roads.begin(), roads.end());
  std::string s;
  for (const auto& [nAngle, sRoad] : roads) {
    s += s.empty() ? "" : ", ";
    s += sRoad + " " + std::to_string(nAngle);
  }
  return s;
}

}  // namespace vxtest
