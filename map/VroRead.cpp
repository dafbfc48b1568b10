// The map reader calls over a road network imported from OpenStreetMap or
// mapped from a compiled map file.
#include "interfaces/VroRead.h"

#include <algorithm>
#include <mutex>
#include <new>
#include <numeric>
#include <string>
#include <unordered_set>

#include "map/OsmImport.h"
#include "map/ReaderState.h"
#include "network/FeatureBoxGrid.h"
#include "network/FeatureId.h"
#include "network/ReaderNetwork.h"

namespace {

thread_local std::string t_sLastError;

// The readers opened here and not yet closed, so that a handle is followed
// to its network only when it is one of ours.
std::mutex g_openMutex;
std::unordered_set<const VRO_READER*>& OpenReaders() {
  static std::unordered_set<const VRO_READER*> s;
  return s;
}

void ClearSelection(VRO_READER* h) {
  h->attrs.clear();
  h->nNextAttr = 0;
}

bool Selected(const VRO_READER* h, const vxnet::Feature& f) {
  const char c = static_cast<char>('0' + f.nRoadClass);
  return f.nRoadClass >= 1 && f.nRoadClass <= 7 && h->bClassAllowed[f.nRoadClass] &&
         c >= h->cPriLow && c <= h->cPriHigh;
}

// A feature of the network: an index below the count whose points are in range.
bool Present(const VRO_READER* h, std::uint32_t k) {
  return k < h->net.features.size() && !h->net.PointsOf(h->net.features[k]).empty();
}

}  // namespace

namespace vxnet {

const NetworkView* NetworkOfReader(VRO_READER* hReader) {
  const std::lock_guard<std::mutex> lock(g_openMutex);
  return OpenReaders().count(hReader) != 0 ? &hReader->net : nullptr;
}

}  // namespace vxnet

namespace vxmap {

std::size_t ReaderBytes(const VRO_READER& r) {
  std::size_t n = sizeof r + r.found.capacity() * sizeof(std::uint32_t) +
                  r.points.capacity() * sizeof(Bin_LonLat);
  if (r.pImported) n += r.pImported->Bytes();
  return n;
}

}  // namespace vxmap

VRO_READER* VroReaderOpen(const char* szMapFile) {
  t_sLastError.clear();
  try {
    auto h = std::make_unique<VRO_READER>();
    std::string sError;
    if (vxnet::HasMapMagic(szMapFile)) {
      h->pMapped = vxnet::MappedMap::Open(szMapFile, sError);
      if (!h->pMapped) {
        t_sLastError = sError;
        return nullptr;
      }
      h->net = h->pMapped->View();
    } else {
      h->pImported = std::make_unique<vxnet::RoadNetwork>();
      if (!vxmap::ImportRoadNetwork(szMapFile, *h->pImported, sError)) {
        t_sLastError = sError;
        return nullptr;
      }
      h->pImported->grid = vxnet::BuildFeatureGrid(h->pImported->View());
      h->net = h->pImported->View();
    }
    const std::lock_guard<std::mutex> lock(g_openMutex);
    OpenReaders().insert(h.get());
    return h.release();
  } catch (const std::bad_alloc&) {
    t_sLastError = "out of memory";
    return nullptr;
  } catch (const std::exception& e) {
    t_sLastError = std::string("cannot open map file: ") + e.what();
    return nullptr;
  }
}

const char* VroReaderLastError() { return t_sLastError.c_str(); }

void VroReaderClose(VRO_READER* hReader) {
  if (hReader == nullptr) return;
  {
    const std::lock_guard<std::mutex> lock(g_openMutex);
    OpenReaders().erase(hReader);
  }
  delete hReader;
}

int VroReaderPriLimit(VRO_READER* h, char cPri1, char cPri2) {
  if (h == nullptr) return 0;
  h->cPriLow = std::min(cPri1, cPri2);
  h->cPriHigh = std::max(cPri1, cPri2);
  return 1;
}

