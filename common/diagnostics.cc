#include "common/diagnostics.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStringList>

#include "common/app_info.h"
#include "common/data_folder.h"
#include "common/notifier.h"

namespace {

constexpr int kInitialUpperBound = 10;
constexpr int kGrowth = 10;

RuntimeError fileError(const QFile& file, const QString& path) {
  if (!QFileInfo(QFileInfo(path).absolutePath()).isDir()) {
    return RuntimeError(kErrPathNotFound, "Path not found: '" + path + "'");
  }
  if (file.error() == QFileDevice::PermissionsError) {
    return RuntimeError(kErrPermissionDenied, "Permission denied: '" + path + "'");
  }
  return RuntimeError(kErrFileAccess,
                      "Path/File access error: '" + path + "' (" + file.errorString() + ")");
}

// Restores a flag on every way out of a scope.
class FlagScope {
 public:
  explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
  ~FlagScope() { flag_ = false; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;

 private:
  bool& flag_;
};

}  // namespace

void appendLines(const QString& path, const QStringList& lines) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) throw fileError(file, path);
  QByteArray bytes;
  for (const QString& line : lines) {
    bytes += line.toLocal8Bit();
    bytes += "\r\n";
  }
  if (file.write(bytes) != bytes.size()) throw fileError(file, path);
  file.close();
  if (file.error() != QFileDevice::NoError) throw fileError(file, path);
}

Diagnostics::Diagnostics(Notifier& notifier, QString folder)
    : notifier_(notifier),
      folder_(std::move(folder)),
      clock_([] { return QDateTime::currentDateTime(); }) {
  ResetTrace();
}

QString Diagnostics::traceFilePath() const { return fileInFolder(folder_, kTraceFileName); }
QString Diagnostics::logFilePath() const { return fileInFolder(folder_, kLogFileName); }

void Diagnostics::ResetTrace() {
  count_ = 0;
  history_.assign(kInitialUpperBound + 1, QString());
}

void Diagnostics::AddOutput(const QString& text) {
  if (output_) output_(text);
}

// Into the history only; growth keeps ten spare positions above the count.
void Diagnostics::record(const QString& message) {
  if (count_ >= historyLimit_)
    throw RuntimeError(kErrOverflow, "Overflow: the trace history is full");
  ++count_;
  if (count_ > TraceUpperBound()) history_.resize(static_cast<std::size_t>(count_) + kGrowth + 1);
  history_[static_cast<std::size_t>(count_)] = message;
}

void Diagnostics::ClassTrace(const QString& message) {
  try {
    record(message);
    if (traceOn_ && traceOn_()) {
      appendLines(traceFilePath(), {clock_().time().toString("hh:mm:ss") + ":" + message});
    }
  } catch (const RuntimeError& e) {
    handleOwnFailure("ClassTrace", currentErrorOf(e));
  } catch (const std::exception& e) {
    handleOwnFailure("ClassTrace", currentErrorOf(e));
  }
}

void Diagnostics::LogMessage(const QString& message) {
  try {
    appendLines(logFilePath(),
                {QLocale::system().toString(clock_(), "hh:mm dd MMM yyyy") + "," + message});
  } catch (const RuntimeError& e) {
    handleOwnFailure("LogMessage", currentErrorOf(e));
  } catch (const std::exception& e) {
    handleOwnFailure("LogMessage", currentErrorOf(e));
  }
}

// Outside a report a failure is reported like any other. Inside one (the report's
// own trace record) it is absorbed: reporting it would re-enter the report without end.
void Diagnostics::handleOwnFailure(const QString& procedure, const CurrentError& error) {
  if (reporting_) return;
  ClassError(procedure, error);
}

bool Diagnostics::ClassError(const QString& name, const CurrentError& error) {
  if (reporting_) return false;
  const FlagScope reporting(reporting_);
  try {
    QString message;
    if (error.number != 0) {
      message = error.description + "\r\n" + name + "\r\nError=" + QString::number(error.number);
    }
    if (engineErrors_) {
      for (const CurrentError& item : engineErrors_()) {
        message += "\r\n" + item.description + " [" + QString::number(item.number) + "]";
      }
    }
    const QString errorRecord = "Error:" + message;
    const int before = count_;
    ClassTrace(errorRecord);
    // A full history could not take the record; the log still gets it, after the rest.
    const bool recorded = count_ == before + 1;
    if (count_ > 0 || !recorded) {
      QStringList dump{"Trace..."};
      for (int i = 1; i <= count_; ++i) dump << history_[static_cast<std::size_t>(i)];
      if (!recorded) dump << errorRecord;
      appendLines(logFilePath(), dump);
      count_ = 0;
    }
    notifier_.notice(kAppTitle, message);
    return false;
  } catch (const RuntimeError& e) {
    notifier_.notice(kAppTitle, "ClassError:" + e.description());
  } catch (const std::exception& e) {
    notifier_.notice(kAppTitle, "ClassError:" + currentErrorOf(e).description);
  }
  return false;
}

bool ModuleError(Notifier& notifier, const QString& context, const CurrentError& error) {
  notifier.notice(kAppTitle, "MMessages:" + context + error.description);
  return !InDevelopmentEnvironment();
}

bool InDevelopmentEnvironment() { return false; }
