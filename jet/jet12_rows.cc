// Jet 1.x/2.0 rows: the data-page chain of a table, moved rows, the row
// layout and long values.
#include <algorithm>

#include "jet/error.h"
#include "jet/jet12_table.h"
#include "jet/layout/jet12_pages.h"
#include "jet/text.h"

namespace jet {
namespace {

namespace L = layout::jet12;

struct Slot {
  Jet12RawRow row;
  std::uint16_t flags = 0;
};

// Loads page n and checks that it is a data page of table `owner`.
ByteReader dataPage(PageFile& file, std::uint32_t n, std::uint32_t owner, PageBytes& bytes) {
  if (n == 0 || n >= file.pageCount()) {
    throw damaged(file.where(), "data page " + std::to_string(n) + " is outside the file");
  }
  bytes = file.page(n);
  ByteReader page = file.reader(bytes, n);
  if (page.u8(0) != L::kPageData) throw damaged(page.where(), "not a data page");
  if (page.u32(L::kDataOwner) != owner) {
    throw damaged(page.where(), "data page belongs to table " +
                                    std::to_string(page.u32(L::kDataOwner)) + ", not " +
                                    std::to_string(owner));
  }
  if (page.u16(L::kDataRowCount) > L::kMaxSlots) throw damaged(page.where(), "too many row slots");
  return page;
}

// Slot i of a data page: its flags and bytes. Rows are packed downwards from
// the page end, so a row ends where the slot before it starts.
Slot slotAt(PageFile& file, const PageBytes& bytes, std::uint32_t n, unsigned i) {
  ByteReader page = file.reader(bytes, n);
  const unsigned count = page.u16(L::kDataRowCount);
  if (i >= count) throw damaged(page.where(), "row " + std::to_string(i) + " does not exist");
  const std::size_t tableEnd = L::kDataSlots + 2 * count;
  const std::uint16_t raw = page.u16(L::kDataSlots + 2 * i);
  const std::size_t start = raw & L::kSlotOffsetMask;
  const std::size_t end =
      i == 0 ? page.size() : (page.u16(L::kDataSlots + 2 * (i - 1)) & L::kSlotOffsetMask);
  Slot slot;
  slot.flags = raw & ~L::kSlotOffsetMask;
  if (!(slot.flags & (L::kSlotLive | L::kSlotPointer))) return slot;  // deleted
  if (start < tableEnd || start > end || end > page.size()) {
    throw damaged(page.where(), "row " + std::to_string(i) + " lies outside the page");
  }
  slot.row.page = bytes;
  slot.row.pageNumber = n;
  slot.row.bytes = page.span(start, end - start);
  return slot;
}

std::pair<std::uint32_t, unsigned> splitPointer(std::uint32_t pointer) {
  return {pointer >> 8, pointer & 0xFFu};
}

}  // namespace

Jet12RowScanner::Jet12RowScanner(PageFile& file, std::uint32_t definitionPage)
    : file_(file), table_(definitionPage) {
  if (definitionPage == 0 || definitionPage >= file.pageCount()) {
    throw damaged(file.where(), "table definition page " + std::to_string(definitionPage) +
                                    " is outside the file");
  }
  const PageBytes bytes = file.page(definitionPage);
  ByteReader tdef = file.reader(bytes, definitionPage);
  if (tdef.u8(0) != L::kPageTableDef || tdef.u32(L::kTdefSelf) != definitionPage) {
    throw damaged(tdef.where(), "not a table definition page");
  }
  nextPage_ = tdef.u32(L::kTdefFirstData);
}

void Jet12RowScanner::loadPage(std::uint32_t n) {
  if (!visited_.insert(n).second) {
    throw damaged(file_.where(n), "the data pages of table " + std::to_string(table_) + " loop");
  }
  ByteReader page = dataPage(file_, n, table_, page_);
  pageNumber_ = n;
  slots_ = page.u16(L::kDataRowCount);
  slot_ = 0;
  nextPage_ = page.u32(L::kDataNext);
}

bool Jet12RowScanner::next(Jet12RawRow& row) {
  for (;;) {
    if (!page_ || slot_ >= slots_) {
      if (nextPage_ == 0) return false;
      loadPage(nextPage_);
      continue;
    }
    const Slot slot = slotAt(file_, page_, pageNumber_, slot_++);
    const bool live = slot.flags & L::kSlotLive;
    const bool pointer = slot.flags & L::kSlotPointer;
    if (live && !pointer) {
      row = slot.row;
      return true;
    }
    if (!pointer) continue;  // deleted
    if (live) continue;      // a moved row: it comes through its pointer
    // A pointer to where the row moved; the target must be a live row of this table.
    ByteReader at(slot.row.bytes, file_.where(pageNumber_));
    const auto [targetPage, targetSlot] = splitPointer(at.u32(L::kPointerRow));
    PageBytes target;
    dataPage(file_, targetPage, table_, target);
    const Slot moved = slotAt(file_, target, targetPage, targetSlot);
    // Only a slot marked as moved here is skipped by the page scan; anything
    // else would be read twice or not be a row at all.
    if ((moved.flags & (L::kSlotLive | L::kSlotPointer)) != (L::kSlotLive | L::kSlotPointer)) {
      throw damaged(file_.where(pageNumber_), "a moved row points to a slot not marked as moved");
    }
    row = moved.row;
    return true;
  }
}

std::span<const std::uint8_t> readJet12LongValue(PageFile& file, const ByteReader& field,
                                                 Bytes& out, std::set<std::uint32_t>& visited) {
  const std::uint32_t head = field.u32(L::kLongRefLength);
  if (head & L::kLongInlineBit) return field.span(L::kLongHeader, field.size() - L::kLongHeader);
  field.need(0, L::kLongRefSize, "long value reference");
  const std::uint64_t length = head;
  if (length > std::uint64_t(file.pageCount()) * file.pageSize()) {
    throw damaged(field.where(), "long value longer than the file");
  }
  const std::uint32_t key = field.u32(L::kLongRefKey);
  std::uint32_t pointer = field.u32(L::kLongRefPointer);
  out.clear();
  out.reserve(static_cast<std::size_t>(length));
  // Most values are one row: the visited set is only filled from the second on.
  const std::uint32_t first = pointer;
  visited.clear();
  for (std::size_t rows = 0; out.size() < length; ++rows) {
    if (pointer == 0) throw damaged(field.where(), "long value ends early");
    if (rows == 1) visited.insert(first);
    if (rows > 0 && !visited.insert(pointer).second) {
      throw damaged(field.where(), "long value chain loops");
    }
    const auto [pageNumber, slotNumber] = splitPointer(pointer);
    PageBytes bytes;
    dataPage(file, pageNumber, L::kLongValueTable, bytes);
    const Slot slot = slotAt(file, bytes, pageNumber, slotNumber);
    if (!(slot.flags & L::kSlotLive)) throw damaged(file.where(pageNumber), "long value row deleted");
    ByteReader chunk(slot.row.bytes, file.where(pageNumber));
    if (chunk.u32(L::kChunkKey) != key) {
      throw damaged(chunk.where(), "long value row belongs to another value");
    }
    const std::size_t declared = chunk.u16(0);
    if (declared < L::kChunkData || declared > chunk.size()) {
      throw damaged(chunk.where(), "long value row length out of range");
    }
    const std::size_t take =
        std::min<std::uint64_t>(declared - L::kChunkData, length - out.size());
    const auto data = chunk.span(L::kChunkData, take);
    out.insert(out.end(), data.begin(), data.end());
    pointer = chunk.u32(L::kChunkNext);
  }
  return out;
}

Bytes readJet12LongValue(PageFile& file, const ByteReader& field) {
  Bytes chained;
  std::set<std::uint32_t> visited;
  const std::span<const std::uint8_t> bytes = readJet12LongValue(file, field, chained, visited);
  return Bytes(bytes.begin(), bytes.end());
}

namespace {

std::size_t fixedWidth(const Column& c) {
  switch (c.type) {
    case ColumnType::Boolean: return 0;
    case ColumnType::Byte: return 1;
    case ColumnType::Integer: return 2;
    case ColumnType::Long:
    case ColumnType::Single: return 4;
    case ColumnType::Currency:
    case ColumnType::Double:
    case ColumnType::DateTime: return 8;
    case ColumnType::Guid: return 16;
    default: return c.length;
  }
}

}  // namespace

Jet12RowDecoder::Jet12RowDecoder(PageFile& file, const TableDef& table)
    : file_(file), table_(table), longValues_(table.columns.size()) {}

bool Jet12RowDecoder::keepStored(const std::vector<bool>& columns) {
  keep_.assign(table_.columns.size(), false);
  for (std::size_t i = 0; i < table_.columns.size() && i < columns.size(); ++i) {
    const Column& c = table_.columns[i];
    keep_[i] = columns[i] && !c.fixed() &&
               (c.type == ColumnType::Text || c.type == ColumnType::Memo) &&
               asciiCompatible(c.codePage ? c.codePage : file_.header().codePage);
  }
  stored_.assign(table_.columns.size(), {});
  return true;
}

std::span<const std::uint8_t> Jet12RowDecoder::longValue(std::size_t i, const ByteReader& v) {
  return readJet12LongValue(file_, v, longValues_[i], visited_);
}

void Jet12RowDecoder::decodeValue(const Column& c, std::size_t i, const ByteReader& v, Value& out) {
  const std::uint16_t codePage = c.codePage ? c.codePage : file_.header().codePage;
  switch (c.type) {
    case ColumnType::Byte: out = v.u8(0); return;
    case ColumnType::Integer: out = v.i16(0); return;
    case ColumnType::Long: out = v.i32(0); return;
    case ColumnType::Currency: out = Currency{v.i64(0)}; return;
    case ColumnType::Single: out = v.f32(0); return;
    case ColumnType::Double: out = v.f64(0); return;
    case ColumnType::DateTime: out = DateTime{v.f64(0)}; return;
    case ColumnType::Text:
    case ColumnType::Memo: {
      const auto text = c.type == ColumnType::Text ? v.bytes() : longValue(i, v);
      if (!keep_.empty() && keep_[i] && asciiRun(text.data(), text.size()) == text.size()) {
        stored_[i] = text;
        textIn(out).clear();
        return;
      }
      decodeCodePage(text, codePage, textIn(out));
      return;
    }
    case ColumnType::OLE: {
      const std::span<const std::uint8_t> b = longValue(i, v);
      bytesIn(out).assign(b.begin(), b.end());
      return;
    }
    case ColumnType::Guid: {
      Guid g;
      std::copy_n(v.span(0, 16).begin(), 16, g.bytes.begin());
      out = g;
      return;
    }
    default: bytesIn(out).assign(v.bytes().begin(), v.bytes().end()); return;
  }
}

void Jet12RowDecoder::decode(const Jet12RawRow& raw, Row& out) {
  const ByteReader all(raw.bytes, file_.where(raw.pageNumber));
  const std::size_t length = all.u16(L::kRowLength);
  if (length < L::kRowFixedArea || length > all.size()) {
    throw damaged(all.where(), "row length " + std::to_string(length) + " out of range");
  }
  const ByteReader row = all.sub(0, length);
  const unsigned fixedCount = row.u8(L::kRowFixedCount);
  const unsigned varCount = row.u8(L::kRowVarCount);
  const std::size_t maskBytes = (fixedCount + 7) / 8;
  const std::size_t trailer = maskBytes + 1 + varCount + 1;
  if (L::kRowFixedArea + trailer > length) throw damaged(row.where(), "row too short");
  if (length > L::kRowMaxShortLength && varCount > 0) {
    throw unsupported(file_.path(), "a row longer than 256 bytes on page " +
                                        std::to_string(raw.pageNumber) + " (layout not known)");
  }
  if (row.u8(length - 1 - maskBytes) != varCount) {
    throw damaged(row.where(), "row variable-column count disagrees with its header");
  }
  const std::size_t tableStart = length - trailer;
  std::vector<std::size_t>& offsets = offsets_;
  offsets.resize(varCount + 1);
  for (unsigned i = 0; i <= varCount; ++i) {
    offsets[i] = row.u8(length - 2 - maskBytes - i);
    const std::size_t floor = i == 0 ? L::kRowFixedArea : offsets[i - 1];
    if (offsets[i] < floor || offsets[i] > tableStart) {
      throw damaged(row.where(), "row variable offsets out of order");
    }
  }
  const std::size_t fixedEnd = varCount > 0 ? offsets[0] : tableStart;
  auto maskBit = [&](unsigned bit) {
    return bit < fixedCount && ((row.u8(length - 1 - bit / 8) >> (bit % 8)) & 1) != 0;
  };

  out.resize(table_.columns.size());
  for (std::size_t i = 0; i < table_.columns.size(); ++i) {
    const Column& c = table_.columns[i];
    if (!stored_.empty()) stored_[i] = {};
    if (c.fixed()) {
      const bool set = maskBit(c.number);
      if (c.type == ColumnType::Boolean) {
        out[i] = set;
        continue;
      }
      if (!set) {
        out[i] = Null{};
        continue;
      }
      const std::size_t at = L::kRowFixedArea + c.fixedOffset;
      const std::size_t width = fixedWidth(c);
      if (at + width > fixedEnd) throw damaged(row.where(), "fixed value runs past the fixed area");
      decodeValue(c, i, row.sub(at, width), out[i]);
      continue;
    }
    if (c.varIndex >= varCount || offsets[c.varIndex] == offsets[c.varIndex + 1]) {
      out[i] = Null{};
      continue;
    }
    const std::size_t from = offsets[c.varIndex];
    decodeValue(c, i, row.sub(from, offsets[c.varIndex + 1] - from), out[i]);
  }
}

Row decodeJet12Row(PageFile& file, const TableDef& table, const Jet12RawRow& raw) {
  Jet12RowDecoder decoder(file, table);
  Row row;
  decoder.decode(raw, row);
  return row;
}

namespace {

class Jet12Cursor : public RowCursor {
 public:
  Jet12Cursor(PageFile& file, TableDef table)
      : table_(std::move(table)), scanner_(file, table_.definitionPage), decoder_(file, table_) {}
  bool next(Row& row) override {
    if (!scanner_.next(raw_)) return false;
    decoder_.decode(raw_, row);
    return true;
  }
  bool keepStoredText(const std::vector<bool>& columns) override {
    return decoder_.keepStored(columns);
  }
  std::span<const std::uint8_t> storedText(std::size_t column) const override {
    return decoder_.stored(column);
  }
  bool storedTextIsAscii() const override { return true; }

 private:
  TableDef table_;
  Jet12RowScanner scanner_;
  Jet12RowDecoder decoder_;
  Jet12RawRow raw_;  // holds the page the kept text of inline values lies in
};

}  // namespace

std::unique_ptr<RowCursor> makeJet12RowCursor(PageFile& file, TableDef table) {
  return std::make_unique<Jet12Cursor>(file, std::move(table));
}

}  // namespace jet
