// Reading an OpenStreetMap file with libosmium into raw ways, node points and
// restrictions, in one pass or two.
// With OsmInputCheck.cpp, the only translation units that include libosmium.
#include "map/OsmImport.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <filesystem>
#include <future>
#include <limits>
#include <memory>
#include <osmium/handler.hpp>
#include <osmium/io/any_input.hpp>
#include <osmium/visitor.hpp>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <unordered_map>

#include "map/OsmInputCheck.h"
#include "map/OsmTags.h"
#include "map/RestrictionRules.h"

namespace vxmap {
namespace {

// Rounds a coordinate in units of 1e-7 degree to units of 1e-5 degree, half
// away from zero, in integers.
std::int32_t RoundToBin(std::int32_t nValue) {
  const std::int64_t n = nValue;
  return static_cast<std::int32_t>(n >= 0 ? (n + 50) / 100 : -((-n + 50) / 100));
}

// libosmium's PBF parser reads the file descriptor the reader opened and
// closes it only when it has read the file to its end: a file it refuses half
// way left its descriptor open, one lost for every corrupt file opened. This
// parser runs libosmium's and closes the descriptor when that one fails. The
// inner parser gets a header promise of its own, handed on after a success,
// so that a failure after the header is reported once, by this parser.
class ClosingPbfParser final : public osmium::io::detail::Parser {
 public:
  explicit ClosingPbfParser(osmium::io::detail::parser_arguments& args)
      : Parser(args),
        m_innerArgs{args.pool,
                    args.fd,
                    args.input_queue,
                    args.output_queue,
                    m_innerHeader,
                    args.offset_ptr,
                    args.read_which_entities,
                    args.read_metadata,
                    args.buffers_kind,
                    args.want_buffered_pages_removed},
        m_inner(m_innerArgs) {}

  void run() override {
    try {
      m_inner.run();
    } catch (const std::system_error& e) {
      // libosmium's close reports a failure after the descriptor is gone.
      if (std::strncmp(e.what(), "Close failed", 12) != 0) CloseDescriptor();
      throw;
    } catch (...) {
      CloseDescriptor();
      throw;
    }
    set_header_value(m_innerHeaderFuture.get());
  }

 private:
  void CloseDescriptor() const {
    if (m_innerArgs.fd > 2) ::close(m_innerArgs.fd);
  }

  std::promise<osmium::io::Header> m_innerHeader;
  std::future<osmium::io::Header> m_innerHeaderFuture = m_innerHeader.get_future();
  osmium::io::detail::parser_arguments m_innerArgs;
  osmium::io::detail::PBFParser m_inner;
};

// Puts ClosingPbfParser in the place of libosmium's PBF parser, once, before
// the first file is read (libosmium registers its own while the library is
// loaded).
void UseClosingPbfParser() {
  static const bool bRegistered = osmium::io::detail::ParserFactory::instance().register_parser(
      osmium::io::file_format::pbf, [](osmium::io::detail::parser_arguments& args) {
        return std::unique_ptr<osmium::io::detail::Parser>(new ClosingPbfParser{args});
      });
  (void)bRegistered;
}

// Interns names: each distinct name once in the table.
class NameInterner {
 public:
  explicit NameInterner(vxnet::NameTable& table) : m_table(table) {}
  std::uint32_t Index(const char* szName) {
    if (szName == nullptr || *szName == '\0') return 0;
    const auto [it, bNew] = m_index.try_emplace(szName, 0u);
    if (bNew) it->second = m_table.Add(szName);
    return it->second;
  }

 private:
  vxnet::NameTable& m_table;
  std::unordered_map<std::string, std::uint32_t> m_index;
};

// A node's id and point, for the pass that keeps every node.
struct NodeAt {
  std::int64_t nId;
  Bin_LonLat pt;
};

Bin_LonLat PointOf(const osmium::Location& loc) {
  return loc.valid() ? Bin_LonLat{RoundToBin(loc.x()), RoundToBin(loc.y())} : kNoLocation;
}

// The first pass: drivable ways (their node ids kept in refIds), restrictions,
// and, when asked, every node's point.
class WayCollector : public osmium::handler::Handler {
 public:
  WayCollector(RawOsm& raw, std::vector<std::int64_t>& refIds, std::vector<NodeAt>* pNodes)
      : m_raw(raw), m_refIds(refIds), m_pNodes(pNodes), m_names(raw.names) {}

  void node(const osmium::Node& n) {
    if (m_pNodes != nullptr) m_pNodes->push_back({n.id(), PointOf(n.location())});
  }

