#include "jet/writer_rows.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cassert>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#include "jet/error.h"
#include "jet/layout/jet4_write.h"
#include "jet/text.h"
#include "jet/writer_jet3.h"

namespace jet {

namespace {

namespace L = layout::jet4;

// Access compresses memo text only up to this many characters.
constexpr std::size_t kMaxCompressedChars = 1024;

// What errors name: the table, the row when counted, the column. The
// strings are only made when something is thrown.
struct Context {
  const std::string& what;
  std::uint32_t row;
  std::string name() const { return row == 0 ? what : what + ", row " + std::to_string(row); }
  std::string of(const Column& c) const { return name() + ", column '" + c.name + "'"; }
};

[[noreturn]] void wrongValue(const Context& at, const Column& c) {
  throw unsupported(at.of(c), "the value does not match the column type " + columnTypeName(c.type));
}

template <typename T>
const T& valueAs(const Value& v, const Context& at, const Column& c) {
  const T* p = std::get_if<T>(&v);
  if (p == nullptr) wrongValue(at, c);
  return *p;
}

// Writes a fixed-size value at `at` of `out` (the fixed area, or a value of
// a fixed type kept in the variable area).
void putFixed(std::span<std::uint8_t> out, std::size_t at, const Column& c, const Value& v,
              const Context& ctx) {
  switch (c.type) {
    case ColumnType::Byte: putU8(out, at, valueAs<std::uint8_t>(v, ctx, c)); return;
    case ColumnType::Integer:
      putU16(out, at, static_cast<std::uint16_t>(valueAs<std::int16_t>(v, ctx, c)));
      return;
    case ColumnType::Long:
      putU32(out, at, static_cast<std::uint32_t>(valueAs<std::int32_t>(v, ctx, c)));
      return;
    case ColumnType::Currency:
      putU64(out, at, static_cast<std::uint64_t>(valueAs<Currency>(v, ctx, c).scaled));
      return;
    case ColumnType::Single: {
      std::uint32_t bits;
      const float f = valueAs<float>(v, ctx, c);
      std::memcpy(&bits, &f, sizeof bits);
      putU32(out, at, bits);
      return;
    }
    case ColumnType::Double: putF64(out, at, valueAs<double>(v, ctx, c)); return;
    case ColumnType::DateTime: putF64(out, at, valueAs<DateTime>(v, ctx, c).oaDate); return;
    case ColumnType::Guid: {
      const auto& g = valueAs<Guid>(v, ctx, c).bytes;
      putBytes(out, at, g);
      return;
    }
    case ColumnType::Decimal: {
      // Sign byte, then four 32-bit little-endian words, most significant first.
      const Decimal& d = valueAs<Decimal>(v, ctx, c);
      putU8(out, at, d.negative ? 0x80 : 0x00);
      putU32(out, at + 1, static_cast<std::uint32_t>(d.high >> 32));
      putU32(out, at + 5, static_cast<std::uint32_t>(d.high));
      putU32(out, at + 9, static_cast<std::uint32_t>(d.low >> 32));
      putU32(out, at + 13, static_cast<std::uint32_t>(d.low));
      return;
    }
    default: {
      // A type we do not know: its bytes as the source held them.
      const Bytes& b = valueAs<Bytes>(v, ctx, c);
      if (b.size() > c.length) wrongValue(ctx, c);
      putBytes(out, at, b);
    }
  }
}

// ASCII without NUL: each character is one unit, and compression keeps its byte.
bool plainAscii(std::string_view s) {
  return asciiRun(reinterpret_cast<const std::uint8_t*>(s.data()), s.size()) == s.size();
}

// Each byte followed by a zero byte (UTF-16LE of ASCII), sixteen at a time
// where SSE2 is there, else eight.
void widenAscii(const std::uint8_t* __restrict in, std::size_t n, std::uint8_t* __restrict out) {
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i), _mm_unpacklo_epi8(v, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i + 16), _mm_unpackhi_epi8(v, zero));
  }
