// upgrade: the window's batch upgrade from the command line. The folders are
// walked as the source tree is loaded, every database file in them is handed
// to UpgradeDatabase (a user who checks every file gets the same), and the
// destination is derived from each PATH as the window derives it from its
// source folder. SIGINT and SIGTERM stop the run between files.
#include <pthread.h>
#include <signal.h>

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <thread>

#include "common/database_name.h"
#include "engine/batch_upgrade.h"
#include "engine/parallel_batch.h"
#include "engine/target_version.h"
#include "jet/value_text.h"
#include "tools/cli/commands.h"
#include "trees/destination_folder.h"
#include "trees/folder_tree.h"

namespace cli {
namespace {

struct UpgradeOptions {
  int mode = engine::kModeExport;  // the window's default mode
  int targetIndex = 4;             // the Opt_Jet index: 2, 3, 4
  QString destination;             // empty: derived from each PATH
  int jobs = 0;                    // 0: one per core
  bool json = false;
  std::vector<QString> paths;
};

// Parses the options; returns 2 (after the usage text) when they are wrong, else 0.
int parseOptions(const Args& args, UpgradeOptions& o) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--mode") {
      if (!hasValue) return badUsage("--mode needs save-as or export");
      const std::string& v = args[++i];
      if (v == "save-as") {
        o.mode = engine::kModeSaveAs;
      } else if (v == "export") {
        o.mode = engine::kModeExport;
      } else {
        return badUsage("unknown mode '" + v + "' (save-as or export)");
      }
    } else if (a == "--to") {
      if (!hasValue) return badUsage("--to needs a version: 2.0, 3.0 or 4.0");
      const std::string& v = args[++i];
      if (v != "2.0" && v != "3.0" && v != "4.0") {
        return badUsage("unknown target version '" + v + "' (2.0, 3.0 or 4.0)");
      }
      o.targetIndex = v[0] - '0';
    } else if (a == "--dest") {
      if (!hasValue || args[i + 1].empty()) return badUsage("--dest needs a folder");
      o.destination = QString::fromStdString(args[++i]);
    } else if (a == "--jobs") {
      const std::string v = hasValue ? args[++i] : "";
      if (v.empty() || v.size() > 3 || v.find_first_not_of("0123456789") != std::string::npos ||
          std::stoi(v) < 1 || std::stoi(v) > 256) {
        return badUsage("--jobs needs a number from 1 to 256");
      }
      o.jobs = std::stoi(v);
    } else if (a == "--json") {
      o.json = true;
    } else if (!a.empty() && a[0] == '-') {
      return badUsage("unknown option '" + a + "'");
    } else {
      o.paths.push_back(QString::fromStdString(a));
    }
  }
  if (o.paths.empty()) return badUsage("upgrade needs at least one PATH");
  return 0;
}

bool isInside(const QString& path, const QString& folder) {
  const QString f = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
  const QString p = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
  return p == f || p.startsWith(f.endsWith('/') ? f : f + '/');
}

// Collects the files of every PATH in tree order, each with its destination
// folder. The run's own destination is not walked: its files are the copies
// and results of earlier runs, not sources. False when a PATH was unusable.
bool collectFiles(const UpgradeOptions& o, const std::atomic<bool>& stop,
                  std::vector<engine::BatchItem>& items) {
  bool ok = true;
  QSet<QString> seen;
  const QString targetText = engine::TargetJetText(o.targetIndex);
  auto addItem = [&](const QString& path, const QString& dest) {
    const QString identity = QFileInfo(path).canonicalFilePath();
    if (seen.contains(identity)) return;
    seen.insert(identity);
    items.push_back(engine::BatchItem{path, dest});
  };
  for (const QString& path : o.paths) {
    const QFileInfo info(path);
    if (info.isDir()) {
      const QString dest = o.destination.isEmpty()
                               ? trees::derivedDestination(path, o.mode, targetText)
                               : o.destination;
      // Versions are not needed for the walk: UpgradeDatabase reads each one.
      const auto tree = trees::loadFolderTree(
          path, [](const QString&) { return QString(); },
          [&](const QString&, int) { return stop.load(); });
      for (const auto& node : tree.nodes) {
        if (node.image == trees::NodeImage::File && !isInside(node.key, dest)) {
          addItem(node.key, dest);
        }
      }
    } else if (info.exists() && common::isDatabaseName(path.toStdString())) {
      const QString folder = info.path();
      addItem(path, o.destination.isEmpty() ? trees::derivedDestination(folder, o.mode, targetText)
                                            : o.destination);
    } else {
      reportError("'" + path.toStdString() +
                  (info.exists() ? "' is neither a folder nor a database file name (ending in mdb)"
                                 : "' does not exist"));
      ok = false;
    }
  }
  return ok;
}

const char* statusWord(engine::FileStatus s) {
  switch (s) {
    case engine::FileStatus::Upgraded:
      return "upgraded";
    case engine::FileStatus::Current:
      return "current";
    case engine::FileStatus::Failed:
      break;
  }
  return "failed";
}

void jsonField(std::string& out, const char* name, const QString& value) {
  out += ",\"";
  out += name;
  out += "\":";
  if (value.isEmpty()) {
    out += "null";
  } else {
    jet::appendJsonString(out, value.toStdString());
  }
}

void jsonNumber(std::string& out, const char* name, long long value) {
  out += ",\"";
  out += name;
  out += "\":";
  out += value < 0 ? std::string("null") : std::to_string(value);
}

