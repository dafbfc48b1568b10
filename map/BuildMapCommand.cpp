// The map compiler behind `vxnav build-map`: import, grid, route graph and
// overlay, file.
#include "map/BuildMapCommand.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <new>

#include "map/OsmImport.h"
#include "network/FeatureBoxGrid.h"
#include "network/MapFile.h"
#include "network/Overlay.h"
#include "network/RouteGraphData.h"

namespace vxmap {
namespace {

constexpr std::uintmax_t kProgressBytes = 2u << 20;

// Progress lines "vxnav build-map: STAGE ... S s", at most one a second, in
// place on a terminal.
class Progress {
 public:
  Progress(std::ostream* pErr, bool bTerminal) : m_pErr(pErr), m_bTerminal(bTerminal) {}
  ~Progress() {
    if (m_pErr != nullptr && m_bTerminal) *m_pErr << "\n" << std::flush;
  }
  void Stage(const std::string& sStage, bool bForce) {
    if (m_pErr == nullptr) return;
    const double dNow = Seconds();
    if (!bForce && dNow - m_dLast < 1.0) return;
    m_dLast = dNow;
    char sz[32];
    std::snprintf(sz, sizeof sz, " ... %.0f s", dNow);
    *m_pErr << (m_bTerminal ? "\r\033[K" : "") << "vxnav build-map: " << sStage << sz
            << (m_bTerminal ? "" : "\n") << std::flush;
  }

 private:
  double Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
  }
  std::ostream* m_pErr;
  bool m_bTerminal;
  std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
  double m_dLast = -1.0;
};

}  // namespace

CompileFault CompileMap(const char* szIn, const char* szOut, std::string& sError,
                        std::ostream* pErr, std::vector<vxnet::SectionEntry>* pTable,
                        RestrictionStats* pStats) {
  std::error_code ec;
  const std::uintmax_t nBytes = std::filesystem::file_size(szIn, ec);
  Progress progress(!ec && nBytes >= kProgressBytes ? pErr : nullptr,
                    pErr != nullptr && isatty(2) != 0);
  try {
    vxnet::RoadNetwork net;
    {
      RawOsm raw;
      if (!ReadOsmFile(
              szIn, raw, sError, NodePass::kAuto,
              [&](const char* szPass, std::uint64_t nDone, std::uint64_t nSize) {
                const int nPercent = nSize > 0
                                         ? static_cast<int>(100.0 * static_cast<double>(nDone) /
                                                            static_cast<double>(nSize))
                                         : 0;
                progress.Stage(
                    std::string("reading ") + szPass + " " + std::to_string(nPercent) + "%", false);
              }))
        return CompileFault::kInput;
      progress.Stage("building the network", true);
      if (!BuildRoadNetwork(raw, net, sError)) {
        sError = std::string("map file ") + szIn + ": " + sError;
        return CompileFault::kInput;
      }
      if (pStats != nullptr) *pStats = raw.restrictionStats;
    }
    progress.Stage("indexing " + std::to_string(net.features.size()) + " features", true);
    net.grid = vxnet::BuildFeatureGrid(net.View());
    progress.Stage("computing the route graph", true);
    net.graph = vxnet::BuildRouteGraph(net.View());
    vxnet::OverlayOptions overlay;
    overlay.progress = [&](const std::string& sStep) {
      progress.Stage("computing the route overlay: " + sStep, true);
    };
    net.overlay = vxnet::BuildOverlay(vxnet::StateGraph(net.View()), overlay);
    progress.Stage(std::string("writing ") + szOut, true);
    if (!vxnet::WriteMapFile(net.View(), szOut, sError, pTable)) return CompileFault::kOutput;
  } catch (const std::bad_alloc&) {
    sError = std::string("out of memory compiling ") + szIn;
    return CompileFault::kInput;
  } catch (const std::exception& e) {
    sError = std::string("cannot compile ") + szIn + ": " + e.what();
    return CompileFault::kInput;
  }
  return CompileFault::kNone;
}

const char* BuildMapUsage() {
  return "usage: vxnav build-map IN OUT\n"
         "Compiles the OpenStreetMap file IN (.osm, .osm.pbf, .osm.bz2) into the map\n"
         "file OUT (e.g. town.vxmap), which vxnav drive --map and VroReaderOpen open\n"
         "in milliseconds. Exit status: 0 written, 1 OUT not written, 2 bad arguments\n"
         "or input.\n";
}

int RunBuildMap(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    out << BuildMapUsage();
    return 0;
  }
  if (args.size() != 2) {
    err << "vxnav build-map: expected IN and OUT\n" << BuildMapUsage();
    return 2;
  }
  std::string sError;
  std::vector<vxnet::SectionEntry> table;
  RestrictionStats stats;
  switch (CompileMap(args[0].c_str(), args[1].c_str(), sError, &err, &table, &stats)) {
    case CompileFault::kInput:
      err << "vxnav build-map: " << sError << "\n";
      return 2;
    case CompileFault::kOutput:
      err << "vxnav build-map: " << sError << "\n";
      return 1;
    case CompileFault::kNone:
      break;
  }
  std::uint64_t nTotal = 0;
  for (const vxnet::SectionEntry& s : table) nTotal = std::max(nTotal, s.nOffset + s.nSize);
  out << "wrote " << args[1] << ": " << nTotal << " bytes\n";
  for (const vxnet::SectionEntry& s : table) {
    out << "  " << vxnet::SectionName(s.nId) << " " << s.nSize << " bytes, "
        << s.nSize / s.nRecordSize << " records\n";
  }
  out << stats.Summary() << "\n";
  return 0;
}

}  // namespace vxmap
