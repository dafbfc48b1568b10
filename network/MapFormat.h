// The compiled map file's layout (docs/map-format.md): a header, a table of
// sections, and the sections, each 8-byte aligned, of fixed-width
// little-endian records.
#ifndef VX_NETWORK_MAPFORMAT_H
#define VX_NETWORK_MAPFORMAT_H

#include <cstdint>
#include <string>

namespace vxnet {

/// The first 8 bytes of every compiled map.
inline constexpr char kMapMagic[8] = {'V', 'X', 'M', 'A', 'P', '\0', '\r', '\n'};
/// Written as a 32-bit number; reads back as this only in the writer's byte order.
inline constexpr std::uint32_t kByteOrderMark = 0x01020304u;
/// A reader reads files of its major version; minor versions only add
/// sections, which older readers of the same major version pass over.
inline constexpr std::uint16_t kFormatMajor = 1;
inline constexpr std::uint16_t kFormatMinor = 1;
/// Sections up to this size have their checksum verified when a file is opened.
inline constexpr std::uint64_t kSmallSectionBytes = 64 * 1024ULL;

/// The file header, 40 bytes, followed by nSectionCount SectionEntry records.
struct MapHeader {
  char szMagic[8];
  std::uint32_t nByteOrder;  ///< kByteOrderMark
  std::uint16_t nMajor;      ///< kFormatMajor
  std::uint16_t nMinor;      ///< kFormatMinor
  std::uint64_t nFileSize;   ///< bytes of the whole file
  std::uint32_t nSectionCount;
  std::uint32_t nTableCrc;   ///< CRC-32 of the section table
  std::uint32_t nHeaderCrc;  ///< CRC-32 of this header with nHeaderCrc 0
  std::uint32_t nReserved;   ///< 0
};
static_assert(sizeof(MapHeader) == 40);

/// One section: its id, record size, place and checksum. 32 bytes.
struct SectionEntry {
  std::uint32_t nId;          ///< four characters, e.g. "FEAT" as read in file order
  std::uint32_t nRecordSize;  ///< bytes per record; nSize is a multiple of it
  std::uint64_t nOffset;      ///< from the file's start; a multiple of 8
  std::uint64_t nSize;        ///< bytes
  std::uint32_t nCrc;         ///< CRC-32 (zlib) of the section's bytes
  std::uint32_t nReserved;    ///< 0
};
static_assert(sizeof(SectionEntry) == 32);

/// A section id from its four characters in file order.
constexpr std::uint32_t SectionId(const char (&sz)[5]) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(sz[0])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(sz[1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(sz[2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(sz[3])) << 24;
}

/// The sections: those of format 1.0, all required, then the later ones.
namespace section {
inline constexpr std::uint32_t kGraphInfo = SectionId("GINF");     ///< GraphInfo, one record
inline constexpr std::uint32_t kFeatures = SectionId("FEAT");      ///< Feature
inline constexpr std::uint32_t kPoints = SectionId("PNTS");        ///< Bin_LonLat
inline constexpr std::uint32_t kNodes = SectionId("NODE");         ///< Bin_LonLat
inline constexpr std::uint32_t kNameOffsets = SectionId("NAMO");   ///< uint32
inline constexpr std::uint32_t kNameBytes = SectionId("NAMB");     ///< char
inline constexpr std::uint32_t kForbidden = SectionId("FORB");     ///< ForbiddenTurn
inline constexpr std::uint32_t kGridLevels = SectionId("GRDL");    ///< GridLevel
inline constexpr std::uint32_t kGridCells = SectionId("GRDC");     ///< uint32 cell starts
inline constexpr std::uint32_t kGridItems = SectionId("GRDI");     ///< uint32 feature indices
inline constexpr std::uint32_t kLengths = SectionId("GLEN");       ///< float
inline constexpr std::uint32_t kBearings = SectionId("GBRG");      ///< uint16, two per feature
inline constexpr std::uint32_t kGraphFlags = SectionId("GFLG");    ///< uint8
inline constexpr std::uint32_t kLeavingStart = SectionId("GLVS");  ///< uint32
inline constexpr std::uint32_t kLeaving = SectionId("GLVI");       ///< uint32 half-edges
/// Sections added in format 1.1, each optional; a 1.0 file has none of them.
/// The via restrictions (none in a 1.0 file):
inline constexpr std::uint32_t kViaRestrictions = SectionId("VIAR");  ///< ViaRestriction
inline constexpr std::uint32_t kViaHalfEdges = SectionId("VIAH");     ///< uint32 half-edges
/// The route graph's copies of half-edges for them (both or none):
inline constexpr std::uint32_t kCopies = SectionId("GCPY");  ///< uint32 half-edge per copy
inline constexpr std::uint32_t kSteps = SectionId("GSTP");   ///< ViaStep
/// The route engine's overlay (all of O... or none) and the component flags:
inline constexpr std::uint32_t kOverlayInfo = SectionId("OINF");      ///< OverlayInfo, one record
inline constexpr std::uint32_t kOverlayCells = SectionId("OCEL");     ///< OverlayCell
inline constexpr std::uint32_t kOverlayParents = SectionId("OPAR");   ///< uint32 per cell
inline constexpr std::uint32_t kOverlayNodes = SectionId("ONOD");     ///< uint32 per node
inline constexpr std::uint32_t kOverlayStates = SectionId("OVST");    ///< uint32 per vertex
inline constexpr std::uint32_t kOverlayByState = SectionId("OVIX");   ///< uint32 per vertex
inline constexpr std::uint32_t kOverlayPoints = SectionId("OVPT");    ///< Bin_LonLat per vertex
inline constexpr std::uint32_t kOverlayEntries = SectionId("OENT");   ///< uint32 vertex ids
inline constexpr std::uint32_t kOverlayExits = SectionId("OEXT");     ///< uint32 vertex ids
inline constexpr std::uint32_t kOverlayFastest = SectionId("OWTF");   ///< float clique weights
inline constexpr std::uint32_t kOverlayShortest = SectionId("OWTS");  ///< float clique weights
inline constexpr std::uint32_t kReach = SectionId("GSCC");            ///< uint8 per feature
}  // namespace section

/// The four characters of a section id, unprintable ones as '?'.
std::string SectionName(std::uint32_t nId);

/// CRC-32 (zlib's) of n bytes at p: the checksum of sections and header.
std::uint32_t SectionCrc(const void* p, std::uint64_t n);

}  // namespace vxnet

#endif
