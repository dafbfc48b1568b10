// The library's one angle object, and the small helpers on directions and
// feature identifiers that several parts of the path code share.
#include <climits>
#include <cstdint>

#include "CPath/PathInternal.h"
#include "interfaces/VroTexts.h"

CAngleNum<3600> g_AngleNum;

namespace vx {

int IsSameFeatureId(const VRO_FEATURE_ID& a, const VRO_FEATURE_ID& b) {
  return a.dw[0] == b.dw[0] && a.dw[1] == b.dw[1] && a.dw[2] == b.dw[2] && a.dw[3] == b.dw[3] ? 1
                                                                                              : 0;
}

void CopyGuidName(char* szDst, const char* szSrc) {
  vro::CopyTextUtf8(szDst, kMaxGuidName + 1, szSrc);
}

int ReadDecimalInt(const char* szText, int& nValue) {
  const char* p = szText;
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\v' || *p == '\f' || *p == '\r') {
    ++p;
  }
  bool bNegative = false;
  if (*p == '+' || *p == '-') {
    bNegative = *p == '-';
    ++p;
  }
  if (*p < '0' || *p > '9') {
    return 0;
  }
  // Magnitude up to INT_MAX + 1, saturated beyond.
  constexpr long long kLimit = static_cast<long long>(INT_MAX) + 1;
  long long nMagnitude = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    if (nMagnitude <= kLimit) {
      nMagnitude = nMagnitude * 10 + (*p - '0');
    }
  }
  if (bNegative) {
    nValue = nMagnitude >= kLimit ? INT_MIN : static_cast<int>(-nMagnitude);
  } else {
    nValue = nMagnitude > INT_MAX ? INT_MAX : static_cast<int>(nMagnitude);
  }
  return 1;
}

short Low16(int n) { return static_cast<short>(static_cast<std::uint16_t>(n & 0xFFFF)); }

unsigned short TurnTenths(unsigned short a1, unsigned short a2) {
  return static_cast<unsigned short>(a2 >= a1 ? a2 - a1 : 3600 - (a1 - a2));
}

unsigned short Bearing(const tagLonLat& a, const tagLonLat& b) {
  return g_AngleNum.GetAngle(a.lon, a.lat, b.lon, b.lat);
}

double TurnAngle(const CPath::NavEdge& e, const CPath::NavEdge& n) {
  const unsigned short a1 = Bearing(e.pts[e.wPtNum - 2], e.pts[e.wPtNum - 1]);
  const unsigned short a2 = Bearing(n.pts[0], n.pts[1]);
  return TurnTenths(a1, a2) * 0.1;
}

}  // namespace vx
