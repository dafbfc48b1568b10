// Feature searches through the map reader's calls.
#include "drive/MapRoads.h"

#include <cmath>
#include <cstdlib>

#include "interfaces/VroRead.h"
#include "interfaces/VroTexts.h"
#include "nav/Navigator.h"

namespace vxdrive {

namespace {

// Searches the features whose box meets p1..p2 and hands each to fn.
template <class Fn>
void SearchFeatures(VRO_READER* hReader, const Bin_LonLat& p1, const Bin_LonLat& p2, Fn fn) {
  VroReaderPriLimit(hReader, '1', '7');
  VroReaderCatLimit(hReader, '0', "");
  VroReaderCatLimit(hReader, '2', "");
  VroReaderCatLimit(hReader, '1', "1234567");
  VroReaderRectLimit(hReader, p1, p2);
  VroReaderReset(hReader, nullptr, 1);
  char szCode[vro::kCodeSize] = {};
  char szStr1[vro::kStr1Size] = {};
  char szStr2[vro::kNameSize] = {};
  VRO_FEATURE_ID id{};
  Bin_LonLat* pPts = nullptr;
  for (;;) {
    const int n = VroReaderNextFeature(hReader, szCode, szStr1, szStr2, id, pPts);
    if (n < 1 || pPts == nullptr) {
      break;
    }
    szCode[vro::kCodeSize - 1] = szStr1[vro::kStr1Size - 1] = szStr2[vro::kNameSize - 1] = '\0';
    const char cMark = vro::CodeMark(szCode);
    MapRoad road{id,
                 szStr2,
                 vro::RoadClassOfText(szStr1),
                 cMark == '+'   ? 1
                 : cMark == '-' ? -1
                                : 0,
                 {}};
    road.pts.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
      road.pts.push_back({FromBin(pPts[i].lon), FromBin(pPts[i].lat)});
    }
    fn(std::move(road), pPts, n);
  }
}

}  // namespace

std::vector<MapRoad> RoadsInRect(VRO_READER* hReader, const tagLonLat& lo, const tagLonLat& hi) {
  std::vector<MapRoad> roads;
  SearchFeatures(hReader, ToBin(lo), ToBin(hi),
                 [&](MapRoad&& road, const Bin_LonLat*, int) { roads.push_back(std::move(road)); });
  return roads;
}

bool StraightOnRoad(VRO_READER* hReader, const tagLonLat& ptJunction, double dArrive,
                    const std::vector<VRO_FEATURE_ID>& excluded, double dMaxDeviation,
                    MapRoad& road) {
  const Bin_LonLat at = ToBin(ptJunction);
  const Bin_LonLat p1 = {at.lon - 2, at.lat - 2};
  const Bin_LonLat p2 = {at.lon + 2, at.lat + 2};
  bool bFound = false;
  double dBest = dMaxDeviation;
  std::vector<MapRoad> candidates;
  SearchFeatures(hReader, p1, p2, [&](MapRoad&& r, const Bin_LonLat* pPts, int n) {
    if (n < 2) {
      return;
    }
    const bool bStart = pPts[0].lon == at.lon && pPts[0].lat == at.lat;
    const bool bEnd = pPts[n - 1].lon == at.lon && pPts[n - 1].lat == at.lat;
    if ((!bStart && !bEnd) || (bStart && r.nOneWay < 0) || (!bStart && r.nOneWay > 0)) {
      return;
    }
    candidates.push_back(std::move(r));
    if (!bStart) {
      std::vector<tagLonLat>& pts = candidates.back().pts;
      pts.assign(pts.rbegin(), pts.rend());
    }
  });
  for (MapRoad& r : candidates) {
    bool bExcluded = false;
    for (const VRO_FEATURE_ID& id : excluded) {
      bExcluded = bExcluded || VroReaderIsSameFeature(hReader, r.id, id) != 0;
    }
    const double dDir = vxnav::PlaneDirection(r.pts[0], r.pts[1]);
    if (bExcluded || dDir < 0) {
      continue;
    }
    const double dDev = vxnav::DirectionGap(dDir, dArrive);
    if (dDev <= dBest) {
      dBest = dDev;
      road = std::move(r);
      bFound = true;
    }
  }
  return bFound;
}

}  // namespace vxdrive
