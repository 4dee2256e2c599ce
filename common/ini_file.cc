#include "common/ini_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

bool sameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

bool needsEscape(QChar c) {
  return c == '%' || c == '=' || c.unicode() < 0x20 || c.unicode() == 0x7f;
}

// "%XX" for each byte of the character in UTF-8.
QString escaped(QChar c) {
  QString out;
  for (const char byte : QString(c).toUtf8()) {
    out += QString("%%1").arg(static_cast<unsigned char>(byte), 2, 16, QChar('0')).toUpper();
  }
  return out;
}

}  // namespace

IniFile IniFile::parse(const QByteArray& bytes) {
  IniFile ini;
  if (bytes.isEmpty()) return ini;
  QList<QByteArray> raw = bytes.split('\n');
  if (raw.last().isEmpty()) raw.removeLast();  // the newline that ends the last line
  for (QByteArray& line : raw) {
    if (line.endsWith('\r')) line.chop(1);
    ini.lines_ << QString::fromLocal8Bit(line);
  }
  return ini;
}

QByteArray IniFile::serialize() const {
  QByteArray out;
  for (const QString& line : lines_) out += line.toLocal8Bit() + "\r\n";
  return out;
}

std::optional<QString> IniFile::sectionName(const QString& line) {
  const QString t = line.trimmed();
  if (!t.startsWith('[')) return std::nullopt;
  const qsizetype close = t.indexOf(']');
  return t.mid(1, close < 0 ? -1 : close - 1).trimmed();
}

std::optional<IniFile::Entry> IniFile::entryAt(const QStringList& lines, qsizetype i) {
  const QString& line = lines[i];
  if (line.trimmed().startsWith(';')) return std::nullopt;
  const qsizetype eq = line.indexOf('=');
  if (eq < 0) return std::nullopt;
  return Entry{i, line.left(eq).trimmed(), line.mid(eq + 1).trimmed()};
}

std::optional<std::pair<qsizetype, qsizetype>> IniFile::sectionRange(const QString& section) const {
  for (qsizetype i = 0; i < lines_.size(); ++i) {
    const auto name = sectionName(lines_[i]);
    if (!name || !sameName(*name, section)) continue;
    qsizetype end = i + 1;
    while (end < lines_.size() && !sectionName(lines_[end])) ++end;
    return std::make_pair(i + 1, end);
  }
  return std::nullopt;
}

std::optional<QString> IniFile::rawValue(const QString& section, const QString& key) const {
  const auto range = sectionRange(section);
  if (!range) return std::nullopt;
  for (qsizetype i = range->first; i < range->second; ++i) {
    const auto entry = entryAt(lines_, i);
    if (entry && sameName(entry->key, key)) return entry->value;
  }
  return std::nullopt;
}

void IniFile::setRawValue(const QString& section, const QString& key, const QString& raw) {
  const auto range = sectionRange(section);
  if (!range) {
    lines_ << "[" + section + "]" << key + "=" + raw;
    return;
  }
  qsizetype lastContent = range->first - 1;  // the section line itself
  for (qsizetype i = range->first; i < range->second; ++i) {
    const auto entry = entryAt(lines_, i);
    if (entry && sameName(entry->key, key)) {
      lines_[i] = entry->key + "=" + raw;
      return;
    }
    if (!lines_[i].trimmed().isEmpty()) lastContent = i;
  }
  lines_.insert(lastContent + 1, key + "=" + raw);
}

QString encodeIniValue(const QString& value) {
  qsizetype first = 0;
  qsizetype last = value.size();
  while (first < last && value[first].isSpace()) ++first;
  while (last > first && value[last - 1].isSpace()) --last;
  QString out;
  for (qsizetype i = 0; i < value.size(); ++i) {
    const QChar c = value[i];
    const bool edge = i < first || i >= last;
    out += (needsEscape(c) || edge) ? escaped(c) : QString(c);
  }
  return out;
}

QString decodeIniValue(const QString& stored) {
  if (!stored.contains('%')) return stored;
  const QByteArray in = stored.toUtf8();
  auto hex = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  QByteArray out;
  for (qsizetype i = 0; i < in.size(); ++i) {
    if (in[i] == '%' && i + 2 < in.size() && hex(in[i + 1]) >= 0 && hex(in[i + 2]) >= 0) {
      out += static_cast<char>(hex(in[i + 1]) * 16 + hex(in[i + 2]));
      i += 2;
    } else {
      out += in[i];
    }
  }
  return QString::fromUtf8(out);
}

namespace {

// The file's bytes; nullopt when it exists but cannot be read or is too large to be ours.
std::optional<QByteArray> fileBytes(const QString& path) {
  QFile file(path);
  if (!file.exists()) return QByteArray();
  if (QFileInfo(path).isDir() || file.size() > IniFile::kMaxFileSize) return std::nullopt;
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  QByteArray bytes = file.read(IniFile::kMaxFileSize + 1);
  if (bytes.size() > IniFile::kMaxFileSize) return std::nullopt;
  return bytes;
}

}  // namespace

std::optional<QString> readProfileString(const QString& path, const QString& section,
                                         const QString& key) {
  const auto bytes = fileBytes(path);
  if (!bytes) return std::nullopt;
  const auto raw = IniFile::parse(*bytes).rawValue(section, key);
  if (!raw) return std::nullopt;
  return decodeIniValue(*raw);
}

bool writeProfileString(const QString& path, const QString& section, const QString& key,
                        const QString& value) {
  const auto bytes = fileBytes(path);
  if (!bytes) return false;
  IniFile ini = IniFile::parse(*bytes);
  ini.setRawValue(section, key, encodeIniValue(value));
  QSaveFile out(path);
  if (!out.open(QIODevice::WriteOnly)) return false;
  const QByteArray text = ini.serialize();
  if (out.write(text) != text.size()) {
    out.cancelWriting();
    return false;
  }
  return out.commit();
}
