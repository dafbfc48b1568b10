// The drive simulator: GPX reading, options, manoeuvre classes and texts,
// announcements, noise, the simulated vehicle and driver, and the GeoJSON and SVG
// outputs read back.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <pugixml.hpp>
#include <random>
#include <sstream>
#include <thread>
#include <variant>

#include "JsonReader.h"
#include "drive/DriveOptions.h"
#include "drive/DriveSession.h"
#include "drive/GeoJson.h"
#include "drive/Gpx.h"
#include "drive/GpxFixes.h"
#include "drive/LabelPlacer.h"
#include "drive/MapRoads.h"
#include "drive/Noise.h"
#include "drive/Progress.h"
#include "drive/SimulatedDriver.h"
#include "drive/Svg.h"
#include "drive/Utf8.h"
#include "drive/Vehicle.h"
#include "interfaces/VroGeo.h"
#include "nav/Navigator.h"
#include "tests/SketchMap.h"

using namespace vxdrive;

namespace {

GpxTrack ParseOk(const std::string& text) {
  GpxTrack t;
  std::string err;
  EXPECT_TRUE(ParseGpx(text, t, err)) << err;
  return t;
}

std::string ParseError(const std::string& text) {
  GpxTrack t;
  std::string err;
  EXPECT_FALSE(ParseGpx(text, t, err));
  return err;
}

const char* kGpx11 = R"(<?xml version="1.0" encoding="UTF-8"?>
<gpx version="1.1" creator="test" xmlns="http://www.topografix.com/GPX/1/1">
  <rte><rtept lat="1" lon="2"/></rte>
  <trk><name>morning</name>
    <trkseg>
      <trkpt lat="52.5" lon="13.4"><time>2024-05-01T10:00:00Z</time></trkpt>
      <trkpt lat="52.5001" lon="13.4002"><time>2024-05-01T10:00:01.5Z</time></trkpt>
    </trkseg>
    <trkseg><trkpt lat="-33.9" lon="-70.5"/></trkseg>
  </trk>
</gpx>)";

}  // namespace

// ---------------------------------------------------------------- GPX

TEST(DriveGpx, Version11TrackSegmentsInOrderAndRoutesIgnored) {
  const GpxTrack t = ParseOk(kGpx11);
  EXPECT_EQ(t.sVersion, "1.1");
  EXPECT_FALSE(t.bFromRoute);
  ASSERT_EQ(t.points.size(), 3u);
  EXPECT_DOUBLE_EQ(t.points[0].pt.lon, 13.4);
  EXPECT_DOUBLE_EQ(t.points[0].pt.lat, 52.5);
  EXPECT_DOUBLE_EQ(t.points[1].pt.lon, 13.4002);
  EXPECT_TRUE(t.points[1].bHasTime);
  EXPECT_DOUBLE_EQ(t.points[1].dTime - t.points[0].dTime, 1.5);
  EXPECT_DOUBLE_EQ(t.points[2].pt.lat, -33.9);
  EXPECT_FALSE(t.points[2].bHasTime);
}

TEST(DriveGpx, Version10RouteWithCourseAndPrefixedNames) {
  const GpxTrack t =
      ParseOk(R"(<gpx:gpx xmlns:gpx="http://www.topografix.com/GPX/1/0" version="1.0">
    <gpx:rte><gpx:rtept lat=" 10.25 " lon="+20"><gpx:course>359.5</gpx:course></gpx:rtept>
    <gpx:rtept lat="10.3" lon="20.1"><gpx:course>360</gpx:course></gpx:rtept></gpx:rte></gpx:gpx>)");
  EXPECT_EQ(t.sVersion, "1.0");
  EXPECT_TRUE(t.bFromRoute);
  ASSERT_EQ(t.points.size(), 2u);
  EXPECT_DOUBLE_EQ(t.points[0].pt.lat, 10.25);
  EXPECT_DOUBLE_EQ(t.points[0].pt.lon, 20.0);
  EXPECT_TRUE(t.points[0].bHasCourse);
  EXPECT_DOUBLE_EQ(t.points[0].dCourse, 359.5);
  EXPECT_DOUBLE_EQ(t.points[1].dCourse, 0.0);
}

TEST(DriveGpx, VersionFromNamespaceWhenAttributeMissing) {
  EXPECT_EQ(ParseOk(R"(<gpx xmlns="http://www.topografix.com/GPX/1/1"><trk><trkseg>
    <trkpt lat="1" lon="1"/></trkseg></trk></gpx>)")
                .sVersion,
            "1.1");
}

