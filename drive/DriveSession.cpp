// The drive: the running loop of a navigation application over the path
// library, the map reader and the route engine.
#include "drive/DriveSession.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <numbers>
#include <optional>
#include <tuple>

#include "CPath/CPath.h"
#include "drive/Announcer.h"
#include "drive/GeoJson.h"
#include "drive/Gpx.h"
#include "drive/MapRoads.h"
#include "drive/Noise.h"
#include "drive/Progress.h"
#include "drive/Svg.h"
#include "drive/Vehicle.h"
#include "interfaces/VroGeo.h"
#include "interfaces/VroRead.h"
#include "interfaces/VroRoute.h"
#include "interfaces/VroTexts.h"

namespace vxdrive {

namespace {

// The route engine's mode for every search (see interfaces/VroRoute.h).
constexpr const char* kRouteMode = "fastest";
// A simulated vehicle that cannot move on gives up after this many fixes.
constexpr int kStandingFixes = 30;
// A driver who misses a turn drives on this far before the simulation stops
// looking for roads straight ahead (the reroute comes long before).
constexpr double kStraightOnMetres = 800.0;

struct ReaderCloser {
  void operator()(VRO_READER* h) const { VroReaderClose(h); }
};
struct RouteCloser {
  void operator()(VRO_ROUTE* h) const { VroRouteClose(h); }
};

// What the simulated vehicle needs to know at a manoeuvre on its track.
struct TrackMark {
  VRO_FEATURE_ID idArrive;  // the road it arrives on
  VRO_FEATURE_ID idNext;    // the road the route takes
  std::string sNext;        // its name
  double dTurnAngle;
};

double EdgeSpeed(const PathGuid& g) { return RoadSpeedKmh(g.nRoadAttr, g.nCode) / 3.6; }

std::string Minutes(double dSeconds) {
  const long m = std::lround(std::max(1.0, dSeconds / 60.0));
  return "about " + std::to_string(m) + " min";
}

std::string RoadOrUnnamed(const char* sz) { return sz[0] ? sz : "an unnamed road"; }

class Drive {
 public:
  Drive(const DriveOptions& opts, std::ostream& out, std::ostream& err)
      : m_opts(opts), m_out(out), m_err(err), m_noise(opts.nSeed) {}

  int Run();
  DriveRecord& Record() { return m_record; }

 private:
  bool OpenOutputs();
  int LoadMap();
  bool ChooseEnds();
  bool PlanRoute();
  void Simulate();
  void Replay();
  bool OnFix(double t, const tagLonLat& pt, double dHeading);
  void Announce(double t, const tagLonLat& pt, const NavGuid& nav);
  std::string DescribeJunction(const PathGuid& item);
  int JunctionRoads(const PathGuid& item, VRO_FEATURE_ID* pIDs, double* pAngles);
  int RoadsLeaving(const PathGuid& item);
  bool IsRoundabout(const VRO_FEATURE_ID& id);
  bool RoundaboutExit(const PathGuid& entry, int& nExit, std::string& sRoad);
  bool IsAnnounced(const PathGuid& item);
  void Reroute(double t, const tagLonLat& pt, double dHeading);
  void Closure(double t, const tagLonLat& pt, double dHeading, const NavGuid& nav);
  void AfterPathChange();
  void RecordRoute(const std::string& sLabel, double t);
  void BuildTrack(const tagLonLat& ptFrom);
  void OnMark(Vehicle& vehicle, std::size_t nIndex);
  std::vector<TrackPoint> StraightOn(tagLonLat pt, double dArrive,
                                     std::vector<VRO_FEATURE_ID> excluded);
  void Event(double t, const std::string& sKind, const std::string& sText, const tagLonLat& pt);
  int Finish(int nExit);

  const DriveOptions& m_opts;
  std::ostream& m_out;
  std::ostream& m_err;
  DriveRecord m_record;

  GpxTrack m_gpx;
  std::unique_ptr<VRO_READER, ReaderCloser> m_reader;
  std::unique_ptr<VRO_ROUTE, RouteCloser> m_route;  // declared after the reader: closed first
  std::ofstream m_geojson;
  std::ofstream m_svg;

  tagLonLat m_ptFrom{0, 0};
  tagLonLat m_ptTo{0, 0};
  CPath m_path;
  double m_dPlannedTime = 0.0;

