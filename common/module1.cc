#include "common/module1.h"

#include <QDir>

QString AddBackslash(const QString& path) {
  const QChar sep = QDir::separator();
  if (path.endsWith(sep)) return path;
  return path + sep;
}

QString StripNull(const QString& text) {
  const qsizetype nul = text.indexOf(QChar(u'\0'));
  return nul < 0 ? text : text.left(nul);
}
