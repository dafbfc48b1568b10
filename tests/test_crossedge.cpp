// Junction description against a scripted map reader: the order and the
// arguments of the reader calls, every filter, the turn restriction list,
// the angles, and texts the reader leaves without a terminating NUL.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "CPath/CPath.h"
#include "interfaces/VroRead.h"
#include "tests/FakeText.h"

namespace {

struct Attr {
  std::string code;
  std::string name;
  std::string value;
};

struct Feature {
  std::string code;
  VRO_FEATURE_ID id;
  std::vector<Bin_LonLat> pts;
  std::vector<Attr> attrs;
};

VRO_FEATURE_ID Id(std::uint32_t n, std::uint32_t flag = 0) { return {{n, 0, 0, flag}}; }

}  // namespace

// The scripted reader: its own-attribute answer, the features of the search
// in delivery order, and a log of every call with its arguments.
struct VRO_READER {
  bool bOwnFound = true;
  std::vector<Attr> own;
  std::vector<Feature> features;
  std::vector<std::string> log;
  const VRO_FEATURE_ID* pIdsBase = nullptr;
  std::size_t nNext = 0;
  const std::vector<Attr>* pSel = nullptr;
  std::size_t nAttr = 0;
};

int VroFeatureOneAttr(VRO_READER* h, const VRO_FEATURE_ID& id, int nArg, char* szCode, char* szStr1,
                      char* szStr2) {
  h->log.push_back("OneAttr " + std::to_string(id.dw[0]) + " " + std::to_string(nArg));
  PutText(szCode, 6, "own");
  PutText(szStr1, 21, "x");
  PutText(szStr2, 301, "y");
  h->pSel = h->bOwnFound ? &h->own : nullptr;
  h->nAttr = 0;
  return h->bOwnFound ? 1 : 0;
}

int VroReaderNextAttr(VRO_READER* h, char* szCode, char* szStr1, char* szStr2) {
  if (h->pSel == nullptr || h->nAttr >= h->pSel->size()) {
    h->log.push_back("NextAttr end");
    return 0;
  }
  const Attr& a = (*h->pSel)[h->nAttr++];
  h->log.push_back("NextAttr " + a.name);
  PutText(szCode, 6, a.code);
  PutText(szStr1, 21, a.name);
  PutText(szStr2, 301, a.value);
  return 1;
}

int VroReaderPriLimit(VRO_READER* h, char cPri1, char cPri2) {
  h->log.push_back(std::string("Pri ") + cPri1 + cPri2);
  return 1;
}

int VroReaderCatLimit(VRO_READER* h, char cCat, const char* szCats) {
  h->log.push_back(std::string("Cat ") + cCat + " [" + szCats + "]");
  return 1;
}

int VroReaderRectLimit(VRO_READER* h, const Bin_LonLat& p1, const Bin_LonLat& p2) {
  h->log.push_back("Rect " + std::to_string(p1.lon) + "," + std::to_string(p1.lat) + " " +
                   std::to_string(p2.lon) + "," + std::to_string(p2.lat));
  return 1;
}

int VroReaderReset(VRO_READER* h, const char* szArg, int nArg) {
  h->log.push_back(std::string("Reset ") + (szArg == nullptr ? "null" : szArg) + " " +
                   std::to_string(nArg));
  h->nNext = 0;
  return 1;
}

int VroReaderNextFeature(VRO_READER* h, char* szCode, char* szStr1, char* szStr2,
                         VRO_FEATURE_ID& id, Bin_LonLat*& pPts) {
  const std::string slot = h->pIdsBase != nullptr ? std::to_string(&id - h->pIdsBase) : "?";
  if (h->nNext >= h->features.size()) {
    h->log.push_back("Next " + slot + " end");
    return 0;
  }
  Feature& f = h->features[h->nNext++];
  h->log.push_back("Next " + slot + " " + std::to_string(f.id.dw[0]));
  PutText(szCode, 6, f.code);
  PutText(szStr1, 21, "R5");
  PutText(szStr2, 301, "Name");
  id = f.id;
  pPts = f.pts.data();
  h->pSel = &f.attrs;
  h->nAttr = 0;
  return static_cast<int>(f.pts.size());
}

