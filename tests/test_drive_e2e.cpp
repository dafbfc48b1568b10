// `vxnav drive` end to end on the sample town: the map reader, the route
// engine, matching, guidance, junctions and rerouting together, with fixed
// seeds; GPX replays, also of recorded drives on real streets; the command
// line's errors and exit codes; the GeoJSON and SVG files read back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <pugixml.hpp>
#include <regex>
#include <sstream>

#include "JsonReader.h"
#include "drive/DriveSession.h"
#include "drive/Vxnav.h"
#include "interfaces/VroGeo.h"

using namespace vxdrive;

namespace {

const std::string kTown = std::string(VX_SOURCE_DIR) + "/data/sample-town.osm";

struct RunResult {
  int nExit = -1;
  std::string sOut;
  std::string sErr;
  DriveRecord record;
};

RunResult Run(const DriveOptions& opts) {
  RunResult r;
  std::ostringstream out;
  std::ostringstream err;
  r.nExit = RunDrive(opts, out, err, &r.record);
  r.sOut = out.str();
  r.sErr = err.str();
  return r;
}

RunResult Drive(DriveOptions opts) {
  opts.sMap = kTown;
  return Run(opts);
}

RunResult Cli(std::vector<std::string> args) {
  args.insert(args.begin(), "vxnav");
  std::vector<const char*> argv;
  for (const std::string& a : args) {
    argv.push_back(a.c_str());
  }
  RunResult r;
  std::ostringstream out;
  std::ostringstream err;
  r.nExit = RunVxnav(static_cast<int>(argv.size()), argv.data(), out, err);
  r.sOut = out.str();
  r.sErr = err.str();
  return r;
}

std::vector<std::string> Kinds(const DriveRecord& rec) {
  std::vector<std::string> kinds;
  for (const DriveEvent& e : rec.events) {
    kinds.push_back(LogKindName(e.kind));
  }
  return kinds;
}

// The texts of the events of one kind, in order.
std::vector<std::string> Texts(const DriveRecord& rec, const std::string& sKind) {
  std::vector<std::string> texts;
  for (const DriveEvent& e : rec.events) {
    if (LogKindName(e.kind) == sKind) {
      texts.push_back(e.sText);
    }
  }
  return texts;
}

std::vector<std::string> NowTexts(const DriveRecord& rec) {
  std::vector<std::string> now;
  for (const std::string& s : Texts(rec, "announce")) {
    if (s.rfind("Now ", 0) == 0) {
      now.push_back(s);
    }
  }
  return now;
}

std::size_t IndexOf(const std::vector<std::string>& v, const std::string& s, std::size_t from = 0) {
  const auto it =
      std::find(v.begin() + static_cast<std::ptrdiff_t>(std::min(from, v.size())), v.end(), s);
  return static_cast<std::size_t>(it - v.begin());
}

std::string TempPath(const std::string& sName) {
  return (std::filesystem::temp_directory_path() / ("vx_test_drive_e2e_" + sName)).string();
}

// Whether the route has the stretch a-b (either way) among its consecutive points.
bool HasStretch(const RecordedRoute& route, const tagLonLat& a, const tagLonLat& b) {
  for (std::size_t i = 1; i < route.pts.size(); ++i) {
    const tagLonLat& p = route.pts[i - 1];
    const tagLonLat& q = route.pts[i];
    const bool ab = SegmentLength(p, a) < 0.5 && SegmentLength(q, b) < 0.5;
    const bool ba = SegmentLength(p, b) < 0.5 && SegmentLength(q, a) < 0.5;
    if (ab || ba) {
      return true;
    }
  }
  return false;
}

// Replays trace sName of data/real over its map, from its first point to its last.
RunResult Replay(const std::string& sName, const std::string& sGpx = "") {
  const std::string sDir = std::string(VX_SOURCE_DIR) + "/data/real/";
  DriveOptions o;
  o.sMap = sDir + sName + ".osm";
  o.sGpx = sGpx.empty() ? sDir + sName + ".gpx" : sGpx;
  return Run(o);
}

// The events in order: each of the kind given, its text holding the part given.
void ExpectEvents(const RunResult& r,
                  const std::vector<std::pair<std::string, std::string>>& want) {
  ASSERT_EQ(r.record.events.size(), want.size()) << r.sOut;
  for (std::size_t i = 0; i < want.size(); ++i) {
    const DriveEvent& e = r.record.events[i];
    EXPECT_EQ(LogKindName(e.kind), want[i].first) << "event " << i << "\n" << r.sOut;
    EXPECT_NE(e.sText.find(want[i].second), std::string::npos) << e.sText;
  }
}

}  // namespace