TEST(DriveGpx, BrokenFilesRefusedWithTheProblem) {
  const std::string g = "<gpx version=\"1.1\">";
  const std::pair<std::string, std::string> cases[] = {
      {"", "line 1: not well-formed XML"},
      {g + "\n<trk>\n<trkseg>\n</trk></gpx>", "line 4: not well-formed XML"},
      {"<kml version=\"1.1\"/>", "not a GPX file"},
      {"<gpx version=\"2.0\"><rte><rtept lat=\"1\" lon=\"1\"/></rte></gpx>",
       "\"2.0\" is not supported"},
      {"<gpx><rte><rtept lat=\"1\" lon=\"1\"/></rte></gpx>", "without a version"},
      {g + "<trk/></gpx>", "no track or route points"},
      {g + "\n<rte>\n<rtept lon=\"1\"/></rte></gpx>", "line 3: rtept without a valid lat"},
      {g + "<rte><rtept lat=\"91\" lon=\"1\"/></rte></gpx>", "valid lat attribute (\"91\")"},
      {g + "<rte><rtept lat=\"12x\" lon=\"1\"/></rte></gpx>", "valid lat"},
      {g + "<rte><rtept lat=\"1\" lon=\"1e400\"/></rte></gpx>", "valid lon"},
      {g + "<rte><rtept lat=\"1\" lon=\"1\"><time>noon</time></rtept></rte></gpx>",
       "time \"noon\""},
      {g + "<rte><rtept lat=\"1\" lon=\"1\"><course>400</course></rtept></rte></gpx>", "course"},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_NE(ParseError(text).find(expected), std::string::npos) << text;
  }
}

TEST(DriveGpx, FileErrorsNameTheFile) {
  GpxTrack t;
  std::string err;
  EXPECT_FALSE(ReadGpxFile("/nonexistent/drive.gpx", t, err));
  EXPECT_EQ(err.rfind("/nonexistent/drive.gpx: ", 0), 0u) << err;
  const auto dir = std::filesystem::temp_directory_path();
  EXPECT_FALSE(ReadGpxFile(dir.string(), t, err));
  EXPECT_NE(err.find("directory"), std::string::npos);
  const auto file = dir / "vx_test_drive_broken.gpx";
  std::ofstream(file) << "<gpx version=\"1.1\"><trk><trkseg><trkpt lat=\"1\"";
  EXPECT_FALSE(ReadGpxFile(file.string(), t, err));
  EXPECT_EQ(err.rfind(file.string() + ": line 1: not well-formed XML", 0), 0u) << err;
  std::ofstream(file) << kGpx11;
  EXPECT_TRUE(ReadGpxFile(file.string(), t, err)) << err;
  EXPECT_EQ(t.points.size(), 3u);
  std::filesystem::remove(file);
}

TEST(DriveGpx, IsoTimes) {
  double d = -1;
  ASSERT_TRUE(ParseIsoTime("1970-01-01T00:00:00Z", d));
  EXPECT_EQ(d, 0.0);
  ASSERT_TRUE(ParseIsoTime("2024-05-01T10:00:00Z", d));
  EXPECT_EQ(d, 1714557600.0);
  ASSERT_TRUE(ParseIsoTime("2024-05-01T12:00:00+02:00", d));
  EXPECT_EQ(d, 1714557600.0);
  ASSERT_TRUE(ParseIsoTime("2000-02-29T23:59:59.25", d));
  EXPECT_EQ(d, 951868799.25);
  ASSERT_TRUE(ParseIsoTime("1969-12-31T23:59:59Z", d));
  EXPECT_EQ(d, -1.0);
  // Days the calendar does not have are refused, not rolled into the next month.
  for (const char* bad :
       {"2024-13-01T00:00:00Z", "2024-05-01", "2024-05-01T10:00:00Zjunk", "2024-05-01T24:00:00Z",
        "2024-05-01T10:00:00+2:00", "2023-02-29T10:00:00Z", "1900-02-29T00:00:00Z",
        "2024-04-31T00:00:00Z", "2024-06-00T00:00:00Z"}) {
    EXPECT_FALSE(ParseIsoTime(bad, d)) << bad;
  }
}

TEST(DriveGpx, SpeedAndAccuracyFromHdopOrAnAccuracyElement) {
  const GpxTrack t = ParseOk(R"(<gpx version="1.0"><trk><trkseg>
    <trkpt lat="52.5" lon="13.4"><speed>12.5</speed><hdop>1.6</hdop></trkpt>
    <trkpt lat="52.5" lon="13.4"><hdop>3</hdop><extensions><accuracy>4.5</accuracy></extensions></trkpt>
    <trkpt lat="52.5" lon="13.4"/>
  </trkseg></trk></gpx>)");
  ASSERT_EQ(t.points.size(), 3u);
  EXPECT_TRUE(t.points[0].bHasSpeed);
  EXPECT_EQ(t.points[0].dSpeed, 12.5);
  EXPECT_DOUBLE_EQ(t.points[0].dAccuracy, 1.6 * kMetresPerHdop);
  EXPECT_EQ(t.points[1].dAccuracy, 4.5);  // the device's own figure wins
  EXPECT_FALSE(t.points[2].bHasSpeed);
  EXPECT_EQ(t.points[2].dAccuracy, -1.0);
  EXPECT_NE(ParseError("<gpx version=\"1.1\"><trk><trkseg><trkpt lat=\"1\" lon=\"2\">"
                       "<hdop>-1</hdop></trkpt></trkseg></trk></gpx>")
                .find("line 1: hdop \"-1\" is not a number from 0"),
            std::string::npos);
}