// Word 3 is a direction flag that does not make another feature.
int VroReaderIsSameFeature(VRO_READER* h, const VRO_FEATURE_ID& a, const VRO_FEATURE_ID& b) {
  h->log.push_back("Same " + std::to_string(a.dw[0]) + " " + std::to_string(b.dw[0]));
  return a.dw[0] == b.dw[0] && a.dw[1] == b.dw[1] && a.dw[2] == b.dw[2] ? 1 : 0;
}

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

// The junction at 13 E, 52 N; map points around it in reader units.
constexpr std::int32_t kLon = 1300000;
constexpr std::int32_t kLat = 5200000;
Bin_LonLat B(std::int32_t dx, std::int32_t dy) { return {kLon + dx, kLat + dy}; }

// A road leaving the junction in direction (dx, dy), digitised away from it
// (bAway) or towards it.
Feature Road(std::uint32_t n, std::int32_t dx, std::int32_t dy, bool bAway = true,
             const char* szCode = "00000") {
  Feature f{szCode, Id(n), {B(0, 0), B(dx, dy)}, {}};
  if (!bAway) {
    f.pts = {B(dx, dy), B(0, 0)};
  }
  return f;
}

// A match arriving eastward at the junction over the points given.
struct Arrival {
  std::vector<tagLonLat> pts = {{12.999, 52.0}, {13.0, 52.0}};
  NavGuid nav{};

  NavGuid& Guid() {
    nav.idEdge = Id(1);
    nav.wPtNum = static_cast<unsigned short>(pts.size());
    nav.pPts = pts.data();
    nav.ptEnd = pts.back();
    return nav;
  }
};

// Runs the operation into arrays of wMaxNum entries; the ids and angles found.
struct Result {
  int n = 0;
  std::vector<std::uint32_t> ids;
  std::vector<double> angles;
};

Result Cross(VRO_READER& r, const NavGuid& g, int bTurn, int bLevel, unsigned short wMax = 16,
             const char* szCat = nullptr) {
  std::vector<VRO_FEATURE_ID> ids(wMax);
  std::vector<double> angles(wMax, -99.0);
  r.pIdsBase = ids.data();
  Result res;
  res.n =
      CPath::GetCrossEdge(&r, g, ids.data(), angles.data(), wMax, bTurn, bLevel, szCat, '1', '7');
  for (int k = 0; k < res.n; ++k) {
    res.ids.push_back(ids[k].dw[0]);
    res.angles.push_back(angles[k]);
  }
  return res;
}

Attr Eid(std::uint32_t n) { return {"00000", "EID", std::to_string(n)}; }

TEST(CrossEdge, BadArgumentsCallNothing) {
  VRO_READER r;
  r.features = {Road(2, 100, 0)};
  Arrival a;
  NavGuid& g = a.Guid();
  VRO_FEATURE_ID ids[2];
  double angles[2] = {-5.0, -5.0};
  EXPECT_EQ(CPath::GetCrossEdge(nullptr, g, ids, angles, 2, 1, 1, nullptr, '1', '7'), 0);
  EXPECT_EQ(CPath::GetCrossEdge(&r, g, nullptr, angles, 2, 1, 1, nullptr, '1', '7'), 0);
  EXPECT_EQ(CPath::GetCrossEdge(&r, g, ids, nullptr, 2, 1, 1, nullptr, '1', '7'), 0);
  EXPECT_EQ(CPath::GetCrossEdge(&r, g, ids, angles, 0, 1, 1, nullptr, '1', '7'), 0);
  NavGuid one = g;
  one.wPtNum = 1;
  EXPECT_EQ(CPath::GetCrossEdge(&r, one, ids, angles, 2, 1, 1, nullptr, '1', '7'), 0);
  NavGuid nopts = g;
  nopts.pPts = nullptr;
  EXPECT_EQ(CPath::GetCrossEdge(&r, nopts, ids, angles, 2, 1, 1, nullptr, '1', '7'), 0);
  // A junction point no map point can have: not a number, or beyond 32 bits.
  for (double d : {std::numeric_limits<double>::quiet_NaN(), 1e300, -21474.84}) {
    NavGuid far = g;
    far.ptEnd.lon = d;
    EXPECT_EQ(CPath::GetCrossEdge(&r, far, ids, angles, 2, 1, 1, nullptr, '1', '7'), 0) << d;
  }
  EXPECT_TRUE(r.log.empty());
  EXPECT_EQ(angles[0], -5.0);
}

