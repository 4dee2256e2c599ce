// The window layout as arithmetic on twips: given the window's sizes and the
// controls' current rectangles, the rectangles after a resize. No 16-bit
// limits: any window size lays out the same way.
#pragma once

namespace window_layout {

struct Rect {
  int left = 0, top = 0, width = 0, height = 0;
  bool operator==(const Rect&) const = default;
};

struct Controls {
  Rect lstOutput, tvSource, tvDestination, lblCaption1, lblFolder1, cmdGetFolder1,
      cmdLoadTreeView1, cmdClose, cmdUpgrade;
};

inline constexpr int kMargin = 120;

// `footerTop` is the top of the bottom-docked panel (client height - 855).
Controls Form_Resize(const Controls& current, int clientWidth, int outerWidth, int footerTop);

inline int ZeroIfNegative(int value) { return value < 0 ? 0 : value; }

}  // namespace window_layout
