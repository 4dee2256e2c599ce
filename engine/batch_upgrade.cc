#include "engine/batch_upgrade.h"

namespace engine {

QString upgradeQuestion(int mode, int checkedCount, const QString& destination) {
  const QString verb = mode != kModeSaveAs ? "Upgrade and export " : "Upgrade ";
  return verb + QString::number(checkedCount) + " MDB files to " + destination;
}

QString upgradedCountText(int upgraded) { return QString::number(upgraded) + " file(s) upgraded"; }

int runBatch(const std::vector<QString>& checkedKeys, const BatchSettings& settings,
             DatabaseUpgrade& upgrade, const BatchProgress& progress) {
  const int total = static_cast<int>(checkedKeys.size());
  int upgraded = 0, done = 0;
  for (const auto& key : checkedKeys) {
    if (progress && progress(key, done, total)) break;
    const UpgradeRequest request{key, settings.mode, settings.destinationFolder(),
                                 settings.versionCode};
    if (upgrade.UpgradeDatabase(request)) ++upgraded;
    ++done;
  }
  return upgraded;
}

}  // namespace engine
