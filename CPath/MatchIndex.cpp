// The boxes index beside a path's edge list, and the path's calls that keep
// it in step with the list.
#include <limits>
#include <new>

#include "CPath/MatchIndexInternal.h"
#include "CPath/PathInternal.h"

namespace vx {

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// A union box that no edge has widened yet.
constexpr MatchBox kEmptyUnion = {kInf, kInf, -kInf, -kInf};

// Widens u by b with strict comparisons, so a NaN value in b is ignored (an
// edge with such a box fails the box test itself and never needs its group).
void Widen(MatchBox& u, const MatchBox& b) {
  if (b.dMinLon < u.dMinLon) u.dMinLon = b.dMinLon;
  if (b.dMinLat < u.dMinLat) u.dMinLat = b.dMinLat;
  if (b.dMaxLon > u.dMaxLon) u.dMaxLon = b.dMaxLon;
  if (b.dMaxLat > u.dMaxLat) u.dMaxLat = b.dMaxLat;
}

std::size_t HashEdge(const CPath::NavEdge* pEdge) {
  const auto n = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(pEdge));
  return static_cast<std::size_t>((n >> 3) * 0x9E3779B97F4A7C15ull >> 17);
}

std::size_t HashId(const VRO_FEATURE_ID& id) {
  std::uint64_t h = 0;
  for (const std::uint32_t w : id.dw) {
    h = (h ^ w) * 0x9E3779B97F4A7C15ull;
  }
  return static_cast<std::size_t>(h ^ (h >> 29));
}

// The position in slots, probed from nHash on, for which bSame holds; npos
// at the first empty slot.
template <class Same>
std::size_t Probe(const std::vector<std::uint32_t>& slots, std::size_t nHash, Same&& bSame) {
  if (slots.empty()) {
    return MatchIndex::npos;
  }
  const std::size_t nMask = slots.size() - 1;
  for (std::size_t s = nHash & nMask;; s = (s + 1) & nMask) {
    const std::uint32_t nPos = slots[s];
    if (nPos == MatchIndex::kEmptySlot) {
      return MatchIndex::npos;
    }
    if (bSame(nPos)) {
      return nPos;
    }
  }
}

}  // namespace

bool MatchIndex::Append(const CPath::NavEdge* pEdge) {
  const std::size_t nPos = m_edges.size();
  if (nPos >= kEmptySlot) {
    return false;
  }
  const MatchBox box = {pEdge->dMinLon, pEdge->dMinLat, pEdge->dMaxLon, pEdge->dMaxLat};
  try {
    m_edges.push_back(pEdge);
    m_levels[0].push_back(box);
    for (unsigned k = 1; k < kLevels; ++k) {
      const std::size_t j = nPos >> (kFanBits * k);
      if (j == m_levels[k].size()) {
        m_levels[k].push_back(kEmptyUnion);
      }
      Widen(m_levels[k][j], box);
    }
    if ((m_edges.size() * 2 > m_edgeSlots.size()) && !GrowTables()) {
      return false;
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  InsertSlots(static_cast<std::uint32_t>(nPos));
  return true;
}

void MatchIndex::Reset() {
  m_edges.clear();
  for (std::vector<MatchBox>& level : m_levels) {
    level.clear();
  }
  m_edgeSlots.assign(m_edgeSlots.size(), kEmptySlot);
  m_idSlots.assign(m_idSlots.size(), kEmptySlot);
}

bool MatchIndex::Spans(const CPath::NavEdge* pHead, const CPath::NavEdge* pLast) const {
  if (m_edges.empty()) {
    return pHead == nullptr && pLast == nullptr;
  }
  return m_edges.front() == pHead && m_edges.back() == pLast;
}

std::size_t MatchIndex::FindEdge(const CPath::NavEdge* pEdge) const {
  return Probe(m_edgeSlots, HashEdge(pEdge),
               [&](std::uint32_t nPos) { return m_edges[nPos] == pEdge; });
}

std::size_t MatchIndex::FindId(const VRO_FEATURE_ID& id) const {
  return Probe(m_idSlots, HashId(id),
               [&](std::uint32_t nPos) { return IsSameFeatureId(m_edges[nPos]->id, id) != 0; });
}

bool MatchIndex::GrowTables() {
  std::size_t nCap = m_edgeSlots.empty() ? 16 : m_edgeSlots.size() * 2;
  while (nCap < m_edges.size() * 2) {
    nCap *= 2;
  }
  try {
    m_edgeSlots.assign(nCap, kEmptySlot);
    m_idSlots.assign(nCap, kEmptySlot);
  } catch (const std::bad_alloc&) {
    return false;
  }
  // The newest edge is inserted by the caller; positions go in ascending
  // order so that the identifier table keeps each identifier's first edge.
  for (std::size_t nPos = 0; nPos + 1 < m_edges.size(); ++nPos) {
    InsertSlots(static_cast<std::uint32_t>(nPos));
  }
  return true;
}

void MatchIndex::InsertSlots(std::uint32_t nPos) {
  const CPath::NavEdge* pEdge = m_edges[nPos];
  const std::size_t nMask = m_edgeSlots.size() - 1;
  std::size_t s = HashEdge(pEdge) & nMask;
  while (m_edgeSlots[s] != kEmptySlot) {
    s = (s + 1) & nMask;
  }
  m_edgeSlots[s] = nPos;
  for (s = HashId(pEdge->id) & nMask; m_idSlots[s] != kEmptySlot; s = (s + 1) & nMask) {
    if (IsSameFeatureId(m_edges[m_idSlots[s]]->id, pEdge->id)) {
      return;
    }
  }
  m_idSlots[s] = nPos;
}

}  // namespace vx

void CPath::RebuildMatchIndex() {
  if (pMatchIndex == nullptr) {
    pMatchIndex = new (std::nothrow) vx::MatchIndex;
    if (pMatchIndex == nullptr) {
      return;
    }
  }
  pMatchIndex->Reset();
  for (const NavEdge* pEdge = pHead; pEdge != nullptr; pEdge = pEdge->pNext) {
    if (!pMatchIndex->Append(pEdge)) {
      // Matching falls back to walking the list.
      DropMatchIndex();
      return;
    }
  }
}

void CPath::AppendMatchIndex(const NavEdge* pEdge) {
  if (pMatchIndex != nullptr &&
      pMatchIndex->Spans(pHead == pEdge ? nullptr : pHead, pEdge->pPrev)) {
    if (!pMatchIndex->Append(pEdge)) {
      DropMatchIndex();
    }
    return;
  }
  RebuildMatchIndex();
}

void CPath::DropMatchIndex() {
  delete pMatchIndex;
  pMatchIndex = nullptr;
}
