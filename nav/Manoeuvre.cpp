// Turn classes, road speeds and plane directions.
#include <cmath>
#include <cstring>
#include <iterator>
#include <numbers>

#include "interfaces/VroGeo.h"
#include "nav/NavInternal.h"

namespace vxnav {

TurnClass ClassifyTurn(double dTurnAngle) {
  if (!std::isfinite(dTurnAngle) || dTurnAngle < 0) {
    return {TurnKind::kStraight, TurnSide::kNone};
  }
  const double a = std::fmod(dTurnAngle, 360.0);
  const bool bLeft = a <= 180.0;
  const double dDev = bLeft ? a : 360.0 - a;
  const TurnSide side = bLeft ? TurnSide::kLeft : TurnSide::kRight;
  if (dDev < 20.0) {
    return {TurnKind::kStraight, TurnSide::kNone};
  }
  if (dDev < 45.0) {
    return {TurnKind::kSlight, side};
  }
  if (dDev < 135.0) {
    return {TurnKind::kTurn, side};
  }
  if (dDev < 170.0) {
    return {TurnKind::kSharp, side};
  }
  return {TurnKind::kUTurn, TurnSide::kNone};
}

bool IsManoeuvreTurn(double dTurnAngle, const char* szName, const char* szNextName) {
  if (dTurnAngle < 0) {
    return true;
  }
  const TurnClass turn = ClassifyTurn(dTurnAngle);
  if (turn.kind == TurnKind::kStraight) {
    return false;
  }
  return !(turn.kind == TurnKind::kSlight && szName[0] != '\0' &&
           std::strcmp(szName, szNextName) == 0);
}

double RoadSpeedKmh(int nMaxSpeed, int nClass) {
  if (nMaxSpeed > 0) {
    return nMaxSpeed;
  }
  static constexpr double kSpeeds[] = {30.0, 110.0, 90.0, 70.0, 60.0, 50.0, 40.0, 30.0};
  return nClass > 0 && nClass < static_cast<int>(std::size(kSpeeds)) ? kSpeeds[nClass] : kSpeeds[0];
}

double PlaneDirection(const tagLonLat& a, const tagLonLat& b) {
  if (a.lon == b.lon && a.lat == b.lat) {
    return -1.0;
  }
  double d = std::atan2(b.lat - a.lat, b.lon - a.lon) * 180.0 / std::numbers::pi;
  if (d < 0) {
    d += 360.0;
  }
  return d >= 360.0 ? 0.0 : d;
}

double DirectionGap(double a, double b) {
  const double d = std::fmod(std::fabs(a - b), 360.0);
  return d > 180.0 ? 360.0 - d : d;
}

double PlaneDirectionOfCourse(const tagLonLat& pt, double dCourse) {
  double dLon = 0, dLat = 0;
  GetUnitDegree(pt, dLon, dLat);
  const double c = dCourse * std::numbers::pi / 180.0;
  return PlaneDirection({0, 0}, {std::sin(c) * dLon, std::cos(c) * dLat});
}

}  // namespace vxnav
