// Fixes from GPX points: time repair, headings, the start direction.
#include "drive/GpxFixes.h"

#include <algorithm>

#include "interfaces/VroGeo.h"

namespace vxdrive {

namespace {

// A point this near the one before says nothing about the direction.
constexpr double kHeadingMetres = 2.0;
// The start direction looks this many points ahead, for one this far away.
constexpr std::size_t kStartPoints = 10;
constexpr double kStartMetres = 10.0;

double StartHeading(const GpxTrack& track) {
  const GpxPoint& first = track.points.front();
  if (first.bHasCourse) {
    return vxnav::PlaneDirectionOfCourse(first.pt, first.dCourse);
  }
  const double dAccuracy =
      first.dAccuracy > 0 ? first.dAccuracy : vxnav::Settings().dDefaultAccuracy;
  const double dMin = std::max(kStartMetres, 2.0 * dAccuracy);
  for (std::size_t i = 1; i < std::min(kStartPoints, track.points.size()); ++i) {
    if (SegmentLength(first.pt, track.points[i].pt) >= dMin) {
      return vxnav::PlaneDirection(first.pt, track.points[i].pt);
    }
  }
  return -1.0;
}

}  // namespace

GpxFixes FixesOfGpx(const GpxTrack& track) {
  GpxFixes out;
  if (track.points.empty()) {
    return out;
  }
  out.dStartHeading = StartHeading(track);
  const bool bTimed = track.points.front().bHasTime;
  double dShift = bTimed ? -track.points.front().dTime : 0.0;  // recorded time to fix time
  double dHeading = -1.0;
  for (std::size_t i = 0; i < track.points.size(); ++i) {
    const GpxPoint& p = track.points[i];
    vxnav::Fix fix;
    fix.dTime = 0.0;
    if (i > 0) {
      const double dBefore = out.fixes.back().dTime;
      fix.dTime = dBefore + 1.0;
      if (bTimed && p.bHasTime) {
        if (p.dTime + dShift < dBefore) {
          out.backwards.push_back(i);
          out.backSeconds.push_back(dBefore - (p.dTime + dShift));
          dShift = dBefore + 1.0 - p.dTime;
        }
        fix.dTime = p.dTime + dShift;
      }
    }
    if (p.bHasCourse) {
      dHeading = vxnav::PlaneDirectionOfCourse(p.pt, p.dCourse);
    } else if (i > 0 && SegmentLength(track.points[i - 1].pt, p.pt) > kHeadingMetres) {
      dHeading = vxnav::PlaneDirection(track.points[i - 1].pt, p.pt);
    }
    fix.pt = p.pt;
    fix.dHeading = dHeading;
    fix.dSpeed = p.bHasSpeed ? p.dSpeed : -1.0;
    fix.dAccuracy = p.dAccuracy;
    out.fixes.push_back(fix);
  }
  return out;
}

}  // namespace vxdrive
