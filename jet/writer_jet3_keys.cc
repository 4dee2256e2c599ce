// General 97, the text order of Jet 3 files (LCID 1033): one entry per byte
// of code page 1252. Facts from the table published in the Jackcess project
// (see NOTICE), checked against every text key of the Jet 3 corpus files
// (tests/jet/writer_jet3_keys_test.cc). "S" entries give inline key bytes,
// "G" the same for a letter the accent codes count, "I" an inline
// part and an accent code, "X" nothing.
//
// A key is the inline bytes, then either 0x00 or, when some letter is
// accented, a stream of nibbles: 0, per accented letter one placeholder 2 for
// each "G" letter since the previous accented one and its accent code, 0.
// Access 2.0 keys (Jet 2.0) end that stream on a whole byte and a 0x00 byte.
#include <array>
#include <cassert>
#include <span>
#include <string_view>

#include "jet/error.h"
#include "jet/text.h"
#include "jet/writer_jet3.h"

namespace jet {
namespace {

// NUL is 0x10 like the other control characters: Access 97 stored that for
// "Lock\0" in MSysModules2 of three corpus files.
constexpr std::array<std::string_view, 256> kGeneral97 = {
    "S10", "S10", "S10", "S10", "S10", "S10", "S10", "S10",
    "S10", "S11", "S10", "S10", "S10", "S10", "S10", "S10",
    "S10", "S10", "S10", "S10", "S10", "S10", "S10", "S10",
    "S10", "S10", "S10", "S10", "S10", "S10", "S10", "S10",
    "S11", "S12", "S13", "S14", "S15", "S16", "S17", "S18",
    "S19", "S1A", "S1B", "S1C", "S1D", "S1E", "S1F", "S20",
    "S56", "S57", "S58", "S59", "S5A", "S5B", "S5C", "S5D",
    "S5E", "S5F", "S21", "S22", "S23", "S24", "S25", "S26",
    "S27", "G60", "S61", "G62", "S64", "G66", "S67", "S68",
    "S69", "G6A", "S6B", "S6C", "S6D", "S6F", "G70", "G72",
    "S73", "S74", "S75", "G76", "S77", "G78", "S7A", "S7B",
    "S7C", "G7D", "S7E", "S28", "S29", "S2A", "S2B", "S2C",
    "S2D", "G60", "S61", "G62", "S64", "G66", "S67", "S68",
    "S69", "G6A", "S6B", "S6C", "S6D", "S6F", "G70", "G72",
    "S73", "S74", "S75", "G76", "S77", "G78", "S7A", "S7B",
    "S7C", "G7D", "S7E", "S2E", "S2F", "S30", "S31", "S10",
    "S10", "S10", "S18", "S32", "S13", "S33", "S34", "S35",
    "S36", "S37", "I76,0A", "S18", "S7266", "S10", "S10", "S10",
    "S10", "S18", "S18", "S13", "S13", "S38", "S1E", "S1E",
    "S39", "S3A", "I76,0A", "S18", "S7266", "S10", "S10", "I7D,06",
    "S11", "S3B", "S3C", "S3D", "S3E", "S3F", "S40", "S41",
    "S42", "S43", "S44", "S13", "S45", "S1E", "S46", "S47",
    "S48", "S49", "S58", "S59", "S4A", "S4B", "S4C", "S4D",
    "S4E", "S57", "S4F", "S13", "S50", "S51", "S52", "S53",
    "I60,03", "I60,04", "I60,05", "I60,07", "I60,06", "I60,08", "S6066", "I62,09",
    "I66,03", "I66,04", "I66,05", "I66,06", "I6A,03", "I6A,04", "I6A,05", "I6A,06",
    "S65", "I70,07", "I72,03", "I72,04", "I72,05", "I72,07", "I72,06", "S54",
    "S81", "I78,03", "I78,04", "I78,05", "I78,06", "I7D,04", "S7F", "S7676",
    "I60,03", "I60,04", "I60,05", "I60,07", "I60,06", "I60,08", "S6066", "I62,09",
    "I66,03", "I66,04", "I66,05", "I66,06", "I6A,03", "I6A,04", "I6A,05", "I6A,06",
    "S65", "I70,07", "I72,03", "I72,04", "I72,05", "I72,07", "I72,06", "S55",
    "S81", "I78,03", "I78,04", "I78,05", "I78,06", "I7D,04", "S7F", "I7D,06",
};

constexpr std::uint8_t kNibbleBound = 0x0, kNibblePlaceholder = 0x2;

constexpr int hexDigit(char c) { return c <= '9' ? c - '0' : c - 'A' + 10; }

void appendHex(ByteBuffer& key, std::string_view hex) {
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    key.push_back(static_cast<std::uint8_t>(hexDigit(hex[i]) * 16 + hexDigit(hex[i + 1])));
  }
}

// Codes of the "G" letters. A character whose inline part spells several
// letters (ß as "ss", Æ as "ae") counts each of them: Access 97 put
// 11 placeholders before the umlaut of "Lebensmittelgroßmärkte", not 9.
const std::array<bool, 256>& countedCodes() {
  static const std::array<bool, 256> codes = [] {
    std::array<bool, 256> out{};
    for (std::string_view e : kGeneral97) {
      if (e[0] == 'G') out[static_cast<std::uint8_t>(hexDigit(e[1]) * 16 + hexDigit(e[2]))] = true;
    }
    return out;
  }();
  return codes;
}

class Nibbles {
 public:
  bool empty() const { return count_ == 0; }
  bool odd() const { return count_ % 2 == 1; }
  void add(std::uint8_t v) {
    if (count_ % 2 == 0) {
      bytes_.push_back(static_cast<std::uint8_t>(v << 4));
    } else {
      bytes_.back() = static_cast<std::uint8_t>(bytes_.back() | (v & 0x0F));
    }
    ++count_;
  }
  const ByteBuffer& bytes() const { return bytes_; }

