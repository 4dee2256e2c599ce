// Jet 2.0 rows and long values (docs/jet2-format.md §4, §6 and "What the
// writer relies on").
#include <cmath>
#include <cstring>

#include "jet/error.h"
#include "jet/layout/jet2_write.h"
#include "jet/writer_jet2_table.h"
#include "jet/writer_jet3.h"

namespace jet {
namespace {

namespace L = layout::jet2;

std::uint8_t fixedWidth(ColumnType t) {
  switch (t) {
    case ColumnType::Boolean:
      return 0;
    case ColumnType::Byte:
      return 1;
    case ColumnType::Integer:
      return 2;
    case ColumnType::Long:
    case ColumnType::Single:
      return 4;
    case ColumnType::Currency:
    case ColumnType::Double:
    case ColumnType::DateTime:
      return 8;
    default:
      return 0;
  }
}

bool isFixed(ColumnType t) { return t <= ColumnType::DateTime; }

void putFixedValue(ByteBuffer& row, std::size_t at, ColumnType t, const Value& v,
                   const std::string& what) {
  bool ok = true;
  switch (t) {
    case ColumnType::Byte:
      if (const auto* x = std::get_if<std::uint8_t>(&v))
        putU8(row, at, *x);
      else
        ok = false;
      break;
    case ColumnType::Integer:
      if (const auto* x = std::get_if<std::int16_t>(&v))
        putU16(row, at, static_cast<std::uint16_t>(*x));
      else
        ok = false;
      break;
    case ColumnType::Long:
      if (const auto* x = std::get_if<std::int32_t>(&v))
        putU32(row, at, static_cast<std::uint32_t>(*x));
      else
        ok = false;
      break;
    case ColumnType::Currency:
      if (const auto* x = std::get_if<Currency>(&v))
        putU64(row, at, static_cast<std::uint64_t>(x->scaled));
      else
        ok = false;
      break;
    case ColumnType::Single:
      if (const auto* x = std::get_if<float>(&v)) {
        std::uint32_t bits;
        std::memcpy(&bits, x, sizeof bits);
        putU32(row, at, bits);
      } else {
        ok = false;
      }
      break;
    case ColumnType::Double:
      if (const auto* x = std::get_if<double>(&v))
        putF64(row, at, *x);
      else
        ok = false;
      break;
    case ColumnType::DateTime:
      if (const auto* x = std::get_if<DateTime>(&v))
        putF64(row, at, x->oaDate);
      else
        ok = false;
      break;
    default:
      ok = false;
  }
  if (!ok) throw unsupported(what, "a value does not match its column's type " + columnTypeName(t));
}

}  // namespace

Jet2Table planJet2Table(const TableDef& def, const std::string& what, std::uint16_t codePage) {
  Jet2Table t;
  t.def = def;
  if (def.columns.empty()) throw unsupported(what, "a table needs at least one column");
  if (def.name.empty() || def.name.size() > L::kMaxNameLength) {
    throw unsupported(what, "Jet 2.0 names hold 1 to 64 characters");
  }
  encodeJet3Text(def.name, codePage, what);
  std::uint16_t offset = 0, bit = 0, var = 0;
  for (const Column& c : def.columns) {
    const std::string where = what + ", column '" + c.name + "'";
    if (c.name.empty() || c.name.size() > L::kMaxNameLength) {
      throw unsupported(where, "Jet 2.0 names hold 1 to 64 characters");
    }
    encodeJet3Text(c.name, codePage, where);
    if (c.type > ColumnType::Memo || c.type < ColumnType::Boolean) {
      throw unsupported(where, "Jet 2.0 has no " + columnTypeName(c.type) +
                                   " type, so the column cannot be kept");
    }
    if ((c.flags & kColumnAutoLong) && c.type != ColumnType::Long) {
      throw unsupported(where, "a Jet 2.0 counter column must be a Long");
    }
    Jet2Column j;
    j.type = c.type;
    if (isFixed(c.type)) {
      if (bit >= 128)
        throw unsupported(where, "a Jet 2.0 table holds at most 127 fixed-size columns");
      j.fixed = true;
      j.offset = offset;
      j.bit = bit++;
      j.size = fixedWidth(c.type);
      offset = static_cast<std::uint16_t>(offset + j.size);
      j.hcolumn = static_cast<std::uint32_t>(L::kFixedPositionBase + j.offset) |
                  (static_cast<std::uint32_t>(j.bit) << 16) |
                  (static_cast<std::uint32_t>(j.size) << 24);
    } else {
      if (var >= 127)
        throw unsupported(where, "a Jet 2.0 table holds at most 127 variable-size columns");
      j.varIndex = var++;
      if (isLongValue(c.type)) {
        j.size = L::kLongValueSize;
      } else {
        const std::uint16_t most = 255;
        if (c.length > most) {
          throw unsupported(where, "the column holds " + std::to_string(c.length) +
                                       " characters or bytes, more than the 255 of Jet 2.0");
        }
        j.size = static_cast<std::uint8_t>(c.length == 0 ? most : c.length);
      }
      const std::uint8_t number = static_cast<std::uint8_t>(~j.varIndex);
      j.hcolumn = static_cast<std::uint32_t>(L::kVarPositionBase - j.varIndex) |
                  (static_cast<std::uint32_t>(number) << 16) |
                  (static_cast<std::uint32_t>(j.size) << 24);
    }
    t.columns.push_back(j);
  }
  t.fixedCount = bit;
  t.varCount = var;
  t.fixedSize = offset;
  return t;
}

Jet2LongValues::Jet2LongValues(PageOutput& out) : out_(out) {}

std::uint32_t Jet2LongValues::add(std::span<const std::uint8_t> row) {
  if (!page_ || !page_->fits(row.size())) {
    const std::uint32_t next = out_.allocate();
    if (page_) {
      out_.write(number_, page_->bytes(number_, previous_, next));
      previous_ = number_;
    } else {
      first_ = next;
    }
    number_ = next;
    page_ = std::make_unique<Jet2DataPage>(L::kLongValueTable);
    ++pages_;
  }
  ++rows_;
  return rowRef(number_, page_->add(row));
}

ByteBuffer Jet2LongValues::place(std::span<const std::uint8_t> content, bool memo) {
  const std::uint32_t key = nextKey_++;
  std::uint32_t next = 0;
  const std::size_t chunks = (content.size() + L::kMaxChunkData - 1) / L::kMaxChunkData;
  // Each chunk names the next one, so the last is placed first.
  for (std::size_t k = chunks; k-- > 0;) {
    const std::size_t from = k * L::kMaxChunkData;
    const std::size_t len = std::min(L::kMaxChunkData, content.size() - from);
    ByteBuffer row;
    addU16(row, static_cast<std::uint16_t>(L::kChunkData + len));
    addU32(row, next);
    addU32(row, key);
    addBytes(row, content.subspan(from, len));
    next = add(row);
  }
  ByteBuffer ref;
  addU32(ref, static_cast<std::uint32_t>(content.size()));
  addU32(ref, next);
  addU32(ref, key);
  addU16(ref, 1);  // 1 on every memo and LvProp value of the corpus; OLE values show 0 too
  (void)memo;
  return ref;
}

void Jet2LongValues::finish() {
  if (page_) out_.write(number_, page_->bytes(number_, previous_, 0));
  last_ = number_;
  page_.reset();
}

ByteBuffer encodeJet2Row(const Jet2Table& t, const Row& row, Jet2LongValues& longValues,
                         const std::string& what, std::uint16_t codePage) {
  const std::size_t maskBytes = (t.fixedCount + 7) / 8;
  ByteBuffer fixed(t.fixedSize, 0);
  ByteBuffer mask(maskBytes, 0);
  std::vector<ByteBuffer> vars(t.varCount);
  std::vector<bool> present(t.varCount, false);
  for (std::size_t i = 0; i < t.columns.size(); ++i) {
    const Jet2Column& c = t.columns[i];
    const Column& def = t.def.columns[i];
    const Value& v = i < row.size() ? row[i] : Value{};
    const std::string where = what + ", column '" + def.name + "'";
    if (c.fixed) {
      bool set = !isNull(v);
      if (c.type == ColumnType::Boolean) set = std::holds_alternative<bool>(v) && std::get<bool>(v);
      if (!set) continue;
      mask[c.bit / 8] |= static_cast<std::uint8_t>(1u << (c.bit % 8));
      if (c.type != ColumnType::Boolean) putFixedValue(fixed, c.offset, c.type, v, where);
      continue;
    }
    if (isNull(v)) continue;
    ByteBuffer content;
    if (const auto* s = std::get_if<std::string>(&v)) {
      if (c.type != ColumnType::Text && c.type != ColumnType::Memo) {
        throw unsupported(where, "a text value in a column of type " + columnTypeName(c.type));
      }
      content = encodeJet3Text(*s, codePage, where);
      if (c.type == ColumnType::Text && content.size() > c.size) {
        throw unsupported(where, "a text of " + std::to_string(content.size()) +
                                     " characters is longer than the column's " +
                                     std::to_string(c.size));
      }
    } else if (const auto* b = std::get_if<Bytes>(&v)) {
      if (c.type != ColumnType::Binary && c.type != ColumnType::OLE) {
        throw unsupported(where, "bytes in a column of type " + columnTypeName(c.type));
      }
      content.assign(b->begin(), b->end());
      if (c.type == ColumnType::Binary && content.size() > c.size) {
        throw unsupported(where, "a binary value of " + std::to_string(content.size()) +
                                     " bytes is longer than the column's " +
                                     std::to_string(c.size));
      }
    } else {
      throw unsupported(where,
                        "a value does not match its column's type " + columnTypeName(c.type));
    }
    if (content.empty()) {
      // Jet 2.0 stores an empty field as no field: the reader gives null.
      throw unsupported(where, "a zero-length value, which no Jet 2.0 file shows apart from null");
    }
    vars[c.varIndex] = isLongValue(c.type) ? longValues.place(content, c.type == ColumnType::Memo)
                                           : std::move(content);
    present[c.varIndex] = true;
  }
  // Trailing null variable columns are left out, as Access does.
  std::size_t stored = t.varCount;
  while (stored > 0 && !present[stored - 1]) --stored;
  ByteBuffer out;
  addU16(out, 0);
  addU8(out, static_cast<std::uint8_t>(t.fixedCount));
  addU8(out, static_cast<std::uint8_t>(stored));
  addBytes(out, fixed);
  std::vector<std::size_t> starts(stored + 1);
  for (std::size_t k = 0; k < stored; ++k) {
    starts[k] = out.size();
    addBytes(out, vars[k]);
  }
  starts[stored] = out.size();
  const std::size_t length = out.size() + stored + 1 + 1 + maskBytes;
  if (stored > 0 && length > L::kRowMaxShortLength) {
    throw unsupported(
        what,
        "a row of " + std::to_string(length) +
            " bytes; no Jet 2.0 file shows a row longer than 256 bytes with variable columns");
  }
  if (length > L::kPageSize - L::kDataSlots - 2) {
    throw unsupported(what,
                      "a row of " + std::to_string(length) + " bytes does not fit a Jet 2.0 page");
  }
  for (std::size_t k = stored + 1; k-- > 0;) addU8(out, static_cast<std::uint8_t>(starts[k]));
  addU8(out, static_cast<std::uint8_t>(stored));
  for (std::size_t k = maskBytes; k-- > 0;) addU8(out, mask[k]);
  putU16(out, 0, static_cast<std::uint16_t>(out.size()));
  return out;
}

}  // namespace jet
