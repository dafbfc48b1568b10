// Writing a network as a compiled map file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "network/MapFile.h"

namespace vxnet {
namespace {

static_assert(std::endian::native == std::endian::little,
              "compiled maps are written and read on little-endian machines");

struct Block {
  std::uint32_t nId;
  std::uint32_t nRecordSize;
  const void* pData;
  std::uint64_t nSize;
};

template <class T>
Block BlockOf(std::uint32_t nId, std::span<const T> data) {
  return {nId, sizeof(T), data.data(), data.size_bytes()};
}

bool WriteAll(int fd, const void* p, std::uint64_t n) {
  const auto* b = static_cast<const char*>(p);
  while (n > 0) {
    const ssize_t w =
        ::write(fd, b, static_cast<std::size_t>(std::min<std::uint64_t>(n, 1u << 30)));
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    b += w;
    n -= static_cast<std::uint64_t>(w);
  }
  return true;
}

bool Fail(const std::string& sPath, std::string& sError) {
  sError = "cannot write " + sPath + ": " + std::strerror(errno != 0 ? errno : EIO);
  return false;
}

// The sections of net in file order; info is the graph's figures, which
// must outlive the blocks.
std::vector<Block> BlocksOf(const NetworkView& net, const GraphInfo& info) {
  const OverlayView& o = net.overlay;
  std::vector<Block> blocks = {
      BlockOf(section::kGraphInfo, std::span<const GraphInfo>(&info, 1)),
      BlockOf(section::kFeatures, net.features),
      BlockOf(section::kPoints, net.points),
      BlockOf(section::kNodes, net.nodes),
      BlockOf(section::kNameOffsets, net.nameOffsets),
      BlockOf(section::kNameBytes, net.nameBytes),
      BlockOf(section::kForbidden, net.forbidden),
      BlockOf(section::kGridLevels, net.grid.levels),
      BlockOf(section::kGridCells, net.grid.cellStart),
      BlockOf(section::kGridItems, net.grid.items),
      BlockOf(section::kLengths, net.graph.lengths),
      BlockOf(section::kBearings, net.graph.bearings),
      BlockOf(section::kGraphFlags, net.graph.flags),
      BlockOf(section::kLeavingStart, net.graph.leavingStart),
      BlockOf(section::kLeaving, net.graph.leaving),
      BlockOf(section::kViaRestrictions, net.viaRestrictions),
      BlockOf(section::kViaHalfEdges, net.viaHalfEdges),
  };
  if (!net.graph.copies.empty()) {
    blocks.insert(blocks.end(), {BlockOf(section::kCopies, net.graph.copies),
                                 BlockOf(section::kSteps, net.graph.steps)});
  }
  if (o.Built()) {
    blocks.insert(
        blocks.end(),
        {BlockOf(section::kOverlayInfo, std::span<const OverlayInfo>(&o.info, 1)),
         BlockOf(section::kOverlayCells, o.cells), BlockOf(section::kOverlayParents, o.parents),
         BlockOf(section::kOverlayNodes, o.nodeCells),
         BlockOf(section::kOverlayStates, o.vertexState),
         BlockOf(section::kOverlayByState, o.byState),
         BlockOf(section::kOverlayPoints, o.vertexPoints),
         BlockOf(section::kOverlayEntries, o.entries), BlockOf(section::kOverlayExits, o.exits),
         BlockOf(section::kOverlayFastest, o.weights[0]),
         BlockOf(section::kOverlayShortest, o.weights[1])});
  }
  if (!o.reach.empty()) blocks.push_back(BlockOf(section::kReach, o.reach));
  return blocks;
}

// The section table of blocks, each at the next 8-byte boundary after the
// table and the blocks before it; nFileSize receives the end of the last.
std::vector<SectionEntry> TableOf(const std::vector<Block>& blocks, std::uint64_t& nFileSize) {
  const std::size_t nCount = blocks.size();
  std::vector<SectionEntry> table(nCount);
  std::uint64_t nOffset = sizeof(MapHeader) + nCount * sizeof(SectionEntry);
  for (std::size_t i = 0; i < nCount; ++i) {
    nOffset = (nOffset + 7) / 8 * 8;
    table[i] = {blocks[i].nId,
                blocks[i].nRecordSize,
                nOffset,
                blocks[i].nSize,
                SectionCrc(blocks[i].pData, blocks[i].nSize),
                0};
    nOffset += blocks[i].nSize;
  }
  nFileSize = nOffset;
  return table;
}

// The stamped header of a file of nFileSize bytes with the section table.
MapHeader HeaderOf(const std::vector<SectionEntry>& table, std::uint64_t nFileSize) {
  MapHeader header{};
  std::memcpy(header.szMagic, kMapMagic, sizeof header.szMagic);
  header.nByteOrder = kByteOrderMark;
  header.nMajor = kFormatMajor;
  header.nMinor = kFormatMinor;
  header.nFileSize = nFileSize;
  header.nSectionCount = static_cast<std::uint32_t>(table.size());
  header.nTableCrc = SectionCrc(table.data(), table.size() * sizeof(SectionEntry));
  header.nHeaderCrc = SectionCrc(&header, sizeof header);
  return header;
}

// Writes the header, the table and the blocks at the table's offsets (zeros
// between them) to fd; false when a write fails.
bool WriteSections(int fd, const MapHeader& header, const std::vector<SectionEntry>& table,
                   const std::vector<Block>& blocks) {
  bool bOk = WriteAll(fd, &header, sizeof header) &&
             WriteAll(fd, table.data(), table.size() * sizeof(SectionEntry));
  std::uint64_t nAt = sizeof header + table.size() * sizeof(SectionEntry);
  static constexpr char kZeros[8] = {};
  for (std::size_t i = 0; bOk && i < table.size(); ++i) {
    bOk = WriteAll(fd, kZeros, table[i].nOffset - nAt) &&
          WriteAll(fd, blocks[i].pData, blocks[i].nSize);
    nAt = table[i].nOffset + blocks[i].nSize;
  }
  return bOk;
}

}  // namespace

std::uint32_t SectionCrc(const void* p, std::uint64_t n) {
  uLong crc = crc32(0L, Z_NULL, 0);
  const auto* b = static_cast<const Bytef*>(p);
  while (n > 0) {
    const uInt nPiece = static_cast<uInt>(std::min<std::uint64_t>(n, 1u << 30));
    crc = crc32(crc, b, nPiece);
    b += nPiece;
    n -= nPiece;
  }
  return static_cast<std::uint32_t>(crc);
}

void RestampChecksums(std::span<char> file) {
  MapHeader h;
  if (file.size() < sizeof h) return;
  std::memcpy(&h, file.data(), sizeof h);
  const std::uint64_t nTable = std::uint64_t{h.nSectionCount} * sizeof(SectionEntry);
  if (nTable > file.size() - sizeof h) return;
  char* pTable = file.data() + sizeof h;
  for (std::uint32_t i = 0; i < h.nSectionCount; ++i) {
    SectionEntry s;
    std::memcpy(&s, pTable + i * sizeof s, sizeof s);
    if (s.nOffset > file.size() || s.nSize > file.size() - s.nOffset) continue;
    s.nCrc = SectionCrc(file.data() + s.nOffset, s.nSize);
    std::memcpy(pTable + i * sizeof s, &s, sizeof s);
  }
  h.nTableCrc = SectionCrc(pTable, nTable);
  h.nHeaderCrc = 0;
  h.nHeaderCrc = SectionCrc(&h, sizeof h);
  std::memcpy(file.data(), &h, sizeof h);
}

bool WriteMapFile(const NetworkView& net, const std::string& sPath, std::string& sError,
                  std::vector<SectionEntry>* pTable) {
  const GraphInfo info = net.graph.info;
  const std::vector<Block> blocks = BlocksOf(net, info);
  std::uint64_t nFileSize = 0;
  std::vector<SectionEntry> table = TableOf(blocks, nFileSize);
  const MapHeader header = HeaderOf(table, nFileSize);

  std::string sTemp = sPath + ".XXXXXX";
  errno = 0;
  const int fd = ::mkstemp(sTemp.data());
  if (fd < 0) return Fail(sPath, sError);
  bool bOk = ::fchmod(fd, 0644) == 0 && WriteSections(fd, header, table, blocks);
  bOk = bOk && ::fsync(fd) == 0;
  bOk = ::close(fd) == 0 && bOk;
  bOk = bOk && std::rename(sTemp.c_str(), sPath.c_str()) == 0;
  if (!bOk) {
    Fail(sPath, sError);
    ::unlink(sTemp.c_str());
    return false;
  }
  if (pTable != nullptr) *pTable = std::move(table);
  return true;
}

}  // namespace vxnet
