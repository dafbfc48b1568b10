// The check an OpenStreetMap file passes before libosmium decodes it: the
// inputs on which libosmium's decoders would overflow or read out of bounds
// are refused with a reason instead.
#ifndef VX_MAP_OSMINPUTCHECK_H
#define VX_MAP_OSMINPUTCHECK_H

#include <osmium/io/file.hpp>
#include <osmium/version.hpp>

// The importer (OsmImport.cpp's ClosingPbfParser, OsmInputCheck.cpp's blob
// reading) builds on libosmium's internal classes (osmium::io::detail), which
// may change in any release. A libosmium other than the one this was written
// and fuzzed against fails the build, so that those places are checked again
// rather than misbehaving.
static_assert(LIBOSMIUM_VERSION_MAJOR == 2 && LIBOSMIUM_VERSION_MINOR == 19,
              "the importer uses libosmium 2.19's internal parser classes: check "
              "map/OsmImport.cpp and map/OsmInputCheck.cpp against this libosmium first");

namespace vxmap {

/// Reads the file once, through its compression, and throws
/// std::runtime_error (or libosmium's own error) naming the problem when it is
/// not XML or PBF, when an XML coordinate attribute is 1000 degrees or more,
/// or when a PBF string table holds a text with a NUL byte. Malformed data
/// that libosmium refuses by itself is left for its reading to report.
void CheckOsmInput(const osmium::io::File& file);

}  // namespace vxmap

#endif  // VX_MAP_OSMINPUTCHECK_H
