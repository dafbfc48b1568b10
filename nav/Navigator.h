// The navigator: the guidance loop of a navigation application over a CPath.
// The application hands it a map reader and a route engine (ours or its own,
// through interfaces/), plans a route, then feeds it every position fix; for
// each fix it says where the vehicle stands on the route and what happened:
// announcements, the roads of a junction, leaving the route, a new route, a
// closed road, the arrival. Everything it reports is data; EnglishText turns
// an event into the English sentence a driver hears, so that an application
// may say it in another language instead. Compiles as C++17.
#ifndef VX_NAV_NAVIGATOR_H
#define VX_NAV_NAVIGATOR_H

#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "CPath/CPath.h"
#include "interfaces/VroTypes.h"

#if defined(__GNUC__)
#define VX_NAV_API __attribute__((visibility("default")))
#else
#define VX_NAV_API
#endif

namespace vxnav {

/// The result codes of CPath::TestPoint, by name.
enum class MatchResult : int { kNone = 0, kOnRoute = 1, kArrived = 2, kOffRoute = 3 };

/// One position fix as a device reports it. Unknown values are negative.
struct Fix {
  double dTime = 0.0;       ///< seconds, any origin, not decreasing from fix to fix
  tagLonLat pt{0.0, 0.0};   ///< longitude, latitude in degrees
  double dHeading = -1.0;   ///< direction of travel, degrees counterclockwise from east in
                            ///< the longitude/latitude plane (see PlaneDirectionOfCourse)
  double dSpeed = -1.0;     ///< metres per second
  double dAccuracy = -1.0;  ///< horizontal accuracy in metres (one standard deviation per axis)
};

/// How sharp a turn is, by its deviation from straight on in degrees:
/// straight below 20, slight from 20, turn from 45, sharp from 135, U-turn
/// from 170.
enum class TurnKind { kStraight, kSlight, kTurn, kSharp, kUTurn };

/// The side of a turn; none for straight on and U-turns.
enum class TurnSide { kNone, kLeft, kRight };

/// The class of one turn.
struct TurnClass {
  TurnKind kind = TurnKind::kStraight;  ///< how sharp
  TurnSide side = TurnSide::kNone;      ///< which way
};

/// What the driver does at a manoeuvre.
enum class ManoeuvreKind {
  kTurn,             ///< a turn (or keeping straight where the road changes)
  kEnterRoundabout,  ///< enter a roundabout and take exit nExit
  kLeaveRoundabout,  ///< within a roundabout: take exit nExit
  kDestination,      ///< the end of the route
};

/// The stage of an announcement: "Continue for ..." when the manoeuvre is
/// farther than the prepare distance, "In ..." within it, "Now ..." within
/// the now distance (never for the destination). Each stage is said at most
/// once per manoeuvre and route.
enum class AnnounceStage { kContinue, kPrepare, kNow };

/// An announcement of the manoeuvre ahead.
struct Instruction {
  AnnounceStage stage = AnnounceStage::kContinue;  ///< which announcement of the manoeuvre
  ManoeuvreKind kind = ManoeuvreKind::kTurn;       ///< what kind of manoeuvre
  TurnClass turn;               ///< the class of the turn (straight for the destination)
  double dTurnAngle = -1.0;     ///< the turn as CPath reports it (0 straight, 90 left); -1 none
  double dDistance = 0.0;       ///< metres along the route to the manoeuvre
  std::string sRoad;            ///< the road taken (out of a roundabout: the exit's); may be empty
  int nExit = 0;                ///< roundabouts: the exit, counted from where the vehicle is
  tagLonLat ptManoeuvre{0, 0};  ///< the manoeuvre point
};

/// One road that may be taken at a junction.
struct JunctionRoad {
  std::string sName;        ///< may be empty
  double dTurnAngle = 0.0;  ///< degrees, 0 straight on, 90 left, 270 right
  TurnClass turn;           ///< the class of dTurnAngle
  bool bRoute = false;      ///< the road the route takes
};

/// The roads of the junction of a "Now" announcement, by CPath::GetCrossEdge
/// with one-way, turn restriction and level checks, in order of turn angle.
struct Junction {
  tagLonLat pt{0, 0};               ///< the manoeuvre point
  std::string sArrivingRoad;        ///< the road the vehicle arrives on; may be empty
  std::vector<JunctionRoad> roads;  ///< every road that leaves, in the reader's order
};

/// Why the route was (or was to be) built anew.
enum class RouteReason {
  kPlanned,         ///< PlanRoute
  kOffRoute,        ///< the vehicle left the route
  kRequested,       ///< RerouteNow
  kNewDestination,  ///< SetDestination
  kClosure,         ///< CloseRoadAhead
};

/// A route the navigator now follows.
struct RouteInfo {
  RouteReason reason = RouteReason::kPlanned;  ///< why the route was made
  double dLength = 0.0;                        ///< metres
  double dTime = 0.0;                          ///< seconds at the roads' speeds
  int nManoeuvres = 0;         ///< manoeuvres announced along it, the destination not counted
  std::vector<tagLonLat> pts;  ///< the route's points in order of travel
};

/// The vehicle is judged off the route.
struct OffRoute {
  int nFixes = 0;           ///< fixes in a row that were judged off the route
  double dDistance = 0.0;   ///< metres from the last fix to the route
  bool bByHeading = false;  ///< found by the direction of travel rather than the distance
};

/// A request for a new route and its outcome. A successful one is followed
/// by a RouteInfo event.
struct Reroute {
  RouteReason reason = RouteReason::kOffRoute;  ///< why the route is rebuilt
  bool bDone = false;  ///< false: the engine found no route; the old one stays
};

/// The outcome of CloseRoadAhead.
enum class ClosureStatus {
  kRerouted,     ///< the road is closed and the route goes around it
  kNoWayAround,  ///< the engine found no way around it; the route stays
  kBeyondRoute,  ///< the route ends before that distance; nothing closed
};

/// A closed road ahead.
struct Closure {
  ClosureStatus status = ClosureStatus::kBeyondRoute;  ///< what became of the closure
  double dAhead = 0.0;                                 ///< metres ahead of the vehicle, as asked
  std::string sRoad;                                   ///< the closed road's name; may be empty
  std::vector<tagLonLat> pts;  ///< the closed edge's points (empty for kBeyondRoute)
};

/// The vehicle has arrived at the destination.
struct Arrival {};

/// The kinds of event, in the order of Event::data's alternatives.
enum class EventKind { kRoute, kInstruction, kJunction, kOffRoute, kReroute, kClosure, kArrival };

/// One event of a fix or a call.
struct Event {
  double dTime = 0.0;  ///< the time of the fix (or of the last fix, for a call)
  tagLonLat pt{0, 0};  ///< where: the fix, the manoeuvre point, the closed road
  /// The event's data: one of the records above.
  using Data = std::variant<RouteInfo, Instruction, Junction, OffRoute, Reroute, Closure, Arrival>;
  Data data;  ///< what happened; its alternative's index is Kind()
  /// The kind of data held.
  EventKind Kind() const { return static_cast<EventKind>(data.index()); }
};

/// Where the vehicle stands with respect to the route.
enum class RouteState { kNoRoute, kOnRoute, kOffRoute, kArrived };

/// The navigator's view after a fix.
struct State {
  RouteState state = RouteState::kNoRoute;  ///< the navigator's judgement of this fix
  MatchResult match = MatchResult::kNone;   ///< this fix's CPath::TestPoint result
  bool bHasMatch = false;                   ///< ptMatch is set
  tagLonLat ptMatch{0, 0};                  ///< the matched point on the route
  std::string sRoad;                        ///< the matched road's name (on the route)
  double dTolerance = 0.0;                  ///< the match radius used, metres
  double dToManoeuvre = -1.0;               ///< metres to the next manoeuvre; -1 unknown
  double dTimeToManoeuvre = -1.0;           ///< seconds to it at the roads' speeds; -1 unknown
  double dToDestination = -1.0;             ///< metres to the destination; -1 unknown
  double dTimeToDestination = -1.0;         ///< seconds to it; -1 unknown
};

/// What one fix or call brings: the state and the events, in order.
struct Update {
  State state;                ///< the state after the fix
  std::vector<Event> events;  ///< what the fix gave rise to, in order
};

/// How the match radius (and off-route distance) is chosen for a fix.
enum class TolerancePolicy {
  kFixed,     ///< always Settings::dTolerance
  kAccuracy,  ///< the larger of dTolerance and dAccuracySigmas times the fix's accuracy
};

/// The navigator's settings; the defaults are those of `vxnav drive`.
struct Settings {
  TolerancePolicy tolerance = TolerancePolicy::kAccuracy;  ///< how the match radius is chosen
  double dTolerance = 25.0;        ///< match radius in metres (the least, under kAccuracy)
  double dAccuracySigmas = 3.0;    ///< kAccuracy: radius in accuracies
  double dDefaultAccuracy = 10.0;  ///< kAccuracy: the accuracy of a fix that has none, metres
  /// Fixes in a row off the route before the vehicle is judged off it (and
  /// rerouted). One is not enough: a single fix may be thrown tens of metres
  /// by multipath, or matched off while a turn is being made.
  int nOffRouteFixes = 3;
  /// Also judged off the route after this many metres driven (by the fixes'
  /// speeds) with every fix off it; 0 for no such limit.
  double dOffRouteMetres = 0.0;
  /// Direction test: a fix with a speed of at least dHeadingMinSpeed m/s whose
  /// heading differs by more than dHeadingGap degrees from the route's
  /// direction everywhere near where the vehicle is expected (its last matched
  /// place driven on at its speed) heads away; nOffRouteFixes such fixes in a
  /// row also put the vehicle off the route. dHeadingGap 0 turns the test off.
  double dHeadingGap = 40.0;
  double dHeadingMinSpeed = 3.0;  ///< the direction test's least speed, m/s
  /// Arrived also on the route's last edge within this many accuracies of
  /// its end (CPath::TestPoint's own test is 20 m, too near for a fix whose
  /// error stays tens of metres for a while); 0 for CPath's test alone.
  double dArrivalAccuracies = 2.0;
  /// Arrived also when the fix's speed is below this (m/s) and its match
  /// lies within the match radius of the destination along the route: the
  /// vehicle stands where its fixes cannot tell it from the destination (a
  /// correlated error may keep every fix tens of metres off for a minute).
  /// 0 turns this off. No arrival of any kind comes from a fix whose heading
  /// (under the direction test's conditions) differs by more than
  /// dHeadingGap from the route at its match: a vehicle that drives on past
  /// the last road's start has not arrived.
  double dArrivalStandingSpeed = 1.0;
  double dPrepareSeconds = 20.0;       ///< "In ...": this many seconds ahead at the road's speed,
  double dPrepareMin = 150.0;          ///< but not nearer than this (metres)
  double dPrepareMax = 1000.0;         ///< nor farther than this
  double dNowSeconds = 4.0;            ///< "Now ...": this many seconds ahead,
  double dNowMin = 25.0;               ///< not nearer than this (metres)
  double dNowMax = 120.0;              ///< nor farther than this
  std::string sRouteMode = "fastest";  ///< the route engine's mode (see interfaces/VroRoute.h)
};

/// The guidance loop over one route. Uses, but does not own, the map reader
/// and the route engine, which must outlive it. One thread at a time.
class VX_NAV_API Navigator {
 public:
  /// A navigator over the application's reader and engine (not owned).
  Navigator(VRO_READER* hReader, VRO_ROUTE* hRoute, const Settings& settings = Settings());
  /// Releases the path; the reader and the engine stay the application's.
  ~Navigator();
  Navigator(const Navigator&) = delete;
  Navigator& operator=(const Navigator&) = delete;

