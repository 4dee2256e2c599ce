#include "engine/database_upgrade.h"

#include <QFileInfo>

#include "common/module1.h"
#include "jet/check.h"
#include "jet/error.h"
#include "engine/database_verify.h"
#include "engine/engine_error.h"
#include "engine/file_ops.h"
#include "engine/folders.h"
#include "engine/run_error.h"
#include "engine/version_probe.h"
#include "common/database_name.h"

namespace engine {
namespace {

QString fileNameOf(const QString& path) {
  const qsizetype slash = path.lastIndexOf('/');
  return slash < 0 ? path : path.mid(slash + 1);
}

// Removes a temporary file on every path out, unless it was handed on.
class TemporaryFile {
 public:
  explicit TemporaryFile(QString path) : path_(std::move(path)) {}
  ~TemporaryFile() {
    if (!path_.isEmpty()) removeQuietly(path_);
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  const QString& path() const { return path_; }
  void release() { path_.clear(); }

 private:
  QString path_;
};

}  // namespace

QString DatabaseUpgrade::backupPath(const QString& folder, const QString& fileName) {
  const QString first = AddBackslash(folder) + fileName;
  if (!FileExists(first, channels_)) return first;
  const qsizetype dot = fileName.lastIndexOf('.');
  const QString stem = dot > 0 ? fileName.left(dot) : fileName;
  const QString ext = dot > 0 ? fileName.mid(dot) : QString();
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const QString candidate = AddBackslash(folder) + stem + "_" + QChar(letter) + ext;
    if (!FileExists(candidate, channels_)) return candidate;
  }
  for (long n = 1;; ++n) {
    const QString candidate = AddBackslash(folder) + stem + "_" + QString::number(n) + ext;
    if (!FileExists(candidate, channels_)) return candidate;
  }
}

QString DatabaseUpgrade::compactChecked(const QString& src, const QString& target,
                                        long versionCode) {
  const QFileInfo info(target);
  TemporaryFile temp(temporaryPathBeside(info.absolutePath(), info.fileName()));
  try {
    engine_.CompactDatabase(src.toStdString(), temp.path().toStdString(), versionCode);
  } catch (const EngineError& e) {
    // The compaction only knows our temporary name; users know the file it was to become.
    const std::string named = "'" + temp.path().toStdString() + "'";
    std::string why = e.description();
    const std::size_t at = why.find(named);
    if (at == std::string::npos) throw;
    why.replace(at, named.size(), "'" + target.toStdString() + "'");
    throw EngineError(e.number(), why);
  }
  // Two independent proofs before anything is replaced: the pages hold together,
  // and they hold what the source holds.
  std::string unsound;
  try {
    const jet::CheckReport report = jet::checkDatabase(temp.path().toStdString());
    if (!report.ok()) unsound = report.problems.front();
  } catch (const jet::Error& e) {
    unsound = e.what();
  }
  if (!unsound.empty()) {
    throw FileError(kErrPathFileAccess, "The compacted copy of '" + src +
                                            "' failed its consistency check: " +
                                            QString::fromStdString(unsound));
  }
  const auto differences = databaseDifferences(src.toStdString(), temp.path().toStdString(), 1);
  if (!differences.empty()) {
    throw FileError(kErrPathFileAccess, "The compacted copy of '" + src +
                                            "' does not hold the same data: " +
                                            QString::fromStdString(differences.front()));
  }
  const QString done = temp.path();
  temp.release();
  return done;
}

bool DatabaseUpgrade::saveAs(const UpgradeRequest& r, const QString& fileName,
                             const QString& engineVersion) {
  const QString code = QString::number(r.versionCode);
  const QString backup = backupPath(r.destinationFolder, fileName);
  if (!CheckFolders(backup, PathKind::File, channels_)) return false;
  copyFileChecked(r.path, backup);
  outcome_.backupPath = backup;
  channels_.ClassTrace("--compact: " + backup + " to: " + r.path + " :DBversion=" + code);
  TemporaryFile upgraded(compactChecked(backup, r.path, r.versionCode));
  // The original goes only now, replaced in one step by its checked upgrade.
  channels_.ClassTrace("--delete original: " + r.path);
  replaceFile(upgraded.path(), r.path);
  upgraded.release();
  outcome_.upgradedPath = r.path;
  channels_.LogMessage(r.path + " upgraded to v" + engineVersion + " [" + code +
                       "] original:" + backup);
  channels_.AddOutput(r.path + " upgraded to v" + engineVersion + " [" + code +
                      "] (original renamed " + backup + ")");
  return true;
}

bool DatabaseUpgrade::exportTo(const UpgradeRequest& r, const QString& fileName) {
  const QString destination = AddBackslash(r.destinationFolder) + fileName;
  if (!CheckFolders(destination, PathKind::File, channels_)) return false;
  channels_.ClassTrace("--compact: " + r.path + " to: " + destination +
                       " :DBversion=" + QString::number(r.versionCode));
  // An existing file of that name is replaced only by a complete, checked result.
  TemporaryFile upgraded(compactChecked(r.path, destination, r.versionCode));
  replaceFile(upgraded.path(), destination);
  upgraded.release();
  outcome_.upgradedPath = destination;
  return true;
}

bool DatabaseUpgrade::UpgradeDatabase(const UpgradeRequest& r) {
  outcome_ = {};
  if (!common::isDatabaseName(r.path.toStdString())) return false;
  bool result = false;
  try {
    const QString engineVersion = QString::fromStdString(engine_.Version());
    channels_.ClassTrace("UpgradeDatabase: " + r.path + " :DAO.DBEngine.Version=" + engineVersion);
    channels_.ClassTrace("--get DAO.DBEngine.Workspaces(0)");
    Workspace& workspace = engine_.Workspaces(0);
    channels_.ClassTrace("--open: " + r.path + ", read only");
    auto db = workspace.OpenDatabase(r.path.toStdString(), false, true);
    const QString fileVersion = QString::fromStdString(db->Version());
    db->Close();
    outcome_.fileVersion = fileVersion;
    channels_.ClassTrace("--" + r.path + " version=" + fileVersion);
    const QString fileName = fileNameOf(r.path);
    if (versionMajor(fileVersion) < versionMajor(engineVersion)) {
      channels_.ClassTrace("--upgrading from version=" + fileVersion + " to version=" +
                           engineVersion + " (" + QString::number(r.versionCode) + ")");
      if (r.mode == kModeSaveAs) {
        result = saveAs(r, fileName, engineVersion);
      } else if (r.mode == kModeExport) {
        result = exportTo(r, fileName);
      }
    } else {
      channels_.ClassTrace("--UpgradeDatabase: " + r.path + " [v " + fileVersion + "] is ok");
      channels_.AddOutput(r.path + " - already v" + fileVersion);
    }
    channels_.ClassTrace("/UpgradeDatabase");
  } catch (...) {
    channels_.ClassError("UpgradeDatabase: " + r.path, currentRunError());
    return false;
  }
  return result;
}

}  // namespace engine
