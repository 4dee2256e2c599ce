#include "jet/error.h"
#include "jet/layout/jet3_write.h"
#include "jet/text.h"
#include "jet/writer_jet3.h"

namespace jet {
namespace {

namespace L = layout::jet3;

constexpr std::uint16_t kGeneralSortOrder = 0x0409;

void addName(ByteBuffer& d, const std::string& name, std::uint16_t codePage, const std::string& what) {
  const ByteBuffer b = encodeJet3Text(name, codePage, what + ", name '" + name + "'");
  if (b.size() > 64) throw unsupported(what, "the name '" + name + "' is longer than Jet 3 allows");
  addU8(d, static_cast<std::uint8_t>(b.size()));
  addBytes(d, b);
}

}  // namespace

ByteBuffer jet3HeaderPage(std::uint16_t codePage, std::uint16_t sortOrder) {
  ByteBuffer p(L::kPageSize, 0);
  putU8(p, 1, 0x01);
  const char magic[] = "Standard Jet DB";
  for (std::size_t i = 0; i < sizeof magic; ++i) p[4 + i] = static_cast<std::uint8_t>(magic[i]);
  putU8(p, 0x14, 0x00);  // version byte: Jet 3
  putU32(p, L::kDbGlobalMapRef, 1u << 8);          // page 1, row 0
  putU32(p, L::kDbSecondMapRef, (1u << 8) | 1u);   // page 1, row 1
  for (std::uint32_t k = 0; k < 4; ++k) putU32(p, L::kDbSystemTdefs + 4 * k, 2 + k);
  putU16(p, L::kDbUnknownOne, 1);
  putU16(p, L::kDbSortOrder, sortOrder);
  putU16(p, L::kDbCodePage, codePage);
  putU16(p, L::kDbEngineBuild, L::kEngineBuild);
  for (std::size_t at = L::kDbCommitTable; at + 2 <= L::kPageSize; at += 2) putU16(p, at, 0x0100);
  putU16(p, L::kDbCommitTable, 0x0101);
  return p;
}

ByteBuffer buildJet3Definition(const TableDef& t, const Jet3TableFacts& f) {
  const std::string what = "table '" + t.name + "'";
  if (t.columns.size() > 255) throw unsupported(what, "a Jet 3 table holds at most 255 columns");
  const RowShape shape = rowShape(t);
  ByteBuffer d(L::kTdefHeaderSize, 0);
  putU8(d, 0, 0x02);
  putU8(d, 1, 0x01);
  putU8(d, L::kTdefSignature, 'V');
  putU8(d, L::kTdefSignature + 1, 'C');
  putU32(d, L::kTdefRowCount, f.rowCount);
  putU32(d, L::kTdefAutoNumber, f.autoNumber);
  putU8(d, L::kTdefTableType, f.system ? 0x53 : 0x4E);
  putU16(d, L::kTdefMaxColumns, t.maxColumnNumber);
  putU16(d, L::kTdefVarColumns, shape.varCount);
  putU16(d, L::kTdefColumns, static_cast<std::uint16_t>(t.columns.size()));
  putU32(d, L::kTdefLogicalIndexes, static_cast<std::uint32_t>(t.indexes.size()));
  putU32(d, L::kTdefRealIndexes, static_cast<std::uint32_t>(t.physicalIndexes.size()));
  putU32(d, L::kTdefOwnedMap, f.ownedMap);
  putU32(d, L::kTdefFreeMap, f.freeMap);
  for (std::size_t r = 0; r < t.physicalIndexes.size(); ++r) {
    const Jet3TableFacts::Real real = r < f.reals.size() ? f.reals[r] : Jet3TableFacts::Real{};
    addU32(d, real.entries);
    addU32(d, real.distinct);
  }
  for (const Column& c : t.columns) {
    ByteBuffer col(L::kColumnSize, 0);
    putU8(col, L::kColType, static_cast<std::uint8_t>(c.type));
    putU16(col, L::kColNumber, c.number);
    putU16(col, L::kColVarIndex, c.varIndex);
    putU16(col, L::kColPosition, f.system ? 0 : c.number);
    putU16(col, L::kColUnknownOne, 1);
    putU16(col, L::kColSortOrder,
           (c.type == ColumnType::Text || c.type == ColumnType::Memo) && c.sortOrder != 0 ? c.sortOrder
                                                                                          : kGeneralSortOrder);
    putU16(col, L::kColCodePage, f.codePage);
    putU8(col, L::kColFlags, c.flags);
    putU16(col, L::kColFixedOffset, c.fixedOffset);
    putU16(col, L::kColLength, c.length);
    addBytes(d, col);
  }
  for (const Column& c : t.columns) addName(d, c.name, f.codePage, what);
  for (std::size_t r = 0; r < t.physicalIndexes.size(); ++r) {
    const PhysicalIndex& p = t.physicalIndexes[r];
    const Jet3TableFacts::Real real = r < f.reals.size() ? f.reals[r] : Jet3TableFacts::Real{};
    ByteBuffer b(L::kRealIndexSize, 0);
    for (std::size_t k = 0; k < 10; ++k) {
      const std::size_t at = L::kRealColumns + 3 * k;
      if (k < p.columns.size()) {
        putU16(b, at, p.columns[k].columnNumber);
        putU8(b, at + 2, p.columns[k].ascending ? 0x01 : 0x00);
      } else {
        putU16(b, at, 0xFFFF);
      }
    }
    putU32(b, L::kRealUsageMap, real.map);
    putU32(b, L::kRealRootPage, real.root);
    putU8(b, L::kRealFlags, static_cast<std::uint8_t>(p.flags & 0x7F));
    addBytes(d, b);
  }
  for (std::size_t k = 0; k < t.indexes.size(); ++k) {
    const Index& i = t.indexes[k];
    ByteBuffer b(L::kLogicalIndexSize, 0);
    putU32(b, L::kLogNumber, i.number);
    putU32(b, L::kLogRealIndex, i.physicalIndex);
    if (i.foreignKey()) {
      putU8(b, L::kLogRelatedType, k < f.relatedTypes.size() ? f.relatedTypes[k] : 2);
      putU32(b, L::kLogRelatedIndex, static_cast<std::uint32_t>(i.relatedIndex));
      putU32(b, L::kLogRelatedTable, k < f.relatedTables.size() ? f.relatedTables[k] : 0);
      putU8(b, L::kLogCascadeUpdates, i.cascadeUpdates);
      putU8(b, L::kLogCascadeDeletes, i.cascadeDeletes);
    } else {
      putU32(b, L::kLogRelatedIndex, 0xFFFFFFFFu);
      putU8(b, L::kLogCascadeUpdates, 0x04);  // as Access 97 writes them
      putU8(b, L::kLogCascadeDeletes, 0x04);
    }
    putU8(b, L::kLogKind, i.kind);
    addBytes(d, b);
  }
  for (const Index& i : t.indexes) addName(d, i.name, f.codePage, what);
  for (const Column& c : t.columns) {
    if (!isLongValue(c.type)) continue;
    const auto it = f.longValueMaps.find(c.number);
    addU16(d, c.number);
    addU32(d, it == f.longValueMaps.end() ? 0 : it->second.first);
    addU32(d, it == f.longValueMaps.end() ? 0 : it->second.second);
  }
  addU16(d, 0xFFFF);
  putU32(d, L::kTdefLength, static_cast<std::uint32_t>(d.size()));
  return d;
}

}  // namespace jet