#endif
  for (; std::endian::native == std::endian::little && i + 8 <= n; i += 8) {
    std::uint64_t w;
    std::memcpy(&w, in + i, 8);
    // Spread the bytes of each half into the even bytes of a word.
    std::uint64_t lo = w & 0xFFFFFFFFu, hi = w >> 32;
    lo = (lo | (lo << 16)) & 0x0000FFFF0000FFFFull;
    lo = (lo | (lo << 8)) & 0x00FF00FF00FF00FFull;
    hi = (hi | (hi << 16)) & 0x0000FFFF0000FFFFull;
    hi = (hi | (hi << 8)) & 0x00FF00FF00FF00FFull;
    std::memcpy(out + 2 * i, &lo, 8);
    std::memcpy(out + 2 * i + 8, &hi, 8);
  }
  for (; i < n; ++i) {
    out[2 * i] = in[i];
    out[2 * i + 1] = 0;
  }
}

// Jet 4 text of plain ASCII `s`: what encodeJet4Text makes of it, without
// going through UTF-16.
void asciiJet4Text(std::string_view s, bool compressible, std::size_t maxCompressed,
                   ByteBuffer& out) {
  const std::size_t n = s.size();
  out.clear();
  if (compressible && n > 2 && n <= maxCompressed) {
    out.resize(n + 2);
    out[0] = 0xFF;
    out[1] = 0xFE;
    std::memcpy(out.data() + 2, s.data(), n);
  } else {
    out.resize(2 * n);
    widenAscii(reinterpret_cast<const std::uint8_t*>(s.data()), n, out.data());
  }
}

// Jet 4 text into `out`, compressed only up to `maxCompressed` units;
// returns the number of UTF-16 units. `units` is scratch.
std::size_t jet4Text(std::string_view s, bool compressible, std::size_t maxCompressed,
                     ByteBuffer& out, std::u16string& units) {
  if (plainAscii(s)) {
    asciiJet4Text(s, compressible, maxCompressed, out);
    return s.size();
  }
  utf8ToUtf16(s, units);
  encodeJet4Text(units, compressible && units.size() <= maxCompressed, out);
  return units.size();
}

// Text as a Jet 4 source stores it, encoded as jet4Text encodes its decoded value.
std::size_t storedJet4Text(std::span<const std::uint8_t> stored, bool compressible,
                           std::size_t maxCompressed, ByteBuffer& out, std::u16string& units) {
  // The common case, compressed one-byte ASCII: the characters are the bytes after FF FE.
  if (stored.size() >= 2 && stored[0] == 0xFF && stored[1] == 0xFE &&
      asciiRun(stored.data() + 2, stored.size() - 2) == stored.size() - 2) {
    asciiJet4Text(std::string_view(reinterpret_cast<const char*>(stored.data() + 2),
                                   stored.size() - 2),
                  compressible, maxCompressed, out);
    return stored.size() - 2;
  }
  decodeJet4Units(stored, units);
  encodeJet4Text(units, compressible && units.size() <= maxCompressed, out);
  return units.size();
}

// Whether storedJet4Text gives back `stored` unchanged: compressed text
// without a mode switch (every character one byte, none of them NUL) that
// the column still compresses.
bool storedAsItIs(std::span<const std::uint8_t> stored, bool compressible,
                  std::size_t maxCompressed) {
  if (!compressible || stored.size() < 2 || stored[0] != 0xFF || stored[1] != 0xFE) return false;
  const std::size_t n = stored.size() - 2;
  return n > 2 && n <= maxCompressed && std::memchr(stored.data() + 2, 0, n) == nullptr;
}

// Code-page text (Jet 3); the error is encodeJet3Text's own.
void jet3Text(const std::string& s, std::uint16_t codePage, const Context& ctx, const Column& c,
              ByteBuffer& out) {
  if (!encodeCodePage(s, codePage, out)) encodeJet3Text(s, codePage, ctx.of(c));  // throws
}

void checkTextLength(const Column& c, std::size_t chars, const Context& ctx) {
  if (c.length != 0 && chars * 2 > c.length) {
    throw unsupported(ctx.of(c), "the text is longer than the column allows");
  }
}

