// Fuzzes the compiled map reader on arbitrary bytes: they are written to a
// temporary .vxmap file and opened with VroReaderOpen. When the first byte is
// odd, the checksums are recomputed first (after the magic is put in place),
// so that changed records get past the checksums to the structural checks and
// the checks at the point of use. A file that opens is exercised like an
// imported map (fuzz/ExerciseMap.h): every reader call and the route engine,
// which must never read outside the file, whatever its records say.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/ExerciseMap.h"
#include "network/MapFile.h"

namespace {

// The temporary map file of this process, removed at exit.
struct TempFile {
  std::string sPath = "/tmp/vx_fuzz_vxmap_" + std::to_string(getpid()) + ".vxmap";
  ~TempFile() { std::remove(sPath.c_str()); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  static const TempFile temp;
  std::vector<char> bytes(pData, pData + nSize);
  if (nSize >= sizeof(vxnet::MapHeader) && (pData[0] & 1u) != 0) {
    std::memcpy(bytes.data(), vxnet::kMapMagic, sizeof vxnet::kMapMagic);
    vxnet::RestampChecksums(bytes);
  }
  vxfuzz::OpenAndExercise(temp.sPath, bytes.data(), bytes.size(), false);
  return 0;
}
