// The General (legacy) sort order of Jet 4 (LCID 1033, version 0): what each
// UTF-16 unit contributes to a text index key. Generated from the published
// tables (see NOTICE, docs/writer-collation.md) and checked against keys Access
// wrote in the corpus files.
#pragma once

#include <cstdint>
#include <string>

namespace jet::collation {

enum class CharClass : std::uint8_t {
  kSimple,               // inline bytes only
  kInternational,        // inline bytes of the base letter + an extra (accent) code
  kUnprintable,          // no inline bytes; an entry in the trailing unprintable section
  kUnprintableModifier,  // no inline bytes; adds to the previous extra code
  kInternationalCrazy,   // inline bytes, optional extra code, and a two-bit "crazy" flag
  kSurrogate,            // computed inline bytes, extra code 0x3F
  kIgnored,              // contributes nothing
};

struct CharCode {
  CharClass kind = CharClass::kIgnored;
  std::string inlineBytes;
  std::string extraBytes;
  std::string unprintableBytes;
  std::uint8_t modifier = 0;
  std::uint8_t crazyFlag = 0;
  // Letters the inline bytes stand for: a ligature or a letter that sorts as
  // two ('ß' as "ss") takes two positions in the extra and unprintable codes.
  std::uint8_t positions = 0;
};

// The codes of one UTF-16 unit.
const CharCode& codeOf(char16_t c);
// The kind and the inline, extra and unprintable bytes of a unit below
// 0x100, without loading the rest of the table (positions are not counted:
// they depend on the whole table).
const CharCode& latinCodeOf(char16_t c);

// Generated data: the table's lines, in chunks, each list ending in nullptr.
extern const char* const kGeneralLegacyBase[];
extern const char* const kGeneralLegacyExtended[];

}  // namespace jet::collation