void variableBytes(const Column& c, const Value& v, const Context& ctx, std::uint16_t codePage,
                   ByteBuffer& out, std::u16string& units) {
  if (c.type == ColumnType::Text && codePage != 0) {
    jet3Text(valueAs<std::string>(v, ctx, c), codePage, ctx, c, out);
    if (c.length != 0 && out.size() > c.length) {
      throw unsupported(ctx.of(c), "the text is longer than the column allows");
    }
    return;
  }
  if (c.type == ColumnType::Text) {
    const std::size_t chars = jet4Text(valueAs<std::string>(v, ctx, c), (c.extraFlags & 0x01) != 0,
                                       SIZE_MAX, out, units);
    checkTextLength(c, chars, ctx);
    return;
  }
  if (c.type == ColumnType::Binary) {
    const Bytes& b = valueAs<Bytes>(v, ctx, c);
    if (c.length != 0 && b.size() > c.length) {
      throw unsupported(ctx.of(c), "the binary value is longer than the column allows");
    }
    out.assign(b.begin(), b.end());
    return;
  }
  // Fixed types stored in the variable area (no fixed flag) keep their encoding.
  out.assign(c.length, 0);
  putFixed(out, 0, c, v, ctx);
}

// The content of a long value: memo text encoded into `memo`, OLE bytes as they are.
std::span<const std::uint8_t> longValueContent(const Column& c, const Value& v, const Context& ctx,
                                               std::uint16_t codePage, ByteBuffer& memo,
                                               std::u16string& units) {
  if (c.type == ColumnType::Memo) {
    const std::string& s = valueAs<std::string>(v, ctx, c);
    if (codePage != 0) {
      jet3Text(s, codePage, ctx, c, memo);
    } else {
      jet4Text(s, (c.extraFlags & 0x01) != 0, kMaxCompressedChars, memo, units);
    }
    return memo;
  }
  return valueAs<Bytes>(v, ctx, c);
}

void inlineLongValue(std::span<const std::uint8_t> content, ByteBuffer& d) {
  d.clear();
  addU32(d, L::kLongValueInline | static_cast<std::uint32_t>(content.size()));
  addU32(d, 0);
  addU32(d, 0);
  addBytes(d, content);
}

}  // namespace

ByteBuffer encodeJet4Text(const std::string& utf8, bool compressible) {
  ByteBuffer out;
  std::u16string units;
  jet4Text(utf8, compressible, SIZE_MAX, out, units);
  return out;
}

void encodeJet4Text(const std::u16string& units, bool compressible, ByteBuffer& out) {
  const std::size_t chars = units.size();
  const auto lo = [&](std::size_t i) { return static_cast<std::uint8_t>(units[i] & 0xFF); };
  const auto hi = [&](std::size_t i) { return static_cast<std::uint8_t>(units[i] >> 8); };
  // A 0x00 byte toggles the mode, so no character may have a zero low byte
  // (Access never compresses such text); one-byte runs of 1-2 characters
  // inside wide text cost more in toggles than they save.
  bool possible = compressible && chars > 2;
  for (std::size_t i = 0; possible && i < chars; ++i) possible = lo(i) != 0;
  out.clear();
  if (possible) {
    out.push_back(0xFF);
    out.push_back(0xFE);
    bool narrow = true;
    std::size_t i = 0;
    while (i < chars) {
      std::size_t j = i;
      const bool oneByte = hi(i) == 0;
      while (j < chars && (hi(j) == 0) == oneByte) ++j;
      // Short one-byte runs between wide ones stay wide.
      const bool asNarrow = oneByte && (j - i > 2 || (i == 0 && narrow) || (j == chars && narrow));
      if (asNarrow != narrow) {
        out.push_back(0x00);
        narrow = asNarrow;
      }
      for (std::size_t k = i; k < j; ++k) {
        out.push_back(lo(k));
        if (!narrow) out.push_back(hi(k));
      }
      i = j;
    }
    if (out.size() < 2 * chars) return;
    out.clear();
  }
  out.resize(2 * chars);
  for (std::size_t i = 0; i < chars; ++i) {
    out[2 * i] = lo(i);
    out[2 * i + 1] = hi(i);
  }
}