  void way(const osmium::Way& w) {
    const osmium::TagList& tags = w.tags();
    const char* szHighway = tags["highway"];
    const int nClass = RoadClassOf(szHighway);
    if (nClass == 0 || tags.has_tag("area", "yes")) return;
    if (CarAccessDenied(tags["motorcar"], tags["motor_vehicle"], tags["vehicle"], tags["access"]))
      return;
    if (m_refIds.size() + w.nodes().size() > std::numeric_limits<std::uint32_t>::max())
      throw std::length_error("more way nodes than the importer holds");
    RawWay way{};
    way.nWayId = w.id();
    way.nName = m_names.Index(tags["name"]);
    way.nOneWay = static_cast<std::int8_t>(
        OneWayOf(tags["oneway"], tags["junction"], szHighway, way.bRoutable));
    way.nRoadClass = static_cast<std::uint8_t>(nClass);
    way.nMaxSpeed = ParseMaxSpeed(tags["maxspeed"]);
    way.nLevel = static_cast<std::int8_t>(LevelOf(tags["layer"], tags["bridge"], tags["tunnel"]));
    way.bRoundabout = IsRoundabout(tags["junction"]);
    way.nFirstRef = static_cast<std::uint32_t>(m_refIds.size());
    way.nRefCount = static_cast<std::uint32_t>(w.nodes().size());
    for (const osmium::NodeRef& ref : w.nodes()) m_refIds.push_back(ref.ref());
    m_raw.ways.push_back(way);
  }

  void relation(const osmium::Relation& r) {
    if (!r.tags().has_tag("type", "restriction")) return;
    RestrictionKind kind{};
    const RestrictionFate fate = ReadRestrictionTags(TagsOf(r.tags()), kind);
    if (fate != RestrictionFate::kApplied) {
      m_raw.restrictionStats.Add(fate);
      return;
    }
    if (!AddMembers(r, kind)) m_raw.restrictionStats.Add(RestrictionFate::kBadMembers);
  }

 private:
  static RestrictionTags TagsOf(const osmium::TagList& tags) {
    RestrictionTags t;
    for (const osmium::Tag& tag : tags) {
      const std::string_view sKey = tag.key();
      if (sKey == "restriction") {
        t.szRestriction = tag.value();
      } else if (sKey == "restriction:motorcar") {
        t.szMotorcar = tag.value();
      } else if (sKey == "except") {
        t.szExcept = tag.value();
      } else if (IsConditionalKey(tag.key())) {
        t.bConditional = true;
      } else if (sKey.starts_with("restriction:")) {
        t.bOtherVehicle = true;
      }
    }
    return t;
  }

  // Keeps the restriction with its members: from ways, one via node or via
  // ways, to ways (other roles are passed over). False, keeping nothing, for
  // any other set of members.
  bool AddMembers(const osmium::Relation& r, const RestrictionKind& kind) {
    std::vector<std::int64_t> from, via, to;
    bool bViaNode = false, bViaWay = false;
    for (const osmium::RelationMember& m : r.members()) {
      const std::string_view sRole = m.role();
      const bool bWay = m.type() == osmium::item_type::way;
      if (sRole == "from" || sRole == "to") {
        if (!bWay) return false;
        (sRole == "from" ? from : to).push_back(m.ref());
      } else if (sRole == "via") {
        if (!bWay && m.type() != osmium::item_type::node) return false;
        (bWay ? bViaWay : bViaNode) = true;
        via.push_back(m.ref());
      }
    }
    if (from.empty() || to.empty() || via.empty() || (bViaNode && (bViaWay || via.size() > 1)) ||
        std::max({from.size(), via.size(), to.size()}) > kMaxRoleMembers)
      return false;
    if (m_raw.restrictionMembers.size() + from.size() + via.size() + to.size() >
        std::numeric_limits<std::uint32_t>::max())
      throw std::length_error("more restriction members than the importer holds");
    RawRestriction rr{};
    rr.nFirstMember = static_cast<std::uint32_t>(m_raw.restrictionMembers.size());
    rr.nFromCount = static_cast<std::uint16_t>(from.size());
    rr.nViaCount = static_cast<std::uint16_t>(via.size());
    rr.nToCount = static_cast<std::uint16_t>(to.size());
    rr.bViaNode = bViaNode;
    rr.kind = kind;
    for (const auto* list : {&from, &via, &to})
      m_raw.restrictionMembers.insert(m_raw.restrictionMembers.end(), list->begin(), list->end());
    m_raw.restrictions.push_back(rr);
    return true;
  }

  RawOsm& m_raw;
  std::vector<std::int64_t>& m_refIds;
  std::vector<NodeAt>* m_pNodes;
  NameInterner m_names;
};

// The second pass: the points of the nodes in raw.nodeIds. Files list nodes
// by ascending id, so the search goes on from the last node found; a file out
// of that order is searched from the start.
class NodeCollector : public osmium::handler::Handler {
 public:
  explicit NodeCollector(RawOsm& raw) : m_raw(raw) {}

  void node(const osmium::Node& n) {
    const std::vector<std::int64_t>& ids = m_raw.nodeIds;
    const std::int64_t nId = n.id();
    if (nId < m_nLastId) m_nCursor = 0;
    m_nLastId = nId;
    if (m_nCursor < ids.size() && ids[m_nCursor] < nId) {
      // Gallop ahead, then search the last step.
      std::size_t nStep = 1, nLow = m_nCursor;
      while (m_nCursor + nStep < ids.size() && ids[m_nCursor + nStep] < nId) {
        nLow = m_nCursor + nStep;
        nStep *= 2;
      }
      const std::size_t nHigh = std::min(ids.size(), m_nCursor + nStep + 1);
      m_nCursor = static_cast<std::size_t>(
          std::lower_bound(ids.begin() + static_cast<std::ptrdiff_t>(nLow),
                           ids.begin() + static_cast<std::ptrdiff_t>(nHigh), nId) -
          ids.begin());
    }
    if (m_nCursor < ids.size() && ids[m_nCursor] == nId)
      m_raw.nodePoints[m_nCursor] = PointOf(n.location());
  }

