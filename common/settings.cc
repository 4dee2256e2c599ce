#include "common/settings.h"

#include <QDir>

#include "common/app_info.h"
#include "common/data_folder.h"
#include "common/diagnostics.h"
#include "common/ini_file.h"
#include "common/module1.h"
#include "common/notifier.h"

namespace {

// The first `limit` characters, never ending in half of a surrogate pair.
QString firstChars(const QString& text, int limit) {
  if (text.size() <= limit) return text;
  qsizetype n = limit;
  if (text[n - 1].isHighSurrogate()) --n;
  return text.left(n);
}

}  // namespace

Settings::Settings(Notifier& notifier, QString folder)
    : notifier_(notifier), folder_(std::move(folder)) {}

QString Settings::path() const { return fileInFolder(folder_, kFileName); }

QString Settings::GetSetting(const QString& section, const QString& key,
                             const QString& defaultValue) {
  try {
    iniFile_ = path();
    const std::optional<QString> stored = readProfileString(iniFile_, section, key);
    QString value = firstChars(StripNull(stored ? *stored : defaultValue), kReadLimit);
    if (value.compare("Null", Qt::CaseInsensitive) == 0) value.clear();
    return value;
  } catch (const std::exception& e) {
    ModuleError(notifier_,
                "GetSetting:Section= " + section + " :Key=" + key + " :Default= " + defaultValue +
                    " :INIFile=" + iniFile_,
                currentErrorOf(e));
    return {};
  }
}

void Settings::SaveSetting(const QString& section, const QString& key, const QString& value) {
  const QString stored = value.isEmpty() ? QString("null") : value;
  try {
    if (iniFile_.isEmpty()) iniFile_ = path();  // written before any read: same file all the same
    if (!writeProfileString(iniFile_, section, key, stored)) {
      notifier_.notice(kAppTitle, "Cannot save INI file");
    }
  } catch (const std::exception& e) {
    ModuleError(notifier_,
                "SaveSetting:Section= " + section + " :Key= " + key + " :Value=" + stored +
                    " :INIFile=" + iniFile_,
                currentErrorOf(e));
  }
}

QString defaultSourceFolder() { return QDir::homePath() + "/Orvak"; }
QString defaultDestinationFolder() { return QDir::homePath() + "/Orvak/mdb"; }
