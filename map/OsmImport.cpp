// Reading an OpenStreetMap file with libosmium into raw ways and restrictions.
// The only translation unit of the reader that includes libosmium.
#include "map/OsmImport.h"

#include <expat.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <osmium/handler.hpp>
#include <osmium/handler/node_locations_for_ways.hpp>
#include <osmium/index/map/flex_mem.hpp>
#include <osmium/io/any_input.hpp>
#include <osmium/io/compression.hpp>
#include <osmium/io/detail/read_write.hpp>
#include <osmium/visitor.hpp>
#include <stdexcept>
#include <type_traits>

#include "map/OsmTags.h"

namespace vxmap {
namespace {

// Rounds a coordinate in units of 1e-7 degree to units of 1e-5 degree, half
// away from zero, in integers.
std::int32_t RoundToBin(std::int32_t nValue) {
  const std::int64_t n = nValue;
  return static_cast<std::int32_t>(n >= 0 ? (n + 50) / 100 : -((-n + 50) / 100));
}

// libosmium scales a coordinate text to an integer in 64 bits before it
// checks the range, so a text like 1e30 would overflow (see the -fwrapv note
// in CMakeLists.txt). Texts of 1000 degrees or more, or beyond the range of a
// double, are refused here, before libosmium reads the file. A text that is
// not a number is left to libosmium, which refuses it itself.
bool IsOversizedCoordinate(const char* szText) {
  double d = 0.0;
  const auto [pEnd, ec] = std::from_chars(szText, szText + std::strlen(szText), d);
  if (ec == std::errc::invalid_argument) return false;
  return ec == std::errc::result_out_of_range || !(std::fabs(d) < 1000.0);
}

// The attributes libosmium reads as coordinates (nodes, bounds, changesets).
bool IsCoordinateAttribute(const char* szName) {
  static const char* const kNames[] = {"lat",    "lon",     "minlat",  "minlon",  "maxlat",
                                       "maxlon", "min_lat", "min_lon", "max_lat", "max_lon"};
  for (const char* sz : kNames) {
    if (std::strcmp(sz, szName) == 0) return true;
  }
  return false;
}

struct CoordinateScan {
  XML_Parser parser = nullptr;
  std::string sBad;
};

void XMLCALL OnStartElement(void* pData, const XML_Char* /*szName*/, const XML_Char** atts) {
  auto* scan = static_cast<CoordinateScan*>(pData);
  for (; atts[0] != nullptr; atts += 2) {
    if (IsCoordinateAttribute(atts[0]) && IsOversizedCoordinate(atts[1])) {
      scan->sBad = std::string(atts[0]) + "=\"" + atts[1] + "\"";
      XML_StopParser(scan->parser, XML_FALSE);
      return;
    }
  }
}

// Reads an XML file (through its compression) once with expat, the parser
// libosmium uses, and throws when a coordinate attribute is oversized. XML
// errors are left for libosmium's own reading to report.
void CheckXmlCoordinates(const osmium::io::File& file) {
  if (file.format() != osmium::io::file_format::xml) return;
  const int fd = osmium::io::detail::open_for_reading(file.filename());
  const std::unique_ptr<osmium::io::Decompressor> input =
      osmium::io::CompressionFactory::instance().create_decompressor(file.compression(), fd);
  const std::unique_ptr<std::remove_pointer_t<XML_Parser>, decltype(&XML_ParserFree)> parser{
      XML_ParserCreate(nullptr), &XML_ParserFree};
  if (!parser) throw std::bad_alloc();
  CoordinateScan scan;
  scan.parser = parser.get();
  XML_SetUserData(parser.get(), &scan);
  XML_SetStartElementHandler(parser.get(), OnStartElement);
  for (std::string sChunk = input->read(); !sChunk.empty(); sChunk = input->read()) {
    if (XML_Parse(parser.get(), sChunk.data(), static_cast<int>(sChunk.size()), XML_FALSE) !=
        XML_STATUS_OK) {
      break;
    }
  }
  if (scan.sBad.empty()) XML_Parse(parser.get(), nullptr, 0, XML_TRUE);
  input->close();
  if (!scan.sBad.empty()) throw std::runtime_error("coordinate out of range: " + scan.sBad);
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
    const osmium::io::File file{szFile};
    CheckXmlCoordinates(file);
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
