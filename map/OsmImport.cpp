// Reading an OpenStreetMap file with libosmium into raw ways and restrictions.
// With OsmInputCheck.cpp, the only translation units that include libosmium.
#include "map/OsmImport.h"

#include <unistd.h>

#include <cstring>
#include <exception>
#include <future>
#include <memory>
#include <osmium/handler.hpp>
#include <osmium/handler/node_locations_for_ways.hpp>
#include <osmium/index/map/flex_mem.hpp>
#include <osmium/io/any_input.hpp>
#include <osmium/visitor.hpp>
#include <system_error>

#include "map/OsmInputCheck.h"
#include "map/OsmTags.h"

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

class Collector : public osmium::handler::Handler {
 public:
  explicit Collector(RawOsm& raw) : m_raw(raw) {}

  void way(const osmium::Way& w) {
    const osmium::TagList& tags = w.tags();
    const char* szHighway = tags["highway"];
    const int nClass = RoadClassOf(szHighway);
    if (nClass == 0 || tags.has_tag("area", "yes")) return;
    if (CarAccessDenied(tags["motorcar"], tags["motor_vehicle"], tags["vehicle"], tags["access"]))
      return;
    RawWay way;
    way.nWayId = w.id();
    const char* szName = tags["name"];
    way.sName = szName != nullptr ? szName : "";
    way.nOneWay = static_cast<std::int8_t>(
        OneWayOf(tags["oneway"], tags["junction"], szHighway, way.bRoutable));
    way.nRoadClass = static_cast<std::uint8_t>(nClass);
    way.nMaxSpeed = ParseMaxSpeed(tags["maxspeed"]);
    way.nLevel = static_cast<std::int8_t>(LevelOf(tags["layer"], tags["bridge"], tags["tunnel"]));
    way.bRoundabout = IsRoundabout(tags["junction"]);
    way.refs.reserve(w.nodes().size());
    for (const osmium::NodeRef& ref : w.nodes()) {
      const osmium::Location loc = ref.location();
      RawNodeRef raw{ref.ref(), Bin_LonLat{0, 0}, loc.valid()};
      if (raw.bLocated) raw.pt = Bin_LonLat{RoundToBin(loc.x()), RoundToBin(loc.y())};
      way.refs.push_back(raw);
    }
    m_raw.ways.push_back(std::move(way));
  }

  void relation(const osmium::Relation& r) {
    const osmium::TagList& tags = r.tags();
    if (!tags.has_tag("type", "restriction")) return;
    const char* szKind = tags["restriction:motorcar"];
    if (szKind == nullptr) szKind = tags["restriction"];
    if (szKind == nullptr) return;
    const std::string sKind = szKind;
    const bool bOnly = sKind.rfind("only_", 0) == 0;
    if (!bOnly && sKind.rfind("no_", 0) != 0) return;
    const char* szExcept = tags["except"];
    if (szExcept != nullptr && std::string(szExcept).find("motorcar") != std::string::npos) return;
    int nFrom = 0, nVia = 0, nTo = 0;
    RawRestriction rr{0, 0, 0, bOnly};
    for (const osmium::RelationMember& m : r.members()) {
      const std::string sRole = m.role();
      if (sRole == "from" && m.type() == osmium::item_type::way) {
        rr.nFromWay = m.ref();
        ++nFrom;
      } else if (sRole == "to" && m.type() == osmium::item_type::way) {
        rr.nToWay = m.ref();
        ++nTo;
      } else if (sRole == "via") {
        if (m.type() != osmium::item_type::node) return;  // via ways are not supported
        rr.nViaNode = m.ref();
        ++nVia;
      }
    }
    if (nFrom == 1 && nVia == 1 && nTo == 1) m_raw.restrictions.push_back(rr);
  }

 private:
  RawOsm& m_raw;
};

}  // namespace

bool ReadOsmFile(const char* szFile, RawOsm& raw, std::string& sError) {
  raw = RawOsm{};
  if (szFile == nullptr || *szFile == '\0') {
    sError = "no map file given";
    return false;
  }
  try {
    using Index = osmium::index::map::FlexMem<osmium::unsigned_object_id_type, osmium::Location>;
    Index index;
    osmium::handler::NodeLocationsForWays<Index> locations{index};
    locations.ignore_errors();
    Collector collector{raw};
    UseClosingPbfParser();
    const osmium::io::File file{szFile};
    CheckOsmInput(file);
    osmium::io::Reader reader{file,
                              osmium::osm_entity_bits::node | osmium::osm_entity_bits::way |
                                  osmium::osm_entity_bits::relation,
                              osmium::io::read_meta::no};
    osmium::apply(reader, locations, collector);
    reader.close();
  } catch (const std::exception& e) {
    sError = std::string("cannot read map file ") + szFile + ": " + e.what();
    raw = RawOsm{};
    return false;
  }
  return true;
}

bool ImportRoadNetwork(const char* szFile, RoadNetwork& net, std::string& sError) {
  RawOsm raw;
  if (!ReadOsmFile(szFile, raw, sError)) return false;
  if (!BuildRoadNetwork(raw, net, sError)) {
    sError = std::string("map file ") + szFile + ": " + sError;
    return false;
  }
  return true;
}

}  // namespace vxmap
