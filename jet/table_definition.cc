#include "jet/table_definition.h"

#include <algorithm>
#include <unordered_set>

#include "jet/byte_reader.h"
#include "jet/error.h"
#include "jet/layout/tdef.h"
#include "jet/text.h"

namespace jet {

namespace L = layout;

namespace {

struct Generation {
  const L::TdefLayout& tdef;
  const L::ColumnEntryLayout& column;
  const L::PhysicalIndexLayout& physical;
  const L::LogicalIndexLayout& logical;
  bool jet4;
  std::uint16_t codePage;
};

Generation generationOf(const PageFile& file) {
  const bool jet4 = file.header().version == JetVersion::Jet4;
  return jet4 ? Generation{L::kTdefJet4, L::kColumnJet4, L::kPhysicalIndexJet4,
                           L::kLogicalIndexJet4, true, file.header().codePage}
              : Generation{L::kTdefJet3, L::kColumnJet3, L::kPhysicalIndexJet3,
                           L::kLogicalIndexJet3, false, file.header().codePage};
}

// Walks the definition buffer; each read advances and is bounds-checked.
class Cursor {
 public:
  Cursor(const ByteReader& r, std::size_t at) : r_(r), at_(at) {}
  std::size_t at() const { return at_; }
  ByteReader take(std::size_t length, const char* what) {
    r_.need(at_, length, what);
    ByteReader out = r_.sub(at_, length);
    at_ += length;
    return out;
  }
  std::string name(const Generation& g) {
    const std::size_t length = g.jet4 ? r_.u16(at_) : r_.u8(at_);
    at_ += g.tdef.nameLengthBytes;
    const auto bytes = r_.span(at_, length);
    at_ += length;
    return g.jet4 ? decodeJet4Text(bytes) : decodeCodePage(bytes, g.codePage);
  }