TEST(DriveGpx, FixTimesNeverGoBackAndTheStartHasADirection) {
  // 10:00:00, :01, :02, then 09:53:03 (7 minutes back), :04, a point without
  // a time, 09:53:06; each point 5.6 m north of the one before.
  GpxTrack t;
  const double dTimes[] = {0, 1, 2, -417, -416, NAN, -414};
  for (int i = 0; i < 7; ++i) {
    GpxPoint p{{13.4, 52.5 + 0.00005 * i},
               !std::isnan(dTimes[i]),
               1e9 + dTimes[i],
               false,
               0.0,
               false,
               0.0,
               5.0};
    t.points.push_back(p);
  }
  GpxFixes f = FixesOfGpx(t);
  std::string sTimes;
  for (const vxnav::Fix& fix : f.fixes) {
    sTimes += std::to_string(static_cast<int>(fix.dTime)) + " ";
  }
  EXPECT_EQ(sTimes, "0 1 2 3 4 5 6 ");
  EXPECT_EQ(f.backwards, std::vector<std::size_t>{3});
  EXPECT_EQ(f.backSeconds, std::vector<double>{419.0});
  EXPECT_NEAR(f.fixes[1].dHeading, 90.0, 1e-6);  // north, from the point before
  EXPECT_EQ(f.fixes[0].dHeading, -1.0);
  // The start: to the first point 10 m (two accuracies) away; a course first.
  EXPECT_NEAR(f.dStartHeading, 90.0, 1e-6);
  t.points[0].dAccuracy = 30.0;  // no point within reach lies 60 m away
  EXPECT_EQ(FixesOfGpx(t).dStartHeading, -1.0);
  t.points[0].bHasCourse = true;
  t.points[0].dCourse = 90.0;  // east
  EXPECT_NEAR(FixesOfGpx(t).dStartHeading, 0.0, 1e-9);
  t.points[0].bHasTime = false;  // untimed: a second apart
  EXPECT_EQ(FixesOfGpx(t).fixes.back().dTime, 6.0);
  EXPECT_TRUE(FixesOfGpx(t).backwards.empty());
}

// ---------------------------------------------------------------- options

TEST(DriveOptions, DefaultsAndEveryValue) {
  DriveOptions o;
  std::string err;
  ASSERT_EQ(ParseDriveOptions({}, o, err), ParseStatus::kRun);
  EXPECT_EQ(o.sMap, DefaultMapPath());
  EXPECT_FALSE(o.bFromGiven);
  EXPECT_EQ(o.nMissTurn, 0);
  EXPECT_LT(o.dClosure, 0);
  ASSERT_EQ(ParseDriveOptions({"--map",
                               "x.osm",
                               "--from",
                               "13.1,52.2",
                               "--to=-0.5,-51.25",
                               "--seed",
                               "42",
                               "--noise=0",
                               "--heading-noise",
                               "12.5",
                               "--miss-turn",
                               "2",
                               "--closure",
                               "400",
                               "--tolerance",
                               "30",
                               "--off-route-fixes",
                               "4",
                               "--geojson",
                               "a.json",
                               "--svg",
                               "b.svg",
                               "-v"},
                              o, err),
            ParseStatus::kRun)
      << err;
  EXPECT_EQ(o.sMap, "x.osm");
  EXPECT_TRUE(o.bFromGiven && o.bToGiven);
  EXPECT_DOUBLE_EQ(o.ptFrom.lon, 13.1);
  EXPECT_DOUBLE_EQ(o.ptFrom.lat, 52.2);
  EXPECT_DOUBLE_EQ(o.ptTo.lon, -0.5);
  EXPECT_DOUBLE_EQ(o.ptTo.lat, -51.25);
  EXPECT_EQ(o.nSeed, 42u);
  EXPECT_EQ(o.dNoise, 0.0);
  EXPECT_EQ(o.dHeadingNoise, 12.5);
  EXPECT_EQ(o.nMissTurn, 2);
  EXPECT_EQ(o.dClosure, 400.0);
  EXPECT_EQ(o.dTolerance, 30.0);
  EXPECT_EQ(o.nOffRouteFixes, 4);
  EXPECT_EQ(o.sGeoJson, "a.json");
  EXPECT_EQ(o.sSvg, "b.svg");
  EXPECT_TRUE(o.bVerbose);
}

