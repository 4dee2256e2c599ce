#include "engine/version_probe.h"

#include "engine/run_error.h"

#include <cmath>

namespace engine {

double leadingNumber(const QString& text) {
  qsizetype end = 0;
  bool digits = false, point = false;
  if (end < text.size() && (text[end] == '+' || text[end] == '-')) ++end;
  for (; end < text.size(); ++end) {
    const QChar c = text[end];
    if (c.isDigit() && c.unicode() < 128) {
      digits = true;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (!digits) return 0;
  return text.left(end).toDouble();
}

long versionMajor(const QString& text) {
  return static_cast<long>(std::floor(leadingNumber(text)));
}

QString GetVersion(const QString& path, DBEngine& engine, Channels& channels) {
  QString result = "error";
  try {
    channels.ClassTrace("GetVersion:CALL DAO.DBEngine.Workspaces(0).OpenDatabase(" + path +
                        ", read only");
    auto db = engine.Workspaces(0).OpenDatabase(path.toStdString(), false, true);
    channels.ClassTrace("--version=" + QString::fromStdString(db->Version()));
    result = QString::fromStdString(db->Version());
    channels.ClassTrace("--close: " + QString::fromStdString(db->Name()));
    db->Close();
  } catch (...) {
    channels.ClassError("GetVersion: " + path, currentRunError());
  }
  return result;
}

}  // namespace engine
