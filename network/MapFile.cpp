// Opening a compiled map: mapping, header and section table checks, and the
// structural checks that need no big section read (docs/map-format.md).
#include "network/MapFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <tuple>
#include <type_traits>

#include "network/FeatureBoxGrid.h"
#include "network/RouteGraphData.h"

namespace vxnet {
namespace {

struct Expected {
  std::uint32_t nId;
  std::uint32_t nRecordSize;
  bool bRequired = true;  ///< false: added by a later minor version, absent from older files
};

constexpr Expected kKnown[] = {
    {section::kGraphInfo, sizeof(GraphInfo)},
    {section::kFeatures, sizeof(Feature)},
    {section::kPoints, sizeof(Bin_LonLat)},
    {section::kNodes, sizeof(Bin_LonLat)},
    {section::kNameOffsets, 4},
    {section::kNameBytes, 1},
    {section::kForbidden, sizeof(ForbiddenTurn)},
    {section::kGridLevels, sizeof(GridLevel)},
    {section::kGridCells, 4},
    {section::kGridItems, 4},
    {section::kLengths, 4},
    {section::kBearings, 2},
    {section::kGraphFlags, 1},
    {section::kLeavingStart, 4},
    {section::kLeaving, 4},
    // Format 1.1: via restrictions; the route overlay (all of its sections or
    // none) and the component flags.
    {section::kViaRestrictions, sizeof(ViaRestriction), false},
    {section::kViaHalfEdges, 4, false},
    {section::kCopies, 4, false},
    {section::kSteps, sizeof(ViaStep), false},
    {section::kOverlayInfo, sizeof(OverlayInfo), false},
    {section::kOverlayCells, sizeof(OverlayCell), false},
    {section::kOverlayParents, 4, false},
    {section::kOverlayNodes, 4, false},
    {section::kOverlayStates, 4, false},
    {section::kOverlayByState, 4, false},
    {section::kOverlayPoints, sizeof(Bin_LonLat), false},
    {section::kOverlayEntries, 4, false},
    {section::kOverlayExits, 4, false},
    {section::kOverlayFastest, 4, false},
    {section::kOverlayShortest, 4, false},
    {section::kReach, 1, false},
};

// The copies name half-edges; the steps are in order, from states to
// half-edges, each leading to that half-edge, a copy of it, or nowhere; the
// states stay below the search's reserved numbers.
bool CopiesSane(const GraphView& g, std::uint64_t nHalfEdges) {
  const std::uint64_t nStates = nHalfEdges + g.copies.size();
  if (nStates >= kMaxStates) return false;
  for (const std::uint32_t h : g.copies) {
    if (h >= nHalfEdges) return false;
  }
  const auto halfEdge = [&](std::uint32_t s) {
    return s < nHalfEdges ? s : g.copies[s - nHalfEdges];
  };
  for (std::size_t i = 0; i < g.steps.size(); ++i) {
    const ViaStep& s = g.steps[i];
    if (s.nState >= nStates || s.nTurn >= nHalfEdges ||
        (s.nNext != kBarredStep && (s.nNext >= nStates || halfEdge(s.nNext) != s.nTurn)))
      return false;
    if (i > 0 &&
        std::tie(g.steps[i - 1].nState, g.steps[i - 1].nTurn) >= std::tie(s.nState, s.nTurn))
      return false;
  }
  return true;
}

// Per entry of kKnown, the file's section of that id, or null.
using Found = std::array<const SectionEntry*, std::size(kKnown)>;

// What is wrong with header h of the file of nSize bytes at pBase, or with
// its section table; empty when nothing is.
std::string HeaderFault(const MapHeader& h, const unsigned char* pBase, std::size_t nSize) {
  if (std::memcmp(h.szMagic, kMapMagic, sizeof h.szMagic) != 0)
    return " is not a compiled map (no VXMAP header)";
  if (h.nByteOrder != kByteOrderMark)
    return " was written with another byte order than this machine's";
  if (h.nMajor != kFormatMajor)
    return " has format version " + std::to_string(h.nMajor) + "." + std::to_string(h.nMinor) +
           "; this reader reads version " + std::to_string(kFormatMajor) + ".x";
  MapHeader unstamped = h;
  unstamped.nHeaderCrc = 0;
  if (SectionCrc(&unstamped, sizeof unstamped) != h.nHeaderCrc)
    return " is corrupt: header checksum";
  if (h.nFileSize > nSize)
    return " is truncated: " + std::to_string(nSize) + " bytes of " + std::to_string(h.nFileSize);
  if (h.nFileSize < nSize) return " is corrupt: bytes after the end its header gives";
  const std::uint64_t nTableBytes = std::uint64_t{h.nSectionCount} * sizeof(SectionEntry);
  if (nTableBytes > nSize - sizeof h) return " is corrupt: section table past the end";
  if (SectionCrc(pBase + sizeof h, nTableBytes) != h.nTableCrc)
    return " is corrupt: section table checksum";
  return {};
}

// What is wrong with section s of the file of nSize bytes at pBase, whose
// table ends at nDataStart: outside the file or not 8-byte aligned, not whole
// records, or a small one failing its checksum; empty when nothing is.
std::string PlaceFault(const SectionEntry& s, const unsigned char* pBase, std::size_t nSize,
                       std::uint64_t nDataStart) {
  if (s.nOffset % 8 != 0 || s.nOffset < nDataStart || s.nOffset > nSize ||
      s.nSize > nSize - s.nOffset)
    return " lies outside the file or is not 8-byte aligned";
  if (s.nRecordSize == 0 || s.nSize % s.nRecordSize != 0)
    return " is not a whole number of records";
  if (s.nSize <= kSmallSectionBytes && SectionCrc(pBase + s.nOffset, s.nSize) != s.nCrc)
    return " checksum";
  return {};
}

// Files section s in found when kKnown has its id; what is wrong when that
// id came before or its records have another size, else empty.
std::string KnownFault(const SectionEntry& s, Found& found) {
  for (std::size_t i = 0; i < std::size(kKnown); ++i) {
    if (kKnown[i].nId != s.nId) continue;
    if (found[i] != nullptr) return " appears twice";
    if (s.nRecordSize != kKnown[i].nRecordSize)
      return " has records of " + std::to_string(s.nRecordSize) + " bytes";
    found[i] = &s;
  }
  return {};
}

// Checks every section of the table of the file of nSize bytes at pBase
// (inside the file, aligned, whole records; small ones intact; the known
// ones once and with their record size) and files the known ones in found;
// what is wrong, a required section missing included, or empty.
std::string TableFault(std::span<const SectionEntry> sections, const unsigned char* pBase,
                       std::size_t nSize, Found& found) {
  const std::uint64_t nDataStart = sizeof(MapHeader) + sections.size_bytes();
  for (const SectionEntry& s : sections) {
    std::string sWhy = PlaceFault(s, pBase, nSize, nDataStart);
    if (sWhy.empty()) sWhy = KnownFault(s, found);
    if (!sWhy.empty()) return " is corrupt: section " + SectionName(s.nId) + sWhy;
  }
  for (std::size_t i = 0; i < std::size(kKnown); ++i) {
    if (found[i] == nullptr && kKnown[i].bRequired)
      return " is corrupt: section " + SectionName(kKnown[i].nId) + " missing";
  }
  return {};
}

// What is wrong with the grid levels of v: their count, a level out of range
// or out of order, or cells not matching them; empty when nothing is.
std::string GridFault(const NetworkView& v) {
  if (v.grid.levels.empty() || v.grid.levels.size() > kMaxGridLevels || v.grid.cellStart.empty())
    return " is corrupt: GRDL level count";
  std::uint64_t nCells = 0;
  for (const GridLevel& g : v.grid.levels) {
    if (g.nFirstCell != nCells || !GridLevelSane(g, v.grid.cellStart.size() - 1))
      return " is corrupt: GRDL level out of range";
    nCells += static_cast<std::uint64_t>(g.nCols) * static_cast<std::uint64_t>(g.nRows);
  }
  if (v.grid.cellStart.size() != nCells + 1)
    return " is corrupt: GRDC does not match the grid levels";
  return {};
}

// What is wrong with the counts that tie the sections of v together and with
// the small sections' values; empty when nothing is.
std::string CountFault(const NetworkView& v) {
  const std::size_t nFeatures = v.features.size();
  const GraphInfo& gi = v.graph.info;
  if (!(std::isfinite(gi.dMaxSpeed) && gi.dMaxSpeed >= 1.0 && std::isfinite(gi.dLonScale) &&
        gi.dLonScale >= 0.0 && std::isfinite(gi.dLatScale) && gi.dLatScale >= 0.0))
    return " is corrupt: GINF values out of range";
  if (nFeatures == 0) return " holds no drivable road";
  if (nFeatures > kMaxFeatures) return " is corrupt: too many features";
  if (v.nameOffsets.empty() || v.nameBytes.empty() || v.nameBytes.back() != '\0')
    return " is corrupt: the names do not end with a NUL";
  if (v.graph.lengths.size() != nFeatures || v.graph.flags.size() != nFeatures ||
      v.graph.bearings.size() != 2 * nFeatures)
    return " is corrupt: graph sections do not match the feature count";
  if (v.graph.leavingStart.size() != v.nodes.size() + 1)
    return " is corrupt: GLVS does not match the node count";
  if (std::string sWhy = GridFault(v); !sWhy.empty()) return sWhy;
  if (!CopiesSane(v.graph, 2 * nFeatures)) return " is corrupt: GCPY or GSTP out of range";
  return {};
}

}  // namespace

std::string SectionName(std::uint32_t nId) {
  std::string s;
  for (int i = 0; i < 4; ++i) {
    const char c = static_cast<char>((nId >> (8 * i)) & 0xFFu);
    s += c >= 0x20 && c < 0x7F ? c : '?';
  }
  return s;
}

bool HasMapMagic(const char* szPath) {
  if (szPath == nullptr) return false;
  std::FILE* f = std::fopen(szPath, "rb");
  if (f == nullptr) return false;
  char sz[sizeof kMapMagic] = {};
  const bool bMagic =
      std::fread(sz, 1, sizeof sz, f) == sizeof sz && std::memcmp(sz, kMapMagic, sizeof sz) == 0;
  std::fclose(f);
  return bMagic;
}

std::unique_ptr<MappedMap> MappedMap::Open(const char* szPath, std::string& sError) {
  const std::string sName = std::string("compiled map ") + (szPath != nullptr ? szPath : "");
  const int fd = szPath != nullptr ? ::open(szPath, O_RDONLY | O_CLOEXEC) : -1;
  if (fd < 0) {
    sError = "cannot open " + sName + ": " + std::strerror(errno);
    return nullptr;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    sError = sName + " is not a regular file";
    return nullptr;
  }
  std::unique_ptr<MappedMap> m(new MappedMap);
  m->m_nSize = static_cast<std::size_t>(st.st_size);
  if (m->m_nSize < sizeof(MapHeader)) {
    ::close(fd);
    sError = sName + " is truncated: " + std::to_string(m->m_nSize) + " bytes, less than a header";
    return nullptr;
  }
  void* p = ::mmap(nullptr, m->m_nSize, PROT_READ, MAP_SHARED, fd, 0);
  ::close(fd);
  if (p == MAP_FAILED) {
    sError = "cannot map " + sName + ": " + std::strerror(errno);
    return nullptr;
  }
  m->m_pBase = static_cast<const unsigned char*>(p);
  if (!m->Validate(sName, sError)) return nullptr;
  return m;
}

MappedMap::~MappedMap() {
  if (m_pBase != nullptr) ::munmap(const_cast<unsigned char*>(m_pBase), m_nSize);
}

bool MappedMap::Validate(const std::string& sName, std::string& sError) {
  const auto fail = [&](const std::string& sWhy) {
    sError = sName + sWhy;
    return false;
  };
  MapHeader h;
  std::memcpy(&h, m_pBase, sizeof h);
  if (const std::string sWhy = HeaderFault(h, m_pBase, m_nSize); !sWhy.empty()) return fail(sWhy);
  m_sections = {reinterpret_cast<const SectionEntry*>(m_pBase + sizeof h), h.nSectionCount};
  Found found = {};
  if (const std::string sWhy = TableFault(m_sections, m_pBase, m_nSize, found); !sWhy.empty())
    return fail(sWhy);
  // The view over the sections (each found above, once; a missing optional
  // one stays empty).
  const auto take = [&](auto& out, std::uint32_t nId) {
    using T = typename std::remove_reference_t<decltype(out)>::element_type;
    for (std::size_t i = 0; i < std::size(kKnown); ++i) {
      if (kKnown[i].nId == nId && found[i] != nullptr)
        out = {reinterpret_cast<T*>(m_pBase + found[i]->nOffset), found[i]->nSize / sizeof(T)};
    }
  };
  NetworkView& v = m_view;
  std::span<const GraphInfo> info;
  take(info, section::kGraphInfo);
  take(v.features, section::kFeatures);
  take(v.points, section::kPoints);
  take(v.nodes, section::kNodes);
  take(v.nameOffsets, section::kNameOffsets);
  take(v.nameBytes, section::kNameBytes);
  take(v.forbidden, section::kForbidden);
  take(v.grid.levels, section::kGridLevels);
  take(v.grid.cellStart, section::kGridCells);
  take(v.grid.items, section::kGridItems);
  take(v.graph.lengths, section::kLengths);
  take(v.graph.bearings, section::kBearings);
  take(v.graph.flags, section::kGraphFlags);
  take(v.graph.leavingStart, section::kLeavingStart);
  take(v.graph.leaving, section::kLeaving);
  take(v.viaRestrictions, section::kViaRestrictions);
  take(v.viaHalfEdges, section::kViaHalfEdges);
  take(v.graph.copies, section::kCopies);
  take(v.graph.steps, section::kSteps);

  if (info.size() != 1)
    return fail(" is corrupt: GINF holds " + std::to_string(info.size()) + " records");
  v.graph.info = info[0];
  if (const std::string sWhy = CountFault(v); !sWhy.empty()) return fail(sWhy);
  return TakeOverlay(take, sName, sError);
}

template <class Take>
bool MappedMap::TakeOverlay(const Take& take, const std::string& sName, std::string& sError) {
  const auto fail = [&](const std::string& sWhy) {
    sError = sName + " is corrupt: " + sWhy;
    return false;
  };
  NetworkView& v = m_view;
  OverlayView& o = v.overlay;
  take(o.reach, section::kReach);
  if (!o.reach.empty() && o.reach.size() != v.features.size())
    return fail("GSCC does not match the feature count");
  std::span<const OverlayInfo> info;
  take(info, section::kOverlayInfo);
  take(o.cells, section::kOverlayCells);
  take(o.parents, section::kOverlayParents);
  take(o.nodeCells, section::kOverlayNodes);
  take(o.vertexState, section::kOverlayStates);
  take(o.byState, section::kOverlayByState);
  take(o.vertexPoints, section::kOverlayPoints);
  take(o.entries, section::kOverlayEntries);
  take(o.exits, section::kOverlayExits);
  take(o.weights[0], section::kOverlayFastest);
  take(o.weights[1], section::kOverlayShortest);
  const bool bAny = !info.empty() || !o.cells.empty() || !o.parents.empty() ||
                    !o.nodeCells.empty() || !o.vertexState.empty() || !o.byState.empty() ||
                    !o.vertexPoints.empty() || !o.entries.empty() || !o.exits.empty() ||
                    !o.weights[0].empty() || !o.weights[1].empty();
  if (!bAny) return true;
  if (info.size() != 1) return fail("OINF holds " + std::to_string(info.size()) + " records");
  o.info = info[0];
  const OverlayInfo& i = o.info;
  if (i.nLevels == 0 || i.nLevels > kMaxOverlayLevels ||
      i.nStates != 2 * v.features.size() + v.graph.copies.size() ||
      !(std::isfinite(i.dTurnPenalty) && i.dTurnPenalty >= 0.0) ||
      !(std::isfinite(i.dUTurnPenalty) && i.dUTurnPenalty >= 0.0))
    return fail("OINF values out of range");
  for (std::uint32_t l = 0; l < i.nLevels; ++l) {
    if ((l > 0 && (i.nCellEnd[l] <= i.nCellEnd[l - 1] || i.nVertexEnd[l] > i.nVertexEnd[l - 1])) ||
        i.nCellEnd[l] == 0 || i.nVertexEnd[l] > i.nVertices)
      return fail("OINF levels out of order");
  }
  if (o.cells.size() != i.nCellEnd[i.nLevels - 1] || o.parents.size() != o.cells.size() ||
      o.nodeCells.size() != v.nodes.size() || o.vertexState.size() != i.nVertices ||
      o.byState.size() != i.nVertices || o.vertexPoints.size() != i.nVertices ||
      o.weights[0].size() != o.weights[1].size())
    return fail("overlay sections do not match OINF");
  return true;
}

bool MappedMap::VerifyAll(std::string& sError) const {
  for (const SectionEntry& s : m_sections) {
    if (SectionCrc(m_pBase + s.nOffset, s.nSize) != s.nCrc) {
      sError = "section " + SectionName(s.nId) + " checksum";
      return false;
    }
  }
  return true;
}

}  // namespace vxnet
