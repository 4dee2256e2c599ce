// Fuzz target: the settings-file reader. Any bytes must parse; a value written
// back must read back unchanged, and writing must keep every other line.
#include <cstddef>
#include <cstdint>

#include "common/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  IniFile ini = IniFile::parse(bytes);
  // Section and key names from the input itself, so existing entries get hit.
  const QStringList& lines = ini.lines();
  const QString section = lines.isEmpty() ? QString("Options") : lines.first().section('=', 0, 0);
  const QString key = lines.size() < 2 ? QString("Key") : lines[1].section('=', 0, 0);
  ini.rawValue(section, key);
  const QString value = QString::fromUtf8(bytes.left(64));
  const qsizetype before = ini.lines().size();
  ini.setRawValue("Fuzz", "Value", encodeIniValue(value));
  if (ini.lines().size() < before) __builtin_trap();
  const IniFile again = IniFile::parse(ini.serialize());
  const auto stored = again.rawValue("Fuzz", "Value");
  if (!stored || decodeIniValue(*stored) != value) __builtin_trap();
  return 0;
}
