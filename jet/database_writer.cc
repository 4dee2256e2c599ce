#include "jet/database_writer.h"

#include <algorithm>
#include <cassert>
#include <chrono>
#include <cmath>
#include <map>
#include <set>

#include "jet/error.h"
#include "jet/layout/header.h"
#include "jet/layout/jet4_write.h"
#include "jet/prepared_rows.h"
#include "jet/rc4.h"
#include "jet/row_preparer.h"
#include "jet/text.h"
#include "jet/vector_cursor.h"
#include "jet/writer_bytes.h"
#include "jet/writer_index.h"
#include "jet/writer_jet2.h"
#include "jet/writer_jet3.h"
#include "jet/writer_keys.h"
#include "jet/writer_output.h"
#include "jet/writer_pages.h"
#include "jet/writer_properties.h"
#include "jet/writer_rows.h"

namespace jet {
namespace {

namespace L = layout::jet4;

constexpr std::uint64_t kMaxJet4File = 2ull * 1024 * 1024 * 1024;
constexpr std::uint64_t kMaxJet3File = 1ull * 1024 * 1024 * 1024;
constexpr std::uint32_t kLvalOwner = 'L' | ('V' << 8) | ('A' << 16) | (static_cast<std::uint32_t>('L') << 24);
constexpr std::uint32_t kObjectsTdef = 2, kAcesTdef = 3, kQueriesTdef = 4, kRelationshipsTdef = 5;
constexpr std::int32_t kSystemObjectFlag = static_cast<std::int32_t>(0x80000000u);
constexpr std::uint16_t kGeneralSortOrder = 0x0409;
// A data page is listed as having room when at least this much is free.
constexpr std::size_t kRoomForRows = 512;

PropertyTextForm propertyTextForm(const WriterOptions& o) { return {o.generation >= 4, o.codePage}; }

// Plain SIDs as Jet 4 files store them under their own mask (corpus: adox).
const Bytes kSidAdmin = {0x03, 0x01};
const Bytes kSidCreator = {0x02, 0x03};
const Bytes kSidUsers = {0x02, 0x01};
const Bytes kSidGroup = {0x02, 0x04};

double oleNow() {
  using namespace std::chrono;
  const double seconds = duration<double>(system_clock::now().time_since_epoch()).count();
  return seconds / 86400.0 + 25569.0;
}

std::uint16_t fixedLength(ColumnType t) {
  switch (t) {
    case ColumnType::Boolean: return 1;
    case ColumnType::Byte: return 1;
    case ColumnType::Integer: return 2;
    case ColumnType::Long: return 4;
    case ColumnType::Currency: return 8;
    case ColumnType::Single: return 4;
    case ColumnType::Double: return 8;
    case ColumnType::DateTime: return 8;
    case ColumnType::Guid: return 16;
    case ColumnType::Decimal: return 17;
    default: return 0;
  }
}
bool isFixedType(ColumnType t) { return fixedLength(t) != 0; }
bool isKnownType(ColumnType t) {
  return isFixedType(t) || t == ColumnType::Binary || t == ColumnType::Text || isLongValue(t);
}

Value textOrNull(const std::string& s) { return s.empty() ? Value{} : Value{s}; }
Value bytesOrNull(const Bytes& b) { return b.empty() ? Value{} : Value{b}; }

// What a table definition needs that is only known once its pages exist.
struct TableFacts {
  std::uint32_t rowCount = 0;
  std::uint32_t autoNumber = 0;
  std::uint32_t ownedMap = 0, freeMap = 0;
  struct Real {
    std::uint32_t root = 0, map = 0, entries = 0, distinct = 0;
  };
  std::vector<Real> reals;
  std::map<std::uint16_t, std::pair<std::uint32_t, std::uint32_t>> longValueMaps;  // column -> maps
};

struct PendingTable {
  TableDef def;                      // normalised
  std::uint32_t sourcePage = 0;      // definitionPage as the caller gave it
  std::uint32_t firstPage = 0;       // TDEF pages reserved
  std::uint32_t pageCount = 0;
  bool system = false;
  TableFacts facts;
  std::vector<std::uint8_t> relatedTypes;  // per logical index: 1 primary side, 2 foreign side
};

struct ObjectRow {
  std::int32_t id = 0, parentId = 0;
  std::string name;
  std::int16_t type = 0;
  double dateCreate = 0, dateUpdate = 0;
  Bytes owner;  // plain SID
  std::int32_t flags = 0;
  std::string database, connect, foreignName;
  Bytes lv, lvProp, lvModule, lvExtra;
};

struct AceRow {
  std::int32_t objectId;
  Bytes sid;  // plain
  std::int32_t acm;
  bool inheritable;
};

Column makeColumn(const std::string& name, ColumnType type, std::uint16_t number,
                  std::uint8_t flags, std::uint16_t length = 0) {
  Column c;
  c.name = name;
  c.type = type;
  c.number = number;
  c.flags = flags;
  c.length = length;
  return c;
}

PhysicalIndex makeReal(std::vector<std::uint16_t> columns, std::uint8_t flags) {
  PhysicalIndex p;
  for (std::uint16_t c : columns) p.columns.push_back({c, true});
  p.flags = flags;
  return p;
}

Index makeLogical(const std::string& name, std::uint32_t number, std::uint32_t real,
                  std::uint8_t kind) {
  Index i;
  i.name = name;
  i.number = number;
  i.physicalIndex = real;
  i.kind = kind;
  return i;
}

// The four Jet system tables, laid out as Jet itself lays them out (corpus: adox).
TableDef objectsTable() {
  TableDef t;
  t.name = "MSysObjects";
  const std::uint8_t f = 0x13, v = 0x12;
  t.columns = {
      makeColumn("Connect", ColumnType::Memo, 9, v),
      makeColumn("Database", ColumnType::Memo, 8, v),
      makeColumn("DateCreate", ColumnType::DateTime, 4, f),
      makeColumn("DateUpdate", ColumnType::DateTime, 5, f),
      makeColumn("Flags", ColumnType::Long, 7, f),
      makeColumn("ForeignName", ColumnType::Text, 10, v, 510),
      makeColumn("Id", ColumnType::Long, 0, f),
      makeColumn("Lv", ColumnType::OLE, 13, v),
      makeColumn("LvExtra", ColumnType::OLE, 16, v),
      makeColumn("LvModule", ColumnType::OLE, 15, v),
      makeColumn("LvProp", ColumnType::OLE, 14, v),
      makeColumn("Name", ColumnType::Text, 2, v, 510),
      makeColumn("Owner", ColumnType::Binary, 6, 0x32, 0),
      makeColumn("ParentId", ColumnType::Long, 1, f),
      makeColumn("RmtInfoLong", ColumnType::OLE, 12, v),
      makeColumn("RmtInfoShort", ColumnType::Binary, 11, v, 0),
      makeColumn("Type", ColumnType::Integer, 3, f),
  };
  t.physicalIndexes = {makeReal({1, 2}, 0x81), makeReal({0}, 0x81)};
  t.indexes = {makeLogical("Id", 1, 1, 1), makeLogical("ParentIdName", 0, 0, 0)};
  return t;
}

TableDef acesTable() {
  TableDef t;
  t.name = "MSysACEs";
  t.columns = {
      makeColumn("ACM", ColumnType::Long, 2, 0x13),
      makeColumn("FInheritable", ColumnType::Boolean, 3, 0x13),
      makeColumn("ObjectId", ColumnType::Long, 0, 0x13),
      makeColumn("SID", ColumnType::Binary, 1, 0x32, 0),
  };
  t.physicalIndexes = {makeReal({0}, 0x88)};
  t.indexes = {makeLogical("ObjectId", 0, 0, 0)};
  return t;
}

TableDef queriesTable() {
  TableDef t;
  t.name = "MSysQueries";
  t.columns = {
      makeColumn("Attribute", ColumnType::Byte, 1, 0x13),
      makeColumn("Expression", ColumnType::Memo, 5, 0x12),
      makeColumn("Flag", ColumnType::Integer, 6, 0x13),
      makeColumn("LvExtra", ColumnType::Long, 7, 0x13),
      makeColumn("Name1", ColumnType::Text, 3, 0x12, 510),
      makeColumn("Name2", ColumnType::Text, 4, 0x12, 510),
      makeColumn("ObjectId", ColumnType::Long, 0, 0x13),
      makeColumn("Order", ColumnType::Binary, 2, 0x12, 0),
  };
  t.physicalIndexes = {makeReal({0, 1, 2}, 0x81)};
  t.indexes = {makeLogical("ObjectIdAttribute", 0, 0, 1)};
  return t;
}

TableDef relationshipsTable() {
  TableDef t;
  t.name = "MSysRelationships";
  t.columns = {
      makeColumn("ccolumn", ColumnType::Long, 2, 0x13),
      makeColumn("grbit", ColumnType::Long, 1, 0x13),
      makeColumn("icolumn", ColumnType::Long, 3, 0x13),
      makeColumn("szColumn", ColumnType::Text, 5, 0x12, 510),
      makeColumn("szObject", ColumnType::Text, 4, 0x12, 510),
      makeColumn("szReferencedColumn", ColumnType::Text, 7, 0x12, 510),
      makeColumn("szReferencedObject", ColumnType::Text, 6, 0x12, 510),
      makeColumn("szRelationship", ColumnType::Text, 0, 0x12, 510),
  };
  t.physicalIndexes = {makeReal({0}, 0x82), makeReal({4}, 0x82), makeReal({6}, 0x82)};
  t.indexes = {makeLogical("szObject", 1, 1, 0), makeLogical("szReferencedObject", 2, 2, 0),
               makeLogical("szRelationship", 0, 0, 0)};
  return t;
}

// Dense column numbers in the order of the given ones, variable-table
// indexes and fixed offsets in column-number order, lengths and flags as
// the types demand. Index columns are renumbered with the columns.
TableDef normalise(const TableDef& in, const std::string& what, int generation = 4,
                   const CarriedKeys* carried = nullptr) {
  TableDef t = in;
  const std::size_t n = t.columns.size();
  if (n == 0) throw unsupported(what, "a table needs at least one column");
  if (n > 255) throw unsupported(what, "a Jet 4 table holds at most 255 columns");
  std::vector<std::size_t> order(n);
  for (std::size_t i = 0; i < n; ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return in.columns[a].number < in.columns[b].number;
  });
  std::map<std::uint16_t, std::uint16_t> renumber;
  std::set<std::uint16_t> seen;
  bool unique = true;
  for (const Column& c : in.columns) unique = seen.insert(c.number).second && unique;
  std::uint16_t varIndex = 0, fixedOffset = 0;
  for (std::size_t k = 0; k < n; ++k) {
    Column& c = t.columns[order[k]];
    renumber[in.columns[order[k]].number] = static_cast<std::uint16_t>(k);
    c.number = static_cast<std::uint16_t>(k);
    if (c.name.empty() || c.name.size() > 64 * 3) throw unsupported(what, "a column name is empty or too long");
    const std::uint8_t keep = c.flags & (kColumnAutoLong | kColumnReplication | kColumnAutoGuid |
                                         kColumnHyperlink | 0x20);
    // Types we do not know (Access's 0x11 blob in MSysAccessObjects) keep
    // the source's layout and are copied as raw bytes.
    const bool unknownFixed = !isKnownType(c.type) && c.fixed() && c.length > 0;
    if (!isKnownType(c.type) && !unknownFixed) {
      throw unsupported(what + ", column '" + c.name + "'", "the column type " + columnTypeName(c.type) + " is unknown");
    }
    if (generation == 3 && c.type == ColumnType::Decimal) {
      throw unsupported(what + ", column '" + c.name + "'",
                        "Jet 3 has no Decimal type, so the column cannot be kept");
    }
    if (generation == 3 && unknownFixed) {
      // Access 2000 keeps its forms, reports and modules in such a column.
      throw unsupported(what + ", column '" + c.name + "'",
                        "Jet 3 has no column type " + std::to_string(static_cast<int>(c.type)) +
                            " (Access 2000's store of forms, reports and modules), so the "
                            "column cannot be kept");
    }
    if (isFixedType(c.type) || unknownFixed) {
      c.flags = keep | kColumnFixed | kColumnNullable;
      if (!unknownFixed) c.length = fixedLength(c.type);
      c.varIndex = varIndex;
      if (c.type == ColumnType::Boolean) {
        c.fixedOffset = 0;
      } else {
        c.fixedOffset = fixedOffset;
        fixedOffset = static_cast<std::uint16_t>(fixedOffset + c.length);
      }
    } else {
      c.flags = keep | kColumnNullable;
      c.fixedOffset = 0;
      c.varIndex = varIndex++;
      if (isLongValue(c.type)) c.length = 0;
      const std::uint16_t most = generation == 3 ? 255 : 510;
      if (c.type == ColumnType::Text && (c.length == 0 || c.length > most)) c.length = most;
      if (c.type == ColumnType::Binary && c.length > most) {
        // a smaller declared size would silently change the column
        throw unsupported(what + ", column '" + c.name + "'",
                          "a binary column of " + std::to_string(c.length) + " bytes is beyond the " +
                              std::to_string(most) + " bytes a Jet " + std::to_string(generation) +
                              " column holds");
      }
      // 0: the most the generation holds (the system tables use it)
      if (c.type == ColumnType::Binary && c.length == 0) c.length = most;
    }
    if ((c.type == ColumnType::Text || c.type == ColumnType::Memo) && c.sortOrder == 0) {
      c.sortOrder = kGeneralSortOrder;
    }
  }
  t.maxColumnNumber = static_cast<std::uint16_t>(n);
  if (!t.physicalIndexes.empty() && !unique) {
    throw unsupported(what, "the columns' numbers are not distinct, so the index columns are ambiguous");
  }
  for (std::size_t r = 0; r < t.physicalIndexes.size(); ++r) {
    PhysicalIndex& p = t.physicalIndexes[r];
    const bool keysGiven = carried != nullptr && carried->carries(r);
    if (p.columns.empty() || p.columns.size() > L::kRealMaxColumns) {
      throw unsupported(what, "an index has no columns or more than 10");
    }
    for (IndexColumn& ic : p.columns) {
      const auto it = renumber.find(ic.columnNumber);
      if (it == renumber.end()) throw unsupported(what, "an index names a column the table lacks");
      ic.columnNumber = it->second;
      // Keys can only be made for the General order; others have no known table.
      for (const Column& c : t.columns) {
        if (!keysGiven && c.number == ic.columnNumber &&
            (c.type == ColumnType::Text || c.type == ColumnType::Memo) &&
            c.sortOrder != kGeneralSortOrder) {
          throw unsupported(what + ", column '" + c.name + "'",
                            "the column is indexed under sort order " + std::to_string(c.sortOrder) +
                                ", and only the General order (1033) can be written");
        }
      }
    }
  }
  for (const Index& i : t.indexes) {
    if (i.physicalIndex >= t.physicalIndexes.size()) {
      throw unsupported(what, "index '" + i.name + "' uses a physical index the table lacks");
    }
  }
  return t;
}

ByteBuffer utf16Name(const std::string& s) {
  const std::string raw = encodeUtf16(s);
  return ByteBuffer(raw.begin(), raw.end());
}

// The table definition as one logical byte string (pages are cut later).
ByteBuffer buildDefinition(const PendingTable& pt, const std::map<std::uint32_t, std::uint32_t>& pages) {
  const TableDef& t = pt.def;
  const TableFacts& f = pt.facts;
  const RowShape shape = rowShape(t);
  ByteBuffer d(L::kTdefHeaderSize, 0);
  putU8(d, L::kPageType, L::kPageTableDef);
  putU8(d, L::kPageMark, L::kPageMarkValue);
  putU32(d, L::kTdefMagic, L::kTdefMagicValue);
  putU32(d, L::kTdefRowCount, f.rowCount);
  putU32(d, L::kTdefAutoNumber, f.autoNumber);
  putU8(d, L::kTdefAutoFlag, 0x01);
  putU32(d, L::kTdefUserMark, pt.system ? 0 : 0xFFFFFFFFu);
  putU8(d, L::kTdefTableType, pt.system ? L::kTableSystem : L::kTableUser);
  putU16(d, L::kTdefMaxColumns, t.maxColumnNumber);
  putU16(d, L::kTdefVarColumns, shape.varCount);
  putU16(d, L::kTdefColumns, static_cast<std::uint16_t>(t.columns.size()));
  putU32(d, L::kTdefLogicalIndexes, static_cast<std::uint32_t>(t.indexes.size()));
  putU32(d, L::kTdefRealIndexes, static_cast<std::uint32_t>(t.physicalIndexes.size()));
  putU32(d, L::kTdefOwnedMap, f.ownedMap);
  putU32(d, L::kTdefFreeMap, f.freeMap);
  for (std::size_t r = 0; r < t.physicalIndexes.size(); ++r) {
    const TableFacts::Real real = r < f.reals.size() ? f.reals[r] : TableFacts::Real{};
    addU32(d, real.entries);
    addU32(d, real.distinct);
    addU32(d, 0);
  }
  for (const Column& c : t.columns) {
    ByteBuffer col(L::kColumnSize, 0);
    putU8(col, L::kColType, static_cast<std::uint8_t>(c.type));
    putU32(col, L::kColMagic, L::kTdefMagicValue);
    putU16(col, L::kColNumber, c.number);
    putU16(col, L::kColVarIndex, c.varIndex);
    putU16(col, L::kColPosition, pt.system ? 0 : c.number);
    if (c.type == ColumnType::Decimal) {
      putU8(col, L::kColSortOrder, c.precision);
      putU8(col, L::kColSortOrder + 1, c.scale);
    } else if (c.type == ColumnType::Text || c.type == ColumnType::Memo) {
      putU16(col, L::kColSortOrder, c.sortOrder);
    } else {
      putU16(col, L::kColSortOrder, kGeneralSortOrder);  // Access writes it in every column
    }
    putU8(col, L::kColFlags, c.flags);
    putU8(col, L::kColExtraFlags, c.extraFlags);
    putU16(col, L::kColFixedOffset, c.fixedOffset);
    putU16(col, L::kColLength, c.length);
    addBytes(d, col);
  }
  for (const Column& c : t.columns) {
    const ByteBuffer name = utf16Name(c.name);
    addU16(d, static_cast<std::uint16_t>(name.size()));
    addBytes(d, name);
  }
  for (std::size_t r = 0; r < t.physicalIndexes.size(); ++r) {
    const PhysicalIndex& p = t.physicalIndexes[r];
    const TableFacts::Real real = r < f.reals.size() ? f.reals[r] : TableFacts::Real{};
    ByteBuffer b(L::kRealIndexSize, 0);
    putU32(b, L::kRealMagic, L::kRealMagicValue);
    for (std::size_t k = 0; k < L::kRealMaxColumns; ++k) {
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
    putU8(b, L::kRealFlags, static_cast<std::uint8_t>(p.flags | L::kRealFlagAlways));
    addBytes(d, b);
  }
  for (const Index& i : t.indexes) {
    ByteBuffer b(L::kLogicalIndexSize, 0);
    putU32(b, L::kLogMagic, L::kTdefMagicValue);
    putU32(b, L::kLogNumber, i.number);
    putU32(b, L::kLogRealIndex, i.physicalIndex);
    if (i.foreignKey()) {
      const auto it = pages.find(i.relatedTable);
      // The primary side of a relationship names the foreign side's index and vice versa.
      const std::size_t k = static_cast<std::size_t>(&i - t.indexes.data());
      putU8(b, L::kLogRelatedType, k < pt.relatedTypes.size() ? pt.relatedTypes[k] : 2);
      putU32(b, L::kLogRelatedIndex, static_cast<std::uint32_t>(i.relatedIndex));
      putU32(b, L::kLogRelatedTable, it == pages.end() ? 0 : it->second);
      putU8(b, L::kLogCascadeUpdates, i.cascadeUpdates);
      putU8(b, L::kLogCascadeDeletes, i.cascadeDeletes);
    } else {
      putU32(b, L::kLogRelatedIndex, 0xFFFFFFFFu);
      putU8(b, L::kLogCascadeUpdates, 0x04);  // as Access writes them (corpus: adox)
      putU8(b, L::kLogCascadeDeletes, 0x04);
    }
    putU8(b, L::kLogKind, i.kind);
    addBytes(d, b);
  }
  for (const Index& i : t.indexes) {
    const ByteBuffer name = utf16Name(i.name);
    addU16(d, static_cast<std::uint16_t>(name.size()));
    addBytes(d, name);
  }
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

// The Jet 3 definition's inputs, from what the shared code gathered.
Jet3TableFacts jet3Facts(const PendingTable& pt, const std::map<std::uint32_t, std::uint32_t>& pages,
                         std::uint16_t codePage) {
  Jet3TableFacts f;
  f.system = pt.system;
  f.codePage = codePage;
  f.rowCount = pt.facts.rowCount;
  f.autoNumber = pt.facts.autoNumber;
  f.ownedMap = pt.facts.ownedMap;
  f.freeMap = pt.facts.freeMap;
  for (const TableFacts::Real& r : pt.facts.reals) f.reals.push_back({r.root, r.map, r.entries, r.distinct});
  f.longValueMaps = pt.facts.longValueMaps;
  f.relatedTypes = pt.relatedTypes;
  for (const Index& i : pt.def.indexes) {
    const auto it = pages.find(i.relatedTable);
    f.relatedTables.push_back(it == pages.end() ? 0 : it->second);
  }
  return f;
}

std::uint32_t definitionPages(std::size_t length, std::size_t pageSize = L::kPageSize) {
  if (length <= pageSize) return 1;
  const std::size_t perPage = pageSize - L::kTdefPageHeader;
  return static_cast<std::uint32_t>(1 + (length - pageSize + perPage - 1) / perPage);
}

}  // namespace

// ---------------------------------------------------------------------------

struct DatabaseWriter::State {
  std::string path;
  WriterOptions options;
  const WriteFormat& format;
  PageOutput out;
  ByteBuffer sidMask;
  std::vector<PendingTable> tables;
  std::vector<ObjectRow> objects;
  std::vector<AceRow> aces;
  std::vector<Row> queryRows, relationshipRows;
  std::set<std::pair<std::string, std::string>> manyToOne;  // (foreign table, primary table)
  std::vector<PropertyMap> databaseProperties;
  std::int32_t nextSyntheticId = static_cast<std::int32_t>(0x80000000u);
  bool finished = false;

  // The row batches of every table, kept so their buffers are made once.
  std::vector<PreparedBatch> batches;

  // Usage-map rows share holder pages, filled one after the other.
  std::unique_ptr<RowPage> holder;
  std::uint32_t holderPage = 0;

  State(const std::string& p, WriterOptions o)
      : path(p), options(o), format(writeFormat(o.generation)),
        out(p, format.pageSize, o.generation == 3 ? kMaxJet3File : kMaxJet4File) {
    const std::size_t slash = p.find_last_of('/');
    folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : p.substr(0, slash));
  }
  std::string folder;  // where the database (and the key runs) are written

  std::uint32_t addMapRow(const ByteBuffer& row) {
    if (!holder || !holder->fits(row.size())) {
      flushHolder();
      holderPage = out.allocate();
      holder = std::make_unique<RowPage>(format.pageSize, 0, format);
    }
    const std::uint8_t r = holder->add(row);
    return rowRef(holderPage, r);
  }
  void flushHolder() {
    if (holder) out.write(holderPage, holder->bytes());
    holder.reset();
  }
  std::uint32_t addMap(const std::vector<std::uint32_t>& pages) {
    return addMapRow(makeUsageMap(out, pages, format));
  }

  Bytes masked(const Bytes& sid) const {
    Bytes b = sid;
    if (options.generation == 3) return b;  // Jet 3 stores SIDs plain
    for (std::size_t i = 0; i < b.size() && i < sidMask.size(); ++i) b[i] ^= sidMask[i];
    return b;
  }
  double date(double d) const { return d != 0 ? d : options.creationDate; }

  void writeTable(PendingTable& pt, RowCursor& rows, const std::string& what,
                  CarriedKeys* carried = nullptr, bool readAhead = false);
  void writeDefinition(const PendingTable& pt, const std::map<std::uint32_t, std::uint32_t>& pages);
  void addInheritedAces(std::int32_t objectId, std::int32_t parentId);
  void writeGlobalMap();
  void writeHeader();
};

namespace {

// Long values of one table: an open LVAL page per column, rows packed in.
class TableLongValues : public LongValuePlacer {
 public:
  TableLongValues(PageOutput& out, const WriteFormat& format) : out_(out), format_(format) {}
  void place(const Column& column, std::span<const std::uint8_t> content,
             ByteBuffer& d) override {
    Open& o = open_[column.number];
    if (content.size() <= format_.maxSingleLongValue) {
      addU32(d, L::kLongValueSingle | static_cast<std::uint32_t>(content.size()));
      addU32(d, add(o, content));
      addU32(d, 0);
      return;
    }
    // A chain: each row starts with the pointer to the next, so place the last first.
    std::uint32_t next = 0;
    const std::size_t chunk = format_.maxChainChunk;
    const std::size_t chunks = (content.size() + chunk - 1) / chunk;
    for (std::size_t k = chunks; k-- > 0;) {
      const std::size_t from = k * chunk;
      const std::size_t len = std::min(chunk, content.size() - from);
      chainRow_.clear();
      addU32(chainRow_, next);
      addBytes(chainRow_, content.subspan(from, len));
      next = add(o, chainRow_);
    }
    addU32(d, static_cast<std::uint32_t>(content.size()));
    addU32(d, next);
    addU32(d, 0);
  }
  // Writes the open pages; returns each column's LVAL pages.
  std::map<std::uint16_t, std::vector<std::uint32_t>> finish() {
    std::map<std::uint16_t, std::vector<std::uint32_t>> pages;
    for (auto& [column, o] : open_) {
      if (o.page) out_.write(o.number, o.page->bytes());
      pages[column] = o.pages;
    }
    return pages;
  }