TEST(DriveOptions, MalformedRefusedAndOptionsUntouched) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--bogus"}, "unknown option --bogus"},
      {{"stray"}, "unexpected argument stray"},
      {{"--map"}, "--map needs a value"},
      {{"--from", "13.4"}, "--from \"13.4\""},
      {{"--to", "13.4,95"}, "--to"},
      {{"--seed", "-1"}, "--seed"},
      {{"--noise", "nan"}, "--noise"},
      {{"--miss-turn", "99999999999"}, "--miss-turn"},
      {{"--gpx", "a.gpx", "--miss-turn", "1"}, "not to --gpx"},
  };

  for (const auto& [args, expected] : cases) {
    DriveOptions o;
    o.sMap = "keep";
    std::string err;
    EXPECT_EQ(ParseDriveOptions(args, o, err), ParseStatus::kError) << args[0];
    EXPECT_NE(err.find(expected), std::string::npos) << err;
    EXPECT_EQ(o.sMap, "keep");
  }
  DriveOptions o;
  std::string err;
  EXPECT_EQ(ParseDriveOptions({"--seed", "1", "--help"}, o, err), ParseStatus::kHelp);
  EXPECT_EQ(ParseDriveOptions({"--gpx", "a.gpx", "--closure", "300"}, o, err), ParseStatus::kRun);
  EXPECT_NE(DriveUsage().find("--miss-turn N"), std::string::npos);
}

// ---------------------------------------------------------------- simulation

TEST(DriveNoise, SeededAndGaussian) {
  NoiseSource a(7), b(7), c(8);
  bool bDiffer = false;
  for (int i = 0; i < 100; ++i) {
    const double x = a.Gaussian(3.0);
    EXPECT_EQ(x, b.Gaussian(3.0));
    bDiffer = bDiffer || x != c.Gaussian(3.0);
  }
  EXPECT_TRUE(bDiffer);
  NoiseSource n(1);
  double sum = 0, sum2 = 0;
  const int kN = 40000;
  for (int i = 0; i < kN; ++i) {
    const double x = n.Gaussian(2.0);
    sum += x;
    sum2 += x * x;
  }
  EXPECT_NEAR(sum / kN, 0.0, 0.05);
  EXPECT_NEAR(std::sqrt(sum2 / kN), 2.0, 0.05);
  EXPECT_EQ(n.Gaussian(0.0), 0.0);
  EXPECT_EQ(n.Gaussian(-1.0), 0.0);
  for (int i = 0; i < 1000; ++i) {
    const double u = n.Uniform();
    EXPECT_TRUE(u > 0.0 && u <= 1.0);
  }
}

TEST(DriveVehicle, DrivesBySpeedPassesMarksAndStopsAtTheEnd) {
  // East 0.002 degrees (about 136 m at 52.5 N) at 10 m/s, then north at 5 m/s.
  const tagLonLat a{13.0, 52.5}, b{13.002, 52.5}, c{13.002, 52.5005};
  const double ab = SegmentLength(a, b);
  const double bc = SegmentLength(b, c);
  Vehicle v;
  v.SetTrack({{a, 10.0, -1}, {b, 5.0, 0}, {c, 0.0, -1}});
  EXPECT_DOUBLE_EQ(v.Heading(), 0.0);
  EXPECT_EQ(v.Speed(), 10.0);
  std::vector<std::size_t> marks;
  auto onMark = [&](Vehicle&, std::size_t i) { marks.push_back(i); };
  v.Advance(5.0, onMark);
  EXPECT_NEAR(SegmentLength(a, v.Position()), 50.0, 0.01);
  EXPECT_TRUE(marks.empty());
  // Past the corner: the rest of the first stretch at 10 m/s, then 5 m/s.
  const double t = (ab - 50.0) / 10.0 + 2.0;
  v.Advance(t, onMark);
  ASSERT_EQ(marks.size(), 1u);
  EXPECT_EQ(marks[0], 1u);
  EXPECT_NEAR(SegmentLength(b, v.Position()), 10.0, 0.01);
  EXPECT_DOUBLE_EQ(v.Heading(), 90.0);
  v.Advance(bc / 5.0 + 10.0, onMark);
  EXPECT_TRUE(v.AtEnd());
  EXPECT_EQ(v.Position().lat, c.lat);
  EXPECT_EQ(v.Heading(), -1.0);
  EXPECT_EQ(v.Speed(), 0.0);
}

