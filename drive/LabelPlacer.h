// Where the labels of a picture's markers go: each label takes the first of
// a few places around its marker that covers no marker and no label placed
// before it, so that labels of close manoeuvres do not run into each other.
#ifndef VX_DRIVE_LABELPLACER_H
#define VX_DRIVE_LABELPLACER_H

#include <string_view>
#include <vector>

namespace vxdrive {

/// A rectangle in picture pixels (y grows downwards).
struct PixelBox {
  double x0, y0, x1, y1;
};

/// Where a label's text goes: its anchor point (x, baseline y) and whether
/// the text ends there (SVG text-anchor "end") rather than starts.
struct LabelPlace {
  double x, y;
  bool bEndAnchor;
};

/// The width in pixels of a text at a font size, estimated at 0.6 em per
/// character (UTF-8 characters, not bytes).
double TextWidth(std::string_view sText, double dFontSize);

/// Remembers the boxes taken and places labels around them.
class LabelPlacer {
 public:
  /// Keeps a box free of labels (a marker).
  void Reserve(const PixelBox& box);

  /// Places a label dWidth wide, font size dFontSize, beside a marker of
  /// radius dRadius at (x, y): the first free of right above, right below,
  /// left above, left below, right level, left level; the first of them when
  /// none is free. The label's box is taken.
  LabelPlace Place(double x, double y, double dRadius, double dWidth, double dFontSize);

 private:
  bool IsFree(const PixelBox& box) const;

  std::vector<PixelBox> m_taken;
};

}  // namespace vxdrive

#endif
