// The navigator: turn classes and the English texts rendered from its event
// data, announcement stages, and drives on junctions drawn as sketches, each
// told as the sequence of what the driver hears: a turn in its stages with
// the junction's roads, a missed turn (noticed by heading and by distance)
// and the new route, a roundabout's exits, closures, a new destination and
// the arrival.
#include <gtest/gtest.h>

#include <cmath>

#include "interfaces/VroGeo.h"
#include "nav/NavInternal.h"
#include "nav/Navigator.h"
#include "tests/SketchMap.h"

using namespace vxnav;
using vxtest::SketchGrid;
using vxtest::SketchMap;
using vxtest::SketchReader;

namespace {

// A navigator on a sketch, and drives through its nodes.
class Road {
 public:
  explicit Road(const SketchMap& map, const Settings& settings = Settings())
      : m_map(map), m_sketch(map), m_nav(m_sketch.Reader(), m_sketch.Engine(), settings) {}

  Navigator& Nav() { return m_nav; }
  const SketchReader& Sketch() const { return m_sketch; }

  // Plans the route from node a to the point to; what the navigator says.
  std::string Plan(char a, const tagLonLat& to) {
    return Said(m_nav.PlanRoute(m_sketch.At(a), to, m_t).events);
  }

  // The fixes of a drive through the nodes at dSpeed m/s: one a second from
  // dSpeed metres past the first node on, each with the road's heading, the
  // speed and an accuracy of 5 m.
  std::vector<Fix> Fixes(std::string_view sNodes, double dSpeed = 10.0) const {
    std::vector<Fix> fixes;
    double dNext = dSpeed;
    double dStart = 0.0;  // metres to the stretch's start
    for (std::size_t i = 1; i < sNodes.size(); ++i) {
      const tagLonLat a = m_sketch.At(sNodes[i - 1]);
      const tagLonLat b = m_sketch.At(sNodes[i]);
      const double dLen = SegmentLength(a, b);
      for (; dNext <= dStart + dLen + 1e-6; dNext += dSpeed) {
        const double f = (dNext - dStart) / dLen;
        Fix fix;
        fix.pt = {a.lon + f * (b.lon - a.lon), a.lat + f * (b.lat - a.lat)};
        fix.dHeading = PlaneDirection(a, b);
        fix.dSpeed = dSpeed;
        fix.dAccuracy = 5.0;
        fixes.push_back(fix);
      }
      dStart += dLen;
    }
    return fixes;
  }

  // Feeds the fixes a second apart; each event as "<seconds from the first
  // fix> <sentence>", joined by " | ".
  std::string Feed(const std::vector<Fix>& fixes) {
    std::string s;
    const double t0 = m_t;
    for (Fix fix : fixes) {
      fix.dTime = m_t++;
      const Update u = m_nav.OnFix(fix);
      m_state = u.state;
      for (const Event& e : u.events) {
        Append(s, std::to_string(static_cast<int>(e.dTime - t0)) + " " + EnglishText(e));
      }
    }
    return s;
  }
  std::string Drive(std::string_view sNodes, double dSpeed = 10.0) {
    return Feed(Fixes(sNodes, dSpeed));
  }

  // The events of a call, as Feed tells them but without times.
  static std::string Said(const std::vector<Event>& events) {
    std::string s;
    for (const Event& e : events) {
      Append(s, EnglishText(e));
    }
    return s;
  }
  static void Append(std::string& s, const std::string& sEvent) {
    s += s.empty() ? "" : " | ";
    s += sEvent;
  }

  const State& Last() const { return m_state; }

  // The nodes the current route passes, "*" for a point on none: "*bc".
  std::string RouteNodes() const {
    std::string s;
    PathGuid g{};
    const CPath& path = m_nav.Path();
    for (path.StartGuid(); path.NextGuid(g);) {
      for (unsigned i = s.empty() ? 0 : 1; i < g.wPtNum; ++i) {
        s += NodeAt(g.pPts[i]);
      }
    }
    return s;
  }

 private:
  char NodeAt(const tagLonLat& pt) const {
    for (const std::string& way : m_map.WayNodes()) {
      for (const char c : way) {
        const tagLonLat p = m_sketch.At(c);
        if (p.lon == pt.lon && p.lat == pt.lat) {
          return c;
        }
      }
    }
    return '*';
  }

