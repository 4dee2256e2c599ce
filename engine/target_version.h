// The selected target version as the engine's compaction option and as the
// two-digit text of the export folder's name. Index = the selected Opt_Jet button.
#pragma once

#include <QString>

namespace engine {

long TargetJetCode(int optJetIndex);     // 2 -> 16, 3 -> 32, 4 -> 64, else 0
QString TargetJetText(int optJetIndex);  // 2 -> "20", 3 -> "30", 4 -> "40", else "XXX"

}  // namespace engine
