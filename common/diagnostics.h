// Diagnostics: the window's output list, trace and log, and the two error reports.
//  - AddOutput: one line for the user, to the sink the window connects to lst_Output.
//  - ClassTrace: into the in-memory history (positions 1..TraceCount) and, while the
//    trace switch is on, as "hh:mm:ss:message" into jetlift_trace.txt.
//  - LogMessage: "hh:mm dd MMM yyyy,message" into jetlift.txt.
//  - ClassError: composes the report, traces it, dumps the history to the log
//    under "Trace...", resets the count and shows the report.
// Files are opened for appending and closed within each write; lines end in CR LF.
// A failure while a report is being made never starts a second report.
#pragma once

#include <QDateTime>
#include <QString>
#include <climits>
#include <functional>
#include <vector>

#include "common/current_error.h"

class Notifier;

class Diagnostics {
 public:
  using Clock = std::function<QDateTime()>;
  using EngineErrors = std::function<std::vector<CurrentError>()>;

  static constexpr char kTraceFileName[] = "jetlift_trace.txt";
  static constexpr char kLogFileName[] = "jetlift.txt";

  // `folder` holds the trace and log files (see defaultDataFolder()).
  Diagnostics(Notifier& notifier, QString folder);

  void setClock(Clock clock) { clock_ = std::move(clock); }
  void setOutputSink(std::function<void(const QString&)> sink) { output_ = std::move(sink); }
  // Read at every ClassTrace: the state of the window's "Trace" check box.
  void setTraceSwitch(std::function<bool()> on) { traceOn_ = std::move(on); }
  // The engine's error list, read (not cleared) by every report.
  void setEngineErrors(EngineErrors errors) { engineErrors_ = std::move(errors); }
  // The most entries the history can hold; only tests lower it to reach "full".
  void setHistoryLimit(int limit) { historyLimit_ = limit; }

  // Count back to 0 and a fresh history with positions 0 to 10.
  void ResetTrace();

  void AddOutput(const QString& text);
  void ClassTrace(const QString& message);
  void LogMessage(const QString& message);
  // Reports `error` under the procedure name `name`. False: leave the procedure.
  bool ClassError(const QString& name, const CurrentError& error = {});

  int TraceCount() const { return count_; }
  // Positions 0 .. highest; position 0 is never used.
  const std::vector<QString>& TraceHistory() const { return history_; }
  int TraceUpperBound() const { return static_cast<int>(history_.size()) - 1; }

  QString traceFilePath() const;
  QString logFilePath() const;

 private:
  void record(const QString& message);
  void handleOwnFailure(const QString& procedure, const CurrentError& error);

  Notifier& notifier_;
  QString folder_;
  Clock clock_;
  std::function<void(const QString&)> output_;
  std::function<bool()> traceOn_;
  EngineErrors engineErrors_;
  std::vector<QString> history_;
  int count_ = 0;
  int historyLimit_ = INT_MAX - 11;
  bool reporting_ = false;
};

// The shared module's error report: "MMessages:" + context + description in a box.
// True: go back into the procedure (the delivered program always does).
bool ModuleError(Notifier& notifier, const QString& context, const CurrentError& error);

// False: this is the delivered program, never a development build under a debugger.
bool InDevelopmentEnvironment();

// Appends `lines`, each ended by CR LF, to the file at `path` in the locale's 8-bit
// encoding; opens and closes the file. Throws RuntimeError when it cannot.
void appendLines(const QString& path, const QStringList& lines);