TEST(DriveEndToEnd, CleanDriveAnnouncesEveryManoeuvreAndArrives) {
  const RunResult r = Drive({});
  ASSERT_EQ(r.nExit, 0) << r.sOut << r.sErr;
  const std::vector<std::string> kinds = Kinds(r.record);
  ASSERT_FALSE(kinds.empty());
  EXPECT_EQ(kinds.front(), "route");
  EXPECT_EQ(kinds.back(), "arrive");
  EXPECT_EQ(IndexOf(kinds, "off-route"), kinds.size()) << r.sOut;
  EXPECT_EQ(IndexOf(kinds, "reroute"), kinds.size());
  EXPECT_EQ(r.record.routes.size(), 1u);
  // Straight through the roundabout: the exit is counted from the entry,
  // and again from within, where the southern exit still lies ahead.
  EXPECT_EQ(NowTexts(r.record),
            (std::vector<std::string>{
                "Now turn right onto Marktstraße",
                "Now enter the roundabout and take the 2nd exit onto Marktstraße",
                "Now take the 2nd exit onto Marktstraße", "Now turn left onto Brückenstraße"}))
      << r.sOut;
  // Every "Now" is followed by the junction's roads, the route's among them.
  const std::vector<std::string> junctions = Texts(r.record, "junction");
  ASSERT_EQ(junctions.size(), 4u);
  for (const std::string& j : junctions) {
    EXPECT_NE(j.find(", the route)"), std::string::npos) << j;
  }
  EXPECT_NE(junctions[0].find("3 roads leave the junction"), std::string::npos) << junctions[0];
  // Before each "Now" of a turn its distance was announced, once.
  const std::vector<std::string> said = Texts(r.record, "announce");
  EXPECT_EQ(std::count(said.begin(), said.end(), "Now turn left onto Brückenstraße"), 1);
  EXPECT_NE(std::find_if(said.begin(), said.end(),
                         [](const std::string& s) {
                           return s.rfind("In ", 0) == 0 &&
                                  s.find("turn left onto Brückenstraße") != std::string::npos;
                         }),
            said.end());
  EXPECT_EQ(std::count_if(said.begin(), said.end(),
                          [](const std::string& s) {
                            return s.find("you reach your destination") != std::string::npos;
                          }),
            1);
  // One fix a second, each on the route, the last one arrived.
  ASSERT_FALSE(r.record.fixes.empty());
  EXPECT_EQ(r.record.fixes.back().state, vxnav::RouteState::kArrived);
  for (std::size_t i = 0; i < r.record.fixes.size(); ++i) {
    EXPECT_EQ(r.record.fixes[i].dTime, static_cast<double>(i));
    EXPECT_NE(r.record.fixes[i].state, vxnav::RouteState::kOffRoute) << i;
  }
  // The log has one line per event, no fixes without --verbose.
  EXPECT_EQ(std::count(r.sOut.begin(), r.sOut.end(), '\n'),
            static_cast<long>(r.record.events.size()) + 1);
  EXPECT_TRUE(r.sErr.empty()) << r.sErr;
}