RowShape rowShape(const TableDef& table) {
  RowShape s;
  for (const Column& c : table.columns) {
    s.columnCount = std::max<std::uint16_t>(s.columnCount, static_cast<std::uint16_t>(c.number + 1));
    if (c.type == ColumnType::Boolean) continue;
    if (c.fixed()) {
      s.fixedSize = std::max<std::uint16_t>(s.fixedSize,
                                            static_cast<std::uint16_t>(c.fixedOffset + c.length));
    } else {
      s.varCount = std::max<std::uint16_t>(s.varCount, static_cast<std::uint16_t>(c.varIndex + 1));
    }
  }
  return s;
}

RowEncoder::RowEncoder(const TableDef& table, const WriteFormat& format, std::uint16_t codePage)
    : table_(table),
      format_(format),
      shape_(rowShape(table)),
      // Code-page text is Jet 3's; 0 means Jet 4 Unicode.
      codePage_(format.generation == 3 ? codePage : 0),
      vars_(shape_.varCount),
      memos_(table.columns.size()),
      longs_(table.columns.size()) {}

void RowEncoder::takeStoredText(const std::vector<bool>& columns, const RowCursor& cursor) {
  assert(codePage_ == 0 || asciiCompatible(codePage_));
  stored_.assign(table_.columns.size(), false);
  for (std::size_t i = 0; i < columns.size() && i < table_.columns.size(); ++i) {
    const Column& c = table_.columns[i];
    stored_[i] = columns[i] && !c.fixed() &&
                 (c.type == ColumnType::Text || c.type == ColumnType::Memo);
  }
  cursor_ = &cursor;
  storedAscii_ = cursor.storedTextIsAscii();
}

// Each way gives the bytes the decoded value would be encoded to.
bool RowEncoder::storedValue(std::size_t i, const Column& c, const std::string& what,
                             std::uint32_t rowNumber) {
  const Context ctx{what, rowNumber};
  const std::span<const std::uint8_t> bytes = cursor_->storedText(i);
  if (storedAscii_ && bytes.empty()) return false;  // decoded, or empty either way
  const bool compressible = (c.extraFlags & 0x01) != 0;
  const bool memo = c.type == ColumnType::Memo;
  ByteBuffer& out = memo ? memos_[i] : vars_[c.varIndex];
  const std::size_t maxCompressed = memo ? kMaxCompressedChars : SIZE_MAX;
  if (memo) longValues_.push_back(i);
  // Plain ASCII text: kept so from a Jet 3 file, or compressed one-byte Jet 4 text.
  std::span<const std::uint8_t> ascii = bytes;
  bool isAscii = storedAscii_;
  if (!isAscii && codePage_ != 0 && bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE &&
      asciiRun(bytes.data() + 2, bytes.size() - 2) == bytes.size() - 2) {
    ascii = bytes.subspan(2);
    isAscii = true;
  }
  const std::string_view asciiText(reinterpret_cast<const char*>(ascii.data()), ascii.size());
  if (codePage_ == 0) {  // a Jet 4 row
    std::size_t chars;
    if (isAscii) {
      asciiJet4Text(asciiText, compressible, maxCompressed, out);
      chars = ascii.size();
      if (memo) longs_[i] = out;
    } else if (memo && storedAsItIs(bytes, compressible, maxCompressed)) {
      longs_[i] = bytes;  // valid until the cursor's next row, after this row is placed
      return true;
    } else {
      chars = storedJet4Text(bytes, compressible, maxCompressed, out, units_);
      if (memo) longs_[i] = out;
    }
    if (!memo) checkTextLength(c, chars, ctx);
    return true;
  }
  // A Jet 3 row: ASCII is the same bytes in its code page.
  if (isAscii && memo) {
    longs_[i] = ascii;
    return true;
  }
  if (isAscii) {
    out.assign(ascii.begin(), ascii.end());
  } else {
    decodeJet4Text(bytes, text_);  // as the reader decodes it
    jet3Text(text_, codePage_, ctx, c, out);
  }
  if (memo) {
    longs_[i] = out;
  } else if (c.length != 0 && out.size() > c.length) {
    throw unsupported(ctx.of(c), "the text is longer than the column allows");
  }
  return true;
}