 private:
  const ByteReader& r_;
  std::size_t at_;
};

// A count read from the definition must fit in the bytes that follow it.
void checkCount(const ByteReader& r, std::uint64_t count, std::size_t entrySize,
                std::size_t from, const char* what) {
  if (from > r.size() || count * entrySize > r.size() - from) {
    throw damaged(r.where(), std::string("table definition claims ") + std::to_string(count) +
                                 " " + what + ", more than it can hold");
  }
}

Column readColumn(const ByteReader& e, const Generation& g) {
  const L::ColumnEntryLayout& c = g.column;
  Column col;
  col.type = static_cast<ColumnType>(e.u8(c.type));
  col.number = e.u16(c.number);
  col.varIndex = e.u16(c.varIndex);
  col.flags = e.u8(c.flags);
  if (g.jet4) col.extraFlags = e.u8(c.extraFlags);
  col.fixedOffset = e.u16(c.fixedOffset);
  col.length = e.u16(c.length);
  if (col.type == ColumnType::Decimal && g.jet4) {
    col.precision = e.u8(L::kColumnJet4Precision);
    col.scale = e.u8(L::kColumnJet4Scale);
  } else if (col.type == ColumnType::Text || col.type == ColumnType::Memo) {
    col.sortOrder = e.u16(c.sortOrder);
    if (!g.jet4) col.codePage = e.u16(c.codePage);
  }
  return col;
}

PhysicalIndex readPhysicalIndex(const ByteReader& e, const Generation& g) {
  const L::PhysicalIndexLayout& p = g.physical;
  PhysicalIndex index;
  for (std::size_t k = 0; k < L::kIndexKeySlots; ++k) {
    const std::size_t at = p.keyColumns + k * L::kIndexKeySlotSize;
    const std::uint16_t number = e.u16(at);
    if (number == L::kIndexKeyUnused) continue;
    index.columns.push_back({number, (e.u8(at + 2) & L::kIndexKeyAscending) != 0});
  }
  index.usageMap = e.u32(p.usageMap);
  index.rootPage = e.u32(p.rootPage);
  index.flags = e.u8(p.flags);
  return index;
}

Index readLogicalIndex(const ByteReader& e, const Generation& g) {
  const L::LogicalIndexLayout& l = g.logical;
  Index index;
  index.number = e.u32(l.number);
  index.physicalIndex = e.u32(l.physicalIndex);
  index.relatedIndex = e.i32(l.relatedIndex);
  index.relatedTable = e.u32(l.relatedTable);
  index.cascadeUpdates = e.u8(l.cascadeUpdates);
  index.cascadeDeletes = e.u8(l.cascadeDeletes);
  index.kind = e.u8(l.kind);
  return index;
}

void readHeader(const ByteReader& r, const Generation& g, TableDef& def) {
  const L::TdefLayout& t = g.tdef;
  def.rowCount = r.u32(t.rowCount);
  def.nextAutoNumber = r.u32(t.autoNumber);
  def.systemTable = r.u8(t.tableType) == 'S';
  def.maxColumnNumber = r.u16(t.maxColumnNumber);
  def.variableColumnCount = r.u16(t.variableColumns);
  def.ownedPagesMap = r.u32(t.ownedPagesMap);
  def.freePagesMap = r.u32(t.freePagesMap);
}

void checkColumns(const ByteReader& r, const TableDef& def) {
  std::unordered_set<std::uint16_t> numbers;
  for (const Column& c : def.columns) {
    if (!numbers.insert(c.number).second) {
      throw damaged(r.where(), "column number " + std::to_string(c.number) + " is used twice");
    }
  }
}

}  // namespace

std::vector<std::uint8_t> assembleTableDefinition(const PageFile& file, std::uint32_t page) {
  std::vector<std::uint8_t> buffer;
  std::unordered_set<std::uint32_t> visited;
  for (std::uint32_t n = page; n != 0;) {
    if (!visited.insert(n).second) {
      throw damaged(file.where(n), "table definition chain returns to page " + std::to_string(n));
    }
    const PageBytes bytes = file.page(n);
    const ByteReader r = file.reader(bytes, n);
    if (r.u8(0) != L::kPageTypeTdef) throw damaged(r.where(), "not a table definition page");
    const auto part = buffer.empty() ? r.bytes() : r.bytes().subspan(L::kTdefContinuationData);
    buffer.insert(buffer.end(), part.begin(), part.end());
    n = r.u32(L::kTdefNextPage);
  }
  return buffer;
}

TableDef readTableDefinition(const PageFile& file, std::uint32_t page, const std::string& name) {
  const Generation g = generationOf(file);
  const std::vector<std::uint8_t> buffer = assembleTableDefinition(file, page);
  const ByteReader r(buffer, file.where(page));
  TableDef def;
  def.name = name;
  def.definitionPage = page;
  readHeader(r, g, def);
  const std::uint32_t columnCount = r.u16(g.tdef.columnCount);
  const std::uint32_t logicalCount = r.u32(g.tdef.logicalIndexes);
  const std::uint32_t physicalCount = r.u32(g.tdef.physicalIndexes);

  Cursor at(r, g.tdef.variablePart);
  checkCount(r, physicalCount, g.tdef.indexCountEntry + g.physical.size, at.at(),
             "physical indexes");
  std::vector<std::uint32_t> entryCounts;
  for (std::uint32_t i = 0; i < physicalCount; ++i) {
    entryCounts.push_back(at.take(g.tdef.indexCountEntry, "index row count").u32(4));
  }
  checkCount(r, columnCount, g.column.size, at.at(), "columns");
  for (std::uint32_t i = 0; i < columnCount; ++i) {
    def.columns.push_back(readColumn(at.take(g.column.size, "column"), g));
  }
  for (Column& c : def.columns) c.name = at.name(g);
  for (std::uint32_t i = 0; i < physicalCount; ++i) {
    def.physicalIndexes.push_back(readPhysicalIndex(at.take(g.physical.size, "index"), g));
    def.physicalIndexes.back().entryCount = entryCounts[i];
  }
  checkCount(r, logicalCount, g.logical.size, at.at(), "indexes");
  for (std::uint32_t i = 0; i < logicalCount; ++i) {
    Index index = readLogicalIndex(at.take(g.logical.size, "index"), g);
    if (index.physicalIndex >= physicalCount) {
      throw damaged(r.where(), "index " + std::to_string(i) + " uses physical index " +
                                   std::to_string(index.physicalIndex) + " of " +
                                   std::to_string(physicalCount));
    }
    def.indexes.push_back(std::move(index));
  }
  for (Index& index : def.indexes) index.name = at.name(g);
  std::stable_sort(def.columns.begin(), def.columns.end(),
                   [](const Column& a, const Column& b) { return a.number < b.number; });
  checkColumns(r, def);
  return def;
}

}  // namespace jet
