// Channels: what the database operations report through (the output list,
// the trace, the log, and the common error report). The window's diagnostics
// implement it; tests record into it.
#pragma once

#include <QString>

namespace engine {

// The error that sent a procedure to its handler.
struct RunError {
  long number = 0;
  QString description;
};

class Channels {
 public:
  virtual ~Channels() = default;
  virtual void AddOutput(const QString& text) = 0;
  virtual void ClassTrace(const QString& message) = 0;
  virtual void LogMessage(const QString& message) = 0;
  // Reports `error` under the procedure name; true means "go back in".
  virtual bool ClassError(const QString& name, const RunError& error) = 0;
};

}  // namespace engine
