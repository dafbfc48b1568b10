// A boxes index over a path's edges in path order, kept beside the edge list
// so that matching a position tests a few group boxes instead of every edge.
// Level 0 holds each edge's bounding box; each higher level holds the union
// box of 16 consecutive entries of the level below. A group whose union box
// fails the strict box test cannot contain an edge that passes it, so a
// traversal in order visits exactly the edges a plain scan of the list would
// examine, in the same order. Not installed.
#ifndef VX_CPATH_MATCHINDEXINTERNAL_H
#define VX_CPATH_MATCHINDEXINTERNAL_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "CPath/CPath.h"

namespace vx {

/// A bounding box in degrees.
struct MatchBox {
  double dMinLon;
  double dMinLat;
  double dMaxLon;
  double dMaxLat;
};

/// 1 when box b reaches strictly into the search box from lt to rb on all
/// four sides (a box that only touches it fails); false for NaN values.
inline bool BoxReaches(const MatchBox& b, const tagLonLat& lt, const tagLonLat& rb) {
  return b.dMaxLon > lt.lon && b.dMaxLat > lt.lat && b.dMinLon < rb.lon && b.dMinLat < rb.lat;
}

/// The index. Owns only its arrays; the edges belong to the path.
class MatchIndex {
 public:
  /// Position returned when an edge or identifier is not in the index.
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);
  /// An unused slot of the position tables.
  static constexpr std::uint32_t kEmptySlot = 0xFFFFFFFFu;

  /// Appends the edge at the next position. False when memory ran out; the
  /// index is then unusable until rebuilt.
  bool Append(const CPath::NavEdge* pEdge);
  /// Empties the index, keeping its memory.
  void Reset();
  /// Number of edges indexed.
  std::size_t Size() const { return m_edges.size(); }
  /// The edge at position nPos (below Size()).
  const CPath::NavEdge* Edge(std::size_t nPos) const { return m_edges[nPos]; }
  /// True when the index holds a list that starts at pHead and ends at pLast.
  bool Spans(const CPath::NavEdge* pHead, const CPath::NavEdge* pLast) const;
  /// Position of pEdge, or npos.
  std::size_t FindEdge(const CPath::NavEdge* pEdge) const;
  /// Position of the first edge whose identifier equals id, or npos.
  std::size_t FindId(const VRO_FEATURE_ID& id) const;

  /// Calls f(edge) for every edge from position nStart on whose box passes
  /// the strict box test against lt and rb, in path order.
  template <class F>
  void ForEach(std::size_t nStart, const tagLonLat& lt, const tagLonLat& rb, F&& f) const {
    if (nStart >= m_edges.size()) {
      return;
    }
    unsigned nTop = 0;
    while (nTop + 1 < kLevels && m_levels[nTop].size() > kFan) {
      ++nTop;
    }
    const std::size_t nSize = m_levels[nTop].size();
    for (std::size_t j = nStart >> (kFanBits * nTop); j < nSize; ++j) {
      Visit(nTop, j, nStart, lt, rb, f);
    }
  }

 private:
  static constexpr unsigned kFanBits = 4;
  static constexpr std::size_t kFan = std::size_t{1} << kFanBits;
  // Enough levels for 2^32 edges.
  static constexpr unsigned kLevels = 8;

  template <class F>
  void Visit(unsigned k, std::size_t j, std::size_t nStart, const tagLonLat& lt,
             const tagLonLat& rb, F& f) const {
    if (!BoxReaches(m_levels[k][j], lt, rb)) {
      return;
    }
    if (k == 0) {
      f(*m_edges[j]);
      return;
    }
    const unsigned nShift = kFanBits * (k - 1);
    std::size_t c = j << kFanBits;
    if (c < (nStart >> nShift)) {
      c = nStart >> nShift;
    }
    std::size_t nEnd = (j + 1) << kFanBits;
    if (nEnd > m_levels[k - 1].size()) {
      nEnd = m_levels[k - 1].size();
    }
    for (; c < nEnd; ++c) {
      Visit(k - 1, c, nStart, lt, rb, f);
    }
  }

  // Open addressing tables of positions, keyed by edge address and by
  // identifier; capacity a power of two, at most half full.
  bool GrowTables();
  void InsertSlots(std::uint32_t nPos);

  std::vector<const CPath::NavEdge*> m_edges;
  std::vector<MatchBox> m_levels[kLevels];
  std::vector<std::uint32_t> m_edgeSlots;
  std::vector<std::uint32_t> m_idSlots;
};

}  // namespace vx

#endif