TEST(CrossEdge, CallsTheReaderInOrder) {
  VRO_READER r;
  r.own = {{"000-0", "LVL", "0"}, {"000-0", "TRN", "9"}};
  r.features = {Road(1, -100, 0, true, "000+0"), Road(2, 100, 0), Road(3, 0, 100, false)};
  r.features[1].attrs = {Eid(20), {"000+0", "LVL", "0"}};
  Arrival a;
  Result res = Cross(r, a.Guid(), 1, 1, 16, "12");
  EXPECT_EQ(res.n, 2);
  EXPECT_THAT(res.ids, ElementsAre(2u, 3u));
  EXPECT_THAT(r.log, ElementsAreArray<std::string>({
                         "OneAttr 1 0",  "NextAttr LVL", "NextAttr TRN",
                         "NextAttr end", "Pri 17",       "Cat 0 []",
                         "Cat 2 []",     "Cat 1 [12]",   "Rect 1299998,5199998 1300002,5200002",
                         "Reset null 1", "Next 0 1",     "Same 1 1",
                         "Next 0 2",     "Same 2 1",     "NextAttr EID",
                         "NextAttr LVL", "NextAttr end", "Next 1 3",
                         "Same 3 1",     "NextAttr end", "Next 2 end",
                     }));
}

TEST(CrossEdge, WithoutChecksReadsNoAttributes) {
  VRO_READER r;
  r.features = {Road(2, 100, 0, true, "000-0"), Road(3, 0, 100, true, "000-0")};
  r.features[0].attrs = {Eid(20)};
  Arrival a;
  Result res = Cross(r, a.Guid(), 0, 0);
  EXPECT_THAT(res.ids, ElementsAre(2u, 3u));
  for (const std::string& s : r.log) {
    EXPECT_EQ(s.rfind("NextAttr", 0), std::string::npos) << s;
    EXPECT_EQ(s.rfind("OneAttr", 0), std::string::npos) << s;
  }
}

TEST(CrossEdge, AnglesFromTheDirectionOfArrival) {
  VRO_READER r;
  // The arriving road itself, delivered with its direction flag set.
  Feature self = Road(1, -100, 0);
  self.id = Id(1, 1);
  r.features = {self,
                Road(2, 100, 0),
                Road(3, 0, 100),
                Road(4, 0, -100, false),
                Road(5, 100, 0, false),
                {"00000", Id(6), {B(1, 1), B(1, 100)}, {}},
                {"00000", Id(7), {B(0, 0), B(100, 0), B(100, 100), B(0, 0)}, {}}};
  Arrival a;
  Result res = Cross(r, a.Guid(), 0, 0);
  EXPECT_THAT(res.ids, ElementsAre(2u, 3u, 4u, 5u, 7u));
  EXPECT_THAT(res.angles, ElementsAre(0.0, 90.0, 270.0, 0.0, 0.0));

  // Arriving northward over three points: only the last segment counts.
  VRO_READER r2;
  r2.features = {Road(2, 100, 0), Road(3, -100, 0), Road(4, 0, -100), Road(5, 0, 100)};
  Arrival north;
  north.pts = {{12.0, 51.0}, {13.0, 51.999}, {13.0, 52.0}};
  res = Cross(r2, north.Guid(), 0, 0);
  EXPECT_THAT(res.angles, ElementsAre(270.0, 90.0, 180.0, 0.0));
}

