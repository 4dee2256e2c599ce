#include "jet/writer_rows.h"

#include <algorithm>
#include <cstring>

#include "jet/error.h"
#include "jet/layout/jet4_write.h"
#include "jet/text.h"
#include "jet/writer_keys.h"

namespace jet {

std::size_t toUtf16Length(const ByteBuffer& encoded);

namespace {

namespace L = layout::jet4;

// Access compresses memo text only up to this many characters.
constexpr std::size_t kMaxCompressedChars = 1024;

std::string describe(const std::string& what, const Column& c) {
  return what + ", column '" + c.name + "'";
}

[[noreturn]] void wrongValue(const std::string& what, const Column& c) {
  throw unsupported(describe(what, c), "the value does not match the column type " +
                                            columnTypeName(c.type));
}

template <typename T>
const T& valueAs(const Value& v, const std::string& what, const Column& c) {
  const T* p = std::get_if<T>(&v);
  if (p == nullptr) wrongValue(what, c);
  return *p;
}

void putFixed(std::span<std::uint8_t> out, const Column& c, const Value& v,
              const std::string& what) {
  const std::size_t at = c.fixedOffset;
  switch (c.type) {
    case ColumnType::Byte: putU8(out, at, valueAs<std::uint8_t>(v, what, c)); return;
    case ColumnType::Integer:
      putU16(out, at, static_cast<std::uint16_t>(valueAs<std::int16_t>(v, what, c)));
      return;
    case ColumnType::Long:
      putU32(out, at, static_cast<std::uint32_t>(valueAs<std::int32_t>(v, what, c)));
      return;
    case ColumnType::Currency:
      putU64(out, at, static_cast<std::uint64_t>(valueAs<Currency>(v, what, c).scaled));
      return;
    case ColumnType::Single: {
      std::uint32_t bits;
      const float f = valueAs<float>(v, what, c);
      std::memcpy(&bits, &f, sizeof bits);
      putU32(out, at, bits);
      return;
    }
    case ColumnType::Double: putF64(out, at, valueAs<double>(v, what, c)); return;
    case ColumnType::DateTime: putF64(out, at, valueAs<DateTime>(v, what, c).oaDate); return;
    case ColumnType::Guid: {
      const auto& g = valueAs<Guid>(v, what, c).bytes;
      putBytes(out, at, g);
      return;
    }
    case ColumnType::Decimal: {
      // Sign byte, then four 32-bit little-endian words, most significant first.
      const Decimal& d = valueAs<Decimal>(v, what, c);
      putU8(out, at, d.negative ? 0x80 : 0x00);
      putU32(out, at + 1, static_cast<std::uint32_t>(d.high >> 32));
      putU32(out, at + 5, static_cast<std::uint32_t>(d.high));
      putU32(out, at + 9, static_cast<std::uint32_t>(d.low >> 32));
      putU32(out, at + 13, static_cast<std::uint32_t>(d.low));
      return;
    }
    default: {
      // A type we do not know: its bytes as the source held them.
      const Bytes& b = valueAs<Bytes>(v, what, c);
      if (b.size() > c.length) wrongValue(what, c);
      putBytes(out, at, b);
    }
  }
}

ByteBuffer variableBytes(const Column& c, const Value& v, const std::string& what) {
  if (c.type == ColumnType::Text) {
    ByteBuffer b = encodeJet4Text(valueAs<std::string>(v, what, c), (c.extraFlags & 0x01) != 0);
    if (c.length != 0 && toUtf16Length(b) * 2 > c.length) {
      throw unsupported(describe(what, c), "the text is longer than the column allows");
    }
    return b;
  }
  if (c.type == ColumnType::Binary) {
    const Bytes& b = valueAs<Bytes>(v, what, c);
    if (c.length != 0 && b.size() > c.length) {
      throw unsupported(describe(what, c), "the binary value is longer than the column allows");
    }
    return b;
  }
  // Fixed types stored in the variable area (no fixed flag) keep their encoding.
  ByteBuffer b(c.length, 0);
  Column moved = c;
  moved.fixedOffset = 0;
  putFixed(b, moved, v, what);
  return b;
}

ByteBuffer longValueContent(const Column& c, const Value& v, const std::string& what) {
  if (c.type == ColumnType::Memo) {
    const std::string& s = valueAs<std::string>(v, what, c);
    const bool small = toUtf16(s).size() <= kMaxCompressedChars;
    return encodeJet4Text(s, (c.extraFlags & 0x01) != 0 && small);
  }
  return valueAs<Bytes>(v, what, c);
}

ByteBuffer inlineLongValue(std::span<const std::uint8_t> content) {
  ByteBuffer d;
  addU32(d, L::kLongValueInline | static_cast<std::uint32_t>(content.size()));
  addU32(d, 0);
  addU32(d, 0);
  addBytes(d, content);
  return d;
}

}  // namespace

ByteBuffer encodeJet4Text(const std::string& utf8, bool compressible) {
  const std::string raw = encodeUtf16(utf8);
  const std::size_t chars = raw.size() / 2;
  const auto lo = [&](std::size_t i) { return static_cast<std::uint8_t>(raw[2 * i]); };
  const auto hi = [&](std::size_t i) { return static_cast<std::uint8_t>(raw[2 * i + 1]); };
  // A 0x00 byte toggles the mode, so no character may have a zero low byte
  // (Access never compresses such text); one-byte runs of 1-2 characters
  // inside wide text cost more in toggles than they save.
  bool possible = compressible && chars > 2;
  for (std::size_t i = 0; possible && i < chars; ++i) possible = lo(i) != 0;
  ByteBuffer out;
  if (possible) {
    out = {0xFF, 0xFE};
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
    if (out.size() < raw.size()) return out;
  }
  out.assign(raw.begin(), raw.end());
  return out;
}

// Characters of an encoded Jet 4 text (compressed or not).
std::size_t toUtf16Length(const ByteBuffer& encoded) {
  if (encoded.size() < 2 || encoded[0] != 0xFF || encoded[1] != 0xFE) return encoded.size() / 2;
  std::size_t n = 0;
  bool narrow = true;
  for (std::size_t i = 2; i < encoded.size();) {
    if (encoded[i] == 0) {
      narrow = !narrow;
      ++i;
    } else {
      i += narrow ? 1 : 2;
      ++n;
    }
  }
  return n;
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

ByteBuffer encodeRow(const TableDef& table, const RowShape& shape, const Row& row,
                     LongValuePlacer& placer, const std::string& what) {
  const std::size_t maskSize = (shape.columnCount + 7) / 8;
  ByteBuffer fixed(shape.fixedSize, 0);
  ByteBuffer mask(maskSize, 0);
  std::vector<ByteBuffer> vars(shape.varCount);
  std::vector<std::size_t> longValues;  // columns whose content may still move out of the row
  std::vector<ByteBuffer> contents(table.columns.size());
  for (std::size_t i = 0; i < table.columns.size(); ++i) {
    const Column& c = table.columns[i];
    const Value& v = i < row.size() ? row[i] : Value{};
    if (c.type == ColumnType::Boolean) {
      const bool yes = std::holds_alternative<bool>(v) && std::get<bool>(v);
      if (yes) mask[c.number / 8] |= static_cast<std::uint8_t>(1u << (c.number % 8));
      continue;
    }
    if (isNull(v)) continue;
    mask[c.number / 8] |= static_cast<std::uint8_t>(1u << (c.number % 8));
    if (c.fixed()) {
      putFixed(fixed, c, v, what);
    } else if (isLongValue(c.type)) {
      contents[i] = longValueContent(c, v, what);
      longValues.push_back(i);
    } else {
      vars[c.varIndex] = variableBytes(c, v, what);
    }
  }
  // Long values of up to 64 bytes stay in the row while the row stays small enough.
  std::size_t size = 2 + fixed.size() + maskSize + (shape.varCount > 0 ? 4 + 2 * shape.varCount : 0);
  for (const ByteBuffer& b : vars) size += b.size();
  for (std::size_t i : longValues) {
    size += L::kLongValueHeader + (contents[i].size() <= L::kMaxInlineLongValue ? contents[i].size() : 0);
  }
  const bool keepInline = size <= L::kMaxRowSize;
  for (std::size_t i : longValues) {
    const Column& c = table.columns[i];
    if (keepInline && contents[i].size() <= L::kMaxInlineLongValue) {
      vars[c.varIndex] = inlineLongValue(contents[i]);
    } else {
      vars[c.varIndex] = placer.place(c, contents[i]);
    }
  }
  ByteBuffer out;
  out.reserve(size);
  addU16(out, shape.columnCount);
  addBytes(out, fixed);
  std::vector<std::uint16_t> starts(shape.varCount);
  for (std::size_t k = 0; k < vars.size(); ++k) {
    starts[k] = static_cast<std::uint16_t>(out.size());
    addBytes(out, vars[k]);
  }
  if (shape.varCount > 0) {
    addU16(out, static_cast<std::uint16_t>(out.size()));
    for (std::size_t k = vars.size(); k-- > 0;) addU16(out, starts[k]);
    addU16(out, shape.varCount);
  }
  addBytes(out, mask);
  if (out.size() > L::kMaxRowSize) {
    throw unsupported(what, "a row needs " + std::to_string(out.size()) +
                                " bytes, more than the " + std::to_string(L::kMaxRowSize) +
                                " a Jet 4 row may hold");
  }
  return out;
}

}  // namespace jet