int VroReaderCatLimit(VRO_READER* h, char cCat, const char* szCats) {
  if (h == nullptr || szCats == nullptr) return 0;
  if (cCat == '0' || cCat == '2') return 1;  // kinds a roads-only map does not hold
  if (cCat != '1') return 0;
  std::fill(std::begin(h->bClassAllowed), std::end(h->bClassAllowed), false);
  for (const char* p = szCats; *p != '\0'; ++p) {
    if (*p >= '1' && *p <= '7') h->bClassAllowed[*p - '0'] = true;
  }
  return 1;
}

int VroReaderRectLimit(VRO_READER* h, const Bin_LonLat& p1, const Bin_LonLat& p2) {
  if (h == nullptr) return 0;
  h->rect = vxnet::BinBox{std::min(p1.lon, p2.lon), std::min(p1.lat, p2.lat),
                          std::max(p1.lon, p2.lon), std::max(p1.lat, p2.lat)};
  h->bHasRect = true;
  return 1;
}

int VroReaderReset(VRO_READER* h, const char*, int) {
  if (h == nullptr) return 0;
  ClearSelection(h);
  h->found.clear();
  h->nNextFound = 0;
  if (h->bHasRect) {
    vxnet::SearchFeatureGrid(h->net, h->rect, h->found);
  } else {
    h->found.resize(h->net.features.size());
    std::iota(h->found.begin(), h->found.end(), 0u);
  }
  h->found.erase(std::remove_if(h->found.begin(), h->found.end(),
                                [h](std::uint32_t k) {
                                  return !Present(h, k) || !Selected(h, h->net.features[k]);
                                }),
                 h->found.end());
  std::sort(h->found.begin(), h->found.end());
  h->bSearched = true;
  return 1;
}

int VroReaderNextFeature(VRO_READER* h, char* szCode, char* szStr1, char* szStr2,
                         VRO_FEATURE_ID& id, Bin_LonLat*& pPts) {
  if (h == nullptr) return 0;
  ClearSelection(h);
  if (!h->bSearched || h->nNextFound >= h->found.size()) return 0;
  const std::uint32_t k = h->found[h->nNextFound++];
  const std::span<const Bin_LonLat> pts = h->net.PointsOf(h->net.features[k]);
  h->points.assign(pts.begin(), pts.end());
  pPts = h->points.data();
  id = vxnet::FeatureIdOf(k, false);
  vxmap::WriteFeatureTexts(h->net, k, false, szCode, szStr1, szStr2);
  vxmap::BuildAttributes(h->net, k, false, h->attrs);
  return static_cast<int>(pts.size());
}

int VroFeatureOneAttr(VRO_READER* h, const VRO_FEATURE_ID& id, int, char* szCode, char* szStr1,
                      char* szStr2) {
  if (h == nullptr) return 0;
  ClearSelection(h);
  std::uint32_t k = 0;
  bool bReversed = false;
  if (!vxnet::DecodeFeatureId(id, k, bReversed) || !Present(h, k)) return 0;
  vxmap::WriteFeatureTexts(h->net, k, bReversed, szCode, szStr1, szStr2);
  vxmap::BuildAttributes(h->net, k, bReversed, h->attrs);
  return 1;
}

int VroReaderNextAttr(VRO_READER* h, char* szCode, char* szStr1, char* szStr2) {
  if (h == nullptr || h->nNextAttr >= h->attrs.size()) return 0;
  const ReaderAttr& a = h->attrs[h->nNextAttr++];
  vro::CopyTextUtf8(szCode, vro::kCodeSize, a.szCode);
  vro::CopyTextUtf8(szStr1, vro::kStr1Size, a.sName.c_str());
  vro::CopyTextUtf8(szStr2, vro::kNameSize, a.sValue.c_str());
  return 1;
}

int VroReaderIsSameFeature(VRO_READER* h, const VRO_FEATURE_ID& a, const VRO_FEATURE_ID& b) {
  if (h == nullptr) return 0;
  std::uint32_t ka = 0, kb = 0;
  bool bRa = false, bRb = false;
  if (!vxnet::DecodeFeatureId(a, ka, bRa) || !vxnet::DecodeFeatureId(b, kb, bRb)) return 0;
  return ka == kb && Present(h, ka) ? 1 : 0;
}
