// The drive: a thin program around the navigator. It opens the map and the
// route engine, feeds the navigator fixes from the simulated vehicle or a
// GPX recording, logs what the navigator reports and keeps the record the
// GeoJSON and SVG are drawn from.
#include "drive/DriveSession.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>

#include "drive/ExitStatus.h"
#include "drive/GeoJson.h"
#include "drive/Gpx.h"
#include "drive/GpxFixes.h"
#include "drive/MapRoads.h"
#include "drive/Progress.h"
#include "drive/SimulatedDriver.h"
#include "drive/Svg.h"
#include "interfaces/VroGeo.h"
#include "interfaces/VroRead.h"
#include "interfaces/VroRoute.h"
#include "nav/Navigator.h"

namespace vxdrive {

const char* LogKindName(LogKind kind) {
  switch (kind) {
    case LogKind::kRoute:
      return "route";
    case LogKind::kAnnounce:
      return "announce";
    case LogKind::kJunction:
      return "junction";
    case LogKind::kOffRoute:
      return "off-route";
    case LogKind::kReroute:
      return "reroute";
    case LogKind::kClosure:
      return "closure";
    case LogKind::kArrive:
      return "arrive";
    case LogKind::kFix:
      return "fix";
    case LogKind::kDrive:
      return "drive";
    case LogKind::kStop:
      return "stop";
    case LogKind::kEnd:
      return "end";
    case LogKind::kNote:
      return "note";
  }
  return "note";
}

namespace {

struct ReaderCloser {
  void operator()(VRO_READER* h) const { VroReaderClose(h); }
};
struct RouteCloser {
  void operator()(VRO_ROUTE* h) const { VroRouteClose(h); }
};

std::string RoadOrUnnamed(const std::string& s) { return s.empty() ? "an unnamed road" : s; }

LogKind KindOf(vxnav::EventKind kind) {
  switch (kind) {
    case vxnav::EventKind::kRoute:
      return LogKind::kRoute;
    case vxnav::EventKind::kInstruction:
      return LogKind::kAnnounce;
    case vxnav::EventKind::kJunction:
      return LogKind::kJunction;
    case vxnav::EventKind::kOffRoute:
      return LogKind::kOffRoute;
    case vxnav::EventKind::kReroute:
      return LogKind::kReroute;
    case vxnav::EventKind::kClosure:
      return LogKind::kClosure;
    case vxnav::EventKind::kArrival:
      return LogKind::kArrive;
  }
  return LogKind::kNote;
}

// The class of a manoeuvre for the outputs: "left", "roundabout exit 2", ...
std::string ManoeuvreClass(const vxnav::Instruction& in) {
  if (in.kind == vxnav::ManoeuvreKind::kEnterRoundabout ||
      in.kind == vxnav::ManoeuvreKind::kLeaveRoundabout) {
    return "roundabout exit " + std::to_string(in.nExit);
  }
  return vxnav::TurnClassName(in.turn);
}

class Drive {
 public:
  Drive(const DriveOptions& opts, std::ostream& out, std::ostream& err)
      : m_opts(opts), m_out(out), m_err(err) {}

  int Run();
  DriveRecord& Record() { return m_record; }

 private:
  bool OpenOutputs();
  int LoadMap();
  bool ChooseEnds();
  void Log(double t, LogKind kind, const std::string& sText, const tagLonLat& pt);
  void Log(const DriveEvent& e) { Log(e.dTime, e.kind, e.sText, e.pt); }
  void Report(const vxnav::Update& u);
  void RecordRoute(const vxnav::Event& e);
  bool Feed(const vxnav::Fix& fix);
  void Simulate();
  void Replay();
  double LastTime() const { return m_record.fixes.empty() ? 0 : m_record.fixes.back().dTime; }
  int Finish(int nExit);

  const DriveOptions& m_opts;
  std::ostream& m_out;
  std::ostream& m_err;
  DriveRecord m_record;

  GpxTrack m_gpx;
  GpxFixes m_replay;  // the recording's fixes
  std::unique_ptr<VRO_READER, ReaderCloser> m_reader;
  std::unique_ptr<VRO_ROUTE, RouteCloser> m_route;  // declared after the reader: closed first
  std::unique_ptr<vxnav::Navigator> m_nav;          // declared after both: destroyed first
  std::unique_ptr<SimulatedDriver> m_driver;        // uses all three: destroyed before them
  std::ofstream m_geojson;
  std::ofstream m_svg;

