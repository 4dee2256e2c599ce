// The control states that follow from the selection, the mode and the
// engine's version: computed as plain data, applied by the window.
#pragma once

#include <QString>
#include <optional>

namespace window_states {

struct ControlStates {
  bool upgradeEnabled = false;
  QString helpText;
  bool exportMode = false;  // the destination side is usable
  // Enabled state of the "2.0", "3.0", "4.0" buttons; nullopt = leave as is.
  std::optional<bool> jetEnabled[3];
  // The version button to select because the engine cannot write the selected one.
  std::optional<int> lowerSelectionTo;
};

inline const QString kHelpExport = "Upgrade and export MDB files on left to to right folder (or drive)";
inline const QString kHelpSaveAs =
    "Upgrade MDB files on left and copy oexport to right folder (leaving original files)";

// checkedCount: CountChecked of the source tree; mode: Opt_Method value;
// selectedJet: Opt_Jet value (2, 3, 4 or 0); engineVersion: DBEngine.Version.
ControlStates RefreshControls(int checkedCount, int mode, int selectedJet,
                              const QString& engineVersion);

}  // namespace window_states