TEST(DriveEndToEnd, SameSeedSameDriveOtherSeedOtherFixes) {
  DriveOptions o;
  o.nSeed = 7;
  const RunResult a = Drive(o);
  const RunResult b = Drive(o);
  o.nSeed = 8;
  const RunResult c = Drive(o);
  EXPECT_EQ(a.sOut, b.sOut);
  ASSERT_FALSE(a.record.fixes.empty());
  ASSERT_FALSE(c.record.fixes.empty());
  EXPECT_NE(a.record.fixes[5].pt.lon, c.record.fixes[5].pt.lon);
  EXPECT_EQ(c.nExit, 0);
}

TEST(DriveEndToEnd, MissedTurnGoesOffRouteAfterThreeFixesAndReroutes) {
  DriveOptions o;
  o.nMissTurn = 4;  // the left turn onto Brückenstraße
  const RunResult r = Drive(o);
  ASSERT_EQ(r.nExit, 0) << r.sOut << r.sErr;
  const std::vector<std::string> kinds = Kinds(r.record);
  const std::size_t iMiss = IndexOf(kinds, "drive");
  const std::size_t iOff = IndexOf(kinds, "off-route");
  const std::size_t iReroute = IndexOf(kinds, "reroute");
  ASSERT_LT(iMiss, kinds.size()) << r.sOut;
  EXPECT_NE(r.record.events[iMiss].sText.find("misses manoeuvre 4 (turn left onto Brückenstraße)"),
            std::string::npos)
      << r.record.events[iMiss].sText;
  ASSERT_LT(iMiss, iOff) << r.sOut;
  ASSERT_EQ(iReroute, iOff + 1);
  EXPECT_EQ(kinds[iReroute + 1], "route");
  EXPECT_EQ(kinds.back(), "arrive");
  EXPECT_EQ(r.record.routes.size(), 2u);
  // Exactly the three fixes before the reroute were off the route: one is not enough.
  const double tOff = r.record.events[iOff].dTime;
  std::size_t iFix = 0;
  while (r.record.fixes[iFix].dTime < tOff) {
    ++iFix;
  }
  const vxnav::RouteState kOff = vxnav::RouteState::kOffRoute;
  EXPECT_EQ(r.record.fixes[iFix].state, kOff);
  EXPECT_EQ(r.record.fixes[iFix - 1].state, kOff);
  EXPECT_EQ(r.record.fixes[iFix - 2].state, kOff);
  EXPECT_NE(r.record.fixes[iFix - 3].state, kOff);
  // The new route starts near where the vehicle left the old one.
  EXPECT_LT(SegmentLength(r.record.routes[1].pts.front(), r.record.fixes[iFix].pt), 30.0);
}

TEST(DriveEndToEnd, ClosureRoutesAroundTheClosedRoad) {
  DriveOptions o;
  o.dClosure = 500;
  const RunResult r = Drive(o);
  ASSERT_EQ(r.nExit, 0) << r.sOut << r.sErr;
  const std::vector<std::string> kinds = Kinds(r.record);
  ASSERT_GE(kinds.size(), 3u);
  EXPECT_EQ(kinds[0], "route");
  EXPECT_EQ(kinds[1], "closure");
  EXPECT_EQ(kinds[2], "route");
  EXPECT_EQ(r.record.events[1].sText,
            "Road closed 500 m ahead on Marktstraße: the route goes around it");
  EXPECT_EQ(kinds.back(), "arrive");
  ASSERT_EQ(r.record.closures.size(), 1u);
  ASSERT_EQ(r.record.routes.size(), 2u);
  const std::vector<tagLonLat>& closed = r.record.closures[0].pts;
  ASSERT_GE(closed.size(), 2u);
  EXPECT_TRUE(HasStretch(r.record.routes[0], closed[0], closed[1]));
  EXPECT_FALSE(HasStretch(r.record.routes[1], closed[0], closed[1]));
  // The vehicle drove the new route: no fix was off it.
  for (const RecordedFix& f : r.record.fixes) {
    EXPECT_NE(f.state, vxnav::RouteState::kOffRoute) << f.dTime;
  }
}