  tagLonLat m_ptFrom{0, 0};
  tagLonLat m_ptTo{0, 0};
  double m_dPlannedTime = 0.0;
  int m_nReroutes = 0;
  bool m_bArrived = false;
  vxnav::Instruction m_lastNow;  // the last "Now" announcement, for its junction
};

void Drive::Log(double t, LogKind kind, const std::string& sText, const tagLonLat& pt) {
  m_record.events.push_back({t, kind, sText, pt});
  const std::string sKind = LogKindName(kind);
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
    return kExitRefused;
  }
  if (std::filesystem::is_directory(sMap, ec)) {
    m_err << "vxnav: map file " << sMap << " is a directory\n";
    return kExitRefused;
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
    return kExitRefused;
  }
  m_reader.reset(h);
  m_route.reset(VroRouteOpen(h));
  if (!m_route) {
    m_err << "vxnav: " << sMap << ": no road network to route on\n";
    return kExitRefused;
  }
  vxnav::Settings settings;
  settings.tolerance = m_opts.tolerancePolicy;
  settings.dTolerance = m_opts.dTolerance;
  settings.nOffRouteFixes = m_opts.nOffRouteFixes;
  m_nav = std::make_unique<vxnav::Navigator>(m_reader.get(), m_route.get(), settings);
  m_driver = std::make_unique<SimulatedDriver>(m_opts, m_reader.get(), *m_nav);
  return kExitOk;
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

// A new route: recorded with its label, and the simulated vehicle follows it.
void Drive::RecordRoute(const vxnav::Event& e) {
  const vxnav::RouteInfo& info = std::get<vxnav::RouteInfo>(e.data);
  std::string sLabel = "planned";
  switch (info.reason) {
    case vxnav::RouteReason::kPlanned:
      m_dPlannedTime = info.dTime;
      break;
    case vxnav::RouteReason::kClosure:
      sLabel = "around the closure";
      break;
    default:
      sLabel = "reroute " + std::to_string(++m_nReroutes);
      break;
  }
  m_record.routes.push_back({sLabel, e.dTime, info.dLength, info.pts});
  if (m_gpx.points.empty() && info.reason != vxnav::RouteReason::kPlanned) {
    m_driver->FollowRoute(m_driver->Position());
  }
}

// Logs and records what the navigator reported.
void Drive::Report(const vxnav::Update& u) {
  for (const vxnav::Event& e : u.events) {
    Log(e.dTime, KindOf(e.Kind()), vxnav::EnglishText(e), e.pt);
    switch (e.Kind()) {
      case vxnav::EventKind::kRoute:
        RecordRoute(e);
        break;
      case vxnav::EventKind::kInstruction:
        if (const auto& in = std::get<vxnav::Instruction>(e.data);
            in.stage == vxnav::AnnounceStage::kNow) {
          m_lastNow = in;
        }
        break;
      case vxnav::EventKind::kJunction:
        m_record.manoeuvres.push_back(
            {static_cast<int>(m_record.manoeuvres.size()) + 1, e.dTime, m_lastNow.ptManoeuvre,
             ManoeuvreClass(m_lastNow), vxnav::InstructionText(m_lastNow),
             vxnav::JunctionRoadsText(std::get<vxnav::Junction>(e.data))});
        break;
      case vxnav::EventKind::kClosure:
        if (const auto& c = std::get<vxnav::Closure>(e.data);
            c.status == vxnav::ClosureStatus::kRerouted) {
          m_record.closures.push_back({e.dTime, RoadOrUnnamed(c.sRoad), c.pts});
        }
        break;
      case vxnav::EventKind::kArrival:
        m_bArrived = true;
        break;
      default:
        break;
    }
  }
}

// One fix to the navigator; true when arrived.
bool Drive::Feed(const vxnav::Fix& fix) {
  const vxnav::Update u = m_nav->OnFix(fix);
  const vxnav::State& s = u.state;
  m_record.fixes.push_back(
      {fix.dTime, fix.pt, fix.dHeading, s.match, s.state, s.bHasMatch, s.ptMatch});
  if (m_opts.bVerbose) {
    // The direction is the one given to the match: degrees counterclockwise
    // from east in the longitude/latitude plane.
    char sz[160];
    const bool bOn = s.state == vxnav::RouteState::kOnRoute;
    if (bOn || s.state == vxnav::RouteState::kArrived) {
      std::snprintf(sz, sizeof sz, "%.6f,%.6f direction %.0f: %s, %.0f m from its match on ",
                    fix.pt.lon, fix.pt.lat, fix.dHeading, bOn ? "on the route" : "arrived",
                    SegmentLength(fix.pt, s.ptMatch));
      Log(fix.dTime, LogKind::kFix, sz + RoadOrUnnamed(s.sRoad), fix.pt);
    } else {
      std::snprintf(sz, sizeof sz, "%.6f,%.6f direction %.0f: %s", fix.pt.lon, fix.pt.lat,
                    fix.dHeading,
                    s.state == vxnav::RouteState::kOffRoute ? "off the route" : "no match");
      Log(fix.dTime, LogKind::kFix, sz, fix.pt);
    }
  }
  Report(u);
  return m_bArrived;
}

// The simulated drive: a fix a second until arrived, stuck, or three times
// the planned time (and ten minutes) gone.
void Drive::Simulate() {
  m_driver->FollowRoute(m_record.routes.front().pts.front());
  const double dMaxTime = 3.0 * m_dPlannedTime + 600.0;
  for (double t = 0; t <= dMaxTime; t += 1.0) {
    const SimulatedDriver::Step step = m_driver->StepTo(t);
    for (const DriveEvent& e : step.actions) {
      Log(e);
    }
    if (Feed(step.fix)) {
      return;
    }
    if (m_driver->GivesUp()) {
      Log(t, LogKind::kStop, "The vehicle has nowhere to go and has not arrived", step.fix.pt);
      return;
    }
  }
  Log(dMaxTime, LogKind::kStop, "Gave up: the drive takes three times longer than planned",
      m_driver->Position());
}

void Drive::Replay() {
  std::size_t nBack = 0;
  for (std::size_t i = 0; i < m_replay.fixes.size(); ++i) {
    const vxnav::Fix& fix = m_replay.fixes[i];
    if (nBack < m_replay.backwards.size() && m_replay.backwards[nBack] == i) {
      char sz[160];
      std::snprintf(sz, sizeof sz,
                    "GPX point %zu was recorded %.0f s before the point before it: taken as 1 s "
                    "after it",
                    i + 1, m_replay.backSeconds[nBack++]);
      Log(fix.dTime, LogKind::kNote, sz, fix.pt);
    }
    if (Feed(fix)) {
      return;
    }
  }
  const vxnav::Fix& last = m_replay.fixes.back();
  Log(last.dTime, LogKind::kEnd,
      "The recording ends " + vxnav::SpokenDistance(SegmentLength(last.pt, m_ptTo)) +
          " from the destination",
      last.pt);
}

int Drive::Finish(int nExit) {
  if (m_geojson.is_open()) {
    WriteGeoJson(m_record, m_geojson);
    m_geojson.close();
    if (!m_geojson) {
      m_err << "vxnav: could not write " << m_opts.sGeoJson << "\n";
      return kExitFailed;
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
      return kExitFailed;
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
      return kExitRefused;
    }
    m_replay = FixesOfGpx(m_gpx);
  }
  if (!OpenOutputs()) {
    return kExitRefused;
  }
  if (const int nExit = LoadMap(); nExit != kExitOk) {
    return nExit;
  }
  if (!ChooseEnds()) {
    return kExitRefused;
  }
  char szEnds[128];
  std::snprintf(szEnds, sizeof szEnds, "from %.6f,%.6f to %.6f,%.6f", m_ptFrom.lon, m_ptFrom.lat,
                m_ptTo.lon, m_ptTo.lat);
  m_out << "vxnav drive on " << m_opts.sMap << " " << szEnds
        << (m_gpx.points.empty() ? "" : ", replaying " + m_opts.sGpx) << "\n";
  // A recording that starts the route starts it in its own direction.
  const bool bFromGpx = !m_gpx.points.empty() && !m_opts.bFromGiven;
  const vxnav::Update planned =
      m_nav->PlanRoute(m_ptFrom, m_ptTo, 0.0, bFromGpx ? m_replay.dStartHeading : -1.0);
  if (planned.events.empty()) {
    m_err << "vxnav: no route " << szEnds << "\n";
    return Finish(kExitFailed);
  }
  Report(planned);
  if (m_opts.dClosure >= 0) {
    Report(m_nav->CloseRoadAhead(m_opts.dClosure));  // done at the first fix on the route
  }
  if (m_gpx.points.empty()) {
    Simulate();
  } else {
    Replay();
  }
  if (const std::optional<DriveEvent> note = m_driver->UnmissedTurnNote(LastTime())) {
    Log(*note);
  }
  m_record.dMissTime = m_driver->MissTime();
  return Finish(m_bArrived || !m_gpx.points.empty() ? kExitOk : kExitFailed);
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
