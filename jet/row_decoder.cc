#include "jet/row_decoder.h"

#include "jet/error.h"
#include "jet/layout/row.h"
#include "jet/long_value.h"
#include "jet/text.h"

namespace jet {

namespace L = layout;

namespace {

template <typename T>
void setBytes(Value& v, std::span<const std::uint8_t> bytes) {
  if (auto* b = std::get_if<Bytes>(&v)) {
    b->assign(bytes.begin(), bytes.end());
  } else {
    v = Bytes(bytes.begin(), bytes.end());
  }
}

Decimal readDecimal(const ByteReader& r, std::size_t at, std::uint8_t scale) {
  Decimal d;
  d.negative = r.u8(at) != 0;
  d.high = (static_cast<std::uint64_t>(r.u32(at + 1)) << 32) | r.u32(at + 5);
  d.low = (static_cast<std::uint64_t>(r.u32(at + 9)) << 32) | r.u32(at + 13);
  d.scale = scale;
  return d;
}

}  // namespace

std::size_t fixedSizeOf(ColumnType type) {
  switch (type) {
    case ColumnType::Boolean: return 0;
    case ColumnType::Byte: return 1;
    case ColumnType::Integer: return 2;
    case ColumnType::Long: return 4;
    case ColumnType::Currency: return 8;
    case ColumnType::Single: return 4;
    case ColumnType::Double: return 8;
    case ColumnType::DateTime: return 8;
    case ColumnType::Guid: return L::kGuidSize;
    case ColumnType::Decimal: return L::kDecimalSize;
    default: return 0;
  }
}

RowDecoder::RowDecoder(const PageFile& file, const TableDef& table, std::vector<bool> wanted)
    : file_(file),
      table_(table),
      wanted_(std::move(wanted)),
      jet4_(file.header().version == JetVersion::Jet4),
      codePage_(file.header().codePage) {}

void RowDecoder::decode(const ByteReader& page, std::size_t start, std::size_t end, Row& row) {
  Layout at = locate(page, start, end);
  row.resize(table_.columns.size());
  for (std::size_t i = 0; i < table_.columns.size(); ++i) {
    if (!wanted_.empty() && !wanted_[i]) {
      row[i] = Null{};
      continue;
    }
    if (!keep_.empty() && keep_[i]) {
      keepColumn(page, at, table_.columns[i], i, row[i]);
      continue;
    }
    decodeColumn(page, at, table_.columns[i], row[i]);
  }
}

bool RowDecoder::keepStored(const std::vector<bool>& columns) {
  if (file_.header().version != JetVersion::Jet4 && file_.header().version != JetVersion::Jet3) {
    return false;
  }
  keep_.assign(table_.columns.size(), false);
  for (std::size_t i = 0; i < table_.columns.size() && i < columns.size(); ++i) {
    const Column& c = table_.columns[i];
    keep_[i] = columns[i] && !c.fixed() &&
               (c.type == ColumnType::Text || c.type == ColumnType::Memo) &&
               (jet4_ || asciiCompatible(c.codePage ? c.codePage : codePage_));
  }
  stored_.resize(table_.columns.size());
  heldPages_.resize(table_.columns.size());
  chains_.resize(table_.columns.size());
  return true;
}

// As decodeColumn for a variable text or memo column, without the decoding.
void RowDecoder::keepColumn(const ByteReader& page, const Layout& at, const Column& c,
                            std::size_t i, Value& v) {
  stored_[i] = {};
  if (!present(page, at, c.number) || c.varIndex >= at.variableCount || offsets_.empty()) {
    v = Null{};
    return;
  }
  const std::size_t from = offsets_[c.varIndex], to = offsets_[c.varIndex + 1];
  std::span<const std::uint8_t> bytes;
  if (c.type == ColumnType::Memo) {
    bytes = longValueBytes(file_, page, at.start + from, to - from, chains_[i], heldPages_[i]);
  } else {
    bytes = page.span(at.start + from, to - from);
  }
  if (!jet4_ && asciiRun(bytes.data(), bytes.size()) != bytes.size()) {
    decodeText(bytes, c, textIn(v));  // code-page text beyond ASCII: as decodeValue reads it
    return;
  }
  stored_[i] = bytes;
  textIn(v).clear();
}

RowDecoder::Layout RowDecoder::locate(const ByteReader& page, std::size_t start,
                                      std::size_t end) {
  const std::size_t width = jet4_ ? L::kRowJet4.countBytes : L::kRowJet3.countBytes;
  if (end - start < width) throw damaged(page.where(), "row is shorter than its column count");
  Layout at{start, end, start + width, 0, 0, 0};
  at.columnCount = jet4_ ? page.u16(start) : page.u8(start);
  const std::size_t maskBytes = (at.columnCount + 7) / 8;
  if (end - start < width + maskBytes) throw damaged(page.where(), "row is shorter than its null mask");
  at.maskAt = end - maskBytes;
  offsets_.clear();
  if (table_.variableColumnCount > 0) readVariableOffsets(page, at);
  return at;
}

void RowDecoder::readVariableOffsets(const ByteReader& page, Layout& at) {
  if (!jet4_) {
    readJet3Offsets(page, at);
    return;
  }
  // Jet 4: u16 count just before the mask, then count+1 u16 offsets downwards.
  if (at.maskAt < at.fixedStart + 2) throw damaged(page.where(), "row has no variable count");
  at.variableCount = page.u16(at.maskAt - 2);
  const std::size_t tableBytes = 2 * (static_cast<std::size_t>(at.variableCount) + 1);
  if (at.maskAt - 2 - at.fixedStart < tableBytes) {
    throw damaged(page.where(), "row's variable-offset table runs past its start");
  }
  const std::size_t limit = at.maskAt - 2 - tableBytes - at.start;
  for (unsigned i = 0; i <= at.variableCount; ++i) {
    const std::size_t off = page.u16(at.maskAt - 4 - 2 * i);
    if (off > limit || (!offsets_.empty() && off < offsets_.back())) {
      throw damaged(page.where(), "variable column offset " + std::to_string(off) + " is invalid");
    }
    offsets_.push_back(off);
  }
}

// Jet 3 offsets are single bytes; jump bytes add 256 for each boundary passed.
void RowDecoder::readJet3Offsets(const ByteReader& page, Layout& at) {
  if (at.maskAt < at.fixedStart + 1) throw damaged(page.where(), "row has no variable count");
  at.variableCount = page.u8(at.maskAt - 1);
  const std::size_t length = at.end - at.start;
  std::size_t jumps = (length - 1) / L::kJet3JumpSpan;
  const std::size_t reserved = 1 + jumps + at.variableCount + 1;  // count, jumps, offsets
  if (at.maskAt - at.fixedStart < reserved) {
    throw damaged(page.where(), "row's variable-offset table runs past its start");
  }
  const std::size_t first = at.maskAt - 2 - jumps;  // offset entry 0
  if ((first - at.start - at.variableCount) / L::kJet3JumpSpan < jumps) --jumps;
  const std::size_t limit = first - at.variableCount - at.start;
  std::size_t used = 0;
  for (unsigned i = 0; i <= at.variableCount; ++i) {
    while (used < jumps && page.u8(at.maskAt - 2 - used) == i) ++used;
    const std::size_t off = page.u8(first - i) + L::kJet3JumpSpan * used;
    if (off > limit || (!offsets_.empty() && off < offsets_.back())) {
      throw damaged(page.where(), "variable column offset " + std::to_string(off) + " is invalid");
    }
    offsets_.push_back(off);
  }
}

bool RowDecoder::present(const ByteReader& page, const Layout& at, unsigned number) const {
  if (number >= at.columnCount) return false;
  return (page.u8(at.maskAt + number / 8) >> (number % 8)) & 1u;
}

void RowDecoder::decodeColumn(const ByteReader& page, const Layout& at, const Column& c,
                              Value& v) {
  const bool here = present(page, at, c.number);
  if (c.type == ColumnType::Boolean) {
    v = here;
    return;
  }
  if (!here) {
    v = Null{};
    return;
  }
  if (c.fixed()) {
    const std::size_t size = fixedSizeOf(c.type) != 0 ? fixedSizeOf(c.type) : c.length;
    const std::size_t from = at.fixedStart + c.fixedOffset;
    if (from + size > at.maskAt) {
      throw damaged(page.where(), "fixed column '" + c.name + "' runs past the row");
    }
    decodeValue(c, page, from, size, v);
    return;
  }
  if (c.varIndex >= at.variableCount || offsets_.empty()) {
    v = Null{};
    return;
  }
  const std::size_t from = offsets_[c.varIndex], to = offsets_[c.varIndex + 1];
  decodeValue(c, page, at.start + from, to - from, v);
}

void RowDecoder::decodeText(std::span<const std::uint8_t> bytes, const Column& c,
                            std::string& out) const {
  if (jet4_) {
    decodeJet4Text(bytes, out);
  } else {
    decodeCodePage(bytes, c.codePage ? c.codePage : codePage_, out);
  }
}

// Reads straight from the page reader: no copy of the bytes or of their origin per value.
void RowDecoder::decodeValue(const Column& c, const ByteReader& r, std::size_t at,
                             std::size_t length, Value& v) {
  const std::size_t need = fixedSizeOf(c.type);
  if (need != 0 && length < need) {
    throw damaged(r.where(), "value of column '" + c.name + "' is " + std::to_string(length) +
                                 " bytes, too short for its type");
  }
  const auto bytes = r.span(at, length);
  switch (c.type) {
    case ColumnType::Byte: v = r.u8(at); return;
    case ColumnType::Integer: v = r.i16(at); return;
    case ColumnType::Long: v = r.i32(at); return;
    case ColumnType::Currency: v = Currency{r.i64(at)}; return;
    case ColumnType::Single: v = r.f32(at); return;
    case ColumnType::Double: v = r.f64(at); return;
    case ColumnType::DateTime: v = DateTime{r.f64(at)}; return;
    case ColumnType::Guid: {
      Guid g;
      for (std::size_t i = 0; i < L::kGuidSize; ++i) g.bytes[i] = bytes[i];
      v = g;
      return;
    }
    case ColumnType::Decimal: v = readDecimal(r, at, c.scale); return;
    case ColumnType::Text:
      decodeText(bytes, c, textIn(v));
      return;
    case ColumnType::Memo:
      decodeText(longValueBytes(file_, r, at, length, longValue_, longValuePage_), c, textIn(v));
      return;
    case ColumnType::OLE:
      setBytes<Bytes>(v, longValueBytes(file_, r, at, length, longValue_, longValuePage_));
      return;
    default:
      setBytes<Bytes>(v, bytes);
      return;
  }
}

}  // namespace jet
