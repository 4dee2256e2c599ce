// The batch upgrade behind the "Upgrade" button: the confirmation text, and
// the run over the checked nodes of the source tree in tree order.
#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "engine/database_upgrade.h"

namespace engine {

// "Upgrade 3 MDB files to /x" or, in mode "Export", "Upgrade and export 3 MDB files to /x".
QString upgradeQuestion(int mode, int checkedCount, const QString& destination);
QString upgradedCountText(int upgraded);  // "1 file(s) upgraded"

struct BatchSettings {
  int mode = kModeExport;
  std::function<QString()> destinationFolder;  // read afresh for every file
  long versionCode = 0;
};

// Called before each checked node: true means stop here (what is done stays done).
using BatchProgress = std::function<bool(const QString& path, int done, int total)>;

// Hands the key of every checked node, in tree order, to UpgradeDatabase;
// returns how many were upgraded.
int runBatch(const std::vector<QString>& checkedKeys, const BatchSettings& settings,
             DatabaseUpgrade& upgrade, const BatchProgress& progress = {});

}  // namespace engine
