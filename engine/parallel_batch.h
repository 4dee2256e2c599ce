// The batch upgrade without a window: every file handed to UpgradeDatabase,
// as the window's batch does, but by several worker threads. Each worker has
// its own engine and channels. Files whose copies or exports could land on the
// same name (see backupFamily) go to one worker, in the order given, so the
// names chosen are those a run one file after another chooses.
#pragma once

#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "engine/database_upgrade.h"
#include "engine/db_engine.h"

namespace engine {

struct BatchItem {
  QString path;               // the database file
  QString destinationFolder;  // where its copy ("Save as") or upgrade ("Export") goes
};

enum class FileStatus { Upgraded, Current, Failed };

// What became of one file.
struct FileResult {
  QString path;
  FileStatus status = FileStatus::Failed;
  QString oldVersion;    // empty when the file could not be opened
  QString newVersion;    // of the upgraded file, read back; empty when none was written
  QString upgradedPath;  // the upgraded file
  QString backupPath;    // "Save as": the copy of the file as it was
  qint64 bytesBefore = -1, bytesAfter = -1;
  double seconds = 0;
  long errorNumber = 0;  // the first error reported for the file
  QString errorText;
};

struct ParallelSettings {
  int mode = kModeExport;
  long versionCode = 0;
  int jobs = 1;
  // Makes each worker's engine; a plain DBEngine when empty.
  std::function<std::unique_ptr<DBEngine>()> makeEngine;
};

struct BatchSummary {
  int upgraded = 0, current = 0, failed = 0;
  int notStarted = 0;  // left when `stop` was raised
};

// Called once per finished file, one call at a time (workers wait their turn).
using ResultSink = std::function<void(const FileResult&)>;

// Runs the batch; `stop` is looked at before each file, and what is under way
// then is finished, so every file stays whole.
BatchSummary runParallelBatch(const std::vector<BatchItem>& items, const ParallelSettings& settings,
                              const std::atomic<bool>& stop, const ResultSink& sink);

// The name every candidate name of a copy of `fileName` shares: the name with
// any "_A".."_Z" or "_<number>" endings of its stem taken off ("x_B.mdb",
// "x_12.mdb" and "x.mdb" all give "x.mdb").
QString backupFamily(const QString& fileName);

}  // namespace engine