TEST(DriveEndToEnd, ClosureAtTheVehicleAndBeyondTheDestination) {
  DriveOptions o;
  o.dClosure = 0;
  const RunResult here = Drive(o);
  // Bachstraße is one way, so the route cannot turn back on it: it starts
  // on the nearest open road and never drives the closed one.
  EXPECT_EQ(
      Texts(here.record, "closure"),
      std::vector<std::string>{"Road closed right ahead on Bachstraße: the route goes around it"});
  ASSERT_EQ(here.record.closures.size(), 1u);
  ASSERT_EQ(here.record.routes.size(), 2u);
  const std::vector<tagLonLat>& closed = here.record.closures[0].pts;
  ASSERT_GE(closed.size(), 2u);
  EXPECT_FALSE(HasStretch(here.record.routes[1], closed[0], closed[1]));
  EXPECT_EQ(Kinds(here.record).back(), "arrive");
  o.dClosure = 100000;
  const RunResult beyond = Drive(o);
  EXPECT_EQ(beyond.nExit, 0);
  EXPECT_EQ(beyond.record.routes.size(), 1u);
  EXPECT_EQ(Texts(beyond.record, "closure"),
            std::vector<std::string>{"No closure: the route ends before 100 km"});
}

TEST(DriveEndToEnd, GpxReplayOfARecordedDrive) {
  // Record a drive, write it as GPX 1.1 (track) and 1.0 (route), replay both.
  DriveOptions o;
  o.nSeed = 3;
  const RunResult sim = Drive(o);
  ASSERT_EQ(sim.nExit, 0);
  const std::string s11 = TempPath("replay11.gpx");
  const std::string s10 = TempPath("replay10.gpx");
  {
    std::ofstream f11(s11);
    std::ofstream f10(s10);
    f11 << "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"test\" "
           "xmlns=\"http://www.topografix.com/GPX/1/1\"><trk><trkseg>\n";
    f10 << "<gpx version=\"1.0\"><rte>\n";
    for (const RecordedFix& fix : sim.record.fixes) {
      char sz[200];
      // The second half recorded with a clock set back by 7 minutes.
      const int nHalf = static_cast<int>(sim.record.fixes.size() / 2);
      const int s = static_cast<int>(fix.dTime) + (fix.dTime >= nHalf ? 3600 - 420 : 3600);
      std::snprintf(
          sz, sizeof sz,
          "<trkpt lat=\"%.7f\" lon=\"%.7f\"><time>2024-05-01T%02d:%02d:%02dZ</time></trkpt>\n",
          fix.pt.lat, fix.pt.lon, s / 3600, s / 60 % 60, s % 60);
      f11 << sz;
      std::snprintf(sz, sizeof sz, "<rtept lat=\"%.7f\" lon=\"%.7f\"/>\n", fix.pt.lat, fix.pt.lon);
      f10 << sz;
    }
    f11 << "</trkseg></trk></gpx>\n";
    f10 << "</rte></gpx>\n";
  }
  for (const std::string& file : {s11, s10}) {
    DriveOptions g;
    g.sGpx = file;
    const RunResult r = Drive(g);
    EXPECT_EQ(r.nExit, 0) << r.sErr;
    EXPECT_EQ(Kinds(r.record).back(), "arrive") << r.sOut;
    EXPECT_EQ(NowTexts(r.record), NowTexts(sim.record)) << file;
    // Times in the log never go back; the jump is noted where it happened.
    for (std::size_t i = 1; i < r.record.events.size(); ++i) {
      EXPECT_GE(r.record.events[i].dTime, r.record.events[i - 1].dTime) << r.sOut;
    }
    EXPECT_EQ(Texts(r.record, "note"),
              file == s11
                  ? std::vector<std::string>{"GPX point " +
                                             std::to_string(sim.record.fixes.size() / 2 + 1) +
                                             " was recorded 419 s before the point before "
                                             "it: taken as 1 s after it"}
                  : std::vector<std::string>{});
    EXPECT_NEAR(static_cast<double>(r.record.fixes.size()),
                static_cast<double>(sim.record.fixes.size()), 2.0);
  }
  std::filesystem::remove(s11);
  std::filesystem::remove(s10);
}

