#include "window/control_states.h"

#include "engine/version_probe.h"

namespace window_states {

ControlStates RefreshControls(int checkedCount, int mode, int selectedJet,
                              const QString& engineVersion) {
  ControlStates s;
  s.upgradeEnabled = checkedCount > 0;
  s.exportMode = mode == 1;
  s.helpText = s.exportMode ? kHelpExport : kHelpSaveAs;
  const long major = engine::versionMajor(engineVersion);
  if (major >= 2 && major <= 4) {
    // The engine writes its own version and every older one.
    for (int v = 2; v <= 4; ++v) s.jetEnabled[v - 2] = v <= major;
    if (selectedJet > major) s.lowerSelectionTo = static_cast<int>(major);
  }
  return s;
}

}  // namespace window_states
