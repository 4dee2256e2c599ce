// The General (legacy) sort order of Jet 4 (LCID 1033, version 0): what each
// character contributes to a text index key. The table covers U+0000-U+00FF;
// it was generated from the published table (see NOTICE, docs/collation_table.py)
// and checked against keys Access wrote in the corpus files.
#pragma once

#include <cstdint>

namespace jet::collation {

enum class CharClass : std::uint8_t {
  kSimple,         // inline bytes only
  kInternational,  // inline bytes of the base letter + an extra code for the accent
  kUnprintable,    // no inline bytes; an entry in the trailing unprintable section
  kIgnored,        // contributes nothing
};

struct CharCode {
  CharClass kind;
  std::uint8_t inlineLength;
  const char* inlineBytes;
  std::uint8_t extraLength;
  const char* extraBytes;
  std::uint8_t unprintableLength;
  const char* unprintableBytes;
};

extern const CharCode kGeneralLegacy[256];

}  // namespace jet::collation
