// DiagnosticsChannels: the window's diagnostics as the channels the database
// operations of engine/ report through.
#pragma once

#include "common/diagnostics.h"
#include "engine/channels.h"

class DiagnosticsChannels : public engine::Channels {
 public:
  explicit DiagnosticsChannels(Diagnostics& diagnostics) : diagnostics_(diagnostics) {}

  void AddOutput(const QString& text) override { diagnostics_.AddOutput(text); }
  void ClassTrace(const QString& message) override { diagnostics_.ClassTrace(message); }
  void LogMessage(const QString& message) override { diagnostics_.LogMessage(message); }
  bool ClassError(const QString& name, const engine::RunError& error) override {
    return diagnostics_.ClassError(name, CurrentError{error.number, error.description});
  }

 private:
  Diagnostics& diagnostics_;
};
