// Movement along a track by time, stretch by stretch.
#include "drive/Vehicle.h"

#include "interfaces/VroGeo.h"
#include "nav/Navigator.h"

namespace vxdrive {

void Vehicle::SetTrack(std::vector<TrackPoint> track) {
  m_track = std::move(track);
  m_nSegment = 0;
  m_dAlong = 0.0;
}

double Vehicle::StretchLength(std::size_t i) const {
  return SegmentLength(m_track[i].pt, m_track[i + 1].pt);
}

bool Vehicle::AtEnd() const { return m_nSegment + 1 >= m_track.size(); }

void Vehicle::Advance(double dSeconds, const MarkHandler& onMark) {
  double dLeft = dSeconds;
  while (dLeft > 0 && !AtEnd()) {
    const double dSpeed = m_track[m_nSegment].dSpeed;
    const double dLen = StretchLength(m_nSegment);
    if (!(dSpeed > 0)) {
      return;  // a standing stretch: the vehicle waits
    }
    const double dNeed = (dLen - m_dAlong) / dSpeed;
    if (dNeed > dLeft) {
      m_dAlong += dSpeed * dLeft;
      return;
    }
    dLeft -= dNeed;
    ++m_nSegment;
    m_dAlong = 0.0;
    if (m_track[m_nSegment].nMark >= 0 && onMark) {
      onMark(*this, m_nSegment);
    }
  }
}

void Vehicle::ReplaceAfter(std::size_t nIndex, const std::vector<TrackPoint>& rest) {
  if (nIndex >= m_track.size()) {
    return;
  }
  m_track.resize(nIndex + 1);
  m_track.insert(m_track.end(), rest.begin(), rest.end());
}

tagLonLat Vehicle::Position() const {
  if (m_track.empty()) {
    return {0, 0};
  }
  if (AtEnd()) {
    return m_track.back().pt;
  }
  const tagLonLat& a = m_track[m_nSegment].pt;
  const tagLonLat& b = m_track[m_nSegment + 1].pt;
  const double dLen = StretchLength(m_nSegment);
  const double f = dLen > 0 ? m_dAlong / dLen : 0.0;
  return {a.lon + (b.lon - a.lon) * f, a.lat + (b.lat - a.lat) * f};
}

double Vehicle::Heading() const {
  for (std::size_t i = m_nSegment; i + 1 < m_track.size(); ++i) {
    const double d = vxnav::PlaneDirection(m_track[i].pt, m_track[i + 1].pt);
    if (d >= 0) {
      return d;
    }
  }
  return -1.0;
}

double Vehicle::Speed() const { return AtEnd() ? 0.0 : m_track[m_nSegment].dSpeed; }

}  // namespace vxdrive