TEST(DriveEndToEnd, GpxThatStopsShortEndsWithoutArriving) {
  const std::string file = TempPath("short.gpx");
  std::ofstream(file) << "<gpx version=\"1.1\"><trk><trkseg>"
                         "<trkpt lat=\"52.4975\" lon=\"13.3955\"/>"
                         "<trkpt lat=\"52.4977\" lon=\"13.3955\"/>"
                         "</trkseg></trk></gpx>";
  DriveOptions g;
  g.sGpx = file;
  g.bToGiven = true;
  g.ptTo = {13.4045, 52.5030};
  const RunResult r = Drive(g);
  EXPECT_EQ(r.nExit, 0) << r.sErr;
  EXPECT_EQ(Kinds(r.record).back(), "end");
  EXPECT_NE(r.record.events.back().sText.find("from the destination"), std::string::npos);
  std::filesystem::remove(file);
}

TEST(DriveEndToEnd, OutputsReadBack) {
  const std::string sJson = TempPath("out.geojson");
  const std::string sSvg = TempPath("out.svg");
  DriveOptions o;
  o.nMissTurn = 2;
  o.dClosure = 500;
  o.sGeoJson = sJson;
  o.sSvg = sSvg;
  const RunResult r = Drive(o);
  ASSERT_EQ(r.nExit, 0) << r.sErr;
  EXPECT_NE(r.sOut.find("GeoJSON written to " + sJson), std::string::npos);
  EXPECT_NE(r.sOut.find("SVG written to " + sSvg), std::string::npos);
  std::ifstream in(sJson);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Json doc;
  ASSERT_NO_THROW(doc = JsonParser(text).ParseDocument());
  EXPECT_EQ(doc["type"].Str(), "FeatureCollection");
  std::map<std::string, std::size_t> kinds;
  for (const auto& f : doc["features"].Arr()) {
    const Json& g = (*f)["geometry"];
    const std::string& type = g["type"].Str();
    EXPECT_TRUE(type == "Point" || type == "LineString") << type;
    if (type == "LineString") {
      EXPECT_GE(g["coordinates"].Arr().size(), 2u);
    }
    ++kinds[(*f)["properties"]["kind"].Str()];
  }
  EXPECT_EQ(kinds["route"], r.record.routes.size());
  // The closed road stays closed for the reroute after the missed turn.
  const std::vector<tagLonLat>& closed = r.record.closures.at(0).pts;
  EXPECT_FALSE(HasStretch(r.record.routes.back(), closed[0], closed[1]));
  EXPECT_GE(kinds["route"], 3u);  // planned, around the closure, after the missed turn
  EXPECT_EQ(kinds["closure"], 1u);
  EXPECT_EQ(kinds["fix"], r.record.fixes.size());
  EXPECT_EQ(kinds["match"], r.record.fixes.size());
  EXPECT_EQ(kinds["manoeuvre"], r.record.manoeuvres.size());
  EXPECT_GE(kinds["event"], 4u);
  pugi::xml_document svg;
  ASSERT_TRUE(svg.load_file(sSvg.c_str()));
  // The town's roads in grey beside the three routes and the closure.
  EXPECT_GT(svg.select_nodes("//polyline").size(), 40u);
  EXPECT_EQ(svg.select_nodes("//polyline[@stroke='#d01010']").size(), 1u);
  std::filesystem::remove(sJson);
  std::filesystem::remove(sSvg);
}

