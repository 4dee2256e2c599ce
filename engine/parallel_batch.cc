#include "engine/parallel_batch.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#include "engine/run_error.h"
#include "engine/version_probe.h"
#include "jet/database.h"

namespace engine {
namespace {

// Keeps the first error a file reports; the rest of the channels stay quiet.
class CapturingChannels : public Channels {
 public:
  void AddOutput(const QString&) override {}
  void ClassTrace(const QString&) override {}
  void LogMessage(const QString&) override {}
  bool ClassError(const QString&, const RunError& error) override {
    if (!failed) first = error;
    failed = true;
    return false;
  }
  void reset() {
    failed = false;
    first = {};
  }
  bool failed = false;
  RunError first;
};

qint64 sizeOf(const QString& path) {
  const QFileInfo info(path);
  return info.exists() ? info.size() : -1;
}

// The version of a file just written, read back through the library.
QString versionOf(const QString& path) {
  try {
    return QString::fromStdString(jet::Database::open(path.toStdString())->versionText());
  } catch (...) {
    return {};
  }
}

QString fileNameOf(const QString& path) {
  const qsizetype slash = path.lastIndexOf('/');
  return slash < 0 ? path : path.mid(slash + 1);
}

// Item indexes grouped by backup family, groups and members in the order given.
std::vector<std::vector<std::size_t>> familyGroups(const std::vector<BatchItem>& items) {
  std::vector<std::vector<std::size_t>> groups;
  std::map<QString, std::size_t> groupOf;
  for (std::size_t i = 0; i < items.size(); ++i) {
    const QString family = backupFamily(fileNameOf(items[i].path));
    const auto [it, added] = groupOf.emplace(family, groups.size());
    if (added) groups.emplace_back();
    groups[it->second].push_back(i);
  }
  return groups;
}

class Worker {
 public:
  explicit Worker(const ParallelSettings& settings)
      : settings_(settings),
        engine_(settings.makeEngine ? settings.makeEngine() : std::make_unique<DBEngine>()),
        upgrade_(*engine_, channels_) {}

  FileResult process(const BatchItem& item) {
    FileResult r;
    r.path = item.path;
    r.bytesBefore = sizeOf(item.path);
    channels_.reset();
    const auto start = std::chrono::steady_clock::now();
    bool upgraded = false;
    try {
      upgraded = upgrade_.UpgradeDatabase(
          UpgradeRequest{item.path, settings_.mode, item.destinationFolder, settings_.versionCode});
    } catch (...) {
      channels_.ClassError("UpgradeDatabase: " + item.path, currentRunError());
    }
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const UpgradeOutcome& outcome = upgrade_.lastOutcome();
    r.oldVersion = outcome.fileVersion;
    r.upgradedPath = outcome.upgradedPath;
    r.backupPath = outcome.backupPath;
    if (upgraded) {
      r.status = FileStatus::Upgraded;
      r.bytesAfter = sizeOf(r.upgradedPath);
      r.newVersion = versionOf(r.upgradedPath);
    } else if (channels_.failed) {
      r.errorNumber = channels_.first.number;
      r.errorText = channels_.first.description;
    } else if (!r.oldVersion.isEmpty() &&
               versionMajor(r.oldVersion) >=
                   versionMajor(QString::fromStdString(engine_->Version()))) {
      r.status = FileStatus::Current;
    } else {
      r.errorText = "'" + item.path + "' was not upgraded.";
    }
    return r;
  }

 private:
  const ParallelSettings& settings_;
  std::unique_ptr<DBEngine> engine_;
  CapturingChannels channels_;
  DatabaseUpgrade upgrade_;
};

}  // namespace

QString backupFamily(const QString& fileName) {
  // The same split of name and extension as the backup names use.
  const qsizetype dot = fileName.lastIndexOf('.');
  QString stem = dot > 0 ? fileName.left(dot) : fileName;
  const QString ext = dot > 0 ? fileName.mid(dot) : QString();
  static const QRegularExpression kMark("_(?:[A-Z]|[0-9]+)$");
  for (;;) {
    const QRegularExpressionMatch m = kMark.match(stem);
    if (!m.hasMatch() || m.capturedStart() == 0) break;
    stem.truncate(m.capturedStart());
  }
  return stem + ext;
}

BatchSummary runParallelBatch(const std::vector<BatchItem>& items, const ParallelSettings& settings,
                              const std::atomic<bool>& stop, const ResultSink& sink) {
  const auto groups = familyGroups(items);
  std::atomic<std::size_t> nextGroup{0};
  std::mutex sinkMutex;
  BatchSummary summary;
  int finished = 0;
  auto work = [&] {
    Worker worker(settings);
    for (;;) {
      const std::size_t g = nextGroup++;
      if (g >= groups.size()) return;
      for (const std::size_t i : groups[g]) {
        if (stop) return;
        const FileResult r = worker.process(items[i]);
        const std::lock_guard<std::mutex> lock(sinkMutex);
        ++finished;
        if (r.status == FileStatus::Upgraded) ++summary.upgraded;
        if (r.status == FileStatus::Current) ++summary.current;
        if (r.status == FileStatus::Failed) ++summary.failed;
        if (sink) sink(r);
      }
    }
  };
  const int jobs = std::clamp(settings.jobs, 1, std::max(1, static_cast<int>(groups.size())));
  if (jobs == 1) {
    work();
  } else {
    std::vector<std::thread> threads;
    for (int t = 0; t < jobs; ++t) threads.emplace_back(work);
    for (auto& t : threads) t.join();
  }
  summary.notStarted = static_cast<int>(items.size()) - finished;
  return summary;
}

}  // namespace engine