  /// Plans a route from ptFrom to ptTo at time dTime and follows it from
  /// then on; with dHeading (as Fix::dHeading) the route starts in that
  /// direction where a road allows it. Events: a RouteInfo on success. State
  /// kNoRoute when the engine finds none (the old route, if any, is dropped).
  Update PlanRoute(const tagLonLat& ptFrom, const tagLonLat& ptTo, double dTime,
                   double dHeading = -1.0);

  /// Matches one fix to the route: the state, and the events it brings
  /// (announcements, junctions, off-route with its reroute, a pending
  /// closure, arrival). A fix whose heading (under the direction test's
  /// conditions) differs by more than dHeadingGap from the route at its match
  /// announces nothing and does not arrive. After the arrival further fixes
  /// only report the state.
  Update OnFix(const Fix& fix);

  /// Closes the road dAhead metres ahead of the vehicle along the route
  /// (CPath::BlockRoute) and routes around it; closed roads stay closed for
  /// every later route. A closure on the edge being driven turns the route
  /// back along it (no route that drives through the closure is taken).
  /// Before the first fix on the route, it is done at that fix instead (this
  /// call's events are then empty).
  Update CloseRoadAhead(double dAhead);

  /// A new destination, routed from the last fix (from the start of the
  /// route before any fix).
  Update SetDestination(const tagLonLat& ptTo);

