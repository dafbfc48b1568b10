// The English sentences of the navigator's events, as `vxnav drive` logs
// them. Everything here is rendered from the events' data, so that an
// application may render the same data in another language.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "nav/Navigator.h"

namespace vxnav {

namespace {

const char* SideWord(TurnSide side) { return side == TurnSide::kLeft ? "left" : "right"; }

std::string OrUnnamed(const std::string& s) { return s.empty() ? "an unnamed road" : s; }

std::string Ordinal(int n) {
  const int nLast2 = n % 100;
  const int nLast = n % 10;
  const char* szSuffix = (nLast2 >= 11 && nLast2 <= 13) ? "th"
                         : nLast == 1                   ? "st"
                         : nLast == 2                   ? "nd"
                         : nLast == 3                   ? "rd"
                                                        : "th";
  return std::to_string(n) + szSuffix;
}

std::string TurnWords(const TurnClass& turn) {
  switch (turn.kind) {
    case TurnKind::kStraight:
      return "continue straight";
    case TurnKind::kSlight:
      return std::string("turn slightly ") + SideWord(turn.side);
    case TurnKind::kTurn:
      return std::string("turn ") + SideWord(turn.side);
    case TurnKind::kSharp:
      return std::string("turn sharply ") + SideWord(turn.side);
    case TurnKind::kUTurn:
      return "make a U-turn";
  }
  return "continue straight";
}

std::string Minutes(double dSeconds) {
  const long m = std::lround(std::max(1.0, dSeconds / 60.0));
  return "about " + std::to_string(m) + " min";
}

std::string RouteText(const RouteInfo& r) {
  const std::string s = SpokenDistance(r.dLength) + ", " + Minutes(r.dTime) + ", " +
                        std::to_string(r.nManoeuvres) + " manoeuvre" +
                        (r.nManoeuvres == 1 ? "" : "s");
  return (r.reason == RouteReason::kPlanned ? "Route planned: " : "New route: ") + s;
}

std::string AnnouncementText(const Instruction& in) {
  switch (in.stage) {
    case AnnounceStage::kContinue:
      return "Continue for " + SpokenDistance(in.dDistance);
    case AnnounceStage::kPrepare:
      return "In " + SpokenDistance(in.dDistance) + " " +
             (in.kind == ManoeuvreKind::kDestination ? "you reach your destination"
                                                     : InstructionText(in));
    case AnnounceStage::kNow:
      return "Now " + InstructionText(in);
  }
  return {};
}

std::string OffRouteText(const OffRoute& o) {
  std::string s = o.nFixes == 1
                      ? std::string("Off the route")
                      : "Off the route for " + std::to_string(o.nFixes) + " fixes in a row";
  return o.bByHeading ? s + ", heading away from it" : s;
}

std::string RerouteText(const Reroute& r) {
  if (!r.bDone) {
    return r.reason == RouteReason::kOffRoute ? "No route from here; trying again"
                                              : "No route from here; keeping the route";
  }
  return r.reason == RouteReason::kNewDestination ? "Routing to the new destination from here"
                                                  : "Recalculated the route from here";
}

std::string ClosureText(const Closure& c) {
  if (c.status == ClosureStatus::kBeyondRoute) {
    return "No closure: the route ends before " + SpokenDistance(c.dAhead);
  }
  const std::string sWhere = c.dAhead < 10.0 ? "right ahead" : SpokenDistance(c.dAhead) + " ahead";
  return "Road closed " + sWhere + " on " + OrUnnamed(c.sRoad) +
         (c.status == ClosureStatus::kRerouted ? ": the route goes around it"
                                               : ": no way around it, keeping the route");
}

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

std::string InstructionText(const Instruction& in) {
  std::string s;
  switch (in.kind) {
    case ManoeuvreKind::kEnterRoundabout:
      s = "enter the roundabout and take the " + Ordinal(in.nExit) + " exit";
      break;
    case ManoeuvreKind::kLeaveRoundabout:
      s = in.nExit <= 1 ? std::string("take the next exit")
                        : "take the " + Ordinal(in.nExit) + " exit";
      break;
    case ManoeuvreKind::kDestination:
      return "arrive at your destination";
    case ManoeuvreKind::kTurn:
      s = TurnWords(in.turn);
      break;
  }
  return in.sRoad.empty() ? s : s + " onto " + in.sRoad;
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

std::string JunctionRoadsText(const Junction& j) {
  const std::size_t n = j.roads.size();
  std::string s = std::to_string(n) + (n == 1 ? " road leaves" : " roads leave") + " the junction";
  for (std::size_t i = 0; i < n; ++i) {
    const JunctionRoad& r = j.roads[i];
    char szAngle[16];
    std::snprintf(szAngle, sizeof szAngle, " %.0f\xC2\xB0", r.dTurnAngle);
    s += (i ? ", " : ": ") + (r.sName.empty() ? std::string("unnamed road") : r.sName) + " (" +
         TurnClassName(r.turn) + szAngle + (r.bRoute ? ", the route" : "") + ")";
  }
  return s;
}

std::string EnglishText(const Event& e) {
  switch (e.Kind()) {
    case EventKind::kRoute:
      return RouteText(std::get<RouteInfo>(e.data));
    case EventKind::kInstruction:
      return AnnouncementText(std::get<Instruction>(e.data));
    case EventKind::kJunction: {
      const Junction& j = std::get<Junction>(e.data);
      return "at " + OrUnnamed(j.sArrivingRoad) + ": " + JunctionRoadsText(j);
    }
    case EventKind::kOffRoute:
      return OffRouteText(std::get<OffRoute>(e.data));
    case EventKind::kReroute:
      return RerouteText(std::get<Reroute>(e.data));
    case EventKind::kClosure:
      return ClosureText(std::get<Closure>(e.data));
    case EventKind::kArrival:
      return "You have arrived at your destination";
  }
  return {};
}

}  // namespace vxnav
