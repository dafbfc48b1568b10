// Label places around markers in rings, first free wins.
#include "drive/LabelPlacer.h"

#include <algorithm>

namespace vxdrive {

namespace {

// Rings of places around a marker beyond the one beside it.
constexpr int kRings = 7;
// A ring lies this many font sizes farther up or down than the one before.
constexpr double kRingLines = 1.25;

double OverlapArea(const PixelBox& a, const PixelBox& b) {
  const double w = std::min(a.x1, b.x1) - std::max(a.x0, b.x0);
  const double h = std::min(a.y1, b.y1) - std::max(a.y0, b.y0);
  return w > 0 && h > 0 ? w * h : 0.0;
}

}  // namespace

double TextWidth(std::string_view sText, double dFontSize) {
  std::size_t nChars = 0;
  for (const char c : sText) {
    nChars += (static_cast<unsigned char>(c) & 0xC0U) != 0x80U;  // not a continuation byte
  }
  return 0.6 * dFontSize * static_cast<double>(nChars);
}

void LabelPlacer::Reserve(const PixelBox& box) { m_taken.push_back(box); }

double LabelPlacer::Overlap(const PixelBox& box) const {
  double d = 0.0;
  for (const PixelBox& t : m_taken) {
    d += OverlapArea(box, t);
  }
  return d;
}

bool LabelPlacer::TryTake(const PixelBox& box) {
  if (Overlap(box) > 0) {
    return false;
  }
  m_taken.push_back(box);
  return true;
}

LabelPlace LabelPlacer::Place(double x, double y, double dRadius, double dWidth, double dFontSize) {
  const double dGap = dRadius + 3.0;
  const double dAbove = y - dRadius + 1.0;        // baseline of a label above level
  const double dBelow = y + dRadius + dFontSize;  // baseline of a label below level
  const double dLevel = y + dFontSize * 0.35;     // baseline centred on the marker
  const auto At = [&](double ax, double ay, bool bEnd, bool bLeader) {
    const double x0 = bEnd ? ax - dWidth : ax;
    return LabelPlace{
        ax, ay, bEnd, {x0, ay - dFontSize * 0.8, x0 + dWidth, ay + dFontSize * 0.25}, bLeader};
  };
  std::vector<LabelPlace> places = {
      At(x + dGap, dAbove, false, false), At(x + dGap, dBelow, false, false),
      At(x - dGap, dAbove, true, false),  At(x - dGap, dBelow, true, false),
      At(x + dGap, dLevel, false, false), At(x - dGap, dLevel, true, false)};
  for (int r = 1; r <= kRings; ++r) {
    const double dy = r * kRingLines * dFontSize;
    for (const double yy : {dAbove - dy, dBelow + dy}) {
      places.push_back(At(x + dGap, yy, false, true));
      places.push_back(At(x - dGap, yy, true, true));
      places.push_back(At(x - dWidth / 2, yy, false, true));
    }
  }
  const LabelPlace* pBest = &places.front();
  double dBest = -1.0;
  for (const LabelPlace& p : places) {
    const double d = Overlap(p.box);
    if (dBest < 0 || d < dBest) {
      pBest = &p;
      dBest = d;
    }
    if (d <= 0) {
      break;
    }
  }
  m_taken.push_back(pBest->box);
  return *pBest;
}

}  // namespace vxdrive