 private:
  RawOsm& m_raw;
  std::size_t m_nCursor = 0;
  std::int64_t m_nLastId = std::numeric_limits<std::int64_t>::min();
};

constexpr std::uint64_t kSecondPassBytes = 64ull << 20;

// Runs the handler over the entities of the file, reporting progress.
template <class Handler>
void ReadPass(const osmium::io::File& file, osmium::osm_entity_bits::type entities,
              Handler& handler, const char* szPass, const ReadProgress& progress) {
  osmium::io::Reader reader{file, entities, osmium::io::read_meta::no};
  const std::uint64_t nSize = reader.file_size();
  while (osmium::memory::Buffer buffer = reader.read()) {
    osmium::apply(buffer, handler);
    if (progress) progress(szPass, reader.offset(), nSize);
  }
  reader.close();
}

// Replaces raw.refs' node ids by indices into the sorted, distinct ids.
void IndexNodes(RawOsm& raw, std::vector<std::int64_t>& refIds) {
  raw.nodeIds = refIds;
  std::sort(raw.nodeIds.begin(), raw.nodeIds.end());
  raw.nodeIds.erase(std::unique(raw.nodeIds.begin(), raw.nodeIds.end()), raw.nodeIds.end());
  raw.nodeIds.shrink_to_fit();
  raw.refs.resize(refIds.size());
  for (std::size_t i = 0; i < refIds.size(); ++i) {
    raw.refs[i] = static_cast<std::uint32_t>(
        std::lower_bound(raw.nodeIds.begin(), raw.nodeIds.end(), refIds[i]) - raw.nodeIds.begin());
  }
  std::vector<std::int64_t>().swap(refIds);
  raw.nodePoints.assign(raw.nodeIds.size(), kNoLocation);
}

// Takes the points of the used nodes from every node's point (sorted by id,
// the last of equal ids winning, as a second pass would).
void PlaceNodes(RawOsm& raw, std::vector<NodeAt>& nodes) {
  std::stable_sort(nodes.begin(), nodes.end(),
                   [](const NodeAt& a, const NodeAt& b) { return a.nId < b.nId; });
  std::size_t j = 0;
  for (std::size_t i = 0; i < raw.nodeIds.size(); ++i) {
    while (j < nodes.size() && nodes[j].nId < raw.nodeIds[i]) ++j;
    while (j < nodes.size() && nodes[j].nId == raw.nodeIds[i]) raw.nodePoints[i] = nodes[j++].pt;
  }
}

}  // namespace

bool ReadOsmFile(const char* szFile, RawOsm& raw, std::string& sError, NodePass pass,
                 const ReadProgress& progress) {
  raw = RawOsm{};
  if (szFile == nullptr || *szFile == '\0') {
    sError = "no map file given";
    return false;
  }
  try {
    UseClosingPbfParser();
    const osmium::io::File file{szFile};
    CheckOsmInput(file);
    if (pass == NodePass::kAuto) {
      std::error_code ec;
      const std::uintmax_t nBytes = std::filesystem::file_size(szFile, ec);
      pass = !ec && nBytes >= kSecondPassBytes ? NodePass::kSecond : NodePass::kSame;
    }
    std::vector<std::int64_t> refIds;
    std::vector<NodeAt> nodes;
    WayCollector ways{raw, refIds, pass == NodePass::kSame ? &nodes : nullptr};
    ReadPass(file,
             osmium::osm_entity_bits::way | osmium::osm_entity_bits::relation |
                 (pass == NodePass::kSame ? osmium::osm_entity_bits::node
                                          : osmium::osm_entity_bits::nothing),
             ways, "ways", progress);
    IndexNodes(raw, refIds);
    if (pass == NodePass::kSame) {
      PlaceNodes(raw, nodes);
    } else {
      NodeCollector collector{raw};
      ReadPass(file, osmium::osm_entity_bits::node, collector, "nodes", progress);
    }
  } catch (const std::exception& e) {
    sError = std::string("cannot read map file ") + szFile + ": " + e.what();
    raw = RawOsm{};
    return false;
  }
  return true;
}

bool ImportRoadNetwork(const char* szFile, vxnet::RoadNetwork& net, std::string& sError,
                       NodePass pass) {
  RawOsm raw;
  if (!ReadOsmFile(szFile, raw, sError, pass)) return false;
  if (!BuildRoadNetwork(raw, net, sError)) {
    sError = std::string("map file ") + szFile + ": " + sError;
    return false;
  }
  return true;
}

}  // namespace vxmap
