// Where the labels of a picture go: each label takes the first of a few
// places around its marker that covers no marker and no label placed before
// it, farther out ring by ring when the near ones are taken, so that the
// labels of close manoeuvres and events never run into each other; texts at
// places of their own (road names) take a box only when it is free.
#ifndef VX_DRIVE_LABELPLACER_H
#define VX_DRIVE_LABELPLACER_H

#include <string_view>
#include <vector>

namespace vxdrive {

/// A rectangle in picture pixels (y grows downwards).
struct PixelBox {
  double x0, y0, x1, y1;
};

/// Where a label's text goes: its anchor point (x, baseline y), whether the
/// text ends there (SVG text-anchor "end") rather than starts, the box it
/// covers, and whether it stands away from its marker (draw a leader line).
struct LabelPlace {
  double x, y;
  bool bEndAnchor;
  PixelBox box;
  bool bLeader;
};

/// The width in pixels of a text at a font size, estimated at 0.6 em per
/// character (UTF-8 characters, not bytes).
double TextWidth(std::string_view sText, double dFontSize);

/// Remembers the boxes taken and places labels around them.
class LabelPlacer {
 public:
  /// Keeps a box free of labels (a marker).
  void Reserve(const PixelBox& box);

  /// Takes the box when it overlaps no box taken; false (and nothing taken)
  /// when it does.
  bool TryTake(const PixelBox& box);

  /// Places a label dWidth wide, font size dFontSize, beside a marker of
  /// radius dRadius at (x, y): the first free of right above, right below,
  /// left above, left below, right level, left level; then, ring by ring a
  /// line farther up or down, right, left and centred above and below (with a
  /// leader), up to 7 rings out. When none is free, the place that overlaps
  /// the boxes taken least. The label's box is taken.
  LabelPlace Place(double x, double y, double dRadius, double dWidth, double dFontSize);

 private:
  double Overlap(const PixelBox& box) const;

  std::vector<PixelBox> m_taken;
};

}  // namespace vxdrive

#endif
