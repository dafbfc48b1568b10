// Checks an OpenStreetMap file before libosmium decodes it.
//
// XML: libosmium scales a coordinate text to an integer in 64 bits before it
// checks the range, so a text like 1e30 would overflow. The file is read once
// with expat, the parser libosmium uses (entities are decoded the same way),
// and refused when a coordinate attribute is 1000 degrees or more.
//
// PBF: libosmium keeps tags and member roles as NUL-terminated texts, so a
// string table entry holding a NUL byte puts the key/value pairs out of step
// and reading them runs past the object. Each data blob is decoded with
// libosmium's own blob decoder and its string tables searched for a NUL.
#include "map/OsmInputCheck.h"

#include <expat.h>
#include <unistd.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <osmium/io/any_compression.hpp>
#include <osmium/io/detail/pbf.hpp>
#include <osmium/io/detail/pbf_decoder.hpp>
#include <osmium/io/detail/read_write.hpp>
#include <protozero/pbf_reader.hpp>
#include <stdexcept>
#include <string>
#include <type_traits>

namespace vxmap {
namespace {

// The file's bytes after decompression, taken in pieces of a given size.
// Plain files are read in small pieces here: libosmium's own reader of plain
// files fills a fresh megabyte for every piece, which dominates on small maps.
class Input {
 public:
  explicit Input(const osmium::io::File& file)
      : m_fd(osmium::io::detail::open_for_reading(file.filename())) {
    if (file.compression() != osmium::io::file_compression::none) {
      const int fd = m_fd;
      m_fd = -1;  // the decompressor owns the descriptor from here on
      m_input =
          osmium::io::CompressionFactory::instance().create_decompressor(file.compression(), fd);
    }
  }
  Input(const Input&) = delete;
  Input& operator=(const Input&) = delete;
  ~Input() {
    if (m_fd > 2) ::close(m_fd);
  }

  /// The next piece of the data; empty at the end.
  std::string Chunk() {
    if (m_input) return m_input->read();
    std::string s(kPieceSize, '\0');
    s.resize(osmium::io::detail::reliable_read(m_fd, s.data(), kPieceSize));
    return s;
  }

  /// Exactly n bytes into sOut; false when the data ends first.
  bool Take(std::size_t n, std::string& sOut) {
    while (m_buffer.size() - m_nUsed < n) {
      const std::string sMore = Chunk();
      if (sMore.empty()) return false;
      m_buffer.erase(0, m_nUsed);
      m_nUsed = 0;
      m_buffer += sMore;
    }
    sOut.assign(m_buffer, m_nUsed, n);
    m_nUsed += n;
    return true;
  }

  void Close() {
    if (m_input) m_input->close();
  }