TEST(DriveVehicle, MarkHandlerMayReplaceTheRoadAhead) {
  const tagLonLat a{13.0, 52.5}, b{13.001, 52.5}, c{13.001, 52.501}, d{13.002, 52.5};
  Vehicle v;
  v.SetTrack({{a, 10.0, -1}, {b, 10.0, 0}, {c, 0.0, -1}});
  v.Advance(60.0, [&](Vehicle& veh, std::size_t i) { veh.ReplaceAfter(i, {{d, 0.0, -1}}); });
  EXPECT_TRUE(v.AtEnd());
  EXPECT_EQ(v.Position().lon, d.lon);
  EXPECT_EQ(v.Position().lat, d.lat);
  ASSERT_EQ(v.Track().size(), 3u);
  Vehicle empty;
  empty.Advance(1.0, nullptr);
  EXPECT_TRUE(empty.AtEnd());
  EXPECT_EQ(empty.Heading(), -1.0);
}

// A simulated driver without noise on the navigator's route from a to c,
// a left turn at b; d goes on straight ahead only where the sketch has it.
class SimulatedRoad {
 public:
  SimulatedRoad(const vxtest::SketchMap& map, int nMissTurn)
      : m_sketch(map), m_nav(m_sketch.Reader(), m_sketch.Engine()) {
    m_opts.dNoise = 0.0;
    m_opts.dHeadingNoise = 0.0;
    m_opts.nMissTurn = nMissTurn;
    m_driver = std::make_unique<SimulatedDriver>(m_opts, m_sketch.Reader(), m_nav);
    EXPECT_FALSE(m_nav.PlanRoute(m_sketch.At('a'), m_sketch.At('c'), 0.0).events.empty());
    m_driver->FollowRoute(m_sketch.At('a'));
  }

  const vxtest::SketchReader& Sketch() const { return m_sketch; }
  SimulatedDriver& Driver() { return *m_driver; }

  // The next second's step; the navigator is not fed. Without noise a fix
  // is the vehicle's true position.
  SimulatedDriver::Step Next() {
    SimulatedDriver::Step step = m_driver->StepTo(m_t);
    m_t += 1.0;
    EXPECT_EQ(step.fix.pt.lon, m_driver->Position().lon);
    EXPECT_EQ(step.fix.pt.lat, m_driver->Position().lat);
    return step;
  }

  // Steps until one brings the driver's actions or the vehicle stands.
  SimulatedDriver::Step StepUntilActionOrStop() {
    while (m_t < 600) {
      SimulatedDriver::Step step = Next();
      if (!step.actions.empty() || step.fix.dSpeed == 0.0) {
        return step;
      }
    }
    ADD_FAILURE() << "the vehicle neither acted nor stopped in 600 s";
    return {};
  }

 private:
  vxtest::SketchReader m_sketch;
  vxnav::Navigator m_nav;
  DriveOptions m_opts;
  std::unique_ptr<SimulatedDriver> m_driver;
  double m_t = 0.0;
};

TEST(DriveSimulatedDriver, MissesTheTurnAndGoesStraightOn) {
  vxtest::SketchMap m(R"(
        c
        |
        |
a-------b-------d
)");
  m.Ways("ab; bc; bd");
  SimulatedRoad road(m, 1);
  const SimulatedDriver::Step step = road.StepUntilActionOrStop();
  ASSERT_EQ(step.actions.size(), 1u);
  const DriveEvent& e = step.actions[0];
  EXPECT_EQ(e.kind, LogKind::kDrive);
  EXPECT_EQ(e.sText, "The driver misses manoeuvre 1 (turn left) and goes straight on");
  EXPECT_EQ(e.dTime, step.fix.dTime);
  EXPECT_EQ(road.Driver().MissTime(), e.dTime);
  const tagLonLat b = road.Sketch().At('b');
  EXPECT_LT(SegmentLength(e.pt, b), 0.5);
  // On towards d, not up to c.
  for (int i = 0; i < 5; ++i) {
    const SimulatedDriver::Step later = road.Next();
    EXPECT_TRUE(later.actions.empty());
    EXPECT_GT(later.fix.pt.lon, b.lon + 1e-6) << i;
    EXPECT_NEAR(later.fix.pt.lat, b.lat, 1e-6) << i;
    EXPECT_NEAR(later.fix.dHeading, 0.0, 1e-6) << i;
  }
  EXPECT_FALSE(road.Driver().UnmissedTurnNote(0.0).has_value());
}