TEST(DriveCommandLine, ExitCodesAndMessages) {
  RunResult r = Cli({});
  EXPECT_EQ(r.nExit, 2);
  EXPECT_NE(r.sErr.find("usage: vxnav COMMAND"), std::string::npos);
  r = Cli({"help"});
  EXPECT_EQ(r.nExit, 0);
  EXPECT_NE(r.sOut.find("vxnav drive"), std::string::npos);
  r = Cli({"fly"});
  EXPECT_EQ(r.nExit, 2);
  EXPECT_NE(r.sErr.find("unknown command fly"), std::string::npos);
  r = Cli({"drive", "--speed", "3"});
  EXPECT_EQ(r.nExit, 2);
  EXPECT_NE(r.sErr.find("unknown option --speed"), std::string::npos);
  EXPECT_NE(r.sErr.find("usage: vxnav drive"), std::string::npos);
  r = Cli({"drive", "--from", "north"});
  EXPECT_EQ(r.nExit, 2);
  r = Cli({"drive", "--help"});
  EXPECT_EQ(r.nExit, 0);
  EXPECT_NE(r.sOut.find("--closure METRES"), std::string::npos);
  r = Cli({"guidance"});
  EXPECT_EQ(r.nExit, 0);
  EXPECT_NE(r.sOut.find("Station Road"), std::string::npos);
  EXPECT_NE(r.sOut.find("90.0  Elm Street"), std::string::npos) << r.sOut;
  EXPECT_NE(r.sOut.find("(destination)"), std::string::npos);
  EXPECT_EQ(Cli({"guidance", "x"}).nExit, 2);
}

TEST(DriveCommandLine, BadMapsAndGpxFilesAreRefusedWithExitTwo) {
  RunResult r = Cli({"drive", "--map", "/nonexistent/town.osm"});
  EXPECT_EQ(r.nExit, 2);
  EXPECT_NE(r.sErr.find("/nonexistent/town.osm does not exist"), std::string::npos) << r.sErr;
  const std::string notOsm = TempPath("not-osm.osm");
  std::ofstream(notOsm) << "this is not a map\n";
  r = Cli({"drive", "--map", notOsm});
  EXPECT_EQ(r.nExit, 2);
  EXPECT_NE(r.sErr.find(notOsm + ": not a usable OpenStreetMap file"), std::string::npos) << r.sErr;
  r = Cli({"drive", "--map", std::filesystem::temp_directory_path().string()});
  EXPECT_EQ(r.nExit, 2);
  EXPECT_NE(r.sErr.find("is a directory"), std::string::npos) << r.sErr;
  const std::string badGpx = TempPath("bad.gpx");
  std::ofstream(badGpx) << "<gpx version=\"1.1\"><trk><trkseg><trkpt lat=\"x\" lon=\"1\"/>"
                           "</trkseg></trk></gpx>";
  r = Cli({"drive", "--map", kTown, "--gpx", badGpx});
  EXPECT_EQ(r.nExit, 2);
  EXPECT_NE(r.sErr.find(badGpx + ": line 1: trkpt without a valid lat"), std::string::npos)
      << r.sErr;
  r = Cli({"drive", "--map", kTown, "--svg", "/nonexistent/dir/x.svg"});
  EXPECT_EQ(r.nExit, 2);
  EXPECT_NE(r.sErr.find("cannot write /nonexistent/dir/x.svg"), std::string::npos) << r.sErr;
  std::filesystem::remove(notOsm);
  std::filesystem::remove(badGpx);
}

TEST(DriveCommandLine, NoRouteBetweenFarPointsIsExitOne) {
  DriveOptions o;
  o.bFromGiven = o.bToGiven = true;
  o.ptFrom = {13.40, 52.50};
  o.ptTo = {-70.0, -33.0};
  const RunResult r = Drive(o);
  EXPECT_EQ(r.nExit, 1) << r.sOut;
  EXPECT_NE(r.sErr.find("no route"), std::string::npos) << r.sErr;
}