TEST(CrossEdge, JunctionPointTruncatesTowardZero) {
  VRO_READER r;
  // -73.1234567 E, -40.0000099 N: -7312345.67 and -4000000.99 truncate to
  // -7312345 and -4000000.
  r.features = {{"00000", Id(2), {{-7312345, -4000000}, {-7312345, -3999000}}, {}},
                {"00000", Id(3), {{-7312346, -4000001}, {-7312346, -3999000}}, {}}};
  Arrival a;
  a.pts = {{-73.1234567, -40.1}, {-73.1234567, -40.0000099}};
  Result res = Cross(r, a.Guid(), 0, 0);
  EXPECT_THAT(res.ids, ElementsAre(2u));
  EXPECT_EQ(r.log[4], "Rect -7312347,-4000002 -7312343,-3999998");
}

TEST(CrossEdge, OneWayMarksRefuseRoadsIntoTheJunction) {
  VRO_READER r;
  r.bOwnFound = false;
  r.features = {Road(2, 100, 0, true, "000-0"),   Road(3, 0, 100, true, "000+0"),
                Road(4, 0, -100, false, "000+0"), Road(5, -100, 100, false, "000-0"),
                Road(6, 100, 100, true, "00000"), Road(7, -100, -100, true, "000-"),
                Road(8, 100, -100, true, "00")};
  Arrival a;
  // A code of two characters has no mark, whatever its buffer held before.
  EXPECT_THAT(Cross(r, a.Guid(), 1, 0).ids, ElementsAre(3u, 5u, 6u, 8u));
  EXPECT_THAT(Cross(r, a.Guid(), 0, 0).ids, ElementsAre(2u, 3u, 4u, 5u, 6u, 7u, 8u));
}

TEST(CrossEdge, TurnRestrictionListOfTheArrivingRoad) {
  VRO_READER r;
  r.own = {{"000-0", "TRN", "-$120;+$121;122;+123;7-9"},
           {"000+0", "TRN", "121;123"},  // the far end of the arriving road
           {"000-0", "TRN", ";$55;;"}};
  for (std::uint32_t n : {120u, 121u, 122u, 123u, 7u, 9u, 55u}) {
    r.features.push_back(Road(n, 100, static_cast<std::int32_t>(n)));
    r.features.back().attrs = {Eid(n)};
  }
  Arrival a;
  EXPECT_THAT(Cross(r, a.Guid(), 1, 1).ids, ElementsAre(121u, 123u, 7u, 9u));
  // The list is read only with the level check; the EID alone refuses nothing.
  EXPECT_THAT(Cross(r, a.Guid(), 1, 0).ids, ElementsAre(120u, 121u, 122u, 123u, 7u, 9u, 55u));
  // Without the turn check the list is read but not applied.
  EXPECT_THAT(Cross(r, a.Guid(), 0, 1).ids, ElementsAre(120u, 121u, 122u, 123u, 7u, 9u, 55u));
}

TEST(CrossEdge, RestrictionItemsWithoutNumberAreSkipped) {
  VRO_READER r;
  r.own = {{"000-0", "TRN", "$abc; x12;-$;+"}};
  // No EID: edge number 0, and EID texts that are no number stay 0.
  r.features = {Road(2, 100, 0), Road(3, 0, 100), Road(4, 0, -100)};
  r.features[1].attrs = {{"00000", "EID", "none"}};
  r.features[2].attrs = {Eid(12)};
  Arrival a;
  EXPECT_THAT(Cross(r, a.Guid(), 1, 1).ids, ElementsAre(2u, 3u, 4u));
}