 private:
  struct Open {
    std::unique_ptr<RowPage> page;
    std::uint32_t number = 0;
    std::vector<std::uint32_t> pages;
  };
  std::uint32_t add(Open& o, std::span<const std::uint8_t> row) {
    if (!o.page || !o.page->fits(row.size())) {
      if (o.page) out_.write(o.number, o.page->bytes());
      o.number = out_.allocate();
      if (o.page) {
        o.page->reset(kLvalOwner);
      } else {
        o.page = std::make_unique<RowPage>(format_.pageSize, kLvalOwner, format_);
      }
      o.pages.push_back(o.number);
    }
    return rowRef(o.number, o.page->add(row));
  }
  PageOutput& out_;
  const WriteFormat& format_;
  std::map<std::uint16_t, Open> open_;
  ByteBuffer chainRow_;
};

// Spills the largest index's entries until all of them fit the budget together.
void keepKeysWithin(const std::vector<std::unique_ptr<IndexEntrySorter>>& sorters,
                    std::size_t budget) {
  for (;;) {
    std::size_t total = 0;
    IndexEntrySorter* largest = nullptr;
    for (const auto& s : sorters) {
      total += s->memoryUsed();
      if (largest == nullptr || s->memoryUsed() > largest->memoryUsed()) largest = s.get();
    }
    if (total <= budget || largest->memoryUsed() == 0) return;
    largest->spill();
  }
}

}  // namespace

void DatabaseWriter::State::writeTable(PendingTable& pt, RowCursor& rows, const std::string& what,
                                       CarriedKeys* carried, bool readAhead) {
  const TableDef& t = pt.def;
  TableLongValues longValues(out, format);
  std::vector<std::unique_ptr<IndexEntrySorter>> entries;
  // The indexes share the memory for keys: a small one (a counter's) leaves
  // room for a large one's, which then need not go to disk in runs.
  for (std::size_t r = 0; r < t.physicalIndexes.size(); ++r) {
    entries.push_back(std::make_unique<IndexEntrySorter>(options.indexMemory, path, folder));
    // The source's row count (it may be stale) sizes the key buffers, each
    // within its index's part of the budget; keys are a few bytes per column.
    entries.back()->expect(t.rowCount, 2 + 8 * t.physicalIndexes[r].columns.size(),
                           options.indexMemory / t.physicalIndexes.size());
  }
  std::vector<std::uint32_t> dataPages, roomyPages;
  std::unique_ptr<RowPage> page, spare;  // spare: the last page written, for reuse
  std::uint32_t pageNumber = 0;
  std::int64_t maxAuto = pt.def.nextAutoNumber;
  const auto closePage = [&] {
    if (!page) return;
    if (page->freeSpace() >= kRoomForRows) roomyPages.push_back(pageNumber);
    out.write(pageNumber, page->bytes());
    spare = std::move(page);
  };
  RowPreparer preparer(t, format, options.generation, options.codePage, what, carried);
  preparer.takeStoredText(rows);
  // Carried keys read the source's index pages in step with its rows, on this thread.
  PreparedRows prepared(rows, preparer, readAhead && carried == nullptr, batches);
  ByteBuffer descriptor, key;
  std::uint32_t count = 0;
  while (PreparedBatch* b = prepared.next()) {
    for (const PreparedBatch::Row& r : b->rows) {
      const std::span<std::uint8_t> bytes(b->rowBytes.data() + r.from, r.size);
      // Long values first, in the order the row met them: their pages come before the row's.
      for (std::size_t k = r.firstLong; k < r.firstLong + r.longCount; ++k) {
        const PreparedBatch::LongValue& lv = b->longs[k];
        descriptor.clear();
        longValues.place(*lv.column, std::span(b->longBytes).subspan(lv.from, lv.size), descriptor);
        std::copy(descriptor.begin(), descriptor.end(), bytes.begin() + lv.rowOffset);
      }
      if (!page || !page->fits(bytes.size())) {
        closePage();
        pageNumber = out.allocate();
        if (spare) {
          page = std::move(spare);
          page->reset(pt.firstPage);
        } else {
          page = std::make_unique<RowPage>(format.pageSize, pt.firstPage, format);
        }
        dataPages.push_back(pageNumber);
      }
      const std::uint8_t slot = page->add(bytes);
      ++count;
      for (std::size_t x = 0; x < entries.size(); ++x) {
        const PreparedBatch::Key& k = b->keys[r.firstKey + x];
        if (!k.entry) continue;
        if (k.carried) {
          entries[x]->add(std::span(b->keyBytes).subspan(k.from, k.size), pageNumber, slot, k.anyNull);
        } else {
          key.clear();
          preparer.makeKey(*b, r, x, key);
          entries[x]->add(key, pageNumber, slot, k.anyNull);
        }
      }
      if (entries.size() > 1) keepKeysWithin(entries, options.indexMemory);
    }
    maxAuto = std::max(maxAuto, b->maxAuto);
  }
  if (page && page->freeSpace() < kRoomForRows) {
    roomyPages.push_back(pageNumber);  // the last page always takes new rows first
  }
  closePage();
  std::sort(roomyPages.begin(), roomyPages.end());
  TableFacts& f = pt.facts;
  f.rowCount = count;
  f.autoNumber = static_cast<std::uint32_t>(maxAuto);
  // Every long-value column gets its two maps, empty ones included, as Jet writes them.
  auto lvalPages = longValues.finish();
  for (const Column& c : t.columns) {
    if (!isLongValue(c.type)) continue;
    const std::vector<std::uint32_t>& pages = lvalPages[c.number];
    const std::uint32_t owned = addMap(pages);
    const std::uint32_t free = addMap(pages);
    f.longValueMaps[c.number] = {owned, free};
  }
  f.reals.clear();
  // Later indexes sort while the first ones are written.
  for (std::size_t r = 1; r < entries.size(); ++r) entries[r]->sortAhead();
  for (std::size_t r = 0; r < entries.size(); ++r) {
    const auto sorted = entries[r]->sorted();
    const WrittenIndex tree = writeIndexTree(out, pt.firstPage, *sorted, format);
    // Rows with a null key column do not take part in uniqueness.
    if ((t.physicalIndexes[r].flags & kIndexUnique) && tree.duplicate) {
      throw unsupported(what, "a unique index holds the same key twice");
    }
    TableFacts::Real real;
    real.entries = tree.entries;
    real.distinct = tree.distinct;
    real.root = tree.root;
    real.map = addMap(tree.pages);
    f.reals.push_back(real);
    entries[r].reset();
  }
  f.ownedMap = addMap(dataPages);
  f.freeMap = addMap(roomyPages);
}

void DatabaseWriter::State::writeDefinition(const PendingTable& pt,
                                            const std::map<std::uint32_t, std::uint32_t>& pages) {
  const ByteBuffer d = options.generation == 3 ? buildJet3Definition(pt.def, jet3Facts(pt, pages, options.codePage))
                                               : buildDefinition(pt, pages);
  const std::size_t pageSize = format.pageSize;
  if (definitionPages(d.size(), pageSize) != pt.pageCount) {
    throw unsupported(path, "a table definition changed size while it was written");
  }
  std::size_t at = 0;
  for (std::uint32_t k = 0; k < pt.pageCount; ++k) {
    ByteBuffer page(pageSize, 0);
    std::size_t used;
    if (k == 0) {
      used = std::min(d.size(), pageSize);
      putBytes(page, 0, std::span(d).subspan(0, used));
    } else {
      const std::size_t len = std::min(d.size() - at, pageSize - L::kTdefPageHeader);
      putU8(page, L::kPageType, L::kPageTableDef);
      putU8(page, L::kPageMark, L::kPageMarkValue);
      putBytes(page, L::kTdefPageHeader, std::span(d).subspan(at, len));
      used = L::kTdefPageHeader + len;
    }
    at += k == 0 ? used : used - L::kTdefPageHeader;
    if (options.generation == 3) {
      putU8(page, 2, 'V');  // Jet 3 marks every TDEF page instead of counting free bytes
      putU8(page, 3, 'C');
    } else {
      putU16(page, L::kTdefFreeSpace, static_cast<std::uint16_t>(pageSize - used - 8 > pageSize ? 0 : pageSize - used - 8));
    }
    putU32(page, L::kTdefNextPage, k + 1 < pt.pageCount ? pt.firstPage + k + 1 : 0);
    out.write(pt.firstPage + k, page);
  }
}

void DatabaseWriter::State::addInheritedAces(std::int32_t objectId, std::int32_t parentId) {
  // Access gives a new object one entry per inheritable SID of its container
  // except the container-only group (corpus: Access-made user tables).
  std::vector<AceRow> add;
  for (const AceRow& a : aces) {
    if (a.objectId == parentId && a.inheritable && a.sid != kSidGroup) {
      add.push_back({objectId, a.sid, a.acm, false});
    }
  }
  aces.insert(aces.end(), add.begin(), add.end());
}

void DatabaseWriter::State::writeGlobalMap() {
  // Set bits mark free pages: none inside the file, all beyond it (corpus: adox).
  ByteBuffer map(format.mapRowSize, 0);
  std::uint32_t count = out.pageCount();
  if (count <= format.mapInlinePages) {
    putU8(map, L::kMapType, L::kMapInline);
    for (std::uint32_t p = count; p < format.mapInlinePages; ++p) {
      map[L::kMapBitmap + p / 8] |= static_cast<std::uint8_t>(1u << (p % 8));
    }
  } else {
    putU8(map, L::kMapType, L::kMapReference);
    std::uint32_t bitmaps = 0;
    while (static_cast<std::uint64_t>(bitmaps) * format.bitmapPagePages < count + bitmaps) ++bitmaps;
    const std::uint32_t first = out.allocate(bitmaps);
    count = out.pageCount();
    for (std::uint32_t k = 0; k < bitmaps; ++k) {
      ByteBuffer b(format.pageSize, 0);
      putU8(b, L::kPageType, L::kPageUsageBitmap);
      putU8(b, L::kPageMark, L::kPageMarkValue);
      for (std::uint32_t bit = 0; bit < format.bitmapPagePages; ++bit) {
        if (k * format.bitmapPagePages + bit >= count) {
          b[L::kBitmapPageStart + bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
        }
      }
      out.write(first + k, b);
      putU32(map, L::kMapSlots + 4 * k, first + k);
    }
  }
  RowPage page1(format.pageSize, 1, format);
  page1.add(map);
  page1.add(ByteBuffer(format.mapRowSize, 0));
  out.write(1, page1.bytes());
}

void DatabaseWriter::State::writeHeader() {
  if (options.generation == 3) {
    ByteBuffer p = jet3HeaderPage(options.codePage, options.sortOrder);
    Rc4 rc4(layout::kMaskKey);
    rc4.apply(std::span(p).subspan(layout::kMaskOffset, layout::kMaskLengthJet3));
    out.write(0, p);
    return;
  }
  ByteBuffer p(L::kPageSize, 0);
  putU8(p, L::kPageMark, L::kPageMarkValue);
  putBytes(p, layout::kMagicOffset, std::span(reinterpret_cast<const std::uint8_t*>("Standard Jet DB"), 16));
  putU8(p, layout::kVersionOffset, 0x01);
  putU32(p, L::kDbGlobalMapRef, rowRef(1, 0));
  putU32(p, L::kDbSecondMapRef, rowRef(1, 1));
  for (std::uint32_t k = 0; k < 4; ++k) putU32(p, L::kDbSystemTdefs + 4 * k, kObjectsTdef + k);
  putU16(p, L::kDbCodePage, options.codePage);
  putU32(p, L::kDbEngineBuild, options.engineBuild);
  putU16(p, L::kDbSortOrder, options.sortOrder);
  putU8(p, L::kDbSortVersion, options.sortVersion);
  putF64(p, L::kDbCreationDate, options.creationDate);
  // An empty password is stored as the date mask repeated.
  const double date = options.creationDate;
  const std::uint32_t mask =
      (date > -2147483648.0 && date < 2147483648.0) ? static_cast<std::uint32_t>(static_cast<std::int32_t>(date)) : 0;
  for (std::size_t i = 0; i < L::kDbPasswordLength; ++i) {
    p[L::kDbPassword + i] = static_cast<std::uint8_t>(mask >> (8 * (i % 4)));
  }
  putU32(p, L::kDbMarker, 0x0654);
  putBytes(p, L::kDbVersionText, std::span(reinterpret_cast<const std::uint8_t*>("4.0"), 4));
  for (std::size_t at = L::kDbCommitTable; at + 2 <= L::kPageSize; at += 2) putU16(p, at, 0x0100);
  putU16(p, L::kDbCommitTable, 0x0101);
  Rc4 rc4(layout::kMaskKey);
  rc4.apply(std::span(p).subspan(layout::kMaskOffset, layout::kMaskLengthJet4));
  out.write(0, p);
}

// ---------------------------------------------------------------------------

DatabaseWriter::DatabaseWriter(const std::string& path, WriterOptions options) {
  if (options.generation == 2) {
    jet2_ = std::make_unique<Jet2Writer>(path, options);
    return;
  }
  s_ = std::make_unique<State>(path, options);
  if (s_->options.creationDate == 0) s_->options.creationDate = oleNow();
  s_->out.allocate(6);  // page 0, page 1, the four system TDEFs
  // The SID key depends only on page 0's inputs, so compute it now.
  ByteBuffer page0(L::kPageSize, 0);
  putU32(page0, L::kDbEngineBuild, s_->options.engineBuild);
  putU16(page0, L::kDbSortOrder, s_->options.sortOrder);
  putU8(page0, L::kDbSortVersion, s_->options.sortVersion);
  putF64(page0, L::kDbCreationDate, s_->options.creationDate);
  std::uint32_t key = static_cast<std::uint32_t>(page0[L::kDbCreationDate]) |
                      (static_cast<std::uint32_t>(page0[L::kDbCreationDate + 1]) << 8) |
                      (static_cast<std::uint32_t>(page0[L::kDbCreationDate + 2]) << 16) |
                      (static_cast<std::uint32_t>(page0[L::kDbCreationDate + 3]) << 24);
  for (std::uint32_t i = 0; i < 40; ++i) {
    key ^= static_cast<std::uint32_t>(page0[L::kDbSidKeyWalk + 2 * i]) << (i % 24);
  }
  const std::uint8_t keyBytes[4] = {static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(key >> 8),
                                    static_cast<std::uint8_t>(key >> 16),
                                    static_cast<std::uint8_t>(key >> 24)};
  s_->sidMask.assign(512, 0);
  Rc4(keyBytes).apply(s_->sidMask);

  const double d = s_->options.creationDate;
  auto container = [&](std::int32_t id, const std::string& name) {
    s_->objects.push_back({id, kRootParentId, name, kObjectContainer, d, d, kSidCreator,
                           kSystemObjectFlag, {}, {}, {}, {}, {}, {}, {}});
  };
  container(kTablesContainerId, "Tables");
  container(kDatabasesContainerId, "Databases");
  container(kRelationshipsContainerId, "Relationships");
  s_->objects.push_back({kMSysDbId, kDatabasesContainerId, "MSysDb", kObjectDatabase, d, d,
                         kSidAdmin, kSystemObjectFlag, {}, {}, {}, {}, {}, {}, {}});
  const char* names[4] = {"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships"};
  for (std::int32_t k = 0; k < 4; ++k) {
    s_->objects.push_back({static_cast<std::int32_t>(kObjectsTdef + k), kTablesContainerId, names[k],
                           kObjectTable, d, d, kSidCreator, kSystemObjectFlag, {}, {}, {}, {}, {}, {}, {}});
  }
  // The permissions Jet gives its own objects (corpus: adox, emptyJet4).
  s_->aces = {
      {static_cast<std::int32_t>(kObjectsTdef), kSidAdmin, 0x60000, false},
      {static_cast<std::int32_t>(kAcesTdef), kSidAdmin, 0x60000, false},
      {static_cast<std::int32_t>(kQueriesTdef), kSidAdmin, 0x60000, false},
      {static_cast<std::int32_t>(kRelationshipsTdef), kSidAdmin, 0xE0000, false},
      {kTablesContainerId, kSidGroup, 983294, true},
      {kTablesContainerId, kSidAdmin, 0x60001, false},
      {kRelationshipsContainerId, kSidGroup, 983294, true},
      {kRelationshipsContainerId, kSidAdmin, 0x60001, false},
      {kDatabasesContainerId, kSidAdmin, 0x60000, false},
      {kMSysDbId, kSidAdmin, 393230, false},
      {kMSysDbId, kSidUsers, 14, false},
      {static_cast<std::int32_t>(kQueriesTdef), kSidUsers, 20, false},
      {static_cast<std::int32_t>(kRelationshipsTdef), kSidUsers, 20, false},
      {static_cast<std::int32_t>(kObjectsTdef), kSidUsers, 20, false},
      {kTablesContainerId, kSidUsers, 1048319, true},
      {kRelationshipsContainerId, kSidUsers, 1048575, true},
  };
}

DatabaseWriter::~DatabaseWriter() = default;

std::uint32_t DatabaseWriter::addTable(const TableDef& def, RowCursor& rows,
                                       const TableObject& object) {
  if (jet2_) return jet2_->addTable(def, rows, object);
  if (s_->finished) throw unsupported(s_->path, "the database is already complete");
  const std::string what = s_->path + ", table '" + def.name + "'";
  PendingTable pt;
  pt.def = normalise(def, what, s_->options.generation, object.carriedKeys);
  pt.sourcePage = def.definitionPage;
  pt.facts.reals.resize(pt.def.physicalIndexes.size());
  try {
    pt.pageCount = s_->options.generation == 3
                       ? definitionPages(buildJet3Definition(pt.def, jet3Facts(pt, {}, s_->options.codePage)).size(),
                                         s_->format.pageSize)
                       : definitionPages(buildDefinition(pt, {}).size());
  } catch (const Error& e) {
    // The definition's refusals (a name Jet 3 cannot hold) know the table, not the file.
    throw renamed(e, "'table '" + def.name + "'", "'" + what);
  }
  pt.firstPage = s_->out.allocate(pt.pageCount);
  s_->writeTable(pt, rows, what, object.carriedKeys, object.readAhead);
  const std::int32_t id = static_cast<std::int32_t>(pt.firstPage);
  ObjectRow o;
  o.id = id;
  o.parentId = kTablesContainerId;
  o.name = def.name;
  o.type = kObjectTable;
  o.dateCreate = s_->date(object.dateCreate);
  o.dateUpdate = s_->date(object.dateUpdate);
  o.owner = kSidAdmin;
  o.flags = object.flags;
  o.lvProp = encodePropertyBlob(object.properties, what, propertyTextForm(s_->options));
  s_->objects.push_back(std::move(o));
  s_->addInheritedAces(id, kTablesContainerId);
  s_->tables.push_back(std::move(pt));
  return static_cast<std::uint32_t>(id);
}

std::int32_t DatabaseWriter::addObject(const CatalogObject& object) {
  if (jet2_) return jet2_->addObject(object);
  const std::int32_t id = s_->nextSyntheticId++;
  ObjectRow o;
  o.id = id;
  o.parentId = object.parentId;
  o.name = object.name;
  o.type = object.type;
  o.dateCreate = s_->date(object.dateCreate);
  o.dateUpdate = s_->date(object.dateUpdate);
  o.owner = kSidAdmin;
  o.flags = object.flags;
  o.database = object.database;
  o.connect = object.connect;
  o.foreignName = object.foreignName;
  o.lv = object.lv;
  o.lvProp = encodePropertyBlob(object.properties, s_->path + ", object '" + object.name + "'",
                               propertyTextForm(s_->options));
  o.lvModule = object.lvModule;
  o.lvExtra = object.lvExtra;
  s_->objects.push_back(std::move(o));
  s_->addInheritedAces(id, object.parentId);
  return id;
}

void DatabaseWriter::addQuery(const Query& query, const std::vector<PropertyMap>& properties) {
  if (jet2_) return jet2_->addQuery(query, properties);
  CatalogObject o;
  o.name = query.name;
  o.type = kObjectQuery;
  o.parentId = kTablesContainerId;
  o.flags = query.flags;
  o.properties = properties;
  const std::int32_t id = addObject(o);
  for (const QueryRow& r : query.rows) {
    // In MSysQueries' column order: Attribute, Expression, Flag, LvExtra, Name1, Name2, ObjectId, Order.
    s_->queryRows.push_back(Row{Value{r.attribute}, textOrNull(r.expression), Value{r.flag}, Value{},
                                textOrNull(r.name1), textOrNull(r.name2), Value{id},
                                bytesOrNull(r.order)});
  }
}

void DatabaseWriter::addRelationship(const Relationship& rel) {
  if (jet2_) return jet2_->addRelationship(rel);
  CatalogObject o;
  o.name = rel.name;
  o.type = kObjectRelationship;
  o.parentId = kRelationshipsContainerId;
  addObject(o);
  s_->manyToOne.insert({rel.table, rel.referencedTable});
  const std::int32_t n = static_cast<std::int32_t>(rel.columns.size());
  for (std::int32_t i = 0; i < n; ++i) {
    const std::string ref = i < static_cast<std::int32_t>(rel.referencedColumns.size())
                                ? rel.referencedColumns[i]
                                : std::string();
    s_->relationshipRows.push_back(Row{Value{n}, Value{rel.flags}, Value{i}, Value{rel.columns[i]},
                                       Value{rel.table}, textOrNull(ref),
                                       Value{rel.referencedTable}, Value{rel.name}});
  }
}

void DatabaseWriter::setDatabaseProperties(const std::vector<PropertyMap>& properties) {
  if (jet2_) return jet2_->setDatabaseProperties(properties);
  s_->databaseProperties = properties;
}

void DatabaseWriter::finish() {
  if (jet2_) return jet2_->finish();
  State& s = *s_;
  if (s.finished) return;
  s.finished = true;
  for (ObjectRow& o : s.objects) {
    if (o.id == kMSysDbId) {
      o.lvProp = encodePropertyBlob(s.databaseProperties, s.path + ", MSysDb", propertyTextForm(s.options));
    }
  }
  const auto system = [&](TableDef def, std::uint32_t page) {
    PendingTable pt;
    if (s.options.generation == 3 && def.name == "MSysQueries") {
      // Jet 3's MSysQueries has no LvExtra column.
      std::erase_if(def.columns, [](const Column& c) { return c.name == "LvExtra"; });
      for (Row& r : s.queryRows) r.erase(r.begin() + 3);
    }
    pt.def = normalise(def, s.path + ", table '" + def.name + "'", s.options.generation);
    pt.system = true;
    pt.firstPage = page;
    pt.pageCount = 1;
    pt.sourcePage = page;
    return pt;
  };
  PendingTable queries = system(queriesTable(), kQueriesTdef);
  PendingTable relationships = system(relationshipsTable(), kRelationshipsTdef);
  PendingTable aces = system(acesTable(), kAcesTdef);
  PendingTable objects = system(objectsTable(), kObjectsTdef);
  {
    VectorCursor c(s.queryRows);
    s.writeTable(queries, c, s.path + ", MSysQueries");
  }
  {
    VectorCursor c(s.relationshipRows);
    s.writeTable(relationships, c, s.path + ", MSysRelationships");
  }
  {
    std::vector<Row> rows;
    for (const AceRow& a : s.aces) {
      rows.push_back(Row{Value{a.acm}, Value{a.inheritable}, Value{a.objectId}, Value{s.masked(a.sid)}});
    }
    VectorCursor c(rows);
    s.writeTable(aces, c, s.path + ", MSysACEs");
  }
  {
    std::vector<Row> rows;
    for (const ObjectRow& o : s.objects) {
      rows.push_back(Row{textOrNull(o.connect), textOrNull(o.database), Value{DateTime{o.dateCreate}},
                         Value{DateTime{o.dateUpdate}}, Value{o.flags}, textOrNull(o.foreignName),
                         Value{o.id}, bytesOrNull(o.lv), bytesOrNull(o.lvExtra),
                         bytesOrNull(o.lvModule), bytesOrNull(o.lvProp), Value{o.name},
                         Value{s.masked(o.owner)}, Value{o.parentId}, Value{}, Value{},
                         Value{o.type}});
    }
    VectorCursor c(rows);
    s.writeTable(objects, c, s.path + ", MSysObjects");
  }
  std::map<std::uint32_t, std::uint32_t> pages;
  std::map<std::uint32_t, std::string> names;
  for (const PendingTable& pt : s.tables) {
    pages[pt.sourcePage] = pt.firstPage;
    names[pt.sourcePage] = pt.def.name;
  }
  for (PendingTable& pt : s.tables) {
    for (const Index& i : pt.def.indexes) {
      const bool foreign = !i.foreignKey() || s.manyToOne.count({pt.def.name, names[i.relatedTable]}) > 0;
      pt.relatedTypes.push_back(foreign ? 2 : 1);
    }
  }
  for (const PendingTable* pt : {&objects, &aces, &queries, &relationships}) {
    s.writeDefinition(*pt, pages);
  }
  for (const PendingTable& pt : s.tables) s.writeDefinition(pt, pages);
  s.flushHolder();
  s.writeGlobalMap();
  s.writeHeader();
  s.out.finish();
}

}  // namespace jet