  SketchMap m_map;
  SketchReader m_sketch;
  Navigator m_nav;
  double m_t = 0.0;
  State m_state;
};

// Oak Road runs east past Elm Street, which the routes take north to c; Ash
// Lane and Birch Way lead round to c from d, Gum Road from a to e. A column
// is 25 m, a line 50 m: a-b and b-d 350 m, b-c 100 m.
SketchMap Block() {
  SketchMap m(R"(
              c-------------f
              |             |
a-------------b-------------d
|             |
g-------------e
)",
              SketchGrid{25.0, 50.0});
  m.Ways("abd 'Oak Road'; cbe 'Elm Street'; cf 'Ash Lane'; fd 'Birch Way'; age 'Gum Road'");
  return m;
}

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
  in.turn = ClassifyTurn(200);
  EXPECT_EQ(InstructionText(in), "turn sharply right");
  in.turn = ClassifyTurn(178);
  EXPECT_EQ(InstructionText(in), "make a U-turn");
  in.kind = ManoeuvreKind::kEnterRoundabout;
  in.nExit = 22;
  EXPECT_EQ(InstructionText(in), "enter the roundabout and take the 22nd exit");
  in.kind = ManoeuvreKind::kLeaveRoundabout;
  in.nExit = 12;
  in.sRoad = "Ring Road";
  EXPECT_EQ(InstructionText(in), "take the 12th exit onto Ring Road");
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

