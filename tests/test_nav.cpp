// The navigator: turn classes and the English texts rendered from its event
// data, announcement stages, and drives on the sample town told as event
// sequences: a clean drive, leaving the route (by distance and by heading),
// a closure, a new destination, the tolerance policies.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "interfaces/VroGeo.h"
#include "interfaces/VroRead.h"
#include "interfaces/VroRoute.h"
#include "nav/NavInternal.h"
#include "nav/Navigator.h"

using namespace vxnav;

namespace {

const std::string kTown = std::string(VX_SOURCE_DIR) + "/data/sample-town.osm";
constexpr tagLonLat kFrom = {13.3955, 52.4975};
constexpr tagLonLat kTo = {13.4045, 52.5030};

// The point dMetres to the left of pt, for a direction of travel dDir
// (degrees counterclockwise from east in the longitude/latitude plane).
tagLonLat Aside(const tagLonLat& pt, double dDir, double dMetres) {
  double dLon = 0, dLat = 0;
  GetUnitDegree(pt, dLon, dLat);
  const double a = (dDir + 90.0) * 3.14159265358979 / 180.0;
  // Equal steps in degrees scaled to metres on each axis keep the side.
  return {pt.lon + std::cos(a) * dMetres * dLon, pt.lat + std::sin(a) * dMetres * dLat};
}

std::string Names(const std::vector<Event>& events) {
  static const char* kNames[] = {"route",   "instruction", "junction", "off-route",
                                 "reroute", "closure",     "arrival"};
  std::string s;
  for (const Event& e : events) {
    s += std::string(s.empty() ? "" : " ") + kNames[static_cast<int>(e.Kind())];
  }
  return s;
}

// The map reader, the engine and a navigator on the sample town.
class Town : public ::testing::Test {
 protected:
  void SetUp() override {
    m_hReader = VroReaderOpen(kTown.c_str());
    ASSERT_NE(m_hReader, nullptr);
    m_hRoute = VroRouteOpen(m_hReader);
    ASSERT_NE(m_hRoute, nullptr);
  }
  void TearDown() override {
    m_nav.reset();
    VroRouteClose(m_hRoute);
    VroReaderClose(m_hReader);
  }
  Navigator& Nav(const Settings& s = Settings()) {
    m_nav = std::make_unique<Navigator>(m_hReader, m_hRoute, s);
    return *m_nav;
  }
  // Fixes every second along pts at dSpeed m/s from metre dFrom to dTo,
  // each with its heading, speed and an accuracy of 5 m; the events of all.
  std::vector<Event> DriveAlong(Navigator& nav, const std::vector<tagLonLat>& pts, double dFrom,
                                double dTo, double dSpeed, double& t) {
    std::vector<Event> all;
    double dAt = 0.0;
    double dNext = dFrom;
    for (std::size_t i = 1; i < pts.size() && dNext <= dTo; ++i) {
      const double dLen = SegmentLength(pts[i - 1], pts[i]);
      for (; dNext <= std::min(dTo, dAt + dLen); dNext += dSpeed) {
        const double f = dLen > 0 ? (dNext - dAt) / dLen : 0.0;
        Fix fix;
        fix.dTime = t;
        fix.pt = {pts[i - 1].lon + (pts[i].lon - pts[i - 1].lon) * f,
                  pts[i - 1].lat + (pts[i].lat - pts[i - 1].lat) * f};
        fix.dHeading = PlaneDirection(pts[i - 1], pts[i]);
        fix.dSpeed = dSpeed;
        fix.dAccuracy = 5.0;
        Update u = nav.OnFix(fix);
        m_last = u.state;
        m_lastHeading = fix.dHeading;
        all.insert(all.end(), u.events.begin(), u.events.end());
        t += 1.0;
      }
      dAt += dLen;
    }
    return all;
  }
  static std::vector<tagLonLat> RoutePoints(const Update& u) {
    return std::get<RouteInfo>(u.events.at(0).data).pts;
  }

  VRO_READER* m_hReader = nullptr;
  VRO_ROUTE* m_hRoute = nullptr;
  std::unique_ptr<Navigator> m_nav;
  State m_last;
  double m_lastHeading = -1.0;
};

}  // namespace