TEST(DriveSimulatedDriver, NoRoadToMissByAndGivingUpAtTheTrackEnd) {
  vxtest::SketchMap m(R"(
        c
        |
        |
a-------b
)");
  m.Ways("ab; bc");
  SimulatedRoad cannot(m, 1);
  const SimulatedDriver::Step step = cannot.StepUntilActionOrStop();
  ASSERT_EQ(step.actions.size(), 1u);
  EXPECT_EQ(step.actions[0].sText,
            "The driver cannot miss manoeuvre 1: no other road leaves the junction");
  EXPECT_EQ(cannot.Driver().MissTime(), -1.0);
  // The driver turns as routed, reaches c and stands there: the fix there
  // and 29 more are waited out, the 31st gives up.
  const SimulatedDriver::Step end = cannot.StepUntilActionOrStop();
  EXPECT_TRUE(end.actions.empty());
  EXPECT_LT(SegmentLength(end.fix.pt, cannot.Sketch().At('c')), 0.5);
  for (int i = 0; i < 30; ++i) {
    EXPECT_FALSE(cannot.Driver().GivesUp()) << i;
  }
  EXPECT_TRUE(cannot.Driver().GivesUp());
  EXPECT_FALSE(cannot.Driver().UnmissedTurnNote(end.fix.dTime).has_value());

  SimulatedRoad beyond(m, 2);
  const SimulatedDriver::Step last = beyond.StepUntilActionOrStop();
  EXPECT_TRUE(last.actions.empty());
  const std::optional<DriveEvent> note = beyond.Driver().UnmissedTurnNote(last.fix.dTime);
  ASSERT_TRUE(note.has_value());
  EXPECT_EQ(note->kind, LogKind::kNote);
  EXPECT_EQ(note->sText, "No manoeuvre 2 to miss: the drive reached 1");
  EXPECT_EQ(beyond.Driver().MissTime(), -1.0);
}

TEST(DriveMapRoads, DirectionsAndIntegerPoints) {
  EXPECT_DOUBLE_EQ(vxnav::PlaneDirection({0, 0}, {1, 0}), 0.0);
  EXPECT_DOUBLE_EQ(vxnav::PlaneDirection({0, 0}, {0, 1}), 90.0);
  EXPECT_DOUBLE_EQ(vxnav::PlaneDirection({0, 0}, {-1, 0}), 180.0);
  EXPECT_DOUBLE_EQ(vxnav::PlaneDirection({0, 0}, {0, -1}), 270.0);
  EXPECT_EQ(vxnav::PlaneDirection({1, 1}, {1, 1}), -1.0);
  EXPECT_DOUBLE_EQ(vxnav::DirectionGap(350, 10), 20.0);
  EXPECT_DOUBLE_EQ(vxnav::DirectionGap(10, 190), 180.0);
  EXPECT_DOUBLE_EQ(vxnav::DirectionGap(90, 90 + 720), 0.0);
  const Bin_LonLat b = ToBin({FromBin(1340001), FromBin(-5250099)});
  EXPECT_EQ(b.lon, 1340001);
  EXPECT_EQ(b.lat, -5250099);
  const Bin_LonLat far = ToBin({1e300, NAN});
  EXPECT_EQ(far.lon, INT32_MAX);
  EXPECT_EQ(far.lat, INT32_MIN);
  EXPECT_EQ(ToBin({-1e300, 21474.9}).lon, INT32_MIN);
  EXPECT_EQ(ToBin({-1e300, 21474.9}).lat, INT32_MAX);
}

// ---------------------------------------------------------------- outputs

namespace {

DriveRecord SampleRecord() {
  DriveRecord r;
  r.routes.push_back({"planned", 0, 250.0, {{13.0, 52.5}, {13.002, 52.5}, {13.002, 52.501}}});
  r.routes.push_back({"reroute 1", 20, 120.0, {{13.001, 52.5}, {13.001, 52.501}}});
  r.closures.push_back({5, "Mill \"Old\" Lane", {{13.002, 52.5}, {13.002, 52.501}}});
  using vxnav::MatchResult;
  using vxnav::RouteState;
  r.fixes.push_back(
      {0, {13.0, 52.5}, 0.0, MatchResult::kOnRoute, RouteState::kOnRoute, true, {13.0, 52.5}});
  r.fixes.push_back({1,
                     {13.0001, 52.50001},
                     -1.0,
                     MatchResult::kOffRoute,
                     RouteState::kOffRoute,
                     true,
                     {13.0001, 52.5}});
  r.fixes.push_back(
      {2, {13.0002, 52.50002}, 12.5, MatchResult::kNone, RouteState::kNoRoute, false, {180, 90}});
  r.manoeuvres.push_back(
      {1, 10, {13.002, 52.5}, "left", "turn left onto A & B <Street>\n\xC3", "2 roads"});
  r.events.push_back({20, LogKind::kReroute, "Recalculated", {13.001, 52.5}});
  r.events.push_back({10, LogKind::kAnnounce, "Now turn left", {13.002, 52.5}});
  return r;
}

}  // namespace

