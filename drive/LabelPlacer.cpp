// Label places around markers, first free wins.
#include "drive/LabelPlacer.h"

#include <array>

namespace vxdrive {

double TextWidth(std::string_view sText, double dFontSize) {
  std::size_t nChars = 0;
  for (const char c : sText) {
    nChars += (static_cast<unsigned char>(c) & 0xC0U) != 0x80U;  // not a continuation byte
  }
  return 0.6 * dFontSize * static_cast<double>(nChars);
}

void LabelPlacer::Reserve(const PixelBox& box) { m_taken.push_back(box); }

bool LabelPlacer::IsFree(const PixelBox& box) const {
  for (const PixelBox& t : m_taken) {
    if (box.x0 < t.x1 && t.x0 < box.x1 && box.y0 < t.y1 && t.y0 < box.y1) {
      return false;
    }
  }
  return true;
}

LabelPlace LabelPlacer::Place(double x, double y, double dRadius, double dWidth, double dFontSize) {
  const double dGap = dRadius + 3.0;
  const double dAbove = y - dRadius + 1.0;        // baseline of a label above level
  const double dBelow = y + dRadius + dFontSize;  // baseline of a label below level
  const double dLevel = y + dFontSize * 0.35;     // baseline centred on the marker
  const std::array<LabelPlace, 6> places = {{{x + dGap, dAbove, false},
                                             {x + dGap, dBelow, false},
                                             {x - dGap, dAbove, true},
                                             {x - dGap, dBelow, true},
                                             {x + dGap, dLevel, false},
                                             {x - dGap, dLevel, true}}};
  const auto BoxOf = [&](const LabelPlace& p) {
    const double x0 = p.bEndAnchor ? p.x - dWidth : p.x;
    return PixelBox{x0, p.y - dFontSize * 0.8, x0 + dWidth, p.y + dFontSize * 0.25};
  };
  for (const LabelPlace& p : places) {
    if (IsFree(BoxOf(p))) {
      m_taken.push_back(BoxOf(p));
      return p;
    }
  }
  m_taken.push_back(BoxOf(places[0]));
  return places[0];
}

}  // namespace vxdrive