TEST(NavTexts, TurnClassesAndInstructions) {
  const std::pair<double, const char*> bands[] = {
      {19.9, "straight"},      {20, "slight left"}, {45, "left"},           {135, "sharp left"},
      {170, "U-turn"},         {190, "U-turn"},     {190.5, "sharp right"}, {225.5, "right"},
      {315.5, "slight right"}, {340.5, "straight"}, {360, "straight"},      {450, "left"},
      {-1, "straight"},        {NAN, "straight"},
  };
  for (const auto& [a, name] : bands) {
    EXPECT_EQ(TurnClassName(ClassifyTurn(a)), name) << a;
  }
  Instruction in;
  in.turn = ClassifyTurn(90);
  in.sRoad = "Elm Street";
  EXPECT_EQ(InstructionText(in), "turn left onto Elm Street");
  in.turn = ClassifyTurn(200);
  in.sRoad.clear();
  EXPECT_EQ(InstructionText(in), "turn sharply right");
  in.turn = ClassifyTurn(178);
  EXPECT_EQ(InstructionText(in), "make a U-turn");
  in.kind = ManoeuvreKind::kEnterRoundabout;
  in.nExit = 22;
  EXPECT_EQ(InstructionText(in), "enter the roundabout and take the 22nd exit");
  in.kind = ManoeuvreKind::kLeaveRoundabout;
  in.nExit = 1;
  in.sRoad = "A";
  EXPECT_EQ(InstructionText(in), "take the next exit onto A");
  in.nExit = 12;
  EXPECT_EQ(InstructionText(in), "take the 12th exit onto A");
  const std::pair<double, const char*> spoken[] = {
      {4, "10 m"},     {194, "190 m"},   {196, "200 m"}, {974, "950 m"},
      {976, "1.0 km"}, {12400, "12 km"}, {NAN, "10 m"},  {1e12, "more than 1000000 km"},
  };
  for (const auto& [d, s] : spoken) {
    EXPECT_EQ(SpokenDistance(d), s) << d;
  }
  EXPECT_EQ(RoadSpeedKmh(70, 7), 70.0);
  EXPECT_EQ(RoadSpeedKmh(0, 1), 110.0);
  EXPECT_EQ(RoadSpeedKmh(-3, 99), 30.0);
  EXPECT_NEAR(PlaneDirectionOfCourse({13.4, 52.5}, 90.0), 0.0, 1e-9);  // east
  EXPECT_NEAR(PlaneDirectionOfCourse({13.4, 52.5}, 0.0), 90.0, 1e-9);  // north
}

TEST(NavTexts, EveryEventHasItsSentence) {
  const auto Text = [](Event::Data d) {
    Event e;
    e.data = std::move(d);
    return EnglishText(e);
  };
  Instruction in;
  in.stage = AnnounceStage::kPrepare;
  in.turn = ClassifyTurn(270);
  in.dDistance = 312;
  in.sRoad = "Elm Street";
  EXPECT_EQ(Text(in), "In 300 m turn right onto Elm Street");
  in.stage = AnnounceStage::kNow;
  EXPECT_EQ(Text(in), "Now turn right onto Elm Street");
  in.stage = AnnounceStage::kContinue;
  in.dDistance = 2149;
  EXPECT_EQ(Text(in), "Continue for 2.1 km");
  in.stage = AnnounceStage::kPrepare;
  in.kind = ManoeuvreKind::kDestination;
  in.dDistance = 120;
  EXPECT_EQ(Text(in), "In 120 m you reach your destination");
  Junction j;
  j.sArrivingRoad = "Bachstraße";
  j.roads = {{"", 0.0, ClassifyTurn(0), false}, {"Marktstraße", 270.0, ClassifyTurn(270), true}};
  EXPECT_EQ(Text(j),
            "at Bachstraße: 2 roads leave the junction: unnamed road (straight 0\xC2\xB0), "
            "Marktstraße (right 270\xC2\xB0, the route)");
  EXPECT_EQ(Text(OffRoute{3, 40.0, false}), "Off the route for 3 fixes in a row");
  EXPECT_EQ(Text(OffRoute{1, 40.0, true}), "Off the route, heading away from it");
  EXPECT_EQ(Text(Reroute{RouteReason::kOffRoute, true}), "Recalculated the route from here");
  EXPECT_EQ(Text(Reroute{RouteReason::kOffRoute, false}), "No route from here; trying again");
  EXPECT_EQ(Text(Closure{ClosureStatus::kRerouted, 500, "", {}}),
            "Road closed 500 m ahead on an unnamed road: the route goes around it");
  EXPECT_EQ(Text(Closure{ClosureStatus::kNoWayAround, 5, "A", {}}),
            "Road closed right ahead on A: no way around it, keeping the route");
  EXPECT_EQ(Text(Closure{ClosureStatus::kBeyondRoute, 1e5, "", {}}),
            "No closure: the route ends before 100 km");
  EXPECT_EQ(Text(RouteInfo{RouteReason::kPlanned, 1234, 150, 1, {}}),
            "Route planned: 1.2 km, about 3 min, 1 manoeuvre");
  EXPECT_EQ(Text(Arrival{}), "You have arrived at your destination");
}

