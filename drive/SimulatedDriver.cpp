// The simulated driver: the track along the navigator's route, the noisy
// fixes taken from it, and the road a driver who missed a turn drives on.
#include "drive/SimulatedDriver.h"

#include <cmath>
#include <string>

#include "drive/MapRoads.h"
#include "interfaces/VroGeo.h"

namespace vxdrive {

namespace {

// A simulated vehicle that cannot move on gives up after this many fixes.
constexpr int kStandingFixes = 30;
// A driver who missed a turn drives on this far at most; the new route
// comes long before.
constexpr double kWanderMetres = 5000.0;
// The correlation time of the Gauss-Markov noise model, seconds.
constexpr double kCorrelationSeconds = 30.0;

}  // namespace

SimulatedDriver::SimulatedDriver(const DriveOptions& opts, VRO_READER* hReader,
                                 const vxnav::Navigator& nav)
    : m_opts(opts),
      m_hReader(hReader),
      m_nav(nav),
      m_noise(opts.nSeed),
      m_gpsNoise(opts.noiseModel, opts.dNoise, kCorrelationSeconds) {}

void SimulatedDriver::FollowRoute(const tagLonLat& ptFrom) {
  std::vector<TrackPoint> track;
  m_marks = m_nav.Manoeuvres();
  std::size_t nNextMark = 0;
  PathGuid g{};
  const CPath& path = m_nav.Path();
  for (int nItem = path.StartGuid() ? 0 : -1; nItem >= 0 && path.NextGuid(g); ++nItem) {
    const double dSpeed = vxnav::RoadSpeedKmh(g.nRoadAttr, g.nCode) / 3.6;
    if (track.empty()) {
      track.push_back({ptFrom, dSpeed, -1});
    } else {
      track.back().dSpeed = dSpeed;
    }
    for (unsigned i = 1; i < g.wPtNum; ++i) {
      track.push_back({g.pPts[i], dSpeed, -1});
    }
    if (nNextMark < m_marks.size() && m_marks[nNextMark].nItem == nItem) {
      track.back().nMark = static_cast<int>(nNextMark++);
    }
  }
  if (!track.empty()) {
    track.back().dSpeed = 0.0;
  }
  m_vehicle.SetTrack(std::move(track));
}

SimulatedDriver::Step SimulatedDriver::StepTo(double t) {
  Step step;
  if (t > 0) {
    m_vehicle.Advance(1.0, [&](Vehicle& v, std::size_t i) { OnMark(v, i, t, step.actions); });
  }
  const tagLonLat truth = m_vehicle.Position();
  double dLon = 0, dLat = 0;
  GetUnitDegree(truth, dLon, dLat);
  double dEast = 0, dNorth = 0;
  m_gpsNoise.Next(m_noise, 1.0, dEast, dNorth);
  vxnav::Fix& fix = step.fix;
  fix.dTime = t;
  fix.pt = {truth.lon + dEast * dLon, truth.lat + dNorth * dLat};
  fix.dHeading = m_vehicle.Heading();
  const double dTurn = m_noise.Gaussian(m_opts.dHeadingNoise);
  if (fix.dHeading >= 0) {
    fix.dHeading = std::fmod(fix.dHeading + dTurn + 720.0, 360.0);
  }
  fix.dSpeed = m_vehicle.Speed();
  fix.dAccuracy = m_opts.dNoise;
  return step;
}

bool SimulatedDriver::GivesUp() { return m_vehicle.AtEnd() && ++m_nStanding > kStandingFixes; }

std::optional<DriveEvent> SimulatedDriver::UnmissedTurnNote(double t) const {
  if (m_opts.nMissTurn <= 0 || m_bMissed) {
    return std::nullopt;
  }
  return DriveEvent{t, LogKind::kNote,
                    "No manoeuvre " + std::to_string(m_opts.nMissTurn) +
                        " to miss: the drive reached " + std::to_string(m_nManoeuvresReached),
                    m_vehicle.Position()};
}

// At the manoeuvre to miss, the driver goes straight on (DriveOn) instead.
void SimulatedDriver::OnMark(Vehicle& vehicle, std::size_t nIndex, double t,
                             std::vector<DriveEvent>& actions) {
  ++m_nManoeuvresReached;
  if (m_bMissed || m_nManoeuvresReached != m_opts.nMissTurn) {
    return;
  }
  m_bMissed = true;
  const std::vector<TrackPoint>& track = vehicle.Track();
  const vxnav::Navigator::RouteManoeuvre& mark =
      m_marks[static_cast<std::size_t>(track[nIndex].nMark)];
  double dArrive = -1.0;
  for (std::size_t i = nIndex; i > 0 && dArrive < 0; --i) {
    dArrive = vxnav::PlaneDirection(track[i - 1].pt, track[i].pt);
  }
  const tagLonLat pt = track[nIndex].pt;
  const std::vector<TrackPoint> rest = DriveOn(pt, dArrive, {mark.idArrive, mark.idTake});
  vxnav::Instruction turn;
  turn.turn = vxnav::ClassifyTurn(mark.dTurnAngle);
  turn.sRoad = mark.sRoad;
  if (rest.empty()) {
    actions.push_back({t, LogKind::kDrive,
                       "The driver cannot miss manoeuvre " + std::to_string(m_nManoeuvresReached) +
                           ": no other road leaves the junction",
                       pt});
    return;
  }
  vehicle.ReplaceAfter(nIndex, rest);
  m_dMissTime = t;
  actions.push_back({t, LogKind::kDrive,
                     "The driver misses manoeuvre " + std::to_string(m_nManoeuvresReached) + " (" +
                         vxnav::InstructionText(turn) + ") and goes straight on",
                     pt});
}

// Where a driver who missed a turn drives: straight on where a road goes on
// within 60 degrees (at the missed junction any road but the route's and the
// one arrived on within 135), else the road that turns least, and back along
// the road at a dead end; up to kWanderMetres.
std::vector<TrackPoint> SimulatedDriver::DriveOn(tagLonLat pt, double dArrive,
                                                 std::vector<VRO_FEATURE_ID> excluded) const {
  std::vector<TrackPoint> out;
  double dLen = 0.0;
  double dMaxDeviation = 135.0;
  std::vector<tagLonLat> lastRoad;
  double dLastSpeed = 0.0;
  for (int k = 0; k < 500 && dLen < kWanderMetres; ++k) {
    MapRoad road;
    bool bFound = StraightOnRoad(m_hReader, pt, dArrive, excluded, dMaxDeviation, road);
    if (!bFound && k > 0) {
      bFound = StraightOnRoad(m_hReader, pt, dArrive, excluded, 180.0, road);
    }
    double dSpeed = 0.0;
    if (bFound) {
      dSpeed = vxnav::RoadSpeedKmh(0, road.nClass) / 3.6;
      excluded = {road.id};
    } else if (k > 0 && lastRoad.size() >= 2) {
      road.pts.assign(lastRoad.rbegin(), lastRoad.rend());  // a dead end: turn
      dSpeed = dLastSpeed;
    } else {
      break;
    }
    if (!out.empty()) {
      out.back().dSpeed = dSpeed;
    }
    for (std::size_t i = 1; i < road.pts.size(); ++i) {
      dLen += SegmentLength(road.pts[i - 1], road.pts[i]);
      out.push_back({road.pts[i], dSpeed, -1});
    }
    const std::size_t n = road.pts.size();
    dArrive = vxnav::PlaneDirection(road.pts[n - 2], road.pts[n - 1]);
    pt = road.pts[n - 1];
    lastRoad = road.pts;
    dLastSpeed = dSpeed;
    dMaxDeviation = 60.0;
  }
  if (!out.empty()) {
    out.back().dSpeed = 0.0;
  }
  return out;
}

}  // namespace vxdrive