 private:
  static constexpr unsigned kPieceSize = 64 * 1024;
  int m_fd;
  std::unique_ptr<osmium::io::Decompressor> m_input;
  std::string m_buffer;
  std::size_t m_nUsed = 0;
};

// A text libosmium would overflow on: 1000 degrees or more, or beyond the
// range of a double. Texts that are no number are left to libosmium, which
// refuses them itself.
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

// XML errors end the scan; libosmium's reading reports them.
void CheckXml(Input& input) {
  const std::unique_ptr<std::remove_pointer_t<XML_Parser>, decltype(&XML_ParserFree)> parser{
      XML_ParserCreate(nullptr), &XML_ParserFree};
  if (!parser) throw std::bad_alloc();
  CoordinateScan scan;
  scan.parser = parser.get();
  XML_SetUserData(parser.get(), &scan);
  XML_SetStartElementHandler(parser.get(), OnStartElement);
  for (std::string sChunk = input.Chunk(); !sChunk.empty(); sChunk = input.Chunk()) {
    if (XML_Parse(parser.get(), sChunk.data(), static_cast<int>(sChunk.size()), XML_FALSE) !=
        XML_STATUS_OK) {
      break;
    }
  }
  if (scan.sBad.empty()) XML_Parse(parser.get(), nullptr, 0, XML_TRUE);
  if (!scan.sBad.empty()) throw std::runtime_error("coordinate out of range: " + scan.sBad);
}

// A blob header's type and data size, read as libosmium reads them (the
// last field of each counts). libosmium compares the type with a call that a
// header without one would pass a null pointer, so the type must be present
// and must be the expected one.
std::int64_t BlobDataSize(const std::string& sHeader, const char* szExpectedType) {
  protozero::pbf_reader header{sHeader};
  std::int64_t nSize = 0;
  bool bTyped = false;
  while (header.next()) {
    if (header.tag() == 1 && header.wire_type() == protozero::pbf_wire_type::length_delimited) {
      const protozero::data_view type = header.get_view();
      bTyped = type.size() == std::strlen(szExpectedType) &&
               std::memcmp(type.data(), szExpectedType, type.size()) == 0;
    } else if (header.tag() == 3 && header.wire_type() == protozero::pbf_wire_type::varint) {
      nSize = header.get_int32();
    } else {
      header.skip();
    }
  }
  if (!bTyped) throw std::runtime_error(std::string("PBF blob is not of type ") + szExpectedType);
  return nSize;
}

void CheckStringTables(protozero::data_view block) {
  protozero::pbf_reader primitive{block};
  while (primitive.next(1, protozero::pbf_wire_type::length_delimited)) {
    protozero::pbf_reader table{primitive.get_view()};
    while (table.next(1, protozero::pbf_wire_type::length_delimited)) {
      const protozero::data_view text = table.get_view();
      if (std::memchr(text.data(), '\0', text.size()) != nullptr) {
        throw std::runtime_error("PBF string table holds a text with a NUL byte");
      }
    }
  }
}

// Walks the blobs as libosmium's reader does. Where the reader stops (end
// of data, a size it refuses) it reads no further blob, so the walk ends
// too; the first blob is the header block, which has no string table.
void CheckPbf(Input& input) {
  using osmium::io::detail::max_blob_header_size;
  using osmium::io::detail::max_uncompressed_blob_size;
  std::string sSize, sHeader, sBlob, sDecoded;
  for (bool bFirst = true; input.Take(4, sSize); bFirst = false) {
    const auto* p = reinterpret_cast<const unsigned char*>(sSize.data());
    const std::uint32_t nHeader = (std::uint32_t{p[0]} << 24U) | (std::uint32_t{p[1]} << 16U) |
                                  (std::uint32_t{p[2]} << 8U) | std::uint32_t{p[3]};
    if (nHeader > static_cast<std::uint32_t>(max_blob_header_size) ||
        !input.Take(nHeader, sHeader)) {
      return;
    }
    const std::int64_t nData = BlobDataSize(sHeader, bFirst ? "OSMHeader" : "OSMData");
    if (nData <= 0 || static_cast<std::uint64_t>(nData) > max_uncompressed_blob_size ||
        !input.Take(static_cast<std::size_t>(nData), sBlob)) {
      return;
    }
    if (!bFirst) CheckStringTables(osmium::io::detail::decode_blob(sBlob, sDecoded));
  }
}

}  // namespace

void CheckOsmInput(const osmium::io::File& file) {
  const osmium::io::file_format format = file.format();
  if (format != osmium::io::file_format::xml && format != osmium::io::file_format::pbf) {
    throw std::runtime_error(
        "not an OpenStreetMap XML or PBF file name (.osm or .osm.pbf, .osm.bz2, .osm.gz)");
  }
  Input input{file};
  try {
    if (format == osmium::io::file_format::xml) {
      CheckXml(input);
    } else {
      CheckPbf(input);
    }
  } catch (const protozero::exception& e) {
    throw std::runtime_error(std::string("corrupt PBF data: ") + e.what());
  }
  input.Close();
}

}  // namespace vxmap