TEST(NavAnnouncer, StagesOncePerManoeuvreAtSpeedDistances) {
  const Settings s;
  const AnnounceDistances d = DistancesForSpeed(s, 50 / 3.6);  // 20 s and 4 s at 50 km/h
  EXPECT_NEAR(d.dPrepare, 277.8, 0.1);
  EXPECT_NEAR(d.dNow, 55.6, 0.1);
  EXPECT_EQ(DistancesForSpeed(s, 100).dPrepare, 1000.0);
  EXPECT_EQ(DistancesForSpeed(s, NAN).dNow, 25.0);
  Announcer a;
  AnnounceStage stage{};
  const tagLonLat m{13.0, 52.0};
  // Continue once, prepare once, now once, whatever the match does between.
  std::string said;
  for (const double dist : {800.0, 700.0, 276.0, 200.0, 50.0, 20.0, 260.0, 40.0}) {
    said += a.Due(m, dist, false, d, stage) ? std::to_string(static_cast<int>(stage)) : "-";
  }
  EXPECT_EQ(said, "0-1-2---");
  // The destination: a prepare, never "now"; a manoeuvre first seen close by
  // goes straight to its stage.
  EXPECT_TRUE(a.Due({13.1, 52.0}, 100, true, d, stage));
  EXPECT_EQ(stage, AnnounceStage::kPrepare);
  EXPECT_FALSE(a.Due({13.1, 52.0}, 5, true, d, stage));
  a.Reset();
  EXPECT_TRUE(a.Due(m, 30, false, d, stage));
  EXPECT_EQ(stage, AnnounceStage::kNow);
}

TEST_F(Town, CleanDriveIsAnnouncedAndArrives) {
  Navigator& nav = Nav();
  const Update planned = nav.PlanRoute(kFrom, kTo, 0.0);
  ASSERT_EQ(Names(planned.events), "route");
  const RouteInfo& route = std::get<RouteInfo>(planned.events[0].data);
  EXPECT_EQ(route.nManoeuvres, 4);
  EXPECT_EQ(static_cast<int>(nav.Manoeuvres().size()), 4);
  double t = 0;
  const std::vector<Event> events = DriveAlong(nav, route.pts, 0, 1e9, 10.0, t);
  // Each manoeuvre: its "Now" then its junction; the drive ends arrived.
  std::vector<std::string> now;
  for (std::size_t i = 0; i < events.size(); ++i) {
    if (events[i].Kind() == EventKind::kInstruction &&
        std::get<Instruction>(events[i].data).stage == AnnounceStage::kNow) {
      now.push_back(EnglishText(events[i]));
      ASSERT_LT(i + 1, events.size());
      EXPECT_EQ(events[i + 1].Kind(), EventKind::kJunction);
    }
    EXPECT_NE(events[i].Kind(), EventKind::kOffRoute) << EnglishText(events[i]);
  }
  EXPECT_EQ(now,
            (std::vector<std::string>{
                "Now turn right onto Marktstraße",
                "Now enter the roundabout and take the 2nd exit onto Marktstraße",
                "Now take the next exit onto Marktstraße", "Now turn left onto Brückenstraße"}));
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back().Kind(), EventKind::kArrival);
  EXPECT_EQ(m_last.state, RouteState::kArrived);
  // After the arrival further fixes only say so.
  Fix late;
  late.dTime = t;
  late.pt = kFrom;
  const Update after = nav.OnFix(late);
  EXPECT_TRUE(after.events.empty());
  EXPECT_EQ(after.state.state, RouteState::kArrived);
}

