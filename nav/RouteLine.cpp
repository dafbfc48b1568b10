// Metres along the route, from the edges' geodesic lengths.
#include "nav/RouteLine.h"

#include <algorithm>

#include "interfaces/VroGeo.h"
#include "nav/NavInternal.h"

namespace vxnav {

void RouteLine::Build(const CPath& path) {
  *this = RouteLine();
  PathGuid g{};
  for (path.StartGuid(); path.NextGuid(g);) {
    const std::size_t k = m_edgeEnd.size();
    m_edgeOf[g.pPts] = k;
    for (unsigned i = 0; i < g.wPtNum; ++i) {
      const tagLonLat& p = g.pPts[i];
      if (m_pts.empty()) {
        m_pts.push_back(p);
        m_along.push_back(0.0);
        continue;
      }
      if (i == 0 && p.lon == m_pts.back().lon && p.lat == m_pts.back().lat) {
        continue;  // the node shared with the edge before
      }
      m_along.push_back(m_along.back() + SegmentLength(m_pts.back(), p));
      m_pts.push_back(p);
    }
    m_edgeEnd.push_back(m_along.empty() ? 0.0 : m_along.back());
    m_edgeId.push_back(g.idEdge);
    const double dSpeed = RoadSpeedKmh(g.nRoadAttr, g.nCode) / 3.6;
    m_edgeSpeed.push_back(dSpeed);
    const double dLen = m_edgeEnd.back() - (k > 0 ? m_edgeEnd[k - 1] : 0.0);
    m_edgeTime.push_back(dLen / dSpeed);
  }
  m_timeFrom.assign(m_edgeTime.size(), 0.0);
  for (std::size_t k = m_edgeTime.size(); k-- > 0;) {
    m_timeFrom[k] = m_edgeTime[k] + (k + 1 < m_edgeTime.size() ? m_timeFrom[k + 1] : 0.0);
  }
  m_dir.resize(m_pts.size(), -1.0);
  for (std::size_t i = 0; i + 1 < m_pts.size(); ++i) {
    m_dir[i] = PlaneDirection(m_pts[i], m_pts[i + 1]);
  }
}

bool RouteLine::AlongOf(const NavGuid& nav, double& dAlong) const {
  const auto it = m_edgeOf.find(nav.pPts);
  if (it == m_edgeOf.end()) {
    return false;
  }
  dAlong = std::max(0.0, m_edgeEnd[it->second] - nav.dDist);
  return true;
}

bool RouteLine::EdgeAt(double dAlong, VRO_FEATURE_ID& id) const {
  if (m_edgeEnd.empty()) {
    return false;
  }
  const std::size_t k = static_cast<std::size_t>(
      std::lower_bound(m_edgeEnd.begin(), m_edgeEnd.end(), dAlong) - m_edgeEnd.begin());
  id = m_edgeId[std::min(k, m_edgeId.size() - 1)];
  return true;
}

double RouteLine::TimeLeft(const NavGuid& nav) const {
  const auto it = m_edgeOf.find(nav.pPts);
  if (it == m_edgeOf.end()) {
    return -1.0;
  }
  const std::size_t k = it->second;
  return nav.dDist / m_edgeSpeed[k] + (k + 1 < m_timeFrom.size() ? m_timeFrom[k + 1] : 0.0);
}

double RouteLine::HeadingGap(double dHeading, double dFrom, double dTo) const {
  if (m_pts.size() < 2) {
    return 180.0;
  }
  // The stretch i runs from m_along[i] to m_along[i + 1].
  std::size_t i = static_cast<std::size_t>(std::upper_bound(m_along.begin(), m_along.end(), dFrom) -
                                           m_along.begin());
  i = i > 0 ? i - 1 : 0;
  double dBest = 180.0;
  for (; i + 1 < m_pts.size() && m_along[i] <= dTo; ++i) {
    if (m_dir[i] >= 0) {
      dBest = std::min(dBest, DirectionGap(dHeading, m_dir[i]));
    }
  }
  return dBest;
}

}  // namespace vxnav