TEST(DriveOutputs, GeoJsonParsesBackAsAFeatureCollection) {
  std::ostringstream ss;
  WriteGeoJson(SampleRecord(), ss);
  Json doc;
  ASSERT_NO_THROW(doc = JsonParser(ss.str()).ParseDocument()) << ss.str();
  EXPECT_THROW(JsonParser(ss.str().substr(0, ss.str().size() - 3)).ParseDocument(),
               std::runtime_error);
  EXPECT_EQ(doc["type"].Str(), "FeatureCollection");
  const JsonArray& f = doc["features"].Arr();
  // 2 routes, 1 closure, 3 fixes, 2 matches, 1 manoeuvre, 1 event (the announcement is not one).
  ASSERT_EQ(f.size(), 10u);
  std::map<std::string, int> kinds;
  for (const auto& p : f) {
    const Json& feat = *p;
    EXPECT_EQ(feat["type"].Str(), "Feature");
    const std::string& type = feat["geometry"]["type"].Str();
    const JsonArray& coords = feat["geometry"]["coordinates"].Arr();
    if (type == "Point") {
      ASSERT_EQ(coords.size(), 2u);
      EXPECT_GE(coords[0]->Num(), -180.0);
      EXPECT_LE(coords[1]->Num(), 90.0);
    } else {
      ASSERT_EQ(type, "LineString");
      ASSERT_GE(coords.size(), 2u);
      for (const auto& pos : coords) {
        EXPECT_EQ(pos->Arr().size(), 2u);
      }
    }
    ++kinds[feat["properties"]["kind"].Str()];
  }
  EXPECT_EQ(kinds["route"], 2);
  EXPECT_EQ(kinds["closure"], 1);
  EXPECT_EQ(kinds["fix"], 3);
  EXPECT_EQ(kinds["match"], 2);
  EXPECT_EQ(kinds["manoeuvre"], 1);
  EXPECT_EQ(kinds["event"], 1);
  // Texts survive the escaping; the broken byte becomes U+FFFD.
  const Json& man = *f[8];
  EXPECT_EQ(man["properties"]["text"].Str(), "turn left onto A & B <Street>\n\xEF\xBF\xBD");
  EXPECT_EQ((*f[2])["properties"]["road"].Str(), "Mill \"Old\" Lane");
  EXPECT_EQ((*f[0])["geometry"]["coordinates"].Arr()[1]->Arr()[0]->Num(), 13.002);
  EXPECT_TRUE(std::holds_alternative<std::nullptr_t>((*f[4])["properties"]["heading"].v));
}

TEST(DriveOutputs, JsonStringsEscapeControlCharacters) {
  EXPECT_EQ(JsonString("a\"b\\c\x01\td"), "\"a\\\"b\\\\c\\u0001\\td\"");
}

TEST(DriveOutputs, SvgIsWellFormedWithRoadsRoutesAndLabels) {
  const DriveRecord rec = SampleRecord();
  std::vector<MapRoad> roads;
  roads.push_back({{{1, 2, 3, 4}}, "Station & Road", 5, 0, {{12.999, 52.5}, {13.003, 52.5}}});
  roads.push_back({{{5, 6, 7, 8}}, "", 7, 1, {{13.002, 52.499}, {13.002, 52.502}}});
  std::ostringstream ss;
  WriteSvg(rec, roads, ss);
  pugi::xml_document doc;
  const pugi::xml_parse_result res = doc.load_string(ss.str().c_str());
  ASSERT_TRUE(res) << res.description();
  const pugi::xml_node svg = doc.child("svg");
  ASSERT_TRUE(svg);
  EXPECT_GT(svg.attribute("width").as_double(), 1000.0);
  // Two roads, one closure, two routes.
  EXPECT_EQ(doc.select_nodes("//polyline").size(), 5u);
  // Fixes in red, the one off the route in orange; the match on the route in
  // green with a line to its fix (off the route, the match is not drawn).
  EXPECT_EQ(doc.select_nodes("//circle[@fill='#e03030' and @r='2.6']").size(), 2u);
  EXPECT_EQ(doc.select_nodes("//circle[@fill='#ff9900' and @r='2.6']").size(), 1u);
  EXPECT_EQ(doc.select_nodes("//line[not(@stroke)]").size(), 1u);  // fix to match
  EXPECT_EQ(doc.select_nodes("//circle[@fill='#10a040' and @r='1.8']").size(), 1u);
  std::string text;
  for (const auto& n : doc.select_nodes("//text")) {
    text += std::string(n.node().child_value()) + "|";
  }
  EXPECT_NE(text.find("Station & Road"), std::string::npos);
  EXPECT_NE(text.find("turn left onto A & B <Street>"), std::string::npos);
  EXPECT_NE(text.find("reroute: Recalculated"), std::string::npos);
  EXPECT_EQ(text.find("Now turn left"), std::string::npos);  // announcements stay in the log
  // Every coordinate lies within the picture.
  const double w = svg.attribute("width").as_double();
  const double h = svg.attribute("height").as_double();
  for (const auto& n : doc.select_nodes("//circle")) {
    EXPECT_GE(n.node().attribute("cx").as_double(), 0.0);
    EXPECT_LE(n.node().attribute("cx").as_double(), w);
    EXPECT_GE(n.node().attribute("cy").as_double(), 0.0);
    EXPECT_LE(n.node().attribute("cy").as_double(), h);
  }
}