std::size_t RowEncoder::varStart(std::uint16_t varIndex) const {
  // Both generations lay out the column count, the fixed area, then the
  // variable columns in order; Jet 3 counts in one byte, Jet 4 in two.
  std::size_t at = (format_.generation == 3 ? 1 : 2) + fixed_.size();
  for (std::size_t k = 0; k < varIndex && k < vars_.size(); ++k) at += vars_[k].size();
  return at;
}

std::span<const std::uint8_t> RowEncoder::encode(const Row& row, LongValuePlacer& placer,
                                                 const std::string& what, std::uint32_t rowNumber) {
  const Context ctx{what, rowNumber};
  const std::size_t maskSize = (shape_.columnCount + 7) / 8;
  fixed_.assign(shape_.fixedSize, 0);
  mask_.assign(maskSize, 0);
  for (ByteBuffer& b : vars_) b.clear();
  longValues_.clear();  // columns whose content may still move out of the row
  static const Value kNull;
  for (std::size_t i = 0; i < table_.columns.size(); ++i) {
    const Column& c = table_.columns[i];
    const Value& v = i < row.size() ? row[i] : kNull;
    if (c.type == ColumnType::Boolean) {
      const bool yes = std::holds_alternative<bool>(v) && std::get<bool>(v);
      if (yes) mask_[c.number / 8] |= static_cast<std::uint8_t>(1u << (c.number % 8));
      continue;
    }
    if (isNull(v)) continue;
    mask_[c.number / 8] |= static_cast<std::uint8_t>(1u << (c.number % 8));
    if (!stored_.empty() && stored_[i] && storedValue(i, c, what, rowNumber)) {
      continue;
    }
    if (c.fixed()) {
      putFixed(fixed_, c.fixedOffset, c, v, ctx);
    } else if (isLongValue(c.type)) {
      longs_[i] = longValueContent(c, v, ctx, codePage_, memos_[i], units_);
      longValues_.push_back(i);
    } else {
      variableBytes(c, v, ctx, codePage_, vars_[c.varIndex], units_);
    }
  }
  // Long values of up to 64 bytes stay in the row while the row stays small enough.
  std::size_t size = 2 + fixed_.size() + maskSize + (shape_.varCount > 0 ? 4 + 2 * shape_.varCount : 0);
  for (const ByteBuffer& b : vars_) size += b.size();
  for (std::size_t i : longValues_) {
    size += L::kLongValueHeader + (longs_[i].size() <= L::kMaxInlineLongValue ? longs_[i].size() : 0);
  }
  if (format_.generation == 3) size -= 1 + shape_.varCount;  // one-byte counts and offsets
  const bool keepInline = size <= format_.maxRowSize;
  for (std::size_t i : longValues_) {
    const Column& c = table_.columns[i];
    if (keepInline && longs_[i].size() <= L::kMaxInlineLongValue) {
      inlineLongValue(longs_[i], vars_[c.varIndex]);
    } else {
      placer.place(c, longs_[i], vars_[c.varIndex]);
    }
  }
  if (format_.generation == 3) {
    assembleJet3Row(shape_, fixed_, vars_, mask_, what, rowNumber, out_);
    return out_;
  }
  out_.clear();
  out_.reserve(size);
  addU16(out_, shape_.columnCount);
  addBytes(out_, fixed_);
  starts_.resize(shape_.varCount);
  for (std::size_t k = 0; k < vars_.size(); ++k) {
    starts_[k] = static_cast<std::uint16_t>(out_.size());
    addBytes(out_, vars_[k]);
  }
  if (shape_.varCount > 0) {
    addU16(out_, static_cast<std::uint16_t>(out_.size()));
    for (std::size_t k = vars_.size(); k-- > 0;) addU16(out_, starts_[k]);
    addU16(out_, shape_.varCount);
  }
  addBytes(out_, mask_);
  if (out_.size() > L::kMaxRowSize) {
    throw unsupported(what, "a row needs " + std::to_string(out_.size()) +
                                " bytes, more than the " + std::to_string(L::kMaxRowSize) +
                                " a Jet 4 row may hold");
  }
  return out_;
}

}  // namespace jet