TEST_F(Town, StateCountsDownToTheManoeuvreAndTheDestination) {
  Navigator& nav = Nav();
  const Update planned = nav.PlanRoute(kFrom, kTo, 0.0);
  const RouteInfo& route = std::get<RouteInfo>(planned.events.at(0).data);
  double t = 0;
  DriveAlong(nav, route.pts, 100, 100, 10, t);
  const State at100 = m_last;
  DriveAlong(nav, route.pts, 150, 150, 10, t);
  EXPECT_EQ(at100.state, RouteState::kOnRoute);
  EXPECT_EQ(at100.sRoad, "Bachstraße");
  EXPECT_NEAR(at100.dToDestination, route.dLength - 100, 5.0);
  EXPECT_NEAR(at100.dToDestination - m_last.dToDestination, 50, 2.0);
  EXPECT_NEAR(at100.dToManoeuvre - m_last.dToManoeuvre, 50, 2.0);
  EXPECT_GT(at100.dTimeToDestination, m_last.dTimeToDestination);
  EXPECT_GT(at100.dTimeToManoeuvre, 0.0);
}

TEST_F(Town, LeavingTheRouteSideways) {
  Navigator& nav = Nav();
  const Update planned = nav.PlanRoute(kFrom, kTo, 0.0);
  const std::vector<tagLonLat> pts = RoutePoints(planned);
  double t = 0;
  DriveAlong(nav, pts, 0, 60, 10, t);
  // Then fixes ever farther to the left of the route, heading that way.
  std::vector<Event> events;
  const tagLonLat p = m_last.ptMatch;
  const double dDir = m_lastHeading;
  for (int i = 1; i <= 5; ++i) {
    Fix fix;
    fix.dTime = t++;
    fix.pt = Aside(p, dDir, 22.0 * i);
    fix.dHeading = std::fmod(dDir + 90.0, 360.0);
    fix.dSpeed = 10;
    fix.dAccuracy = 5;
    const Update u = nav.OnFix(fix);
    // Heading across the route, each fix counts, the first one within the
    // radius too; the third puts the vehicle off the route, then the new
    // route takes it from where it is.
    EXPECT_EQ(u.state.state, i <= 3 ? RouteState::kOffRoute : RouteState::kOnRoute) << i;
    if (i == 3) {
      events = u.events;
    }
  }
  ASSERT_EQ(Names(events), "off-route reroute route");
  EXPECT_EQ(std::get<OffRoute>(events[0].data).nFixes, 3);
  EXPECT_EQ(std::get<RouteInfo>(events[2].data).reason, RouteReason::kOffRoute);
}

TEST_F(Town, HeadingAwayWhereTheRouteTurnsIsNoticedBeforeTheDistance) {
  // Drive past the first right turn straight on, within the match radius:
  // the direction says the vehicle left the route.
  Settings s;
  s.dTolerance = 60;  // the distance alone would need 60 m
  Navigator& nav = Nav(s);
  const Update planned = nav.PlanRoute(kFrom, kTo, 0.0);
  const Navigator::RouteManoeuvre first = nav.Manoeuvres().at(0);
  // The route up to the first manoeuvre, then straight on.
  std::vector<tagLonLat> straight;
  for (const tagLonLat& q : RoutePoints(planned)) {
    straight.push_back(q);
    if (q.lon == first.pt.lon && q.lat == first.pt.lat) {
      break;
    }
  }
  const std::size_t n = straight.size();
  ASSERT_GE(n, 2u);
  const tagLonLat beyond = {2 * straight[n - 1].lon - straight[n - 2].lon,
                            2 * straight[n - 1].lat - straight[n - 2].lat};
  straight.push_back(beyond);
  double dToTurn = 0;
  for (std::size_t i = 1; i < n; ++i) {
    dToTurn += SegmentLength(straight[i - 1], straight[i]);
  }
  double t = 0;
  const std::vector<Event> events = DriveAlong(nav, straight, 0, dToTurn + 50, 10, t);
  const auto off = std::find_if(events.begin(), events.end(),
                                [](const Event& e) { return e.Kind() == EventKind::kOffRoute; });
  ASSERT_NE(off, events.end()) << Names(events);
  EXPECT_TRUE(std::get<OffRoute>(off->data).bByHeading);
  EXPECT_LE(off->dTime - dToTurn / 10, 5.0);  // within 5 s of passing the turn
}