TEST(DriveOutputs, LabelsAvoidMarkersAndEachOther) {
  EXPECT_DOUBLE_EQ(TextWidth("left", 10), 24.0);
  EXPECT_DOUBLE_EQ(TextWidth("Straße", 10), 36.0);  // characters, not bytes
  const auto Overlap = [](const PixelBox& a, const PixelBox& b) {
    return a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1;
  };
  // A crowd: 16 markers within 160 x 80 px, labels up to 140 px wide, then
  // road names wherever they still fit. No label covers a marker or another.
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> x(100, 260), y(100, 180), w(20, 140);
  LabelPlacer placer;
  std::vector<PixelBox> markers, labels;
  std::vector<std::pair<double, double>> at;
  for (int i = 0; i < 16; ++i) {
    at.emplace_back(x(gen), y(gen));
    markers.push_back(
        {at.back().first - 9, at.back().second - 9, at.back().first + 9, at.back().second + 9});
    placer.Reserve(markers.back());
  }
  int nLeaders = 0;
  for (const auto& [mx, my] : at) {
    const double dWidth = w(gen);
    const LabelPlace p = placer.Place(mx, my, 9, dWidth, 12);
    EXPECT_DOUBLE_EQ(p.box.x1 - p.box.x0, dWidth);
    EXPECT_DOUBLE_EQ(p.bEndAnchor ? p.box.x1 : p.box.x0, p.x);
    nLeaders += p.bLeader;
    labels.push_back(p.box);
  }
  for (double dy = 0; dy < 300; dy += 7) {
    const PixelBox road{120, dy, 240, dy + 10};
    if (placer.TryTake(road)) {
      labels.push_back(road);
    }
  }
  EXPECT_GT(nLeaders, 0);  // the crowd pushed some labels out
  EXPECT_GT(labels.size(), at.size());
  for (std::size_t i = 0; i < labels.size(); ++i) {
    for (const PixelBox& m : markers) {
      EXPECT_FALSE(Overlap(labels[i], m)) << i;
    }
    for (std::size_t k = i + 1; k < labels.size(); ++k) {
      EXPECT_FALSE(Overlap(labels[i], labels[k])) << i << " " << k;
    }
  }
  // The first label takes the first place, right above its marker; with
  // every place taken it still goes somewhere: the first place.
  LabelPlacer fresh;
  const LabelPlace p = fresh.Place(100, 100, 9, 80, 12);
  EXPECT_DOUBLE_EQ(p.x, 112);
  EXPECT_DOUBLE_EQ(p.y, 92);
  EXPECT_FALSE(p.bEndAnchor || p.bLeader);
  LabelPlacer full;
  full.Reserve({-1000, -1000, 1000, 1000});
  EXPECT_DOUBLE_EQ(full.Place(100, 100, 9, 80, 12).y, 92);
}

TEST(DriveOutputs, Utf8RepairedByteByByte) {
  EXPECT_EQ(ValidUtf8("Stra\xC3\x9F"
                      "e"),
            "Stra\xC3\x9F"
            "e");
  EXPECT_EQ(ValidUtf8("\xE2\x82\xAC ok \xF0\x9F\x9A\x97"), "\xE2\x82\xAC ok \xF0\x9F\x9A\x97");
  EXPECT_EQ(ValidUtf8("cut \xE2\x82"), "cut \xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(ValidUtf8("\xC0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD");                  // overlong
  EXPECT_EQ(ValidUtf8("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");  // surrogate
  EXPECT_EQ(ValidUtf8("\xF4\x90\x80\x80").substr(0, 3), "\xEF\xBF\xBD");         // above U+10FFFF
  EXPECT_EQ(ValidUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(DriveProgress, LineOnlyForLargeInputsWhileLoading) {
  std::ostringstream quiet;
  EXPECT_EQ(WithProgress(quiet, false, "map small.osm", kProgressBytes - 1, [] { return 7; }), 7);
  EXPECT_TRUE(quiet.str().empty());
  std::ostringstream err;
  const int n = WithProgress(err, false, "map big.osm", 3u << 20, [] {
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    return 42;
  });
  EXPECT_EQ(n, 42);
  const std::string s = err.str();
  EXPECT_EQ(s.rfind("vxnav: loading map big.osm (3.0 MB) ...\n", 0), 0u) << s;
  EXPECT_NE(s.find("vxnav: loading map big.osm (3.0 MB) ... 1 s\n"), std::string::npos) << s;
  EXPECT_NE(s.find("vxnav: loaded map big.osm in 1."), std::string::npos) << s;
  EXPECT_EQ(s.back(), '\n');
}
