// The resize arithmetic: the worked design-size example, narrow and huge
// windows, and that a second run changes nothing.
#include <gtest/gtest.h>

#include "window/form_layout.h"

namespace {

using window_layout::Controls;
using window_layout::Form_Resize;
using window_layout::Rect;

Controls designControls() {
  Controls c;
  c.lstOutput = {240, 4800, 11175, 1785};
  c.tvSource = {240, 480, 5535, 4215};
  c.tvDestination = {5880, 480, 5535, 4215};
  c.lblCaption1 = {5880, 120, 855, 255};
  c.lblFolder1 = {6735, 120, 3615, 255};
  c.cmdGetFolder1 = {10350, 120, 495, 255};
  c.cmdLoadTreeView1 = {10845, 120, 495, 255};
  c.cmdUpgrade = {9720, 360, 1095, 375};
  c.cmdClose = {10920, 360, 1095, 375};
  return c;
}

TEST(FormLayout, DesignSizeGivesTheWorkedExample) {
  const Controls c = Form_Resize(designControls(), 12105, 12105 + 240, 6735);
  EXPECT_EQ(c.lstOutput, (Rect{120, 4830, 11865, 1785}));
  EXPECT_EQ(c.tvSource, (Rect{120, 480, 5872, 4230}));
  EXPECT_EQ(c.tvDestination, (Rect{6112, 480, 5872, 4230}));
  EXPECT_EQ(c.lblCaption1.left, 6112);
  EXPECT_EQ(c.lblFolder1.left, 6967);
  EXPECT_EQ(c.cmdGetFolder1.left, 10582);
  EXPECT_EQ(c.cmdLoadTreeView1.left, 11077);
  EXPECT_EQ(c.cmdClose.left, 12345 - 1095 - 240);
  EXPECT_EQ(c.cmdUpgrade.left, c.cmdClose.left - 1095 - 120);
  // Tops and widths of the destination row do not change.
  EXPECT_EQ(c.lblFolder1.top, 120);
  EXPECT_EQ(c.lblFolder1.width, 3615);
}

TEST(FormLayout, RunningTwiceChangesNothing) {
  const Controls once = Form_Resize(designControls(), 15000, 15240, 9000);
  const Controls twice = Form_Resize(once, 15000, 15240, 9000);
  EXPECT_EQ(once.lstOutput, twice.lstOutput);
  EXPECT_EQ(once.tvSource, twice.tvSource);
  EXPECT_EQ(once.tvDestination, twice.tvDestination);
  EXPECT_EQ(once.cmdLoadTreeView1, twice.cmdLoadTreeView1);
  EXPECT_EQ(once.cmdUpgrade, twice.cmdUpgrade);
}

TEST(FormLayout, NarrowWindowsNeverGoNegative) {
  Controls c = Form_Resize(designControls(), 400, 640, 6735);
  EXPECT_EQ(c.tvSource.width, 20);
  EXPECT_EQ(c.tvDestination.left, 260);
  c = Form_Resize(designControls(), 300, 540, 6735);
  EXPECT_EQ(c.tvSource.width, 0);
  EXPECT_EQ(c.tvDestination.left, 240);
  c = Form_Resize(designControls(), 12105, 12345, 1905);
  EXPECT_EQ(c.lstOutput.top, 0);
  EXPECT_EQ(c.tvSource.height, 0);
  c = Form_Resize(designControls(), 12105, 12345, 2505);
  EXPECT_EQ(c.tvSource.height, 0);
  c = Form_Resize(designControls(), 12105, 12345, 2506);
  EXPECT_EQ(c.tvSource.height, 1);
}

TEST(FormLayout, WindowsBeyondSixteenBitTwipsLayOutLikeAnyOther) {
  // 3000 x 2500 pixels: 45000 x 37500 twips, past where 16-bit arithmetic overflowed.
  const Controls c = Form_Resize(designControls(), 45000, 45240, 37500 - 855);
  EXPECT_EQ(c.lstOutput.top, 37500 - 855 - 1785 - 120);
  EXPECT_EQ(c.lstOutput.width, 45000 - 240);
  EXPECT_EQ(c.tvSource.width, (45000 - 360) / 2);
  EXPECT_EQ(c.cmdClose.left, 45240 - 1095 - 240);
  EXPECT_EQ(c.cmdUpgrade.left, c.cmdClose.left - 1095 - 120);
}

}  // namespace
