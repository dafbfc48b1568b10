// The route as one line with metres along it: where a match lies along the
// route, the route's directions around a place, and what is left to drive.
// Rebuilt from the CPath whenever the route changes.
#ifndef VX_NAV_ROUTELINE_H
#define VX_NAV_ROUTELINE_H

#include <unordered_map>
#include <vector>

#include "CPath/CPath.h"

namespace vxnav {

class RouteLine {
 public:
  /// Reads the path's edges (moves the path's cursor). Road speeds come from
  /// each edge's road attribute and code (RoadSpeedKmh).
  void Build(const CPath& path);

  /// Metres from the route's start to the end.
  double Length() const { return m_along.empty() ? 0.0 : m_along.back(); }

  /// Metres along the route of a match (CPath::TestPoint's record, whose
  /// pPts identifies the edge); false when the edge is not on this route.
  bool AlongOf(const NavGuid& nav, double& dAlong) const;

  /// Seconds left to the destination from a match, at the roads' speeds.
  double TimeLeft(const NavGuid& nav) const;

  /// Seconds from the route's start to its end.
  double Time() const { return m_edgeTime.empty() ? 0.0 : m_timeFrom.front(); }

  /// The feature of the edge that holds metre dAlong of the route (the first
  /// edge before the start, the last beyond the end); false for no route.
  bool EdgeAt(double dAlong, VRO_FEATURE_ID& id) const;

  /// The smallest gap in degrees between dHeading and the direction of any
  /// stretch of the route that meets metres dFrom..dTo; 180 when none does.
  double HeadingGap(double dHeading, double dFrom, double dTo) const;

 private:
  std::vector<tagLonLat> m_pts;  // the route's points, edge joins once
  std::vector<double> m_along;   // metres from the start to each point
  std::vector<double> m_dir;     // direction of the stretch from each point; -1 none
  std::unordered_map<const tagLonLat*, std::size_t> m_edgeOf;  // edge points -> edge index
  std::vector<double> m_edgeEnd;         // metres from the start to each edge's end
  std::vector<VRO_FEATURE_ID> m_edgeId;  // each edge's feature
  std::vector<double> m_edgeSpeed;       // m/s on each edge
  std::vector<double> m_edgeTime;        // seconds on each edge
  std::vector<double> m_timeFrom;        // seconds from each edge's start to the destination
};

}  // namespace vxnav

#endif