TEST_F(Town, ToleranceFollowsTheAccuracyUnlessFixed) {
  for (const TolerancePolicy policy : {TolerancePolicy::kAccuracy, TolerancePolicy::kFixed}) {
    Settings s;
    s.tolerance = policy;
    s.dHeadingGap = 0;  // the distance alone
    Navigator& nav = Nav(s);
    const Update planned = nav.PlanRoute(kFrom, kTo, 0.0);
    const std::vector<tagLonLat> pts = RoutePoints(planned);
    double t = 0;
    DriveAlong(nav, pts, 0, 60, 10, t);
    const tagLonLat p = m_last.ptMatch;
    std::vector<Event> events;
    for (int i = 0; i < 5; ++i) {
      Fix fix;
      fix.dTime = t++;
      fix.pt = Aside(p, m_lastHeading, 39.0);
      fix.dAccuracy = 15;  // radius 45 m under the accuracy policy
      const Update u = nav.OnFix(fix);
      EXPECT_EQ(u.state.dTolerance, policy == TolerancePolicy::kFixed ? 25.0 : 45.0);
      events.insert(events.end(), u.events.begin(), u.events.end());
    }
    EXPECT_EQ(Names(events).find("off-route") != std::string::npos,
              policy == TolerancePolicy::kFixed)
        << Names(events);
  }
}

TEST_F(Town, ClosureAheadAndANewDestination) {
  Navigator& nav = Nav();
  const Update planned = nav.PlanRoute(kFrom, kTo, 0.0);
  const std::vector<tagLonLat> pts = RoutePoints(planned);
  EXPECT_TRUE(nav.CloseRoadAhead(500).events.empty());  // before any fix: done at the first
  double t = 0;
  const std::vector<Event> first = DriveAlong(nav, pts, 0, 0, 10, t);
  ASSERT_EQ(Names(first), "closure route");
  const Closure& c = std::get<Closure>(first[0].data);
  EXPECT_EQ(c.status, ClosureStatus::kRerouted);
  EXPECT_EQ(c.sRoad, "Marktstraße");
  EXPECT_EQ(std::get<RouteInfo>(first[1].data).reason, RouteReason::kClosure);
  DriveAlong(nav, std::get<RouteInfo>(first[1].data).pts, 0, 20, 10, t);
  EXPECT_EQ(Names(nav.CloseRoadAhead(1e6).events), "closure");
  const Update dest = nav.SetDestination({13.3990, 52.5020});
  ASSERT_EQ(Names(dest.events), "reroute route");
  EXPECT_EQ(std::get<RouteInfo>(dest.events[1].data).reason, RouteReason::kNewDestination);
  const Update now = nav.RerouteNow();
  EXPECT_EQ(Names(now.events), "reroute route");
}

TEST_F(Town, NoRouteNoGuidance) {
  Navigator& nav = Nav();
  const Update u = nav.PlanRoute(kFrom, {-70.0, -33.0}, 0.0);
  EXPECT_TRUE(u.events.empty());
  EXPECT_EQ(u.state.state, RouteState::kNoRoute);
  Fix fix;
  fix.pt = kFrom;
  EXPECT_EQ(nav.OnFix(fix).state.state, RouteState::kNoRoute);
  EXPECT_EQ(Names(nav.RerouteNow().events), "reroute");
}
