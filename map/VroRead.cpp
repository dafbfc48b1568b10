// The map reader calls over a road network imported from OpenStreetMap.
#include "interfaces/VroRead.h"

#include <algorithm>
#include <new>
#include <numeric>
#include <string>

#include "map/OsmImport.h"
#include "map/ReaderState.h"

namespace {

thread_local std::string t_sLastError;

void ClearSelection(VRO_READER* h) {
  h->attrs.clear();
  h->nNextAttr = 0;
}

bool Selected(const VRO_READER* h, const vxmap::Feature& f) {
  const char c = static_cast<char>('0' + f.nRoadClass);
  return f.nRoadClass >= 1 && f.nRoadClass <= 7 && h->bClassAllowed[f.nRoadClass] &&
         c >= h->cPriLow && c <= h->cPriHigh;
}

}  // namespace

namespace vxmap {

const RoadNetwork* NetworkOf(VRO_READER* hReader) {
  return hReader != nullptr ? &hReader->net : nullptr;
}

std::size_t ReaderBytes(const VRO_READER& r) {
  const RoadNetwork& net = r.net;
  std::size_t n = sizeof r + net.points.capacity() * sizeof(Bin_LonLat) +
                  net.features.capacity() * sizeof(Feature) +
                  net.nodes.capacity() * sizeof(Bin_LonLat) +
                  net.forbidden.capacity() * sizeof(ForbiddenTurn) +
                  net.names.capacity() * sizeof(std::string) + r.boxes.capacity() * sizeof(BinBox) +
                  r.grid.Bytes();
  for (const std::string& s : net.names) n += s.capacity() + 1;
  return n;
}

}  // namespace vxmap

VRO_READER* VroReaderOpen(const char* szMapFile) {
  t_sLastError.clear();
  VRO_READER* h = new (std::nothrow) VRO_READER;
  if (h == nullptr) {
    t_sLastError = "out of memory";
    return nullptr;
  }
  try {
    std::string sError;
    if (!vxmap::ImportRoadNetwork(szMapFile, h->net, sError)) {
      t_sLastError = sError;
      delete h;
      return nullptr;
    }
    h->boxes.reserve(h->net.features.size());
    for (const vxmap::Feature& f : h->net.features) h->boxes.push_back(vxmap::BoxOf(h->net, f));
    h->grid.Build(h->boxes);
  } catch (const std::bad_alloc&) {
    t_sLastError = "out of memory";
    delete h;
    return nullptr;
  }
  return h;
}

const char* VroReaderLastError() { return t_sLastError.c_str(); }

void VroReaderClose(VRO_READER* hReader) { delete hReader; }

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
  h->rect = vxmap::BinBox{std::min(p1.lon, p2.lon), std::min(p1.lat, p2.lat),
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
    h->grid.Search(h->rect, h->found);
  } else {
    h->found.resize(h->net.features.size());
    std::iota(h->found.begin(), h->found.end(), 0u);
  }
  h->found.erase(std::remove_if(h->found.begin(), h->found.end(),
                                [h](std::uint32_t k) { return !Selected(h, h->net.features[k]); }),
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
  const vxmap::Feature& f = h->net.features[k];
  const Bin_LonLat* pFirst = h->net.points.data() + f.nFirstPoint;
  h->points.assign(pFirst, pFirst + f.nPointCount);
  pPts = h->points.data();
  id = vxmap::FeatureIdOf(k, false);
  vxmap::WriteFeatureTexts(h->net, k, false, szCode, szStr1, szStr2);
  vxmap::BuildAttributes(h->net, k, false, h->attrs);
  return static_cast<int>(f.nPointCount);
}

int VroFeatureOneAttr(VRO_READER* h, const VRO_FEATURE_ID& id, int, char* szCode, char* szStr1,
                      char* szStr2) {
  if (h == nullptr) return 0;
  ClearSelection(h);
  std::uint32_t k = 0;
  bool bReversed = false;
  if (!vxmap::DecodeFeatureId(id, k, bReversed) || k >= h->net.features.size()) return 0;
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
  if (!vxmap::DecodeFeatureId(a, ka, bRa) || !vxmap::DecodeFeatureId(b, kb, bRb)) return 0;
  return ka == kb && ka < h->net.features.size() ? 1 : 0;
}