std::string secondsText(double seconds) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.3f", seconds);
  return buffer;
}

std::string jsonLine(const engine::FileResult& r) {
  std::string out = "{\"path\":";
  jet::appendJsonString(out, r.path.toStdString());
  out += ",\"status\":\"";
  out += statusWord(r.status);
  out += '"';
  jsonField(out, "oldVersion", r.oldVersion);
  jsonField(out, "newVersion", r.newVersion);
  jsonField(out, "upgradedPath", r.upgradedPath);
  jsonField(out, "backupPath", r.backupPath);
  jsonNumber(out, "bytesBefore", r.bytesBefore);
  jsonNumber(out, "bytesAfter", r.bytesAfter);
  out += ",\"seconds\":" + secondsText(r.seconds);
  out += ",\"errorNumber\":" + std::to_string(r.errorNumber);
  jsonField(out, "errorText", r.errorText);
  return out + "}\n";
}

std::string textLine(const engine::FileResult& r) {
  const std::string path = r.path.toStdString();
  switch (r.status) {
    case engine::FileStatus::Upgraded: {
      std::string line = path + ": upgraded " + r.oldVersion.toStdString() + " -> " +
                         r.newVersion.toStdString() + ", " + std::to_string(r.bytesBefore) +
                         " -> " + std::to_string(r.bytesAfter) + " bytes, " +
                         secondsText(r.seconds) + " s";
      if (r.upgradedPath != r.path) line += ", into " + r.upgradedPath.toStdString();
      if (!r.backupPath.isEmpty()) line += ", original kept as " + r.backupPath.toStdString();
      return line + "\n";
    }
    case engine::FileStatus::Current:
      return path + ": already " + r.oldVersion.toStdString() + "\n";
    case engine::FileStatus::Failed:
      break;
  }
  return path + ": error " + std::to_string(r.errorNumber) + ": " + r.errorText.toStdString() +
         "\n";
}

std::string summaryLine(const engine::BatchSummary& s, bool json) {
  const std::string text = engine::upgradedCountText(s.upgraded).toStdString();
  if (!json) return text + "\n";
  return "{\"summary\":\"" + text + "\",\"upgraded\":" + std::to_string(s.upgraded) +
         ",\"current\":" + std::to_string(s.current) + ",\"failed\":" + std::to_string(s.failed) +
         ",\"notStarted\":" + std::to_string(s.notStarted) + "}\n";
}

// Turns SIGINT and SIGTERM into a stop request, seen between files. The
// signals are blocked in every thread and taken by one watcher, so no
// handler runs in the middle of a write.
class StopOnSignal {
 public:
  explicit StopOnSignal(std::atomic<bool>& stop) : stop_(stop) {
    sigemptyset(&set_);
    sigaddset(&set_, SIGINT);
    sigaddset(&set_, SIGTERM);
    sigaddset(&set_, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &set_, &previous_);
    watcher_ = std::thread([this] { watch(); });
  }
  ~StopOnSignal() {
    finished_ = true;
    pthread_kill(watcher_.native_handle(), SIGUSR1);
    watcher_.join();
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }
  StopOnSignal(const StopOnSignal&) = delete;
  StopOnSignal& operator=(const StopOnSignal&) = delete;
  bool signalled() const { return signalled_; }

 private:
  void watch() {
    for (;;) {
      int sig = 0;
      if (sigwait(&set_, &sig) != 0) continue;
      if (finished_) return;
      if (sig == SIGUSR1) continue;
      if (!signalled_.exchange(true)) {
        std::fputs("jetlift-cli: stopping after the files under way\n", stderr);
      }
      stop_ = true;
    }
  }

  std::atomic<bool>& stop_;
  std::atomic<bool> finished_{false}, signalled_{false};
  sigset_t set_{}, previous_{};
  std::thread watcher_;
};

}  // namespace

int runUpgrade(const Args& args) {
  UpgradeOptions o;
  if (parseOptions(args, o) != 0) return 2;
  // A closed output pipe makes writes fail (and the run stop) instead of killing it mid-file.
  std::signal(SIGPIPE, SIG_IGN);
  std::atomic<bool> stop{false};
  engine::ParallelSettings settings;
  settings.mode = o.mode;
  settings.versionCode = engine::TargetJetCode(o.targetIndex);
  settings.jobs =
      o.jobs > 0 ? o.jobs : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  engine::BatchSummary summary;
  bool signalled = false, pathsOk = true;
  {
    const StopOnSignal watcher(stop);
    std::vector<engine::BatchItem> items;
    pathsOk = collectFiles(o, stop, items);
    summary = engine::runParallelBatch(items, settings, stop, [&](const engine::FileResult& r) {
      const std::string line = o.json ? jsonLine(r) : textLine(r);
      if (std::fwrite(line.data(), 1, line.size(), stdout) != line.size() ||
          std::fflush(stdout) != 0) {
        stop = true;
      }
    });
    signalled = watcher.signalled();
  }
  const std::string last = summaryLine(summary, o.json);
  std::fwrite(last.data(), 1, last.size(), stdout);
  std::fflush(stdout);
  if (summary.failed > 0) reportError(std::to_string(summary.failed) + " file(s) failed");
  if (summary.notStarted > 0) {
    reportError(std::string(signalled ? "stopped by a signal: " : "stopped: ") +
                std::to_string(summary.notStarted) + " file(s) not started");
  }
  return pathsOk && summary.failed == 0 && summary.notStarted == 0 ? 0 : 1;
}

}  // namespace cli