 private:
  ByteBuffer bytes_;
  std::size_t count_ = 0;
};

// kGeneral97 parsed once: the inline bytes, how many of them are counted
// "G" letters, and the accent code of an "I" entry.
struct Entry97 {
  char kind = 'X';
  std::uint8_t length = 0;
  std::uint8_t bytes[2] = {};
  std::uint8_t counted = 0;
  std::uint8_t accent = 0;
};

const std::array<Entry97, 256>& entries97() {
  static const std::array<Entry97, 256> entries = [] {
    std::array<Entry97, 256> out{};
    for (std::size_t b = 0; b < 256; ++b) {
      const std::string_view e = kGeneral97[b];
      Entry97& x = out[b];
      x.kind = e[0];
      if (x.kind == 'X') continue;
      const std::size_t comma = e.find(',');
      ByteBuffer inlineBytes;
      appendHex(inlineBytes,
                e.substr(1, comma == std::string_view::npos ? std::string_view::npos : comma - 1));
      assert(inlineBytes.size() <= sizeof x.bytes);
      x.length = static_cast<std::uint8_t>(inlineBytes.size());
      for (std::size_t k = 0; k < inlineBytes.size(); ++k) {
        x.bytes[k] = inlineBytes[k];
        x.counted = static_cast<std::uint8_t>(x.counted + (countedCodes()[inlineBytes[k]] ? 1 : 0));
      }
      x.accent = static_cast<std::uint8_t>(hexDigit(e.back()));
    }
    return out;
  }();
  return entries;
}

// Access 2.0 ends the accent stream differently (see appendAccess20TextKey).
void appendTextKey(ByteBuffer& key, const std::string& utf8, std::uint16_t codePage,
                   bool ascending, const std::string& what, bool access20) {
  if (codePage != 1252) {
    throw unsupported(what, "Jet 3 text keys can only be written for code page 1252, not " +
                                std::to_string(codePage));
  }
  // ASCII is the same bytes in code page 1252: no conversion needed.
  const auto* raw = reinterpret_cast<const std::uint8_t*>(utf8.data());
  ByteBuffer converted;
  std::span<const std::uint8_t> bytes(raw, utf8.size());
  if (asciiRun(raw, utf8.size()) != utf8.size()) {
    converted = encodeJet3Text(utf8, codePage, what);
    bytes = converted;
  }
  std::size_t n = std::min<std::size_t>(bytes.size(), 255);
  while (n > 0 && bytes[n - 1] == ' ') --n;
  const std::size_t from = key.size();
  const std::array<Entry97, 256>& entries = entries97();
  Nibbles accents;
  std::size_t plainLetters = 0;  // "G" letters since the last accented one
  for (std::size_t i = 0; i < n; ++i) {
    const Entry97& e = entries[bytes[i]];
    if (e.kind == 'X') continue;
    key.insert(key.end(), e.bytes, e.bytes + e.length);
    if (e.kind != 'I') {
      plainLetters += e.counted;
    } else {
      if (accents.empty()) accents.add(kNibbleBound);
      for (; plainLetters > 0; --plainLetters) accents.add(kNibblePlaceholder);
      accents.add(e.accent);
    }
  }
  if (accents.empty()) {
    key.push_back(0x00);
  } else if (!access20) {
    accents.add(kNibbleBound);
    key.insert(key.end(), accents.bytes().begin(), accents.bytes().end());
  } else {
    // A whole number of bytes, then a 0x00 byte. A last code alone in its
    // byte is joined by the placeholder of a letter that follows it, or,
    // with none left, goes into the byte's low half.
    ByteBuffer stream = accents.bytes();
    if (accents.odd()) {
      if (plainLetters > 0) {
        accents.add(kNibblePlaceholder);
        stream = accents.bytes();
      } else {
        stream.back() = static_cast<std::uint8_t>(stream.back() >> 4);
      }
    }
    key.insert(key.end(), stream.begin(), stream.end());
    key.push_back(0x00);
  }
  if (!ascending) {
    for (std::size_t i = from; i < key.size(); ++i) key[i] = static_cast<std::uint8_t>(~key[i]);
  }
}

}  // namespace

void appendGeneral97TextKey(ByteBuffer& key, const std::string& utf8, std::uint16_t codePage,
                            bool ascending, const std::string& what) {
  appendTextKey(key, utf8, codePage, ascending, what, false);
}

void appendAccess20TextKey(ByteBuffer& key, const std::string& utf8, std::uint16_t codePage,
                           bool ascending, const std::string& what) {
  appendTextKey(key, utf8, codePage, ascending, what, true);
}

}  // namespace jet
