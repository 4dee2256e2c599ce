// Channels that record every line, for tests of the database operations.
#pragma once

#include <QString>
#include <QStringList>

#include "engine/channels.h"

struct RecordingChannels : engine::Channels {
  QStringList output, trace, log, errors;
  std::vector<engine::RunError> errorDetails;
  void AddOutput(const QString& text) override { output << text; }
  void ClassTrace(const QString& message) override { trace << message; }
  void LogMessage(const QString& message) override { log << message; }
  bool ClassError(const QString& name, const engine::RunError& error) override {
    errors << name;
    errorDetails.push_back(error);
    return false;
  }
};
