// Turn classes, spoken distances and announcement texts.
#include "drive/Manoeuvre.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "network/RoadGeometry.h"

namespace vxdrive {

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

namespace {

const char* SideWord(TurnSide side) { return side == TurnSide::kLeft ? "left" : "right"; }

}  // namespace

std::string TurnClassName(const TurnClass& turn) {
  switch (turn.kind) {
    case TurnKind::kStraight:
      return "straight";
    case TurnKind::kSlight:
      return std::string("slight ") + SideWord(turn.side);
    case TurnKind::kTurn:
      return SideWord(turn.side);
    case TurnKind::kSharp:
      return std::string("sharp ") + SideWord(turn.side);
    case TurnKind::kUTurn:
      return "U-turn";
  }
  return "straight";
}

std::string RoundaboutInstruction(bool bEnter, int nExit, const std::string& sRoad) {
  std::string s;
  if (!bEnter && nExit <= 1) {
    s = "take the next exit";
  } else {
    const int nLast2 = nExit % 100;
    const int nLast = nExit % 10;
    const char* szSuffix = (nLast2 >= 11 && nLast2 <= 13) ? "th"
                           : nLast == 1                   ? "st"
                           : nLast == 2                   ? "nd"
                           : nLast == 3                   ? "rd"
                                                          : "th";
    s = std::string(bEnter ? "enter the roundabout and take the " : "take the ") +
        std::to_string(nExit) + szSuffix + " exit";
  }
  if (!sRoad.empty()) {
    s += " onto " + sRoad;
  }
  return s;
}

std::string TurnInstruction(const TurnClass& turn, const std::string& sRoad) {
  std::string s;
  switch (turn.kind) {
    case TurnKind::kStraight:
      s = "continue straight";
      break;
    case TurnKind::kSlight:
      s = std::string("turn slightly ") + SideWord(turn.side);
      break;
    case TurnKind::kTurn:
      s = std::string("turn ") + SideWord(turn.side);
      break;
    case TurnKind::kSharp:
      s = std::string("turn sharply ") + SideWord(turn.side);
      break;
    case TurnKind::kUTurn:
      s = "make a U-turn";
      break;
  }
  if (!sRoad.empty()) {
    s += " onto " + sRoad;
  }
  return s;
}

std::string SpokenDistance(double dMetres) {
  if (!std::isfinite(dMetres) || dMetres < 0) {
    dMetres = 0;
  }
  char sz[32];
  if (dMetres < 195.0) {
    const double d = std::max(10.0, std::round(dMetres / 10.0) * 10.0);
    std::snprintf(sz, sizeof sz, "%.0f m", d);
  } else if (dMetres < 975.0) {
    std::snprintf(sz, sizeof sz, "%.0f m", std::round(dMetres / 50.0) * 50.0);
  } else if (dMetres < 9950.0) {
    std::snprintf(sz, sizeof sz, "%.1f km", std::round(dMetres / 100.0) / 10.0);
  } else if (dMetres < 1e9) {
    std::snprintf(sz, sizeof sz, "%.0f km", std::round(dMetres / 1000.0));
  } else {
    std::snprintf(sz, sizeof sz, "more than 1000000 km");
  }
  return sz;
}

std::string PrepareText(double dMetres, const std::string& sInstruction) {
  return "In " + SpokenDistance(dMetres) + " " + sInstruction;
}

std::string NowText(const std::string& sInstruction) { return "Now " + sInstruction; }

std::string ContinueText(double dMetres) { return "Continue for " + SpokenDistance(dMetres); }

std::string DestinationAheadText(double dMetres) {
  return "In " + SpokenDistance(dMetres) + " you reach your destination";
}

AnnounceDistances DistancesForSpeed(double dSpeed) {
  if (!std::isfinite(dSpeed) || dSpeed < 0) {
    dSpeed = 0;
  }
  return {std::clamp(dSpeed * 20.0, 150.0, 1000.0), std::clamp(dSpeed * 4.0, 25.0, 120.0)};
}

double RoadSpeedKmh(int nMaxSpeed, int nClass) {
  if (nMaxSpeed > 0) {
    return nMaxSpeed;
  }
  return vxnet::ClassSpeedKmh(nClass > 0 ? static_cast<unsigned>(nClass) : 0u);
}

bool IsManoeuvre(double dTurnAngle, const char* szName, const char* szNextName) {
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

}  // namespace vxdrive