TEST(NavTexts, EverySentenceTheDriveDoesNotSay) {
  // The rest are heard in the drives below.
  const auto Text = [](Event::Data d) {
    Event e;
    e.data = std::move(d);
    return EnglishText(e);
  };
  EXPECT_EQ(Text(Reroute{RouteReason::kOffRoute, false}), "No route from here; trying again");
  EXPECT_EQ(Text(Closure{ClosureStatus::kNoWayAround, 5, "A", {}}),
            "Road closed right ahead on A: no way around it, keeping the route");
  EXPECT_EQ(Text(RouteInfo{RouteReason::kPlanned, 1234, 150, 1, {}}),
            "Route planned: 1.2 km, about 3 min, 1 manoeuvre");
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

TEST(NavDrive, TurnAnnouncedInStagesWithTheJunctionThenArrival) {
  Road r(Block());
  EXPECT_EQ(r.Plan('a', r.Sketch().At('c')), "Route planned: 450 m, about 1 min, 1 manoeuvre");
  // On Oak Road at 10 m/s; at its 40 km/h "In ..." comes 20 s ahead, "Now" 4 s.
  EXPECT_EQ(r.Drive("ab"),
            "0 Continue for 350 m | 12 In 200 m turn left onto Elm Street"
            " | 30 Now turn left onto Elm Street | 30 at Oak Road: 3 roads leave the junction:"
            " Oak Road (straight 0°), Elm Street (left 90°, the route), Elm Street (right 270°)");
  EXPECT_EQ(r.Drive("bc"),
            "0 In 90 m you reach your destination | 8 You have arrived at your destination");
  EXPECT_EQ(r.Last().state, RouteState::kArrived);
  EXPECT_EQ(r.Drive("cb"), "");  // after the arrival fixes only report it
  EXPECT_EQ(r.Last().state, RouteState::kArrived);
}

TEST(NavDrive, MissedTurnNoticedByHeadingOrDistanceThenRerouted) {
  // Straight on at b. With headings and a 45 m radius (accuracy 15 m) the
  // direction tells within 4 s, and nothing is announced from a fix heading
  // across Elm Street; without headings the distance does, once three fixes
  // lie beyond the 25 m radius. Either way the new route goes on ahead
  // (without headings: in the direction of the last fixes).
  for (const bool bHeadings : {true, false}) {
    Road r(Block());
    r.Plan('a', r.Sketch().At('c'));
    r.Drive("ab");
    std::vector<Fix> bd = r.Fixes("bd");
    for (Fix& f : bd) {
      f.dAccuracy = bHeadings ? 15 : 5;
      f.dHeading = bHeadings ? f.dHeading : -1;
    }
    EXPECT_EQ(r.Feed({bd.begin(), bd.begin() + 13}),
              bHeadings ? "3 Off the route for 3 fixes in a row, heading away from it"
                          " | 3 Recalculated the route from here"
                          " | 3 New route: 750 m, about 1 min, 2 manoeuvres"
                          " | 4 Continue for 300 m | 12 In 200 m turn left onto Birch Way"
                        : "0 In 100 m you reach your destination"
                          " | 4 Off the route for 3 fixes in a row"
                          " | 4 Recalculated the route from here"
                          " | 4 New route: 750 m, about 1 min, 2 manoeuvres"
                          " | 5 Continue for 300 m | 12 In 200 m turn left onto Birch Way");
    EXPECT_EQ(r.RouteNodes(), "*dfc");
  }
}

SketchMap Roundabout() {
  SketchMap m(R"(
              n
              |
              b
            /   \
w---------a       c---------e
            \   /
              d
              |
              s
)");
  m.Ways(
      "adcba junction=roundabout; wa 'West Road'; bn 'North Road'; ce 'East Road';"
      " ds 'South Road'");
  return m;
}

TEST(NavDrive, RoundaboutExitsCountedAndAMissedExitNoticed) {
  // From West Road to North Road: past South and East Road, the 3rd exit;
  // within the roundabout, once the others are passed, the next. 5 m/s.
  Road r(Roundabout());
  r.Plan('w', r.Sketch().At('n'));
  EXPECT_EQ(r.Drive("wadcbn", 5),
            "0 In 100 m enter the roundabout and take the 3rd exit onto North Road"
            " | 11 Now enter the roundabout and take the 3rd exit onto North Road"
            " | 11 at West Road: 1 road leaves the junction: unnamed road (slight right 329°, the"
            " route) | 20 In 170 m take the 3rd exit onto North Road"
            " | 45 Now take the next exit onto North Road | 45 at an unnamed road: 2 roads leave"
            " the junction: unnamed road (left 62°), North Road (right 301°, the route)"
            " | 54 In 40 m you reach your destination | 58 You have arrived at your destination");
  // Out onto East Road at c (43 s): noticed by the distance 7 s later.
  Road missed(Roundabout());
  missed.Plan('w', missed.Sketch().At('n'));
  const std::string sSaid = missed.Drive("wadce", 5);
  EXPECT_EQ(sSaid.substr(sSaid.find("| 50")),
            "| 50 Off the route for 3 fixes in a row | 50 Recalculated the route from here | 50 New"
            " route: 250 m, about 1 min, 2 manoeuvres | 51 In 160 m enter the roundabout and take"
            " the 1st exit onto North Road");
}

TEST(NavDrive, ClosureAheadAndOnTheRoadDriven) {
  // Asked before the first fix, the closure comes with it.
  Road r(Block());
  r.Plan('a', r.Sketch().At('c'));
  EXPECT_EQ(Road::Said(r.Nav().CloseRoadAhead(390).events), "");
  EXPECT_EQ(r.Drive("ab"),
            "0 Road closed 400 m ahead on Elm Street: the route goes around it | 0 New route: 1.1"
            " km, about 2 min, 2 manoeuvres | 1 Continue for 700 m");
  EXPECT_EQ(r.RouteNodes(), "*bdfc");
  EXPECT_EQ(Road::Said(r.Nav().CloseRoadAhead(1e4).events),
            "No closure: the route ends before 10 km");
  // Closed 100 m ahead on the road driven: the way around turns back.
  Road back(Block());
  back.Plan('a', back.Sketch().At('c'));
  back.Feed({back.Fixes("ab").at(4)});
  EXPECT_EQ(Road::Said(back.Nav().CloseRoadAhead(100).events),
            "Road closed 100 m ahead on Oak Road: the route goes around it | New route: 700 m, "
            "about 1 min, 2 manoeuvres");
  EXPECT_EQ(back.RouteNodes(), "*agebc");
  // Without a way back (the U-turn at the dead end a would drive through the
  // closure) there is none: the route stays.
  SketchMap m("a---------------c");
  Road none(m.Ways("ac 'Oak Road'"));
  none.Plan('a', none.Sketch().At('c'));
  none.Feed({none.Fixes("ac").at(4)});
  EXPECT_EQ(Road::Said(none.Nav().CloseRoadAhead(50).events),
            "Road closed 50 m ahead on Oak Road: no way around it, keeping the route");
  EXPECT_EQ(none.RouteNodes(), "ac");
}

TEST(NavDrive, NewDestinationAndRerouteNow) {
  Road r(Block());
  EXPECT_EQ(Road::Said(r.Nav().RerouteNow().events), "No route from here; keeping the route");
  EXPECT_EQ(r.Plan('a', {-70.0, -33.0}), "");
  EXPECT_EQ(r.Nav().OnFix(r.Fixes("ab").front()).state.state, RouteState::kNoRoute);
  r.Plan('a', r.Sketch().At('c'));
  std::vector<Fix> ab = r.Fixes("ab");
  r.Feed({ab.begin(), ab.begin() + 10});
  EXPECT_EQ(r.Last().sRoad, "Oak Road");
  EXPECT_NEAR(r.Last().dToManoeuvre, 250, 3);
  EXPECT_NEAR(r.Last().dToDestination, 350, 3);
  EXPECT_EQ(
      Road::Said(r.Nav().SetDestination(r.Sketch().At('d')).events),
      "Routing to the new destination from here | New route: 600 m, about 1 min, 0 manoeuvres");
  EXPECT_EQ(r.RouteNodes(), "*bd");
  EXPECT_EQ(Road::Said(r.Nav().RerouteNow().events),
            "Recalculated the route from here | New route: 600 m, about 1 min, 0 manoeuvres");
  EXPECT_EQ(r.Feed({ab.begin() + 10, ab.end()}), "0 Continue for 600 m");
}

TEST(NavDrive, ArrivalNotWhenDrivingPastTheDestinationsStreetButWhenStanding) {
  // The destination 12 m up Elm Street: passing the corner is not arriving.
  Road r(Block());
  r.Plan('a', r.Sketch().Between('b', 'c', 0.12));
  r.Drive("ab");
  const std::string sSaid = r.Drive("bd");
  EXPECT_EQ(sSaid.substr(0, sSaid.find(" | 5")),
            "4 Off the route for 3 fixes in a row | 4 Recalculated the route from here | 4 New "
            "route: 850 m, about 1 min, 3 manoeuvres");
  // Fixes 25 m short of c with an accuracy of 10 m, beyond CPath's 20 m and
  // two accuracies: moving they have not arrived, standing they have.
  Road parked(Block());
  parked.Plan('a', parked.Sketch().At('c'));
  parked.Drive("ab");
  Fix fix;
  fix.pt = parked.Sketch().Between('b', 'c', 0.75);
  fix.dHeading = 90;
  fix.dSpeed = 10;
  fix.dAccuracy = 10;
  EXPECT_EQ(parked.Feed({fix}), "0 In 30 m you reach your destination");
  fix.dSpeed = 0;
  EXPECT_EQ(parked.Feed({fix}), "0 You have arrived at your destination");
}

TEST(NavDrive, MatchRadiusFollowsTheAccuracyUnlessFixed) {
  // Fixes 39 m north of Oak Road, accuracy 15 m: within the accuracy
  // policy's 45 m, beyond the fixed 25 m.
  for (const TolerancePolicy policy : {TolerancePolicy::kAccuracy, TolerancePolicy::kFixed}) {
    Settings s;
    s.tolerance = policy;
    Road r(Block(), s);
    r.Plan('a', r.Sketch().At('c'));
    std::vector<Fix> fixes = r.Fixes("ab");
    for (Fix& f : fixes) {
      f.pt.lat += 0.00035;
      f.dAccuracy = 15;
    }
    const bool bFixed = policy == TolerancePolicy::kFixed;
    EXPECT_EQ(r.Feed({fixes.begin(), fixes.begin() + 3}),
              bFixed ? "2 Off the route for 3 fixes in a row | 2 Recalculated the route from here"
                       " | 2 New route: 400 m, about 1 min, 1 manoeuvre"
                     : "0 Continue for 350 m");
    EXPECT_EQ(r.Last().dTolerance, bFixed ? 25.0 : 45.0);
  }
}
