#include "engine/database_listing.h"

#include "common/database_name.h"
#include "engine/run_error.h"

namespace engine {

void EnumerateDatabase(const QString& path, DBEngine& engine, Channels& channels,
                       const std::function<void()>& clearOutput) {
  try {
    clearOutput();
    if (!common::isDatabaseName(path.toStdString())) {
      channels.AddOutput(path + " [not MDB file]");
      return;
    }
    channels.ClassTrace("EnumerateDatabase:file=" + path + ":open DBEngine.Workspaces(0)");
    Workspace& workspace = engine.Workspaces(0);
    channels.ClassTrace("--open: " + path + ", read only");
    auto db = workspace.OpenDatabase(path.toStdString(), false, true);
    channels.AddOutput(path + " [version=" + QString::fromStdString(db->Version()) + "]");
    int count = 0;
    for (const auto& table : db->TableDefs()) {
      if (table.Attributes != 0) continue;
      channels.AddOutput(QString::fromStdString(table.Name));
      ++count;
    }
    channels.AddOutput(QString::number(count) + " table(s)");
    db->Close();
  } catch (...) {
    channels.ClassError("EnumerateDatabase: " + path, currentRunError());
  }
}

}  // namespace engine
