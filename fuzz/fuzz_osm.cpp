// Fuzzes the OpenStreetMap import on arbitrary bytes: they are written to a
// temporary file, .osm.pbf when they begin as a PBF file does (a header blob)
// and .osm (XML) otherwise, opened with VroReaderOpen, and every feature of
// the map that results is read back through the reader calls, with text
// buffers of exactly the sizes the reader is promised, so that any write
// beyond them is caught. Then the route engine opens on the map, routes
// between map points, and a path built from its route is matched, described
// at its junctions by the real reader and rebuilt by the real engine.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "fuzz/ExerciseMap.h"

namespace {

// The temporary map files of this process, removed at exit.
struct TempFile {
  std::string sXml = "/tmp/vx_fuzz_osm_" + std::to_string(getpid()) + ".osm";
  std::string sPbf = sXml + ".pbf";
  ~TempFile() {
    std::remove(sXml.c_str());
    std::remove(sPbf.c_str());
  }
};

// A PBF file opens with the length of its first blob header, then that
// header's type field: "OSMHeader".
bool LooksLikePbf(const uint8_t* pData, size_t nSize) {
  static const char kStart[] = "\x0a\x09OSMHeader";
  return nSize >= 4 + sizeof kStart - 1 && std::memcmp(pData + 4, kStart, sizeof kStart - 1) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  static const TempFile temp;
  const std::string& sFile = LooksLikePbf(pData, nSize) ? temp.sPbf : temp.sXml;
  vxfuzz::OpenAndExercise(sFile, pData, nSize, true);
  return 0;
}
