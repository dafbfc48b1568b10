// The compiled map file: writing a network into one (to a temporary name,
// renamed at the end), and opening one as a read-only shared memory mapping
// with its view. What is checked where is in docs/map-format.md.
#ifndef VX_NETWORK_MAPFILE_H
#define VX_NETWORK_MAPFILE_H

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "network/MapFormat.h"
#include "network/RoadNetwork.h"

namespace vxnet {

/// Writes net, whose grid and graph must be built, to sPath. The bytes go to
/// a temporary file beside sPath, which replaces sPath only when complete;
/// on failure no file is left and sError says why. pTable, when given,
/// receives the section table written.
bool WriteMapFile(const NetworkView& net, const std::string& sPath, std::string& sError,
                  std::vector<SectionEntry>* pTable = nullptr);

/// Recomputes the header's and every section's checksum of a compiled map
/// held in memory, so that a changed file reaches the checks behind the
/// checksums (tests and fuzzing). Does nothing to bytes that are not a
/// header; sections outside the bytes keep their checksum.
void RestampChecksums(std::span<char> file);

/// True when the file begins with the compiled map's magic.
bool HasMapMagic(const char* szPath);

/// An opened compiled map: the mapping and the view over it. Several opens of
/// one file share its pages (a read-only shared mapping).
class MappedMap {
 public:
  /// Maps and validates szPath; null with sError naming the file and the fault
  /// (truncated, not a compiled map, byte order, newer version, corrupt).
  static std::unique_ptr<MappedMap> Open(const char* szPath, std::string& sError);
  ~MappedMap();
  MappedMap(const MappedMap&) = delete;
  MappedMap& operator=(const MappedMap&) = delete;

  const NetworkView& View() const { return m_view; }
  std::span<const SectionEntry> Sections() const { return m_sections; }
  /// Verifies the checksum of every section, big ones included (reads the
  /// whole file); false with the first failing section named.
  bool VerifyAll(std::string& sError) const;
  /// Bytes of the mapping.
  std::size_t Size() const { return m_nSize; }

 private:
  MappedMap() = default;
  bool Validate(const std::string& sName, std::string& sError);
  /// The optional sections of format 1.1, checked; take(span, id) fills a
  /// span from the section of that id when the file has it.
  template <class Take>
  bool TakeOverlay(const Take& take, const std::string& sName, std::string& sError);

  const unsigned char* m_pBase = nullptr;
  std::size_t m_nSize = 0;
  std::span<const SectionEntry> m_sections;
  NetworkView m_view;
};

}  // namespace vxnet

#endif
