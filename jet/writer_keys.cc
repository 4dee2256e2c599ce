#include "jet/writer_keys.h"

#include "jet/writer_jet3.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <cstring>

#include "jet/error.h"
#include "jet/text.h"
#include "jet/writer_collation.h"

namespace jet {
namespace {

constexpr std::uint8_t kAscStart = 0x7F, kAscNull = 0x00;
constexpr std::uint8_t kDescStart = 0x80, kDescNull = 0xFF;
constexpr std::uint8_t kEndText = 0x01, kEndExtra = 0x00;
constexpr std::uint8_t kExtraPlaceholder = 0x02;
constexpr std::size_t kMaxKeyChars = 255;

void invert(ByteBuffer& b, std::size_t from) {
  for (std::size_t i = from; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(~b[i]);
}

// The low `bytes` bytes of `bits`, most significant first; returns where they start.
std::size_t appendBigEndian(ByteBuffer& key, std::uint64_t bits, int bytes) {
  const std::size_t from = key.size();
  key.resize(from + static_cast<std::size_t>(bytes));
  for (int i = 0; i < bytes; ++i) {
    const int shift = 8 * (bytes - 1 - i);
    key[from + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(bits >> shift);
  }
  return from;
}

// Big-endian integer with its sign bit flipped, so that negative values sort first.
void appendSigned(ByteBuffer& key, std::uint64_t bits, int bytes, bool ascending) {
  const std::size_t from = appendBigEndian(key, bits, bytes);
  key[from] ^= 0x80;
  if (!ascending) invert(key, from);
}

void appendFloating(ByteBuffer& key, std::uint64_t bits, int bytes, bool ascending) {
  const std::size_t from = appendBigEndian(key, bits, bytes);
  const bool negative = (key[from] & 0x80) != 0;
  if (negative) {
    invert(key, from);
  } else {
    key[from] ^= 0x80;
  }
  if (!ascending) invert(key, from);
}

// Binary data in 8-byte groups; 0x09 after a group says more follows, the
// last group is zero-padded and followed by its real length.
void appendBinary(ByteBuffer& key, const std::uint8_t* data, std::size_t n, bool ascending) {
  std::size_t pos = 0;
  while (n - pos > 8) {
    const std::size_t from = key.size();
    key.insert(key.end(), data + pos, data + pos + 8);
    if (!ascending) invert(key, from);
    key.push_back(0x09);
    pos += 8;
  }
  if (n - pos == 0) return;
  const std::size_t from = key.size();
  key.insert(key.end(), data + pos, data + n);
  key.insert(key.end(), 8 - (n - pos), 0);
  key.push_back(static_cast<std::uint8_t>(n - pos));
  if (!ascending) invert(key, from);
}

// Decimal: sign byte + 16 big-endian magnitude bytes, then the legacy sign rule.
void appendDecimal(ByteBuffer& key, const Decimal& d, bool ascending) {
  const std::size_t from = key.size();
  key.push_back(d.negative ? 0x80 : 0x00);
  for (int i = 7; i >= 0; --i) key.push_back(static_cast<std::uint8_t>(d.high >> (8 * i)));
  for (int i = 7; i >= 0; --i) key.push_back(static_cast<std::uint8_t>(d.low >> (8 * i)));
  if (d.negative == ascending) invert(key, from);
  key[from] = d.negative ? 0x00 : 0xFF;
}

std::uint64_t doubleBits(double v) {
  std::uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return bits;
}

// Extra codes with the bookkeeping the unprintable offsets depend on.
struct ExtraCodes {
  ByteBuffer bytes;
  std::size_t chars = 0;
  std::size_t prefix = 0;  // a modifier that came before any extra code
  bool used = false;
};

// Two-bit flags, three to a byte under a 0x80 mark; trailing 0x03 flags are
// dropped; a fixed suffix follows even when none is left.
void appendCrazyCodes(ByteBuffer& key, ByteBuffer flags) {
  while (!flags.empty() && flags.back() == 0x03) flags.pop_back();
  std::uint8_t current = 0x80;
  int filled = 0;
  for (std::uint8_t f : flags) {
    current = static_cast<std::uint8_t>(current | (f << ((2 - filled) * 2)));
    if (++filled == 3) {
      key.push_back(current);
      current = 0x80;
      filled = 0;
    }
  }
  if (filled > 0) key.push_back(current);
  for (std::uint8_t b : {0xFF, 0x02, 0x80, 0xFF, 0x80}) key.push_back(b);
}

// The inline codes of the ASCII characters that have nothing else in the
// General order (no accent, unprintable or crazy code): most text is made of
// them, and its key is their inline bytes alone.
struct AsciiCode {
  std::uint8_t length = 0;
  std::uint8_t bytes[3] = {};
  bool plain = false;
};

const std::array<AsciiCode, 128>& asciiCodes() {
  static const std::array<AsciiCode, 128> codes = [] {
    std::array<AsciiCode, 128> out{};
    for (char16_t c = 1; c < 128; ++c) {
      const collation::CharCode& code = collation::latinCodeOf(c);
      const bool plain = (code.kind == collation::CharClass::kSimple ||
                          code.kind == collation::CharClass::kIgnored) &&
                         code.inlineBytes.size() <= sizeof(AsciiCode::bytes);
      if (!plain) continue;
      AsciiCode& a = out[c];
      a.plain = true;
      a.length = static_cast<std::uint8_t>(code.inlineBytes.size());
      for (std::size_t i = 0; i < code.inlineBytes.size(); ++i) {
        a.bytes[i] = static_cast<std::uint8_t>(code.inlineBytes[i]);
      }
    }
    return out;
  }();
  return codes;
}

// appendGeneralTextKey for text of plain ASCII characters only, without
// going through UTF-16; false (and nothing appended) for any other text.
bool appendPlainAsciiKey(ByteBuffer& key, std::string_view text, bool ascending) {
  std::size_t n = std::min(text.size(), kMaxKeyChars);
  while (n > 0 && text[n - 1] == ' ') --n;
  const std::array<AsciiCode, 128>& codes = asciiCodes();
  // One pass with room for the longest codes; each code's three bytes are
  // copied whole and the next one starts after its length.
  const std::size_t from = key.size();
  key.resize(from + sizeof(AsciiCode::bytes) * n);
  std::uint8_t* out = key.data() + from;
  for (std::size_t i = 0; i < n; ++i) {
    const auto c = static_cast<std::uint8_t>(text[i]);
    if (c >= 128 || !codes[c].plain) {
      key.resize(from);
      return false;
    }
    std::memcpy(out, codes[c].bytes, sizeof(AsciiCode::bytes));
    out += codes[c].length;
  }
  key.resize(static_cast<std::size_t>(out - key.data()));
  key.push_back(kEndText);
  if (!ascending) {
    key.push_back(kEndExtra);
    invert(key, from);
  }
  key.push_back(kEndExtra);
  return true;
}

}  // namespace

std::u16string toUtf16(const std::string& utf8) {
  std::u16string out;
  utf8ToUtf16(utf8, out);
  return out;
}

bool appendGeneralTextKey(ByteBuffer& key, const std::u16string& input, bool ascending) {
  std::u16string text = input.substr(0, std::min(input.size(), kMaxKeyChars));
  while (!text.empty() && text.back() == u' ') text.pop_back();
  const std::size_t from = key.size();
  ExtraCodes extra;
  ByteBuffer unprintable, crazy;
  std::size_t position = 0;  // letters the inline bytes so far stand for
  for (char16_t c : text) {
    const collation::CharCode& code = collation::codeOf(c);
    const std::size_t here = position;
    if (!code.inlineBytes.empty()) {
      key.insert(key.end(), code.inlineBytes.begin(), code.inlineBytes.end());
      position += code.positions;
    }
    if (code.kind == collation::CharClass::kSimple || code.kind == collation::CharClass::kIgnored) {
      continue;
    }
    if (!code.extraBytes.empty() || code.modifier != 0) {
      // Plain characters before this one are marked by placeholders.
      if (extra.chars < here) {
        extra.bytes.insert(extra.bytes.end(), here - extra.chars, kExtraPlaceholder);
        extra.chars = here;
      }
      extra.used = true;
      if (!code.extraBytes.empty()) {
        // One accent code per letter (a ligature has one for each).
        extra.bytes.insert(extra.bytes.end(), code.extraBytes.begin(), code.extraBytes.end());
        extra.chars += std::max<std::size_t>(1, code.positions);
      } else if (!extra.bytes.empty()) {
        extra.bytes.back() = static_cast<std::uint8_t>(extra.bytes.back() + code.modifier);
      } else {
        extra.bytes.push_back(code.modifier);
        extra.prefix = 1;
      }
    }
    if (!code.unprintableBytes.empty()) {
      const std::size_t at =
          extra.used ? extra.bytes.size() + (here - extra.chars) - extra.prefix : here;
      const std::uint16_t mark = static_cast<std::uint16_t>(0x8000 | (7 + 4 * at));
      unprintable.push_back(static_cast<std::uint8_t>(mark >> 8));
      unprintable.push_back(static_cast<std::uint8_t>(mark));
      unprintable.push_back(0x06);
      unprintable.insert(unprintable.end(), code.unprintableBytes.begin(), code.unprintableBytes.end());
    }
    if (code.crazyFlag != 0) crazy.push_back(code.crazyFlag);
  }
  key.push_back(kEndText);
  while (!extra.bytes.empty() && extra.bytes.back() <= kExtraPlaceholder) extra.bytes.pop_back();
  key.insert(key.end(), extra.bytes.begin(), extra.bytes.end());
  if (!unprintable.empty() || !crazy.empty()) {
    key.push_back(kEndText);
    key.push_back(kEndText);
    if (!crazy.empty()) {
      appendCrazyCodes(key, crazy);
      if (!unprintable.empty()) key.push_back(0xFF);
    }
    if (!unprintable.empty()) {
      key.push_back(kEndText);
      key.insert(key.end(), unprintable.begin(), unprintable.end());
    }
  }
  if (!ascending) {
    key.push_back(kEndExtra);
    invert(key, from);
  }
  key.push_back(kEndExtra);
  return true;
}

void appendIndexKey(ByteBuffer& key, ColumnType type, const Value& value, bool ascending,
                    const std::string& what, int generation, std::uint16_t codePage) {
  if (type == ColumnType::Boolean) {
    const bool yes = std::holds_alternative<bool>(value) && std::get<bool>(value);
    key.push_back(ascending ? kAscStart : kDescStart);
    key.push_back((yes == ascending) ? 0x00 : 0xFF);
    return;
  }
  if (isNull(value)) {
    key.push_back(ascending ? kAscNull : kDescNull);
    return;
  }
  key.push_back(ascending ? kAscStart : kDescStart);
  switch (type) {
    case ColumnType::Byte: {
      const std::size_t from = key.size();
      key.push_back(std::get<std::uint8_t>(value));
      if (!ascending) invert(key, from);
      return;
    }
    case ColumnType::Integer:
      return appendSigned(key, static_cast<std::uint16_t>(std::get<std::int16_t>(value)), 2,
                          ascending);
    case ColumnType::Long:
      return appendSigned(key, static_cast<std::uint32_t>(std::get<std::int32_t>(value)), 4,
                          ascending);
    case ColumnType::Currency:
      return appendSigned(key, static_cast<std::uint64_t>(std::get<Currency>(value).scaled), 8,
                          ascending);
    case ColumnType::Single: {
      std::uint32_t bits;
      const float f = std::get<float>(value);
      std::memcpy(&bits, &f, sizeof bits);
      return appendFloating(key, bits, 4, ascending);
    }
    case ColumnType::Double:
      return appendFloating(key, doubleBits(std::get<double>(value)), 8, ascending);
    case ColumnType::DateTime:
      return appendFloating(key, doubleBits(std::get<DateTime>(value).oaDate), 8, ascending);
    case ColumnType::Guid: {
      // Textual order: the first three groups are stored little-endian.
      const auto& g = std::get<Guid>(value).bytes;
      const std::uint8_t ordered[16] = {g[3], g[2], g[1], g[0], g[5],  g[4],  g[7],  g[6],
                                        g[8], g[9], g[10], g[11], g[12], g[13], g[14], g[15]};
      return appendBinary(key, ordered, 16, ascending);
    }
    case ColumnType::Binary:
    case ColumnType::OLE: {
      const Bytes& b = std::get<Bytes>(value);
      return appendBinary(key, b.data(), b.size(), ascending);
    }
    case ColumnType::Decimal:
      return appendDecimal(key, std::get<Decimal>(value), ascending);
    case ColumnType::Text:
    case ColumnType::Memo:
      if (generation == 3) return appendGeneral97TextKey(key, std::get<std::string>(value), codePage, ascending, what);
      if (appendPlainAsciiKey(key, std::get<std::string>(value), ascending)) return;
      appendGeneralTextKey(key, toUtf16(std::get<std::string>(value)), ascending);
      return;
    case ColumnType::Boolean:
      return;
  }
  throw unsupported(what, "a column of type " + columnTypeName(type) + " cannot be indexed");
}

}  // namespace jet
