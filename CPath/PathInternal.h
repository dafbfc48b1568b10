// Helpers shared by the path library's sources; not installed.
#ifndef VX_CPATH_PATHINTERNAL_H
#define VX_CPATH_PATHINTERNAL_H

#include <cstddef>

#include "CPath/CPath.h"
#include "geometry/CAngleNum.h"
#include "interfaces/VroTexts.h"

/// The library's one angle object; the path code names GetAngle through it.
extern CAngleNum<3600> g_AngleNum;

namespace vx {

/// Road names in guidance records hold at most this many bytes: the fields
/// are as large as the reader's and the engine's name buffers.
constexpr std::size_t kMaxGuidName = vro::kNameSize - 1;
static_assert(sizeof(PathGuid::szName) == vro::kNameSize);

/// The null feature identifier: words 0..2 all ones, word 3 zero.
constexpr VRO_FEATURE_ID kNullFeatureId = {{0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0u}};

/// The missing-point mark (180, 90).
constexpr tagLonLat kMissingPoint = {180.0, 90.0};

/// The heading value that means no direction of travel.
constexpr unsigned short kNoHeading = 0xFFFF;

/// A direction of travel in degrees as whole tenths, truncated toward zero;
/// kNoHeading for a negative value, NaN, or tenths that do not fit 16 bits.
unsigned short HeadingTenths(double dAngle);

/// Two points whose longitudes and latitudes each differ by less than this
/// are one point for IsSamePoint: 3e-6 degrees is 0.33 m along a meridian and
/// at most 0.33 m along a parallel (0.21 m at 50 degrees of latitude).
constexpr double kSamePointDegrees = 3e-6;

/// 1 when the longitudes and the latitudes of a and b each differ by less
/// than kSamePointDegrees, else 0.
int IsSamePoint(const tagLonLat& a, const tagLonLat& b);

/// 1 when all four words of a and b are equal, else 0.
int IsSameFeatureId(const VRO_FEATURE_ID& a, const VRO_FEATURE_ID& b);

/// Copies src (null means empty) into a guidance name field of
/// kMaxGuidName + 1 bytes: a longer name is cut before the first UTF-8
/// character that would not fit whole, so at most kMaxGuidName bytes and
/// never a partial character.
void CopyGuidName(char* szDst, const char* szSrc);

/// Reads a decimal int as "%d" does: leading white space, an optional sign,
/// digits up to the first non-digit; the rest is ignored. 0 when no number
/// starts the text (nValue untouched), else 1. A number beyond the range of
/// int gives INT_MAX or INT_MIN by its sign.
int ReadDecimalInt(const char* szText, int& nValue);

/// The low 16 bits of n as a signed 16-bit number.
short Low16(int n);

/// Copies edge e's identifier, name (cut), code, attribute, point count,
/// points and last point into the item's fields of the current edge.
void FillEdgeFields(const CPath::NavEdge& e, PathGuid& guid);

/// Copies edge n's identifier, name (cut), code, attribute, point count and
/// points into the item's fields of the following edge.
void FillNextFields(const CPath::NavEdge& n, PathGuid& guid);

/// Turn in tenths from arriving direction a1 to leaving direction a2:
/// a2 - a1, or 3600 - (a1 - a2) when a2 < a1.
unsigned short TurnTenths(unsigned short a1, unsigned short a2);

/// Direction in tenths from point a to point b (longitude as x).
unsigned short Bearing(const tagLonLat& a, const tagLonLat& b);

/// Turn angle in degrees at the end of edge E onto edge N.
double TurnAngle(const CPath::NavEdge& e, const CPath::NavEdge& n);

/// Metres along edge e from ptBase, its matched point on the segment that
/// starts at point wPtInx (or the vertex wPtInx itself), to the edge's end.
double LengthToEdgeEnd(const CPath::NavEdge& e, unsigned short wPtInx, const tagLonLat& ptBase);

}  // namespace vx

#endif
