#include "window/form_layout.h"

namespace window_layout {

Controls Form_Resize(const Controls& current, int clientWidth, int outerWidth, int footerTop) {
  Controls c = current;
  const int Z2 = 2 * kMargin, Z3 = 3 * kMargin;
  const int outputTop = ZeroIfNegative(footerTop - c.lstOutput.height - kMargin);
  c.lstOutput.left = kMargin;
  c.lstOutput.width = clientWidth - Z2;
  c.lstOutput.top = outputTop;
  const int treeHeight = ZeroIfNegative(c.lstOutput.top - c.tvSource.top - kMargin);
  c.tvSource.top = 480;
  c.tvSource.left = kMargin;
  c.tvSource.width = ZeroIfNegative((clientWidth - Z3) / 2);  // C++ division cuts toward zero
  c.tvSource.height = treeHeight;
  c.tvDestination.top = c.tvSource.top;
  c.tvDestination.left = ZeroIfNegative(c.tvSource.width + c.tvSource.left + kMargin);
  c.tvDestination.width = c.tvSource.width;
  c.tvDestination.height = c.tvSource.height;
  c.lblCaption1.left = c.tvDestination.left;
  c.lblFolder1.left = ZeroIfNegative(c.lblCaption1.left + c.lblCaption1.width);
  c.cmdGetFolder1.left = ZeroIfNegative(c.lblFolder1.left + c.lblFolder1.width);
  c.cmdLoadTreeView1.left = ZeroIfNegative(c.cmdGetFolder1.left + c.cmdGetFolder1.width);
  c.cmdClose.left = ZeroIfNegative(outerWidth - c.cmdClose.width - Z2);
  c.cmdUpgrade.left = ZeroIfNegative(c.cmdClose.left - c.cmdUpgrade.width - kMargin);
  return c;
}

}  // namespace window_layout
