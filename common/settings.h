// Settings: GetSetting and SaveSetting, one key of "jetlift.ini" at a time, with the
// program's own rules on top of the profile file (IniFile):
//  - an empty value is stored as "null"; "null" in any letter case reads as empty;
//  - at most 126 characters of a value (or of a default) are read back;
//  - a key that is missing, or a file that is missing or unreadable, gives the default;
//  - a failed write shows "Cannot save INI file" once and is not reported further.
#pragma once

#include <QString>

class Notifier;

class Settings {
 public:
  static constexpr char kFileName[] = "jetlift.ini";
  static constexpr int kReadLimit = 126;  // a 128-character buffer, 127 offered to the read

  // `folder` holds the settings file (see defaultDataFolder()).
  Settings(Notifier& notifier, QString folder);

  QString GetSetting(const QString& section, const QString& key, const QString& defaultValue);
  void SaveSetting(const QString& section, const QString& key, const QString& value);

  // The file of the last GetSetting (INIFile); SaveSetting writes there.
  QString iniFile() const { return iniFile_; }

 private:
  QString path() const;

  Notifier& notifier_;
  QString folder_;
  QString iniFile_;
};

// The folders used when no settings say otherwise: the home folder's "Orvak" and "Orvak/mdb".
QString defaultSourceFolder();
QString defaultDestinationFolder();