  // Number of roads that may be taken at each manoeuvre seen, by its point
  // and the road of arrival (whose restrictions count).
  using JunctionKey =
      std::tuple<double, double, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t>;
  static JunctionKey KeyOf(const PathGuid& item);
  std::map<JunctionKey, int> m_junctionRoads;

  // Navigator state.
  Announcer m_announcer;
  std::optional<PathGuid> m_lastOnRoute;  // the last match on the route, for the next match
  int m_nOffRoute = 0;                    // off-route fixes in a row
  int m_nReroutes = 0;
  bool m_bClosurePending = false;
  std::vector<VRO_FEATURE_ID> m_closed;
  bool m_bArrived = false;

  // Simulation state.
  NoiseSource m_noise;
  Vehicle m_vehicle;
  std::vector<TrackMark> m_marks;
  int m_nManoeuvresReached = 0;
  bool m_bMissed = false;
};

void Drive::Event(double t, const std::string& sKind, const std::string& sText,
                  const tagLonLat& pt) {
  m_record.events.push_back({t, sKind, sText, pt});
  char sz[32];
  std::snprintf(sz, sizeof sz, "%6.0f s  ", t);
  m_out << sz << sKind << std::string(sKind.size() < 10 ? 10 - sKind.size() : 1, ' ') << sText
        << "\n";
}

bool Drive::OpenOutputs() {
  auto open = [&](const std::string& sPath, std::ofstream& f) {
    if (sPath.empty()) {
      return true;
    }
    f.open(sPath, std::ios::binary | std::ios::trunc);
    if (!f) {
      m_err << "vxnav: cannot write " << sPath << ": " << std::strerror(errno) << "\n";
      return false;
    }
    return true;
  };
  return open(m_opts.sGeoJson, m_geojson) && open(m_opts.sSvg, m_svg);
}

int Drive::LoadMap() {
  const std::string& sMap = m_opts.sMap;
  std::error_code ec;
  if (!std::filesystem::exists(sMap, ec)) {
    m_err << "vxnav: map file " << sMap << " does not exist\n";
    return 2;
  }
  if (std::filesystem::is_directory(sMap, ec)) {
    m_err << "vxnav: map file " << sMap << " is a directory\n";
    return 2;
  }
  const std::uintmax_t nBytes = std::filesystem::file_size(sMap, ec);
  std::string sWhy;
  VRO_READER* h = WithProgress(m_err, isatty(2) != 0 && &m_err == &std::cerr, "map " + sMap,
                               ec ? 0 : nBytes, [&] {
                                 VRO_READER* r = VroReaderOpen(sMap.c_str());
                                 if (r == nullptr) {
                                   const char* sz = VroReaderLastError();
                                   sWhy = sz != nullptr ? sz : "";
                                 }
                                 return r;
                               });
  if (h == nullptr) {
    m_err << "vxnav: " << sMap << ": not a usable OpenStreetMap file"
          << (sWhy.empty() ? "" : " (" + sWhy + ")") << "\n";
    return 2;
  }
  m_reader.reset(h);
  m_path.SetVroReader(h);
  m_route.reset(VroRouteOpen(h));
  if (!m_route) {
    m_err << "vxnav: " << sMap << ": no road network to route on\n";
    return 2;
  }
  return 0;
}

// The default drive on the sample town: from Bachstraße in the south-west
// across the market square to Brückenstraße in the north-east.
constexpr tagLonLat kSampleFrom = {13.3955, 52.4975};
constexpr tagLonLat kSampleTo = {13.4045, 52.5030};

// Without --from and --to: the recording's ends; on the sample town the drive
// above; on another map a drive across it from a tenth of its width inside
// the west edge to a tenth inside the east edge, at mid latitude (the route
// engine starts and ends on the nearest roads).
bool Drive::ChooseEnds() {
  m_ptFrom = m_opts.ptFrom;
  m_ptTo = m_opts.ptTo;
  if (!m_gpx.points.empty()) {
    m_ptFrom = m_opts.bFromGiven ? m_ptFrom : m_gpx.points.front().pt;
    m_ptTo = m_opts.bToGiven ? m_ptTo : m_gpx.points.back().pt;
    return true;
  }
  if (m_opts.bFromGiven && m_opts.bToGiven) {
    return true;
  }
  std::error_code ec;
  if (std::filesystem::equivalent(m_opts.sMap, DefaultMapPath(), ec)) {
    m_ptFrom = m_opts.bFromGiven ? m_ptFrom : kSampleFrom;
    m_ptTo = m_opts.bToGiven ? m_ptTo : kSampleTo;
    return true;
  }
  const std::vector<MapRoad> roads = RoadsInRect(m_reader.get(), {-180, -90}, {180, 90});
  bool bAny = false;
  tagLonLat lo{0, 0};
  tagLonLat hi{0, 0};
  for (const MapRoad& r : roads) {
    for (const tagLonLat& p : r.pts) {
      lo = bAny ? tagLonLat{std::min(lo.lon, p.lon), std::min(lo.lat, p.lat)} : p;
      hi = bAny ? tagLonLat{std::max(hi.lon, p.lon), std::max(hi.lat, p.lat)} : p;
      bAny = true;
    }
  }
  if (!bAny) {
    m_err << "vxnav: " << m_opts.sMap << ": the map has no roads\n";
    return false;
  }
  const double w = hi.lon - lo.lon;
  const double midLat = (lo.lat + hi.lat) / 2;
  if (!m_opts.bFromGiven) {
    m_ptFrom = {lo.lon + w * 0.1, midLat};
  }
  if (!m_opts.bToGiven) {
    m_ptTo = {hi.lon - w * 0.1, midLat};
  }
  return true;
}

bool Drive::PlanRoute() {
  VRO_ROUTE* h = m_route.get();
  if (VroRouteFindPath(h, m_ptFrom, m_ptTo, -1.0, 0.0, kRouteMode, 0.0, nullptr) < 0 ||
      VroRouteRetrieveStart(h) == 0) {
    return false;
  }
  m_path.BeginAddEdge();
  char szCode[vro::kCodeSize] = {}, szStr1[vro::kStr1Size] = {}, szStr2[vro::kNameSize] = {},
       szAttr[vro::kAttrSize] = {};
  VRO_FEATURE_ID id{};
  double dLen = 0;
  tagLonLat* pPts = nullptr;
  for (int n;
       (n = VroRouteRetrieveNextEdgeEx(h, szCode, szStr1, szStr2, szAttr, id, dLen, pPts)) > 0;) {
    if (n <= 0xFFFF && pPts != nullptr) {
      m_path.AddEdge(szCode, szStr1, szStr2, szAttr, static_cast<unsigned short>(n), pPts, id,
                     dLen);
    }
  }
  VroRouteReset(h);
  return m_path.StartEdge() != 0;
}

void Drive::RecordRoute(const std::string& sLabel, double t) {
  RecordedRoute r{sLabel, t, 0.0, {}};
  double dTime = 0.0;
  int nManoeuvres = 0;
  PathGuid g{};
  for (m_path.StartGuid(); m_path.NextGuid(g);) {
    for (unsigned i = r.pts.empty() ? 0 : 1; i < g.wPtNum; ++i) {
      r.pts.push_back(g.pPts[i]);
    }
    r.dLength += g.dDist;
    dTime += g.dDist / EdgeSpeed(g);
    nManoeuvres += g.dTurnAngle >= 0 && IsAnnounced(g);
  }
  if (m_record.routes.empty()) {
    m_dPlannedTime = dTime;
  }
  m_record.routes.push_back(r);
  const std::string sText = SpokenDistance(r.dLength) + ", " + Minutes(dTime) + ", " +
                            std::to_string(nManoeuvres) + " manoeuvre" +
                            (nManoeuvres == 1 ? "" : "s");
  if (m_record.routes.size() == 1) {
    Event(t, "route", "Route planned: " + sText, r.pts.empty() ? m_ptFrom : r.pts.front());
  } else {
    Event(t, "route", "New route: " + sText, r.pts.empty() ? m_ptFrom : r.pts.front());
  }
}

Drive::JunctionKey Drive::KeyOf(const PathGuid& item) {
  const std::uint32_t* w = item.idEdge.dw;
  return {item.ptEnd.lon, item.ptEnd.lat, w[0], w[1], w[2], w[3]};
}

// Room for the roads of one junction.
constexpr unsigned short kJunctionRoads = 16;

// The roads that may be driven away from the item's end point, by the
// junction description with one-way, turn restriction and level checks.
int Drive::JunctionRoads(const PathGuid& item, VRO_FEATURE_ID* pIDs, double* pAngles) {
  NavGuid g{};
  static_cast<PathGuid&>(g) = item;
  const int n = CPath::GetCrossEdge(m_reader.get(), g, pIDs, pAngles, kJunctionRoads, 1, 1, nullptr,
                                    '1', '7');
  m_junctionRoads[KeyOf(item)] = n;
  return n;
}

// The number of roads that may be taken at the item's end (JunctionRoads),
// remembered per junction.
int Drive::RoadsLeaving(const PathGuid& item) {
  const auto it = m_junctionRoads.find(KeyOf(item));
  if (it != m_junctionRoads.end()) {
    return it->second;
  }
  VRO_FEATURE_ID ids[kJunctionRoads];
  double angles[kJunctionRoads];
  return JunctionRoads(item, ids, angles);
}

// Whether a feature is a road of a roundabout: the form character of its
// code is "C".
bool Drive::IsRoundabout(const VRO_FEATURE_ID& id) {
  char szCode[vro::kCodeSize] = {}, szStr1[vro::kStr1Size] = {}, szStr2[vro::kNameSize] = {};
  vro::FeatureCode code;
  return VroFeatureOneAttr(m_reader.get(), id, 0, szCode, szStr1, szStr2) != 0 &&
         vro::ParseFeatureCode(szCode, code) && code.bRoundabout;
}

// Follows the route from the item that enters a roundabout to the one that
// leaves it: nExit is 1 + the exits passed on the way (nodes of the
// roundabout where another road may be taken), sRoad the road taken. False
// when the route ends within the roundabout.
bool Drive::RoundaboutExit(const PathGuid& entry, int& nExit, std::string& sRoad) {
  PathGuid item = entry;
  nExit = 1;
  for (int nGuard = 0; nGuard < 10000; ++nGuard) {
    PathGuid next{};
    if (m_path.GetNextGuid(item, next) == 0 || next.dTurnAngle < 0) {
      return false;
    }
    item = next;
    if (!IsRoundabout(item.idNext)) {
      sRoad = item.szNextName;
      return true;
    }
    nExit += RoadsLeaving(item) > 1;
  }
  return false;
}

// Entering and leaving a roundabout are announced, its nodes in between are
// not. Elsewhere a manoeuvre is announced unless the road only bends: it
// keeps its name and no other road may be taken there.
bool Drive::IsAnnounced(const PathGuid& item) {
  if (item.dTurnAngle >= 0) {
    const bool bOn = IsRoundabout(item.idEdge);
    if (bOn != IsRoundabout(item.idNext)) {
      return true;
    }
    if (bOn) {
      return false;
    }
  }
  if (!IsManoeuvre(item.dTurnAngle, item.szName, item.szNextName)) {
    return false;
  }
  if (item.dTurnAngle < 0 || item.szName[0] == '\0' ||
      std::strcmp(item.szName, item.szNextName) != 0) {
    return true;
  }
  return RoadsLeaving(item) > 1;
}

std::string Drive::DescribeJunction(const PathGuid& item) {
  VRO_FEATURE_ID ids[kJunctionRoads];
  double angles[kJunctionRoads];
  const int n = JunctionRoads(item, ids, angles);
  std::vector<std::pair<double, std::string>> roads;
  for (int i = 0; i < n; ++i) {
    char szCode[vro::kCodeSize] = {}, szStr1[vro::kStr1Size] = {}, szStr2[vro::kNameSize] = {};
    std::string sName = "unnamed road";
    if (VroFeatureOneAttr(m_reader.get(), ids[i], 0, szCode, szStr1, szStr2) != 0 && szStr2[0]) {
      szStr2[vro::kNameSize - 1] = '\0';
      sName = szStr2;
    }
    const bool bRoute = VroReaderIsSameFeature(m_reader.get(), ids[i], item.idNext) != 0;
    char szAngle[16];
    std::snprintf(szAngle, sizeof szAngle, " %.0f\xC2\xB0", angles[i]);
    roads.push_back({angles[i], sName + " (" + TurnClassName(ClassifyTurn(angles[i])) + szAngle +
                                    (bRoute ? ", the route" : "") + ")"});
  }
  std::sort(roads.begin(), roads.end());
  std::string s = std::to_string(n) + (n == 1 ? " road leaves" : " roads leave") + " the junction";
  for (std::size_t i = 0; i < roads.size(); ++i) {
    s += (i ? ", " : ": ") + roads[i].second;
  }
  return s;
}

void Drive::Announce(double t, const tagLonLat& pt, const NavGuid& nav) {
  // The manoeuvre ahead: the first item from the current edge on that is one.
  PathGuid item = nav;
  double dDist = nav.dDist;
  int nExit = 1;  // within a roundabout: 1 + the exits before the one taken
  for (int nGuard = 0; !IsAnnounced(item); ++nGuard) {
    PathGuid next{};
    if (nGuard > 100000 || m_path.GetNextGuid(item, next) == 0) {
      return;  // the path does not continue as it should; nothing to say
    }
    nExit += IsRoundabout(item.idEdge) && RoadsLeaving(item) > 1;
    dDist += next.dDist;
    item = next;
  }
  const bool bDestination = item.dTurnAngle < 0;
  const TurnClass turn = ClassifyTurn(item.dTurnAngle);
  std::string sClass = TurnClassName(turn);
  std::string sInstruction = TurnInstruction(turn, item.szNextName);
  std::string sRoad = item.szNextName;
  // Leaving a roundabout the vehicle is in, or entering one (its exits
  // counted ahead along the route).
  const bool bWithin = !bDestination && IsRoundabout(item.idEdge);
  const bool bEnter =
      !bDestination && !bWithin && IsRoundabout(item.idNext) && RoundaboutExit(item, nExit, sRoad);
  if (bWithin || bEnter) {
    sClass = "roundabout exit " + std::to_string(nExit);
    sInstruction = RoundaboutInstruction(bEnter, nExit, sRoad);
  }
  const ManoeuvreAhead ahead{{item.ptEnd.lon, item.ptEnd.lat}, dDist, bDestination, sInstruction};
  const Announcement a = m_announcer.Update(ahead, EdgeSpeed(nav));
  if (a.stage == AnnounceStage::kNone) {
    return;
  }
  Event(t, "announce", a.sText, pt);
  if (a.stage == AnnounceStage::kNow) {
    const std::string sJunction = DescribeJunction(item);
    Event(t, "junction", "at " + RoadOrUnnamed(item.szName) + ": " + sJunction, item.ptEnd);
    m_record.manoeuvres.push_back({static_cast<int>(m_record.manoeuvres.size()) + 1, t, item.ptEnd,
                                   sClass, sInstruction, sJunction});
  }
}

void Drive::AfterPathChange() {
  m_announcer.Reset();
  m_lastOnRoute.reset();
  m_nOffRoute = 0;
  if (m_gpx.points.empty()) {
    BuildTrack(m_vehicle.Position());
  }
}

void Drive::Reroute(double t, const tagLonLat& pt, double dHeading) {
  // Closed roads stay closed for every later route.
  for (const VRO_FEATURE_ID& id : m_closed) {
    VroRouteAddBlockEdge(m_route.get(), id);
  }
  const int bDone = m_path.QuickRoute(m_route.get(), pt, dHeading, 0.0, kRouteMode, 0.0);
  if (!m_closed.empty()) {
    VroRouteRemoveAllBlockEdge(m_route.get());
  }
  if (!bDone) {
    Event(t, "reroute", "No route from here; trying again", pt);
    m_nOffRoute = 0;
    return;
  }
  ++m_nReroutes;
  Event(t, "reroute", "Recalculated the route from here", pt);
  RecordRoute("reroute " + std::to_string(m_nReroutes), t);
  AfterPathChange();
}

void Drive::Closure(double t, const tagLonLat& pt, double dHeading, const NavGuid& nav) {
  m_bClosurePending = false;
  // The edge the closure lies on, found the way the library walks ahead.
  PathGuid item = nav;
  for (double dDist = nav.dDist; m_opts.dClosure > dDist;) {
    PathGuid next{};
    if (m_path.GetNextGuid(item, next) == 0) {
      Event(t, "closure", "No closure: the route ends before " + SpokenDistance(m_opts.dClosure),
            pt);
      return;
    }
    dDist += next.dDist;
    item = next;
  }
  const std::string sRoad = RoadOrUnnamed(item.szName);
  const std::string sWhere =
      m_opts.dClosure < 10.0 ? "right ahead" : SpokenDistance(m_opts.dClosure) + " ahead";
  const std::vector<tagLonLat> pts(item.pPts, item.pPts + item.wPtNum);  // before the path changes
  const VRO_FEATURE_ID idClosed = item.idEdge;
  if (!m_path.BlockRoute(m_route.get(), m_opts.dClosure, m_opts.dTolerance, pt, dHeading, 0.0,
                         kRouteMode, 0.0)) {
    Event(t, "closure",
          "Road closed " + sWhere + " on " + sRoad + ": no way around it, keeping the route", pt);
    return;
  }
  m_closed.push_back(idClosed);
  m_record.closures.push_back({t, sRoad, pts});
  Event(t, "closure", "Road closed " + sWhere + " on " + sRoad + ": the route goes around it",
        pts[pts.size() / 2]);
  RecordRoute("around the closure", t);
  AfterPathChange();
}

bool Drive::OnFix(double t, const tagLonLat& pt, double dHeading) {
  NavGuid nav{};
  const int r = m_path.TestPoint(pt, m_opts.dTolerance, nav, dHeading,
                                 m_lastOnRoute ? &*m_lastOnRoute : nullptr);
  m_record.fixes.push_back({t, pt, dHeading, r, r != 0, nav.ptClose});
  if (m_opts.bVerbose) {
    // The direction is the one given to the match: degrees counterclockwise
    // from east in the longitude/latitude plane.
    char sz[160];
    if (r == 1 || r == 2) {
      std::snprintf(sz, sizeof sz, "%.6f,%.6f direction %.0f: %s, %.0f m from its match on ",
                    pt.lon, pt.lat, dHeading, r == 1 ? "on the route" : "arrived",
                    SegmentLength(pt, nav.ptClose));
      Event(t, "fix", sz + RoadOrUnnamed(nav.szName), pt);
    } else {
      std::snprintf(sz, sizeof sz, "%.6f,%.6f direction %.0f: %s", pt.lon, pt.lat, dHeading,
                    r == 3 ? "off the route" : "no match");
      Event(t, "fix", sz, pt);
    }
  }
  if (r == 3) {
    if (++m_nOffRoute == m_opts.nOffRouteFixes) {
      Event(t, "off-route",
            m_nOffRoute == 1
                ? std::string("Off the route")
                : "Off the route for " + std::to_string(m_nOffRoute) + " fixes in a row",
            pt);
      Reroute(t, pt, dHeading);
    }
    return false;
  }
  if (r == 0) {
    return false;
  }
  m_nOffRoute = 0;
  m_lastOnRoute = nav;
  if (r == 2) {
    Event(t, "arrive", "You have arrived at your destination", pt);
    m_bArrived = true;
    return true;
  }
  if (m_bClosurePending) {
    Closure(t, pt, dHeading, nav);
    if (m_lastOnRoute) {
      Announce(t, pt, nav);  // the route stands: announce as usual
    }
    return false;
  }
  Announce(t, pt, nav);
  return false;
}

void Drive::BuildTrack(const tagLonLat& ptFrom) {
  std::vector<TrackPoint> track;
  m_marks.clear();
  PathGuid g{};
  for (m_path.StartGuid(); m_path.NextGuid(g);) {
    const double dSpeed = EdgeSpeed(g);
    if (track.empty()) {
      track.push_back({ptFrom, dSpeed, -1});
    } else {
      track.back().dSpeed = dSpeed;
    }
    for (unsigned i = 1; i < g.wPtNum; ++i) {
      track.push_back({g.pPts[i], dSpeed, -1});
    }
    if (g.dTurnAngle >= 0 && IsAnnounced(g)) {
      track.back().nMark = static_cast<int>(m_marks.size());
      m_marks.push_back({g.idEdge, g.idNext, g.szNextName, g.dTurnAngle});
    }
  }
  if (!track.empty()) {
    track.back().dSpeed = 0.0;
  }
  m_vehicle.SetTrack(std::move(track));
}

std::vector<TrackPoint> Drive::StraightOn(tagLonLat pt, double dArrive,
                                          std::vector<VRO_FEATURE_ID> excluded) {
  std::vector<TrackPoint> out;
  double dLen = 0.0;
  // At the missed junction any road but the route's and a U-turn will do
  // when none goes straight on; farther on only roads within 60 degrees.
  double dMaxDeviation = 135.0;
  for (int k = 0; k < 50 && dLen < kStraightOnMetres; ++k) {
    MapRoad road;
    if (!StraightOnRoad(m_reader.get(), pt, dArrive, excluded, dMaxDeviation, road)) {
      break;
    }
    const double dSpeed = RoadSpeedKmh(0, road.nClass) / 3.6;
    if (!out.empty()) {
      out.back().dSpeed = dSpeed;
    }
    for (std::size_t i = 1; i < road.pts.size(); ++i) {
      dLen += SegmentLength(road.pts[i - 1], road.pts[i]);
      out.push_back({road.pts[i], dSpeed, -1});
    }
    const std::size_t n = road.pts.size();
    dArrive = PlaneDirection(road.pts[n - 2], road.pts[n - 1]);
    pt = road.pts[n - 1];
    excluded = {road.id};
    dMaxDeviation = 60.0;
  }
  if (!out.empty()) {
    out.back().dSpeed = 0.0;
  }
  return out;
}

void Drive::OnMark(Vehicle& vehicle, std::size_t nIndex) {
  ++m_nManoeuvresReached;
  if (m_bMissed || m_nManoeuvresReached != m_opts.nMissTurn) {
    return;
  }
  m_bMissed = true;
  const std::vector<TrackPoint>& track = vehicle.Track();
  const TrackMark& mark = m_marks[static_cast<std::size_t>(track[nIndex].nMark)];
  double dArrive = -1.0;
  for (std::size_t i = nIndex; i > 0 && dArrive < 0; --i) {
    dArrive = PlaneDirection(track[i - 1].pt, track[i].pt);
  }
  const tagLonLat pt = track[nIndex].pt;
  const std::vector<TrackPoint> rest = StraightOn(pt, dArrive, {mark.idArrive, mark.idNext});
  const std::string sTurn = TurnInstruction(ClassifyTurn(mark.dTurnAngle), mark.sNext);
  if (rest.empty()) {
    Event(m_record.fixes.empty() ? 0 : m_record.fixes.back().dTime + 1, "drive",
          "The driver cannot miss manoeuvre " + std::to_string(m_nManoeuvresReached) +
              ": no other road leaves the junction",
          pt);
    return;
  }
  vehicle.ReplaceAfter(nIndex, rest);
  Event(m_record.fixes.empty() ? 0 : m_record.fixes.back().dTime + 1, "drive",
        "The driver misses manoeuvre " + std::to_string(m_nManoeuvresReached) + " (" + sTurn +
            ") and goes straight on",
        pt);
}

void Drive::Simulate() {
  BuildTrack(m_record.routes.front().pts.front());
  const double dMaxTime = 3.0 * m_dPlannedTime + 600.0;
  int nStanding = 0;
  for (double t = 0; t <= dMaxTime; t += 1.0) {
    if (t > 0) {
      m_vehicle.Advance(1.0, [this](Vehicle& v, std::size_t i) { OnMark(v, i); });
    }
    const tagLonLat truth = m_vehicle.Position();
    double dLon = 0, dLat = 0;
    GetUnitDegree(truth, dLon, dLat);
    const double dEast = m_noise.Gaussian(m_opts.dNoise);
    const double dNorth = m_noise.Gaussian(m_opts.dNoise);
    const tagLonLat fix = {truth.lon + dEast * dLon, truth.lat + dNorth * dLat};
    double dHeading = m_vehicle.Heading();
    const double dTurn = m_noise.Gaussian(m_opts.dHeadingNoise);
    if (dHeading >= 0) {
      dHeading = std::fmod(dHeading + dTurn + 720.0, 360.0);
    }
    if (OnFix(t, fix, dHeading)) {
      return;
    }
    if (m_vehicle.AtEnd() && ++nStanding > kStandingFixes) {
      Event(t, "stop", "The vehicle has nowhere to go and has not arrived", fix);
      return;
    }
  }
  Event(dMaxTime, "stop", "Gave up: the drive takes three times longer than planned",
        m_vehicle.Position());
}

void Drive::Replay() {
  const double t0 = m_gpx.points.front().bHasTime ? m_gpx.points.front().dTime : 0.0;
  double dHeading = -1.0;
  for (std::size_t i = 0; i < m_gpx.points.size(); ++i) {
    const GpxPoint& p = m_gpx.points[i];
    const double t = p.bHasTime && m_gpx.points.front().bHasTime ? p.dTime - t0 : double(i);
    if (p.bHasCourse) {
      // Course is clockwise from north on the ground; turn it into the
      // longitude/latitude plane the library measures in.
      double dLon = 0, dLat = 0;
      GetUnitDegree(p.pt, dLon, dLat);
      const double c = p.dCourse * std::numbers::pi / 180.0;
      dHeading = PlaneDirection({0, 0}, {std::sin(c) * dLon, std::cos(c) * dLat});
    } else if (i > 0 && SegmentLength(m_gpx.points[i - 1].pt, p.pt) > 2.0) {
      dHeading = PlaneDirection(m_gpx.points[i - 1].pt, p.pt);
    }
    if (OnFix(t, p.pt, dHeading)) {
      return;
    }
  }
  const GpxPoint& last = m_gpx.points.back();
  const double t = last.bHasTime && m_gpx.points.front().bHasTime ? last.dTime - t0
                                                                  : double(m_gpx.points.size() - 1);
  Event(t, "end",
        "The recording ends " + SpokenDistance(SegmentLength(last.pt, m_ptTo)) +
            " from the destination",
        last.pt);
}

int Drive::Finish(int nExit) {
  if (m_geojson.is_open()) {
    WriteGeoJson(m_record, m_geojson);
    m_geojson.close();
    if (!m_geojson) {
      m_err << "vxnav: could not write " << m_opts.sGeoJson << "\n";
      return 1;
    }
    m_out << "GeoJSON written to " << m_opts.sGeoJson << "\n";
  }
  if (m_svg.is_open()) {
    tagLonLat lo{0, 0}, hi{0, 0};
    std::vector<MapRoad> roads;
    if (RecordArea(m_record, 400.0, lo, hi)) {
      roads = RoadsInRect(m_reader.get(), lo, hi);
    }
    WriteSvg(m_record, roads, m_svg);
    m_svg.close();
    if (!m_svg) {
      m_err << "vxnav: could not write " << m_opts.sSvg << "\n";
      return 1;
    }
    m_out << "SVG written to " << m_opts.sSvg << "\n";
  }
  return nExit;
}

int Drive::Run() {
  if (!m_opts.sGpx.empty()) {
    std::string sError;
    std::error_code ec;
    const std::uintmax_t nBytes = std::filesystem::file_size(m_opts.sGpx, ec);
    const bool bOk =
        WithProgress(m_err, isatty(2) != 0 && &m_err == &std::cerr, "GPX " + m_opts.sGpx,
                     ec ? 0 : nBytes, [&] { return ReadGpxFile(m_opts.sGpx, m_gpx, sError); });
    if (!bOk) {
      m_err << "vxnav: " << sError << "\n";
      return 2;
    }
  }
  if (!OpenOutputs()) {
    return 2;
  }
  if (const int nExit = LoadMap(); nExit != 0) {
    return nExit;
  }
  if (!ChooseEnds()) {
    return 2;
  }
  char szEnds[128];
  std::snprintf(szEnds, sizeof szEnds, "from %.6f,%.6f to %.6f,%.6f", m_ptFrom.lon, m_ptFrom.lat,
                m_ptTo.lon, m_ptTo.lat);
  m_out << "vxnav drive on " << m_opts.sMap << " " << szEnds
        << (m_gpx.points.empty() ? "" : ", replaying " + m_opts.sGpx) << "\n";
  if (!PlanRoute()) {
    m_err << "vxnav: no route " << szEnds << "\n";
    return Finish(1);
  }
  RecordRoute("planned", 0.0);
  m_bClosurePending = m_opts.dClosure >= 0;
  if (m_gpx.points.empty()) {
    Simulate();
  } else {
    Replay();
  }
  if (m_opts.nMissTurn > 0 && !m_bMissed) {
    Event(m_record.fixes.empty() ? 0 : m_record.fixes.back().dTime, "note",
          "No manoeuvre " + std::to_string(m_opts.nMissTurn) + " to miss: the drive reached " +
              std::to_string(m_nManoeuvresReached),
          m_vehicle.Position());
  }
  return Finish(m_bArrived || !m_gpx.points.empty() ? 0 : 1);
}

}  // namespace

int RunDrive(const DriveOptions& opts, std::ostream& out, std::ostream& err, DriveRecord* pRecord) {
  Drive drive(opts, out, err);
  const int nExit = drive.Run();
  if (pRecord != nullptr) {
    *pRecord = std::move(drive.Record());
  }
  return nExit;
}

}  // namespace vxdrive