TEST(CrossEdge, LevelsAtTheJunctionEnd) {
  VRO_READER r;
  r.own = {{"000+0", "LVL", "5"}, {"000-0", "LVL", "1"}};
  r.features = {Road(2, 100, 0), Road(3, 0, 100), Road(4, 0, -100, false), Road(5, -100, 100)};
  r.features[0].attrs = {{"000+0", "LVL", "1"}};
  r.features[1].attrs = {{"000-0", "LVL", "1"}};  // the far end: level 0 here
  r.features[2].attrs = {{"000-0", "LVL", "1"}, {"000+0", "LVL", "7"}};
  Arrival a;
  EXPECT_THAT(Cross(r, a.Guid(), 0, 1).ids, ElementsAre(2u, 4u));
  // Without the level check levels are ignored, even with the turn check.
  EXPECT_THAT(Cross(r, a.Guid(), 1, 0).ids, ElementsAre(2u, 3u, 4u, 5u));
  // No level anywhere: all match.
  VRO_READER plain;
  plain.features = {Road(2, 100, 0), Road(3, 0, 100)};
  EXPECT_THAT(Cross(plain, a.Guid(), 0, 1).ids, ElementsAre(2u, 3u));
  // The arriving road not found: its level is 0.
  r.bOwnFound = false;
  EXPECT_THAT(Cross(r, a.Guid(), 0, 1).ids, ElementsAre(3u, 5u));
}

TEST(CrossEdge, StopsWhenTheArraysAreFull) {
  VRO_READER r;
  r.features = {Road(2, 100, 0, true, "000-0"), Road(3, 0, 100), Road(4, 0, -100),
                Road(5, -100, 0)};
  Arrival a;
  Result res = Cross(r, a.Guid(), 1, 0, 1);
  EXPECT_THAT(res.ids, ElementsAre(3u));
  // No feature is asked for after the first one that passes.
  ASSERT_GE(r.log.size(), 3u);
  EXPECT_THAT(std::vector<std::string>(r.log.end() - 3, r.log.end()),
              ElementsAre("Next 0 3", "Same 3 1", "NextAttr end"));
}

TEST(CrossEdge, CategoryList) {
  Arrival a;
  VRO_READER r;
  Cross(r, a.Guid(), 0, 0, 4, nullptr);
  EXPECT_EQ(r.log[3], "Cat 1 [1234567]");
  VRO_READER r2;
  Cross(r2, a.Guid(), 0, 0, 4, "abcdefghij");
  EXPECT_EQ(r2.log[3], "Cat 1 [abcdefg]");
  VRO_READER r3;
  Cross(r3, a.Guid(), 0, 0, 4, "");
  EXPECT_EQ(r3.log[3], "Cat 1 []");
}

TEST(CrossEdge, SinglePointFeatureIsPassedOver) {
  VRO_READER r;
  r.features = {{"00000", Id(2), {B(0, 0)}, {Eid(2)}}, Road(3, 0, 100)};
  Arrival a;
  Result res = Cross(r, a.Guid(), 1, 1);
  EXPECT_THAT(res.ids, ElementsAre(3u));
  EXPECT_THAT(res.angles, ElementsAre(90.0));
}

TEST(CrossEdge, UnterminatedTextsEndAtTheirBuffer) {
  VRO_READER r;
  // A value of exactly 301 characters whose last item runs to its end.
  std::string list(298, ';');
  list += "-77";
  ASSERT_EQ(list.size(), 301u);
  std::string lvl = std::string(300, ' ') + "2";
  r.own = {{"000-00", "TRN", list}, {"000-00", "LVL", lvl}};
  r.features = {Road(2, 100, 0, true, "000-00"), Road(3, 0, 100, true, "000+00"), Road(77, 0, -100),
                Road(4, -100, 100)};
  r.features[1].attrs = {Eid(3), {"000+00", "LVL", lvl}};
  r.features[2].attrs = {Eid(77), {"000+00", "LVL", "2"}};
  // A name of 21 characters that begins with LVL is another name.
  r.features[3].attrs = {{"000+00", "LVL" + std::string(18, 'x'), "2"}};
  Arrival a;
  EXPECT_THAT(Cross(r, a.Guid(), 1, 1).ids, ElementsAre(3u));
}

}  // namespace
