// `vxnav build-map IN OUT`: compiles an OpenStreetMap file into a compiled map
// file (docs/map-format.md) that VroReaderOpen maps in milliseconds.
#ifndef VX_MAP_BUILDMAPCOMMAND_H
#define VX_MAP_BUILDMAPCOMMAND_H

#include <ostream>
#include <string>
#include <vector>

#include "map/RestrictionRules.h"
#include "network/MapFormat.h"

namespace vxmap {

/// Why CompileMap failed.
enum class CompileFault { kNone, kInput, kOutput };

/// Reads szIn (.osm, .osm.pbf, .osm.bz2), builds the network, its grid, its
/// route graph and the route overlay with the components, and writes them to
/// szOut (replaced only when complete). pErr, when given, receives progress
/// lines for inputs of 2 MB or more. kInput for an input that cannot be read
/// or holds no drivable road, kOutput when writing fails; sError names the
/// file. pTable receives the sections written, pStats what became of the turn
/// restriction relations.
CompileFault CompileMap(const char* szIn, const char* szOut, std::string& sError,
                        std::ostream* pErr = nullptr,
                        std::vector<vxnet::SectionEntry>* pTable = nullptr,
                        RestrictionStats* pStats = nullptr);

/// The command: args are the arguments after "build-map". Prints the file's
/// sections and the count of turn restrictions applied and ignored (by
/// reason) on out; exit status 0, 1 when writing fails, 2 for bad arguments
/// or input (the message names the file).
int RunBuildMap(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

/// The usage line of the command.
const char* BuildMapUsage();

}  // namespace vxmap

#endif
