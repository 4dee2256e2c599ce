// IniFile: a settings file with the semantics of a Windows profile file.
//  - "[name]" opens a section; "key=value" is an entry; names match without regard
//    to case; the first matching section and key win; blanks around names and values
//    are trimmed; lines starting with ';' and lines without '=' are kept but never match.
//  - Writing replaces the key's value in place, or adds the key at the end of its
//    section, or adds the section at the end; every other line is kept as it was.
//  - The file is written whole, in the locale's 8-bit encoding with CR LF, through a
//    temporary file renamed over the old one, so a crash never leaves half a file.
// Values are escaped on the way in (see encodeIniValue) so no value can start a new
// line, key or section, and any garbage file reads as "no such key", never a failure.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

class IniFile {
 public:
  // Files larger than this are not settings files; they read as missing and are not overwritten.
  static constexpr qint64 kMaxFileSize = 1 << 20;

  static IniFile parse(const QByteArray& bytes);
  QByteArray serialize() const;

  // The stored text of the entry, trimmed, escapes still in place; nullopt when absent.
  std::optional<QString> rawValue(const QString& section, const QString& key) const;
  void setRawValue(const QString& section, const QString& key, const QString& raw);

  const QStringList& lines() const { return lines_; }

 private:
  struct Entry {
    qsizetype line;
    QString key;
    QString value;
  };
  static std::optional<QString> sectionName(const QString& line);
  static std::optional<Entry> entryAt(const QStringList& lines, qsizetype i);
  // First line of the section's body and one past its last line; nullopt when absent.
  std::optional<std::pair<qsizetype, qsizetype>> sectionRange(const QString& section) const;

  QStringList lines_;
};

// Escaping of values: '%', '=', CR, LF and every other control character become
// "%XX" (two hex digits of the byte), as do blanks at either end, which the reader
// would trim. Reading turns every "%XX" back into its byte; a '%' not followed by two
// hex digits stays as it is, so hand-written values without escapes read unchanged.
QString encodeIniValue(const QString& value);
QString decodeIniValue(const QString& stored);

// The decoded value of section/key in the file at `path`; nullopt when the file, the
// section or the key is missing, or the file cannot be read.
std::optional<QString> readProfileString(const QString& path, const QString& section,
                                         const QString& key);
// Stores `value` (escaped) under section/key; false when the file cannot be written
// (or exists but cannot be read, so that rewriting it would lose its other lines).
bool writeProfileString(const QString& path, const QString& section, const QString& key,
                        const QString& value);
