// UpgradeDatabase: brings one database file to a newer Jet version by
// compaction, in mode "Save as" (the original is kept as a copy in the
// destination folder, the upgrade takes its place) or "Export" (the upgrade
// is written into the destination folder). Nothing is replaced before the new
// file is complete and checked; a failure leaves every existing file as it was.
#pragma once

#include <QString>

#include "engine/channels.h"
#include "engine/db_engine.h"

namespace engine {

inline constexpr int kModeSaveAs = 0;
inline constexpr int kModeExport = 1;

struct UpgradeRequest {
  QString path;               // the database file
  int mode = kModeExport;     // kModeSaveAs or kModeExport
  QString destinationFolder;  // read afresh for every file
  long versionCode = 0;       // 16, 32, 64 or 0
};

// What the last UpgradeDatabase call found and wrote, for callers that
// report file by file (the headless batch).
struct UpgradeOutcome {
  QString fileVersion;   // empty when the file could not be opened
  QString upgradedPath;  // the upgraded database, once it is in place
  QString backupPath;    // "Save as": the copy of the file as it was, once made
};

class DatabaseUpgrade {
 public:
  DatabaseUpgrade(DBEngine& engine, Channels& channels) : engine_(engine), channels_(channels) {}

  // True only when a compaction was carried out to its end.
  bool UpgradeDatabase(const UpgradeRequest& request);
  const UpgradeOutcome& lastOutcome() const { return outcome_; }

  // A free name for the copy of `fileName` in `folder`: the name itself, then
  // name_A ... name_Z, then name_1, name_2, ... (extension kept).
  QString backupPath(const QString& folder, const QString& fileName);

 private:
  bool saveAs(const UpgradeRequest& r, const QString& fileName, const QString& engineVersion);
  bool exportTo(const UpgradeRequest& r, const QString& fileName);
  // Compacts src into a temporary file in the folder of `target`, checks it
  // against src, and returns its path; the caller renames it into place.
  QString compactChecked(const QString& src, const QString& target, long versionCode);

  DBEngine& engine_;
  Channels& channels_;
  UpgradeOutcome outcome_;
};

}  // namespace engine
