// JetVersion: the file format generations the library knows, and the facts that
// follow from the generation alone (page size, text encoding).
#pragma once

#include <cstddef>
#include <string>

namespace jet {

enum class JetVersion { Jet1_0, Jet1_1, Jet2, Jet3, Jet4 };

// The text Database.Version reports: "1.0", "1.1", "2.0", "3.0" or "4.0".
std::string versionText(JetVersion version);

inline bool isJet12(JetVersion v) {
  return v == JetVersion::Jet1_0 || v == JetVersion::Jet1_1 || v == JetVersion::Jet2;
}
inline std::size_t pageSizeOf(JetVersion v) { return v == JetVersion::Jet4 ? 4096 : 2048; }
// Jet 4 keeps text as UTF-16; older files in the database's code page.
inline bool hasUnicodeText(JetVersion v) { return v == JetVersion::Jet4; }

}  // namespace jet