TEST(DriveEndToEnd, VerboseLogsEveryFix) {
  DriveOptions o;
  o.bVerbose = true;
  const RunResult r = Drive(o);
  const std::vector<std::string> fixes = Texts(r.record, "fix");
  ASSERT_EQ(fixes.size(), r.record.fixes.size());
  EXPECT_NE(fixes[0].find(": on the route, "), std::string::npos) << fixes[0];
  EXPECT_NE(fixes[0].find("m from its match on Bachstraße"), std::string::npos) << fixes[0];
  EXPECT_NE(fixes.back().find(": arrived, "), std::string::npos) << fixes.back();
  // The events other than fixes are those of a quiet run.
  const RunResult quiet = Drive({});
  EXPECT_EQ(r.record.events.size() - fixes.size(), quiet.record.events.size());
}

// A driver in Novi Sad keeps to Милана Видака where the route turns right:
// three fixes off the route, a new route, the junction where it turns left,
// and arrival. One fix a minute, at the recorded times.
TEST(DriveReplay, NoviSadOffTheRouteAndBack) {
  const RunResult r = Replay("novi-sad");
  ASSERT_EQ(r.nExit, 0) << r.sErr;
  ExpectEvents(r, {{"route", "Route planned: 850 m"},
                   {"announce", "Continue for 300 m"},
                   {"announce", "turn right onto Футошки вашар"},
                   {"announce", "turn left onto Здравка Челара"},
                   {"off-route", "3 fixes"},
                   {"reroute", ""},
                   {"route", "New route: 350 m"},
                   {"announce", "In 90 m turn left onto Здравка Челара"},
                   {"announce", "Now turn left onto Здравка Челара"},
                   {"junction",
                    "at Бранка Радичевића: 3 roads leave the junction: Здравка Челара (left 107°, "
                    "the route), Здравка Челара (right 286°), Бранка Радичевића (straight 359°)"},
                   {"announce", "In 200 m you reach your destination"},
                   {"arrive", ""}});
  EXPECT_EQ(r.record.events[4].dTime, 420.0);
  EXPECT_EQ(r.record.fixes.size(), 17u);
}

// In Kadıköy the route starts (in the trace's direction) just before a fork
// of two unnamed roads and keeps left; every fix lies on the route up to arrival. All 29 points
// carry one time stamp, so every event is logged at 0 s; nothing else depends on the stamps:
// without them the drive says the same.
TEST(DriveReplay, KadikoyForkAtTheStartThenOnToTheEnd) {
  const RunResult r = Replay("istanbul-kadikoy");
  ASSERT_EQ(r.nExit, 0) << r.sErr;
  ExpectEvents(r, {{"route", "Route planned: 250 m"},
                   {"announce", "Now turn left"},
                   {"junction",
                    "2 roads leave the junction: unnamed road (left 49°, the route), unnamed road "
                    "(slight right 328°)"},
                   {"announce", "Continue for 250 m"},
                   {"announce", "In 200 m you reach your destination"},
                   {"arrive", ""}});
  ASSERT_FALSE(r.record.fixes.empty());
  for (const RecordedFix& f : r.record.fixes) EXPECT_NE(f.state, vxnav::RouteState::kOffRoute);
  EXPECT_EQ(r.record.fixes.back().state, vxnav::RouteState::kArrived);
  std::ifstream in(std::string(VX_SOURCE_DIR) + "/data/real/istanbul-kadikoy.gpx");
  const std::string sGpx((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string sUntimed = TempPath("untimed.gpx");
  std::ofstream(sUntimed) << std::regex_replace(sGpx, std::regex("<time>[^<]*</time>"), "");
  const RunResult untimed = Replay("istanbul-kadikoy", sUntimed);
  ASSERT_EQ(untimed.record.events.size(), r.record.events.size());
  for (std::size_t i = 0; i < r.record.events.size(); ++i) {
    EXPECT_EQ(untimed.record.events[i].kind, r.record.events[i].kind);
    EXPECT_EQ(untimed.record.events[i].sText, r.record.events[i].sText);
  }
  std::filesystem::remove(sUntimed);
}
