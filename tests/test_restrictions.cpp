// Turn restrictions as the importer reads them, on sketch maps through the
// real reader and route engine: which tags bind a car, the leg a
// restriction names (judged by the turn angle where a member way runs
// through the junction), several from or to members, oneway=alternating, and
// restrictions over via ways as the network stores them and the routes obey
// them, with the count of every relation's fate.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "map/OsmImport.h"
#include "network/FeatureId.h"
#include "network/ReaderNetwork.h"
#include "tests/SketchMap.h"

namespace {

using vxtest::SketchMap;
using vxtest::SketchReader;

// The build summary of the sketch's restrictions ("... applied ..., N ignored (...)").
std::string Fates(const SketchReader& s) {
  vxmap::RawOsm raw;
  vxnet::RoadNetwork net;
  std::string sError;
  EXPECT_TRUE(vxmap::ReadOsmFile(s.File().c_str(), raw, sError)) << sError;
  EXPECT_TRUE(vxmap::BuildRoadNetwork(raw, net, sError)) << sError;
  return raw.restrictionStats.Summary();
}

// The half-edge that drives the stretch sTravel ("ab": from a to b).
std::uint32_t HalfEdge(const SketchReader& s, std::string_view sTravel) {
  std::uint32_t nFeature = 0;
  bool bReversed = false;
  EXPECT_TRUE(vxnet::DecodeFeatureId(s.Feature(sTravel), nFeature, bReversed));
  return 2 * nFeature + (bReversed ? 1 : 0);
}

// A via restriction as text, "from > via via > to kind", in half-edge
// numbers (appended piece by piece: GCC 12 misreports chains of +).
std::string ViaLine(std::uint32_t nFrom, const std::vector<std::uint32_t>& via, std::uint32_t nTo,
                    const char* szKind) {
  std::string t = std::to_string(nFrom);
  t += " >";
  for (const std::uint32_t h : via) {
    t += ' ';
    t += std::to_string(h);
  }
  t += " > ";
  t += std::to_string(nTo);
  t += ' ';
  t += szKind;
  return t;
}

// The network's via restrictions as text.
std::vector<std::string> ViaRecords(const SketchReader& s) {
  const vxnet::NetworkView* pNet = vxnet::NetworkOfReader(s.Reader());
  std::vector<std::string> out;
  for (const vxnet::ViaRestriction& r : pNet->viaRestrictions) {
    const std::span<const std::uint32_t> via = pNet->ViaOf(r);
    out.push_back(ViaLine(r.nFrom, {via.begin(), via.end()}, r.nTo,
                          r.nKind == vxnet::kViaOnly ? "only" : "no"));
  }
  return out;
}

// The same text for a sequence of stretches of the sketch ("ab": from a to b).
std::string ViaText(const SketchReader& s, const std::vector<std::string_view>& travel,
                    const char* szKind) {
  std::vector<std::uint32_t> via;
  for (std::size_t i = 1; i + 1 < travel.size(); ++i) via.push_back(HalfEdge(s, travel[i]));
  return ViaLine(HalfEdge(s, travel.front()), via, HalfEdge(s, travel.back()), szKind);
}

// c---j, j---b: a right turn at j. Only a restriction that binds a car at
// all times cuts the route.
TEST(RestrictionTags, OnlyThoseBindingACarAtAllTimesApply) {
  SketchMap base(R"(
c---j
    |
    b
  )");
  base.Ways("cj; jb");
  const struct {
    const char* szTags;
    bool bBinds;
    const char* szFate;
  } kCases[] = {
      {"restriction=no_right_turn", true, "1 applied"},
      {"restriction:motorcar=no_right_turn", true, "1 applied"},
      {"restriction=no_right_turn except='psv;bicycle'", true, "1 applied"},
      {"restriction=no_right_turn restriction:hgv=only_straight_on", true, "1 applied"},
      {"restriction=no_right_turn_on_red", false, "1 on red"},
      {"restriction=no_turn_on_red", false, "1 on red"},
      {"restriction:hgv=no_right_turn", false, "1 not for cars"},
      {"restriction:bus=no_right_turn", false, "1 not for cars"},
      {"restriction=no_right_turn except=motorcar", false, "1 except cars"},
      {"restriction=no_right_turn except='bicycle; motor_vehicle'", false, "1 except cars"},
      {"restriction:conditional='no_right_turn @ (Mo-Fr 07:00-09:00)'", false, "1 conditional"},
      {"restriction=no_right_turn restriction:conditional='none @ (Sa,Su)'", false,
       "1 conditional"},
      {"restriction=no_right_turn hour_on=07:00 hour_off=09:00", false, "1 conditional"},
      {"restriction=no_going_round", false, "1 unknown value"},
      {"name=Corner", false, "1 unknown value"},
  };
  for (const auto& c : kCases) {
    SketchMap m = base;
    const SketchReader s(m.Relation(std::string(c.szTags) + " from:cj via:j to:jb"));
    EXPECT_EQ(s.Route('c', 'b'), c.bBinds ? "no route" : "cj jb") << c.szTags;
    EXPECT_NE(Fates(s).find(c.szFate), std::string::npos) << c.szTags << ": " << Fates(s);
  }
  // Members that are not from way, via node or ways, to way.
  for (const char* szMembers : {"from:cj to:jb", "from:cj via:j via:cj to:jb", "from:j via:j to:jb",
                                "from:cj via:j via:c to:jb"}) {
    SketchMap m = base;
    const SketchReader s(m.Relation(std::string("restriction=no_right_turn ") + szMembers));
    EXPECT_EQ(s.Route('c', 'b'), "cj jb") << szMembers;
    EXPECT_EQ(Fates(s),
              "1 turn restrictions: 0 applied (0 with via ways), 1 ignored (1 bad members)")
        << szMembers;
  }
}

// x-a-b-c-z with d below b: a restriction into abc, which runs through b,
// forbids only the leg it names, judged by the turn angle; where no leg or
// both could be the one named, it is ignored rather than cutting both.
TEST(RestrictionLegs, OnlyTheNamedLegOfAWayThroughTheJunction) {
  SketchMap base(R"(
x---a---b---c---z
        |
        d
  )");
  base.Ways("xa; abc; cz; bd");
  {
    SketchMap m = base;
    const SketchReader s(m.Relation("restriction=no_left_turn from:bd via:b to:abc"));
    EXPECT_EQ(s.Cross("db"), "bc 270");
    EXPECT_EQ(s.Route('d', 'z'), "db bc cz");
    EXPECT_EQ(s.Cross("ab"), "bc 0, bd 270");
    EXPECT_EQ(Fates(s), "1 turn restrictions: 1 applied (0 with via ways), 0 ignored");
  }
  const struct {
    const char* szRelation;
    const char* szArrival;
    const char* szCross;
    const char* szFate;
  } kCases[] = {
      {"restriction=no_right_turn from:bd via:b to:abc", "db", "ba 90", "1 applied"},
      {"restriction=only_left_turn from:bd via:b to:abc", "db", "ba 90", "1 applied"},
      {"restriction=only_right_turn from:bd via:b to:abc", "db", "bc 270", "1 applied"},
      // No leg of abc is straight on from d: nothing is forbidden.
      {"restriction=no_straight_on from:bd via:b to:abc", "db", "ba 90, bc 270", "1 leg not told"},
      // The from way runs through b: only the arrival from a turns right.
      {"restriction=no_right_turn from:abc via:b to:bd", "ab", "bc 0", "1 applied"},
      {"restriction=no_right_turn from:abc via:b to:bd", "cb", "ba 0, bd 90", "1 applied"},
      // Straight on along a way through the junction, from either side.
      {"restriction=only_straight_on from:abc via:b to:abc", "ab", "bc 0", "1 applied"},
      {"restriction=only_straight_on from:abc via:b to:abc", "cb", "ba 0", "1 applied"},
      {"restriction=no_straight_on from:abc via:b to:abc", "cb", "bd 90", "1 applied"},
  };
  for (const auto& c : kCases) {
    SketchMap m = base;
    const SketchReader s(m.Relation(c.szRelation));
    EXPECT_EQ(s.Cross(c.szArrival), c.szCross) << c.szRelation;
    EXPECT_NE(Fates(s).find(c.szFate), std::string::npos) << c.szRelation << ": " << Fates(s);
  }
  // abc one way: its left leg cannot be driven and the one left is a right
  // turn, which the restriction does not name.
  SketchMap oneWay(R"(
x---a---b---c---z
        |
        d
  )");
  const SketchReader s(oneWay.Ways("xa; abc oneway=yes; cz; bd")
                           .Relation("restriction=no_left_turn from:bd via:b to:abc"));
  EXPECT_EQ(s.Route('d', 'z'), "db bc cz");
  EXPECT_EQ(Fates(s),
            "1 turn restrictions: 0 applied (0 with via ways), 1 ignored (1 leg not told)");
}

// A cross of ae, be, ce, de: no_entry (two from ways) and no_exit (two to
// ways) forbid every pair of their members.
TEST(RestrictionMembers, NoEntryAndNoExitForbidEveryPair) {
  SketchMap base(R"(
    b
    |
a---e---c
    |
    d
  )");
  base.Ways("ae; be; ce; de");
  {
    SketchMap m = base;
    const SketchReader s(m.Relation("restriction=no_entry from:ae from:be via:e to:de"));
    EXPECT_EQ(s.Cross("ae"), "ec 0, eb 90");
    EXPECT_EQ(s.Cross("be"), "ec 90, ea 270");
    EXPECT_EQ(s.Cross("ce"), "ea 0, ed 90, eb 270");
    EXPECT_EQ(s.Route('a', 'd'), "ae ec ce ed");
    EXPECT_EQ(Fates(s), "1 turn restrictions: 1 applied (0 with via ways), 0 ignored");
  }
  SketchMap m = base;
  const SketchReader s(m.Relation("restriction=no_exit from:de via:e to:ae to:be"));
  EXPECT_EQ(s.Cross("de"), "ec 270");
  EXPECT_EQ(s.Cross("ce"), "ea 0, ed 90, eb 270");
  EXPECT_EQ(s.Route('d', 'b'), "de ec ce eb");
}

// oneway=alternating (one lane, each direction in turn) is drivable both
// ways; oneway=reversible still is not routable.
TEST(RestrictionOneWay, AlternatingIsDrivableBothWays) {
  SketchMap m(R"(
a---b---c---d
  )");
  const SketchReader s(m.Ways("ab; bc oneway=alternating; cd"));
  EXPECT_EQ(s.Route('a', 'd'), "ab bc cd");
  EXPECT_EQ(s.Route('d', 'a'), "dc cb ba");
  EXPECT_EQ(s.Cross("ab"), "bc 0");
  EXPECT_EQ(s.Cross("dc"), "cb 0");
  SketchMap r(R"(
a---b---c---d
  )");
  const SketchReader rs(r.Ways("ab; bc oneway=reversible; cd"));
  EXPECT_EQ(rs.Route('a', 'd'), "no route");
}

// The U-turn across the median of a dual carriageway: from the eastbound
// carriageway xcdf over the connector db onto the westbound ebaw. Stored as
// a via restriction of half-edges, not in the reader's turn lists; binding
// the routes that drive cd first, and only those.
TEST(RestrictionViaWays, DualCarriagewayUTurnBanIsStoredAndBinds) {
  SketchMap m(R"(
w---a-------b---e
    |       |
x---c-------d---f
  )");
  const SketchReader s(m.Ways("ebaw oneway=yes; xcdf oneway=yes; ca; db")
                           .Relation("restriction=no_u_turn from:xcdf via:db to:ebaw"));
  EXPECT_EQ(ViaRecords(s), std::vector<std::string>{ViaText(s, {"cd", "db", "ba"}, "no")});
  EXPECT_TRUE(vxnet::NetworkOfReader(s.Reader())->forbidden.empty());
  EXPECT_EQ(s.Cross("db"), "ba 90");
  EXPECT_EQ(Fates(s), "1 turn restrictions: 1 applied (1 with via ways), 0 ignored");
  // Past c the only way on is the banned U-turn (f is a dead end of a
  // one-way); the connector itself may still be driven.
  EXPECT_EQ(s.Route(s.Between('c', 'd'), s.At('w')), "no route");
  EXPECT_EQ(s.Route(s.Between('c', 'd'), s.Between('b', 'a')), "no route");
  EXPECT_EQ(s.Route(s.Between('c', 'd'), s.At('b')), "*d db");
  // Not having driven cd: from d, from inside db, or from c over ca.
  EXPECT_EQ(s.Route('d', 'w'), "db ba aw");
  EXPECT_EQ(s.Route(s.Between('d', 'b'), s.At('w')), "*b ba aw");
  EXPECT_EQ(s.Route('x', 'w'), "xc ca aw");
}

// Chains of via ways: in the order given, driven either way, ending at a
// way through the junction (leg told by the whole turn from the arrival to
// the departure); chains that do not hold together are ignored. The route
// from the first member's end to the last's avoids what is forbidden, turning
// back at the dead end g, e or f (d-g 50 m, d-e 60 m, d-f 40 m).
TEST(RestrictionViaWays, ChainsOfViaWaysMapOntoHalfEdgesAndBindRoutes) {
  SketchMap base(R"(
            f
            |
x---b---c---d----g
            |
            |
            e
  )");
  base.Ways("xb; bc; cd; fde; dg; xbf footway");
  const struct {
    const char* szRelation;
    std::vector<std::string_view> want;  // from, via..., to
    const char* szKind;
    const char* szFate;
    char cFrom, cTo;
    const char* szRoute;
  } kCases[] = {
      {"restriction=no_left_turn from:xb via:bc via:cd to:fde",
       {"xb", "bc", "cd", "df"},
       "no",
       "1 applied (1 with via ways)",
       'x',
       'f',
       "xb bc cd dg gd df"},
      {"restriction=only_right_turn from:xb via:bc via:cd to:fde",
       {"xb", "bc", "cd", "de"},
       "only",
       "1 applied (1 with via ways)",
       'x',
       'g',
       "xb bc cd de ed dg"},
      // Against the digitisation, as mapped (every member ends at its junction).
      {"restriction=no_straight_on from:dg via:cd via:bc to:xb",
       {"gd", "dc", "cb", "bx"},
       "no",
       "1 applied (1 with via ways)",
       'g',
       'x',
       "gd df fd dc cb bx"},
      {"restriction=no_u_turn from:xb via:bc via:cd to:fde",
       {},
       "",
       "1 leg not told",
       'x',
       'f',
       "xb bc cd df"},
      {"restriction=no_left_turn from:xb via:cd via:bc to:fde",
       {},
       "",
       "1 members not joined",
       'x',
       'f',
       "xb bc cd df"},
      {"restriction=no_left_turn from:xb via:bc via:dg to:fde",
       {},
       "",
       "1 members not joined",
       'x',
       'f',
       "xb bc cd df"},
      {"restriction=no_left_turn from:xb via:xbf via:cd to:fde",
       {},
       "",
       "1 member not in the map",
       'x',
       'f',
       "xb bc cd df"},
  };
  for (const auto& c : kCases) {
    SketchMap m = base;
    const SketchReader s(m.Relation(c.szRelation));
    std::vector<std::string> want;
    if (!c.want.empty()) want.push_back(ViaText(s, c.want, c.szKind));
    EXPECT_EQ(ViaRecords(s), want) << c.szRelation;
    EXPECT_NE(Fates(s).find(c.szFate), std::string::npos) << c.szRelation << ": " << Fates(s);
    EXPECT_EQ(s.Route(c.cFrom, c.cTo), c.szRoute) << c.szRelation;
  }
}

// The dual carriageway's U-turn ban where the carriageways meet again at the
// east end: the route goes round by fe instead (itself a U-turn, not
// banned), whether it ends on the westbound carriageway's node or inside its
// road.
TEST(RestrictionViaWays, DualCarriagewayUTurnBanSendsTheRouteRound) {
  SketchMap m(R"(
w---a-------b-------e
    |       |       |
x---c-------d-------f
  )");
  const SketchReader s(m.Ways("ebaw oneway=yes; xcdf oneway=yes; ca; db; fe")
                           .Relation("restriction=no_u_turn from:xcdf via:db to:ebaw"));
  EXPECT_EQ(s.Route(s.Between('c', 'd'), s.At('w')), "*d df fe eb ba aw");
  EXPECT_EQ(s.Route(s.Between('c', 'd'), s.Between('b', 'a')), "*d df fe eb b*");
  EXPECT_EQ(s.Route(s.Between('c', 'd'), s.At('b')), "*d db");
  EXPECT_EQ(s.Route(s.Between('d', 'f'), s.At('w')), "*f fe eb ba aw");
  EXPECT_EQ(s.Route('d', 'w'), "db ba aw");
}

// A short connector bf between two streets: no left turn out of it (into
// fg) for those who entered it from ab. Those from n, or starting on the
// connector, may turn left; those from ab go round by bchig (shorter than
// turning back at the dead end n).
TEST(RestrictionViaWays, NoLeftTurnOutOfAShortConnector) {
  SketchMap m(R"(
        n
        |
        |
        |
a-------b-------c---h
        |           |
        |           |
e-------f-------g---i
  )");
  const SketchReader s(m.Ways("ab; nb; bchig; bf; ef; fg")
                           .Relation("restriction=no_left_turn from:ab via:bf to:fg"));
  EXPECT_EQ(Fates(s), "1 turn restrictions: 1 applied (1 with via ways), 0 ignored");
  EXPECT_EQ(s.Route('a', 'g'), "ab bchig");
  EXPECT_EQ(s.Route('a', 'e'), "ab bf fe");
  EXPECT_EQ(s.Route('n', 'g'), "nb bf fg");
  EXPECT_EQ(s.Route('b', 'g'), "bf fg");
  EXPECT_EQ(s.Route(s.Between('b', 'f'), s.At('g')), "*f fg");
  // The junction f offers the left turn: the restriction is not a single turn there.
  EXPECT_EQ(s.Cross("bf"), "fg 90, fe 270");
}

// only_straight_on over a via way: having driven ab and bc, only cd; the
// way into t is then round the block by d and e, or ends inside ct coming
// from t.
TEST(RestrictionViaWays, OnlyStraightOnOverAViaWay) {
  SketchMap m(R"(
a-------b---c-------d
            |       |
            |       |
            t-------e
  )");
  const SketchReader s(m.Ways("ab; bc; cd; ct; de; te")
                           .Relation("restriction=only_straight_on from:ab via:bc to:cd"));
  EXPECT_EQ(Fates(s), "1 turn restrictions: 1 applied (1 with via ways), 0 ignored");
  EXPECT_EQ(s.Route('a', 't'), "ab bc cd de et");
  EXPECT_EQ(s.Route(s.At('a'), s.Between('c', 't')), "ab bc cd de et t*");
  EXPECT_EQ(s.Route('a', 'c'), "ab bc");
  EXPECT_EQ(s.Route('b', 't'), "bc ct");
  EXPECT_EQ(s.Route(s.Between('b', 'c'), s.At('t')), "*c ct");
}

// Turning back where nothing else leaves is a dead end's rule: a way on that
// only a restriction over a via way bars still counts. Having driven the
// one-way ab (the right turn into be forbidden) and bc, going on to d is
// barred and turning back at c is not allowed: a route from a keeps off bc
// and goes round by y and z.
TEST(RestrictionViaWays, BarredWayOnIsNoLicenceToTurnBack) {
  SketchMap m(R"(
a---b---c---d
|   |
|   e
|   |
|   |
y---z
  )");
  const SketchReader s(m.Ways("ab oneway=yes; bc; cd; be; ez; ay; yz")
                           .Relation("restriction=no_right_turn from:ab via:b to:be")
                           .Relation("restriction=no_straight_on from:ab via:bc to:cd"));
  EXPECT_EQ(Fates(s), "2 turn restrictions: 2 applied (1 with via ways), 0 ignored");
  EXPECT_EQ(s.Route('a', 'e'), "ay yz ze");
  EXPECT_EQ(s.Route('a', 'd'), "ay yz ze eb bc cd");
  EXPECT_EQ(s.Route(s.Between('a', 'b'), s.At('e')), "no route");
  EXPECT_EQ(s.Route('c', 'e'), "cb be");
}

}  // namespace
