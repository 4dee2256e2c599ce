// Which controls are usable for a selection, a mode and an engine version.
#include <gtest/gtest.h>

#include "window/control_states.h"

namespace {

using window_states::RefreshControls;

TEST(ControlStates, UpgradeNeedsACheckedFile) {
  EXPECT_FALSE(RefreshControls(0, 1, 3, "4.0").upgradeEnabled);
  EXPECT_TRUE(RefreshControls(1, 1, 3, "4.0").upgradeEnabled);
  EXPECT_TRUE(RefreshControls(40000, 1, 3, "4.0").upgradeEnabled);
}

TEST(ControlStates, ModeSetsHelpTextAndTheDestinationSide) {
  const auto exportStates = RefreshControls(0, 1, 3, "4.0");
  EXPECT_TRUE(exportStates.exportMode);
  EXPECT_EQ(exportStates.helpText,
            "Upgrade and export MDB files on left to to right folder (or drive)");
  for (int mode : {0, 5}) {
    const auto s = RefreshControls(0, mode, 3, "4.0");
    EXPECT_FALSE(s.exportMode);
    EXPECT_EQ(s.helpText,
              "Upgrade MDB files on left and copy oexport to right folder (leaving original files)");
  }
}

TEST(ControlStates, EngineVersionRulesTheVersionButtons) {
  auto s = RefreshControls(0, 1, 4, "4.0");
  EXPECT_EQ(s.jetEnabled[0], true);
  EXPECT_EQ(s.jetEnabled[2], true);
  EXPECT_FALSE(s.lowerSelectionTo);

  s = RefreshControls(0, 1, 4, "3.6");
  EXPECT_EQ(s.jetEnabled[1], true);
  EXPECT_EQ(s.jetEnabled[2], false);
  EXPECT_EQ(s.lowerSelectionTo, 3);

  s = RefreshControls(0, 1, 2, "2.5");
  EXPECT_EQ(s.jetEnabled[0], true);
  EXPECT_EQ(s.jetEnabled[1], false);
  EXPECT_FALSE(s.lowerSelectionTo);  // the selection stays

  s = RefreshControls(0, 1, 3, "2.0");
  EXPECT_EQ(s.lowerSelectionTo, 2);

  s = RefreshControls(0, 1, 4, "5.0");
  EXPECT_FALSE(s.jetEnabled[0]);
  EXPECT_FALSE(s.lowerSelectionTo);
}

}  // namespace
