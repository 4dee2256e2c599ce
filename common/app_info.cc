#include "common/app_info.h"

QString windowCaption(const QString& engineVersion, int revision) {
  return QString("%1 ver %2.%3.%4 Jet ver: %5")
      .arg(kAppTitle)
      .arg(kAppMajor)
      .arg(kAppMinor)
      .arg(revision, 3, 10, QChar('0'))
      .arg(engineVersion);
}

QString versionBoxText(int revision) {
  return QString("%1 ver %2.%3.%4").arg(kAppTitle).arg(kAppMajor).arg(kAppMinor).arg(revision);
}