  /// Rebuilds the route from the last fix now (CPath::QuickRoute). Every new
  /// route starts in the direction of the last fix's heading, or without one
  /// in the direction from a recent fix (of the last five) at least 10 m and
  /// two accuracies behind it.
  Update RerouteNow();

  /// The route as the navigator holds it (for drawing); valid until the next
  /// call that changes the route. Its cursor is the navigator's own.
  const CPath& Path() const;

  /// The settings in force.
  const Settings& GetSettings() const;

  /// A manoeuvre of the current route, for an overview (and for a simulator
  /// that wants to know where the driver acts).
  struct RouteManoeuvre {
    int nItem = 0;              ///< index of the route's guidance item that ends here
    tagLonLat pt{0, 0};         ///< the manoeuvre point
    double dTurnAngle = 0.0;    ///< as CPath reports it
    std::string sRoad;          ///< the road taken; may be empty
    VRO_FEATURE_ID idArrive{};  ///< the road arrived on
    VRO_FEATURE_ID idTake{};    ///< the road taken
  };

  /// The current route's manoeuvres in order (the destination not counted).
  std::vector<RouteManoeuvre> Manoeuvres() const;

 private:
  class Impl;
  std::unique_ptr<Impl> m_pImpl;
};

/// Classes a turn angle in degrees as CPath reports it (0 straight on, 90
/// left, 180 back, 270 right; folded into 0..360); a negative or non-finite
/// angle (nothing follows) is straight.
VX_NAV_API TurnClass ClassifyTurn(double dTurnAngle);

/// Short English name of a class: "straight", "slight left", "left",
/// "sharp right", "U-turn".
VX_NAV_API std::string TurnClassName(const TurnClass& turn);

/// The English instruction of a manoeuvre without its distance: "turn left
/// onto Elm Street", "enter the roundabout and take the 2nd exit", "take the
/// next exit onto ...".
VX_NAV_API std::string InstructionText(const Instruction& instruction);

/// A distance as spoken: to 10 m below 200 m, to 50 m below 1 km, tenths of a
/// kilometre below 10 km, whole kilometres above; never less than "10 m".
VX_NAV_API std::string SpokenDistance(double dMetres);

/// The roads of a junction in English: "3 roads leave the junction:
/// Marktstraße (left 90°, the route), ...".
VX_NAV_API std::string JunctionRoadsText(const Junction& junction);

/// The English sentence of an event, as `vxnav drive` logs it: "In 300 m
/// turn left onto Elm Street", "3 roads leave the junction: ...", "Off the
/// route for 3 fixes in a row", "Recalculated the route from here", ...
VX_NAV_API std::string EnglishText(const Event& event);

/// Speed in km/h on a road of the route: its maximum speed (CPath's road
/// attribute) when above 0, else the default of its class 1 (motorway) to 7
/// (residential, service): 110, 90, 70, 60, 50, 40, 30; 30 for others.
VX_NAV_API double RoadSpeedKmh(int nMaxSpeed, int nClass);

/// Direction from a to b in degrees counterclockwise from east in the plane
/// of longitude and latitude degrees (as CPath and Fix::dHeading measure), 0
/// to below 360; -1 when the points coincide.
VX_NAV_API double PlaneDirection(const tagLonLat& a, const tagLonLat& b);

/// Smallest absolute difference of two directions in degrees, 0..180.
VX_NAV_API double DirectionGap(double a, double b);

/// A course (degrees clockwise from north on the ground, as GPS devices and
/// GPX files give it) at pt as a direction in the longitude/latitude plane,
/// degrees counterclockwise from east, as Fix::dHeading wants it.
VX_NAV_API double PlaneDirectionOfCourse(const tagLonLat& pt, double dCourse);

}  // namespace vxnav

#endif
