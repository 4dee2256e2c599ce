// The Jet 2.0 writer: catalog tables laid out and filled as Access 2.0 has
// them (corpus: the three Jet 2.0 files agree on every row written here).
#include "jet/writer_jet2.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>

#include "jet/error.h"
#include "jet/layout/jet2_write.h"
#include "jet/text.h"
#include "jet/vector_cursor.h"
#include "jet/writer_jet2_table.h"
#include "jet/writer_jet3.h"
#include "jet/writer_keys.h"
#include "jet/writer_properties.h"

namespace jet {
namespace {

namespace L = layout::jet2;

constexpr std::uint32_t kObjectsTdef = 3, kColumnsTdef = 4, kIndexesTdef = 5, kAcesTdef = 6,
                        kQueriesTdef = 7, kRelationshipsTdef = 8;
constexpr std::int32_t kSystemFlag = static_cast<std::int32_t>(0x80000000u);
constexpr std::uint16_t kGeneral = 0x0409;
// Relationship flag: integrity not enforced.
constexpr std::int32_t kRelationNotEnforced = 0x2;

const Bytes kSidAdmin = {0x03, 0x01};
const Bytes kSidCreator = {0x02, 0x03};
const Bytes kSidUsers = {0x02, 0x01};
const Bytes kSidGroup = {0x02, 0x04};

// Page 0 from 0x418: the same bytes in every corpus file.
constexpr std::uint8_t kPage0Constant[L::kPage0ConstantEnd - L::kPage0Constant] = {
    0x02, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00,
    0x06, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00, 0xEF, 0x07, 0x05, 0x02, 0xF1, 0x07, 0x06, 0x01,
    0xF2, 0x07, 0x07, 0x01, 0xDF, 0x07, 0x03, 0x08, 0xE7, 0x07, 0x04, 0x08, 0xF3, 0x07, 0x08, 0x04,
    0xD5, 0x07, 0x00, 0x04, 0xD0, 0x07, 0xFF, 0xFF, 0xCD, 0x07, 0xFC, 0xFF, 0xD9, 0x07, 0x01, 0x04,
    0xDD, 0x07, 0x02, 0x02, 0xDE, 0x07, 0x06, 0x02, 0xDD, 0x07, 0x02, 0x01, 0xE2, 0x07, 0x08, 0x02,
    0xDE, 0x07, 0x03, 0x00, 0xDE, 0x07, 0x04, 0x00, 0xDE, 0x07, 0x05, 0x00, 0xD9, 0x07, 0x01, 0x04,
    0xE0, 0x07, 0x07, 0x02, 0xD0, 0x07, 0xFF, 0xFF, 0xD5, 0x07, 0x00, 0x04, 0xE4, 0x07, 0x0A, 0x02,
    0xDE, 0x07, 0x0A, 0x01, 0xDC, 0x07, 0x05, 0x00, 0xE5, 0x07, 0x0D, 0x00, 0xDC, 0x07, 0x06, 0x00,
    0xDC, 0x07, 0x04, 0x00, 0xDC, 0x07, 0x03, 0x00, 0xD9, 0x07, 0x01, 0x02, 0xE3, 0x07, 0x0C, 0x02,
    0xDC, 0x07, 0x08, 0x01, 0xD0, 0x07, 0xFF, 0xFF, 0xD5, 0x07, 0x00, 0x04, 0xDF, 0x07, 0x0B, 0x04,
    0xDB, 0x07, 0x02, 0x01, 0xCF, 0x07, 0xFE, 0xFF, 0xCD, 0x07, 0xFC, 0xFF, 0xCE, 0x07, 0xFD, 0xFF,
    0xCC, 0x07, 0xFB, 0xFF, 0xDD, 0x07, 0x09, 0x01, 0xD9, 0x07, 0x01, 0x04, 0xDD, 0x07, 0x02, 0x00,
    0xD5, 0x07, 0x00, 0x04, 0xD0, 0x07, 0xFF, 0xFF, 0xD5, 0x07, 0x00, 0x04, 0x00, 0x00, 0x01, 0x00,
};

double oleNow() {
  using namespace std::chrono;
  return duration<double>(system_clock::now().time_since_epoch()).count() / 86400.0 + 25569.0;
}

Column col(const std::string& name, ColumnType type, std::uint16_t length = 0) {
  Column c;
  c.name = name;
  c.type = type;
  c.length = length;
  c.flags = kColumnNullable;
  return c;
}

struct SystemIndex {
  const char* name;
  std::vector<std::uint16_t> columns;
  bool unique, primary, required;
};

// The catalog tables in MSysColumns' storage order (corpus: ObjectId 3-8).
TableDef objectsTable() {
  using T = ColumnType;
  TableDef t;
  t.name = "MSysObjects";
  t.columns = {col("Id", T::Long),
               col("ParentId", T::Long),
               col("Name", T::Text, 255),
               col("Type", T::Integer),
               col("DateCreate", T::DateTime),
               col("DateUpdate", T::DateTime),
               col("Rgb", T::Binary, 255),
               col("Lv", T::OLE),
               col("CbFixed", T::Integer),
               col("CFixed", T::Byte),
               col("CVar", T::Byte),
               col("Owner", T::Binary, 255),
               col("Database", T::Memo),
               col("Connect", T::Memo),
               col("ForeignName", T::Text, 255),
               col("RmtInfoShort", T::Binary, 255),
               col("RmtInfoLong", T::OLE),
               col("Flags", T::Long),
               col("LvExtra", T::OLE),
               col("Description", T::Memo),
               col("LvModule", T::OLE),
               col("LvProp", T::OLE)};
  return t;
}
TableDef columnsTable() {
  using T = ColumnType;
  TableDef t;
  t.name = "MSysColumns";
  t.columns = {col("ObjectId", T::Long),          col("Name", T::Text, 255),
               col("Hcolumn", T::Long),           col("Coltyp", T::Byte),
               col("FAutoincrement", T::Boolean), col("FDisallowNull", T::Boolean),
               col("FVersion", T::Boolean),       col("CodePage", T::Integer),
               col("LanguageId", T::Integer),     col("Country", T::Integer),
               col("FRestricted", T::Boolean),    col("RmtInfoShort", T::Binary, 255),
               col("RmtInfoLong", T::OLE),        col("LvExtra", T::OLE),
               col("Description", T::Memo),       col("PresentationOrder", T::Integer)};
  return t;
}
TableDef indexesTable() {
  using T = ColumnType;
  TableDef t;
  t.name = "MSysIndexes";
  t.columns = {col("ObjectId", T::Long),
               col("Name", T::Text, 255),
               col("Idxid", T::Integer),
               col("Operation", T::Byte),
               col("Rgkeyd", T::Binary, 255),
               col("Rglocale", T::Binary, 255),
               col("FUnique", T::Boolean),
               col("FPrimary", T::Boolean),
               col("FDisallowAnyNull", T::Boolean),
               col("FExcludeAllNull", T::Boolean),
               col("FClustered", T::Boolean),
               col("MatchType", T::Byte),
               col("UpdateAction", T::Byte),
               col("DeleteAction", T::Byte),
               col("ObjectIdReference", T::Long),
               col("IdxidReference", T::Integer),
               col("RgkeydReference", T::Binary, 255),
               col("RglocaleReference", T::Binary, 255),
               col("FDontEnforce", T::Boolean),
               col("RmtInfoShort", T::Binary, 255),
               col("RmtInfoLong", T::OLE),
               col("LvExtra", T::OLE),
               col("Description", T::Memo)};
  return t;
}
TableDef acesTable() {
  using T = ColumnType;
  TableDef t;
  t.name = "MSysACEs";
  t.columns = {col("ObjectId", T::Long), col("SID", T::Binary, 255), col("ACM", T::Long),
               col("FInheritable", T::Boolean)};
  return t;
}
TableDef queriesTable() {
  using T = ColumnType;
  TableDef t;
  t.name = "MSysQueries";
  t.columns = {col("ObjectId", T::Long),   col("Attribute", T::Byte),  col("Order", T::Binary, 128),
               col("Name1", T::Text, 255), col("Name2", T::Text, 255), col("Expression", T::Memo),
               col("Flag", T::Integer)};
  return t;
}
TableDef relationshipsTable() {
  using T = ColumnType;
  TableDef t;
  t.name = "MSysRelationships";
  t.columns = {col("szRelationship", T::Text, 255),
               col("grbit", T::Long),
               col("ccolumn", T::Long),
               col("icolumn", T::Long),
               col("szObject", T::Text, 255),
               col("szColumn", T::Text, 255),
               col("szReferencedObject", T::Text, 255),
               col("szReferencedColumn", T::Text, 255)};
  return t;
}

// A catalog table's indexes as every corpus file has them.
std::vector<SystemIndex> systemIndexes(std::uint32_t tdef) {
  switch (tdef) {
    case kObjectsTdef:
      return {{"ParentIdName", {1, 2}, true, false, true}, {"Id", {0}, true, true, true}};
    case kColumnsTdef:
      return {{"ObjectIdName", {0, 1}, true, true, true}};
    case kIndexesTdef:
      return {{"ObjectIdName", {0, 1}, true, false, false}};
    case kAcesTdef:
      return {{"ObjectId", {0}, false, false, true}};
    case kQueriesTdef:
      return {{"ObjectIdAttribute", {0, 1, 2}, true, true, true}};
    case kRelationshipsTdef:
      return {{"szRelationship", {0}, false, false, false},
              {"szObject", {4}, false, false, false},
              {"szReferencedObject", {6}, false, false, false}};
    default:
      return {};
  }
}

Value textOrNull(const std::string& s) { return s.empty() ? Value{} : Value{s}; }
Value bytesOrNull(const Bytes& b) { return b.empty() ? Value{} : Value{b}; }

// One index as written: its key columns (positions in the table) and flags.
struct IndexPlan {
  std::string name;
  std::vector<std::pair<std::size_t, bool>> columns;  // position, ascending
  bool unique = false, primary = false, required = false, ignoreNulls = false;
};

struct ObjectRow {
  std::int32_t id = 0, parentId = 0;
  std::string name;
  std::int16_t type = 0;
  double dateCreate = 0, dateUpdate = 0;
  Bytes owner;
  Value flags;
  Value cbFixed, cFixed, cVar;
  std::string database, connect, foreignName;
  Bytes lv, lvProp, lvModule, lvExtra;
};

// Index keys: the Jet 3 encodings where the corpus keys agree with them.
// Booleans differ (true 0x7F, false 0x80, the sign-flipped byte -1 / 0), and
// text keys are written only for the characters Access-made Jet 2.0 keys
// show, NUL among them (code 0x10, which General 97 gives byte 0x01).
}  // namespace

bool jet2KeyCharacterKnown(std::uint8_t b) {
  return b == 0x00 || b == ' ' || b == '#' || b == '&' || b == '\'' || b == '(' || b == ')' ||
         b == '/' || (b >= '0' && b <= '9') || b == '<' || b == '>' || (b >= 'A' && b <= 'Z') ||
         b == '_' || (b >= 'a' && b <= 'z');
}

void appendJet2IndexKey(ByteBuffer& key, const Column& c, const Value& v, bool ascending,
                        const std::string& what, std::uint16_t codePage) {
  switch (c.type) {
    case ColumnType::Boolean: {
      const bool yes = std::holds_alternative<bool>(v) && std::get<bool>(v);
      key.push_back(ascending ? 0x7F : 0x80);
      const std::uint8_t b = yes ? 0x7F : 0x80;
      key.push_back(ascending ? b : static_cast<std::uint8_t>(~b));
      return;
    }
    case ColumnType::Byte:
    case ColumnType::Integer:
    case ColumnType::Long:
    case ColumnType::Binary:
      return appendIndexKey(key, c.type, v, ascending, what, 3, codePage);
    case ColumnType::Text: {
      if (isNull(v)) return appendIndexKey(key, c.type, v, ascending, what, 3, codePage);
      std::string text = std::get<std::string>(v);
      const ByteBuffer bytes = encodeJet3Text(text, codePage, what);
      for (std::uint8_t b : bytes) {
        if (!jet2KeyCharacterKnown(b)) {
          char hex[8];
          std::snprintf(hex, sizeof hex, "0x%02X", b);
          throw unsupported(what, std::string("an indexed text holds the character ") + hex +
                                      ", whose Jet 2.0 index key no corpus file shows");
        }
      }
      std::replace(text.begin(), text.end(), '\0', '\x01');
      return appendIndexKey(key, c.type, Value{text}, ascending, what, 3, codePage);
    }
    default:
      throw unsupported(what,
                        "no Jet 2.0 file shows an index key of type " + columnTypeName(c.type));
  }
}

struct Jet2Writer::State {
  std::string path;
  WriterOptions options;
  PageOutput out;
  Jet2LongValues longValues;
  std::vector<ObjectRow> objects;
  std::vector<Row> columnRows, indexRows, aceRows, queryRows, relationshipRows;
  std::vector<PropertyMap> databaseProperties;
  std::int32_t nextObjectId = 0x10000001;
  std::map<std::uint32_t, std::uint32_t> newTdef;  // caller's definitionPage -> ours
  bool finished = false;

  State(const std::string& p, const WriterOptions& o)
      : path(p),
        options(o),
        out(p, L::kPageSize, o.maxFileSize ? o.maxFileSize : kMaxJet2File),
        longValues(out),
        limit(o.maxFileSize ? o.maxFileSize : kMaxJet2File) {}
  std::uint64_t limit;

  // Refuses, naming the table and row, a result that would pass the size limit
  // (a few pages are kept for the catalog still to come).
  void checkRoom(const std::string& what) const {
    if ((static_cast<std::uint64_t>(out.pageCount()) + 16) * L::kPageSize > limit) {
      throw unsupported(what, "the result would grow past " + std::to_string(limit) +
                                  " bytes, the most a Jet 2.0 file may hold");
    }
  }

  std::string named(const std::string& what) const { return path + ", " + what; }

  // Writes rows, indexes and the definition page of one table; adds its
  // MSysColumns and MSysIndexes rows. Returns the Jet2Table for the catalog.
  Jet2Table writeTable(std::uint32_t tdef, const TableDef& def,
                       const std::vector<IndexPlan>& indexes, RowCursor& rows, bool system,
                       bool presentation, const std::string& what);
  // Appends the MSysColumns and MSysIndexes rows of one table.
  void describe(std::uint32_t tdef, const TableDef& def, const Jet2Table& t,
                const std::vector<IndexPlan>& indexes, bool presentation);
  void writeHeader();
};

void Jet2Writer::State::describe(std::uint32_t tdef, const TableDef& def, const Jet2Table& t,
                                 const std::vector<IndexPlan>& indexes, bool presentation) {
  for (std::size_t i = 0; i < def.columns.size(); ++i) {
    const Column& c = def.columns[i];
    const bool text = c.type == ColumnType::Text || c.type == ColumnType::Memo;
    // Access marks only MSysColumns' own FRestricted row (all three corpus files).
    const bool restricted = tdef == kColumnsTdef && c.name == "FRestricted";
    columnRows.push_back(
        Row{Value{static_cast<std::int32_t>(tdef)}, Value{c.name},
            Value{static_cast<std::int32_t>(t.columns[i].hcolumn)},
            Value{static_cast<std::uint8_t>(c.type)}, Value{(c.flags & kColumnAutoLong) != 0},
            Value{(c.flags & kColumnNullable) == 0}, Value{false},
            text ? Value{static_cast<std::int16_t>(options.codePage)} : Value{},
            text ? Value{static_cast<std::int16_t>(c.sortOrder ? c.sortOrder : kGeneral)} : Value{},
            Value{std::int16_t{0}}, Value{restricted}, Value{}, Value{}, Value{}, Value{},
            presentation ? Value{static_cast<std::int16_t>(i + 1)} : Value{}});
  }
  for (std::size_t k = 0; k < indexes.size(); ++k) {
    Bytes keyd, locale;
    for (const auto& [at, ascending] : indexes[k].columns) {
      ByteBuffer b;
      addU32(b, t.columns[at].hcolumn);
      addU32(b, static_cast<std::uint32_t>(def.columns[at].type) |
                    (ascending ? 0u : L::kKeyDescending));
      addU16(b, 0);
      addU16(b, kGeneral);
      addU16(b, options.codePage);
      addU16(b, 0);
      keyd.insert(keyd.end(), b.begin(), b.begin() + 8);
      locale.insert(locale.end(), b.begin() + 8, b.end());
    }
    const IndexPlan& p = indexes[k];
    indexRows.push_back(Row{Value{static_cast<std::int32_t>(tdef)},
                            Value{p.name},
                            Value{static_cast<std::int16_t>(k)},
                            Value{std::uint8_t{0}},
                            Value{keyd},
                            Value{locale},
                            Value{p.unique},
                            Value{p.primary},
                            Value{p.required},
                            Value{p.ignoreNulls},
                            Value{false},
                            Value{},
                            Value{},
                            Value{},
                            Value{},
                            Value{},
                            Value{},
                            Value{},
                            Value{false},
                            Value{},
                            Value{},
                            Value{},
                            Value{}});
  }
}

Jet2Table Jet2Writer::State::writeTable(std::uint32_t tdef, const TableDef& def,
                                        const std::vector<IndexPlan>& indexes, RowCursor& rows,
                                        bool system, bool presentation, const std::string& what) {
  const Jet2Table t = planJet2Table(def, what, options.codePage);
  if (indexes.size() > L::kMaxIndexes)
    throw unsupported(what, "more indexes than a Jet 2.0 table holds");
  std::vector<std::vector<Jet2IndexEntry>> keys(indexes.size());
  std::vector<std::uint32_t> dataPages;
  std::unique_ptr<Jet2DataPage> page;
  std::uint32_t pageNumber = 0, previous = 0, count = 0;
  std::int64_t maxAuto = def.nextAutoNumber;
  Row row;
  while (rows.next(row)) {
    const std::string rowWhat = what + ", row " + std::to_string(count + 1);
    checkRoom(rowWhat);
    const ByteBuffer bytes = encodeJet2Row(t, row, longValues, rowWhat, options.codePage);
    if (!page || !page->fits(bytes.size())) {
      const std::uint32_t next = out.allocate();
      if (page) {
        out.write(pageNumber, page->bytes(pageNumber, previous, next));
        previous = pageNumber;
      }
      pageNumber = next;
      page = std::make_unique<Jet2DataPage>(tdef);
      dataPages.push_back(pageNumber);
    }
    const std::uint8_t slot = page->add(bytes);
    ++count;
    for (std::size_t k = 0; k < indexes.size(); ++k) {
      Jet2IndexEntry e;
      e.row = rowRef(pageNumber, slot);
      bool allNull = true;
      for (const auto& [at, ascending] : indexes[k].columns) {
        const Column& c = def.columns[at];
        const Value v = at < row.size() ? row[at] : Value{};
        if (!isNull(v) || c.type == ColumnType::Boolean) allNull = false;
        appendJet2IndexKey(e.key, c, v, ascending, rowWhat + ", column '" + c.name + "'",
                           options.codePage);
      }
      if (allNull && indexes[k].ignoreNulls) continue;
      keys[k].push_back(std::move(e));
    }
    for (std::size_t i = 0; i < def.columns.size() && i < row.size(); ++i) {
      if ((def.columns[i].flags & kColumnAutoLong) &&
          std::holds_alternative<std::int32_t>(row[i])) {
        maxAuto = std::max<std::int64_t>(maxAuto, std::get<std::int32_t>(row[i]));
      }
    }
  }
  if (page) out.write(pageNumber, page->bytes(pageNumber, previous, 0));
  ByteBuffer d(L::kPageSize, 0);
  putU8(d, 0, L::kPageTableDef);
  putU16(d, L::kPageStamp, jet2PageStamp(tdef));
  putU32(d, L::kTdefSelf, tdef);
  putBytes(d, L::kTdefKind,
           system ? std::span<const std::uint8_t>(L::kTdefKindSystem)
                  : std::span<const std::uint8_t>(L::kTdefKindUser));
  putU32(d, L::kTdefFirstData, dataPages.empty() ? 0 : dataPages.front());
  putU32(d, L::kTdefLastData, dataPages.empty() ? 0 : dataPages.back());
  putU32(d, L::kTdefDataPages, static_cast<std::uint32_t>(dataPages.size()));
  putU32(d, L::kTdefRowCount, count);
  putU32(d, L::kTdefNextAuto, static_cast<std::uint32_t>(maxAuto + 1));
  for (std::size_t k = 0; k < indexes.size(); ++k) {
    const std::string where = what + ", index '" + indexes[k].name + "'";
    const Jet2WrittenIndex w =
        writeJet2Index(out, tdef, static_cast<std::uint16_t>(k), keys[k], where);
    if (indexes[k].unique && w.duplicate)
      throw unsupported(where, "a unique index holds the same key twice");
    const std::size_t at = L::kTdefIndexes + k * L::kTdefIndexSize;
    putU32(d, at + L::kTdefIndexRoot, w.root);
    putU32(d, at + L::kTdefIndexLeaves, w.leaves);
    putU32(d, at + L::kTdefIndexDistinct, w.distinct);
    putU32(d, at + L::kTdefIndexEntries, w.entries);
    keys[k].clear();
  }
  out.write(tdef, d);
  // Catalog rows describing the table (the catalog tables' own are made in finish()).
  if (!system) describe(tdef, def, t, indexes, presentation);
  return t;
}

namespace {

std::vector<IndexPlan> systemPlans(std::uint32_t tdef) {
  std::vector<IndexPlan> out;
  for (const SystemIndex& s : systemIndexes(tdef)) {
    IndexPlan p;
    p.name = s.name;
    for (std::uint16_t c : s.columns) p.columns.push_back({c, true});
    p.unique = s.unique;
    p.primary = s.primary;
    p.required = s.required;
    out.push_back(std::move(p));
  }
  return out;
}

}  // namespace

void Jet2Writer::State::writeHeader() {
  ByteBuffer p(L::kPageSize, 0);
  putU8(p, 0, L::kPageHeader);
  putU32(p, L::kPage0Unknown4, 4);
  putBytes(p, L::kPage0Signature, std::span(reinterpret_cast<const std::uint8_t*>("Rich"), 4));
  putU8(p, L::kPage0Version, L::kVersionAccess20);
  putU16(p, L::kPage0SortOrder, kGeneral);
  putU16(p, L::kPage0CodePage, options.codePage);
  putBytes(p, L::kPage0Constant, kPage0Constant);
  out.write(0, p);
  ByteBuffer one(L::kPageSize, 0);
  putU8(one, 0, L::kPageSpaceMap);
  out.write(1, one);
}

Jet2Writer::Jet2Writer(const std::string& path, const WriterOptions& options)
    : s_(std::make_unique<State>(path, options)) {
  if (s_->options.creationDate == 0) s_->options.creationDate = oleNow();
  if (s_->options.codePage != 1252) {
    throw unsupported(path, "Jet 2.0 text keys are known only for code page 1252, not " +
                                std::to_string(s_->options.codePage));
  }
  s_->out.allocate(9);  // page 0, page 1, long values and the six catalog tables
  auto system = [&](std::int32_t id, std::int32_t parent, const char* name, std::int16_t type,
                    const Bytes& owner, const TableDef* def) {
    ObjectRow o;
    o.id = id;
    o.parentId = parent;
    o.name = name;
    o.type = type;
    o.owner = owner;
    o.flags = Value{kSystemFlag};
    if (def) {
      const Jet2Table t = planJet2Table(*def, name, 1252);
      o.cbFixed = Value{static_cast<std::int16_t>(4 + t.fixedSize)};
      o.cFixed = Value{static_cast<std::uint8_t>(t.fixedCount)};
      o.cVar = Value{static_cast<std::uint8_t>(t.varCount)};
    }
    s_->objects.push_back(std::move(o));
  };
  const TableDef defs[6] = {objectsTable(), columnsTable(), indexesTable(),
                            acesTable(),    queriesTable(), relationshipsTable()};
  for (std::uint32_t k = 0; k < 6; ++k) {
    system(static_cast<std::int32_t>(kObjectsTdef + k), kTablesContainerId, defs[k].name.c_str(),
           kObjectTable, kSidCreator, &defs[k]);
  }
  system(kTablesContainerId, kRootParentId, "Tables", kObjectContainer, kSidCreator, nullptr);
  system(kDatabasesContainerId, kRootParentId, "Databases", kObjectContainer, kSidCreator, nullptr);
  system(kRelationshipsContainerId, kRootParentId, "Relationships", kObjectContainer, kSidCreator,
         nullptr);
  system(kMSysDbId, kDatabasesContainerId, "MSysDb", kObjectDatabase, kSidAdmin, nullptr);
  // Access 2.0's own entries for the Jet containers (corpus: wzstruc2.mda,
  // without its workgroup-specific SID).
  auto ace = [&](std::int32_t id, const Bytes& sid, std::int32_t acm, bool inheritable) {
    s_->aceRows.push_back(Row{Value{id}, Value{sid}, Value{acm}, Value{inheritable}});
  };
  ace(kDatabasesContainerId, kSidAdmin, 393216, false);
  ace(kRelationshipsContainerId, kSidGroup, 983294, true);
  ace(kRelationshipsContainerId, kSidAdmin, 393217, false);
  ace(kRelationshipsContainerId, kSidUsers, 1048575, true);
  ace(kTablesContainerId, kSidGroup, 983294, true);
  ace(kTablesContainerId, kSidAdmin, 1048575, true);
  ace(kTablesContainerId, kSidUsers, 1048575, true);
}

Jet2Writer::~Jet2Writer() = default;

std::uint32_t Jet2Writer::addTable(const TableDef& def, RowCursor& rows,
                                   const TableObject& object) {
  State& s = *s_;
  if (s.finished) throw unsupported(s.path, "the database is already complete");
  const std::string what = s.named("table '" + def.name + "'");
  std::vector<IndexPlan> plans;
  std::map<std::uint32_t, std::size_t> planOfPhysical;
  for (const Index& i : def.indexes) {
    if (i.foreignKey()) continue;  // relationships are refused or kept without them
    if (i.physicalIndex >= def.physicalIndexes.size()) {
      throw unsupported(what, "index '" + i.name + "' uses a physical index the table lacks");
    }
    if (i.name.empty()) {
      throw unsupported(
          what,
          "an index without a name (the primary side of a Jet 2.0 relationship) cannot be kept");
    }
    if (planOfPhysical.count(i.physicalIndex)) {
      throw unsupported(what + ", index '" + i.name + "'",
                        "two indexes share one key tree, which no Jet 2.0 file of the corpus shows "
                        "outside relationships");
    }
    const PhysicalIndex& p = def.physicalIndexes[i.physicalIndex];
    IndexPlan plan;
    plan.name = i.name;
    plan.primary = i.primary();
    plan.unique = p.unique() || i.primary();
    plan.required = p.required() || i.primary();
    plan.ignoreNulls = p.ignoreNulls();
    for (const IndexColumn& ic : p.columns) {
      std::size_t at = def.columns.size();
      for (std::size_t k = 0; k < def.columns.size(); ++k) {
        if (def.columns[k].number == ic.columnNumber) at = k;
      }
      if (at == def.columns.size())
        throw unsupported(what, "index '" + i.name + "' names a column the table lacks");
      const ColumnType t = def.columns[at].type;
      if (isLongValue(t)) {
        throw unsupported(what + ", column '" + def.columns[at].name + "'",
                          "no Jet 2.0 file shows an index on a memo or OLE column");
      }
      const std::uint16_t sort = def.columns[at].sortOrder;
      if (t == ColumnType::Text && sort != 0 && sort != kGeneral) {
        throw unsupported(what + ", column '" + def.columns[at].name + "'",
                          "the column is indexed under sort order " + std::to_string(sort) +
                              ", and only the General order (1033) can be written");
      }
      plan.columns.push_back({at, ic.ascending});
    }
    planOfPhysical[i.physicalIndex] = plans.size();
    plans.push_back(std::move(plan));
  }
  const std::uint32_t tdef = s.out.allocate();
  const Jet2Table t = s.writeTable(tdef, def, plans, rows, false, true, what);
  s.newTdef[def.definitionPage] = tdef;
  ObjectRow o;
  o.id = static_cast<std::int32_t>(tdef);
  o.parentId = kTablesContainerId;
  o.name = def.name;
  o.type = kObjectTable;
  o.dateCreate = object.dateCreate != 0 ? object.dateCreate : s.options.creationDate;
  o.dateUpdate = object.dateUpdate != 0 ? object.dateUpdate : s.options.creationDate;
  o.owner = kSidAdmin;
  o.flags = Value{object.flags};
  o.cbFixed = Value{static_cast<std::int16_t>(4 + t.fixedSize)};
  o.cFixed = Value{static_cast<std::uint8_t>(t.fixedCount)};
  o.cVar = Value{static_cast<std::uint8_t>(t.varCount)};
  o.lvProp =
      encodePropertyBlob(object.properties, what, PropertyTextForm{false, s.options.codePage});
  s.objects.push_back(std::move(o));
  return tdef;
}

std::int32_t Jet2Writer::addObject(const CatalogObject& object) {
  State& s = *s_;
  const std::string what = s.named("object '" + object.name + "'");
  if (object.name.empty() || object.name.size() > L::kMaxNameLength) {
    throw unsupported(what, "Jet 2.0 names hold 1 to 64 characters");
  }
  ObjectRow o;
  o.id = s.nextObjectId++;
  o.parentId = object.parentId;
  o.name = object.name;
  o.type = object.type;
  o.dateCreate = object.dateCreate != 0 ? object.dateCreate : s.options.creationDate;
  o.dateUpdate = object.dateUpdate != 0 ? object.dateUpdate : s.options.creationDate;
  o.owner = kSidAdmin;
  o.flags = Value{object.flags};
  o.database = object.database;
  o.connect = object.connect;
  o.foreignName = object.foreignName;
  o.lv = object.lv;
  o.lvModule = object.lvModule;
  o.lvExtra = object.lvExtra;
  o.lvProp =
      encodePropertyBlob(object.properties, what, PropertyTextForm{false, s.options.codePage});
  s.objects.push_back(std::move(o));
  return s.objects.back().id;
}

void Jet2Writer::addQuery(const Query& query, const std::vector<PropertyMap>& properties) {
  CatalogObject o;
  o.name = query.name;
  o.type = kObjectQuery;
  o.parentId = kTablesContainerId;
  o.flags = query.flags;
  o.properties = properties;
  const std::int32_t id = addObject(o);
  for (const QueryRow& r : query.rows) {
    s_->queryRows.push_back(Row{Value{id}, Value{r.attribute}, bytesOrNull(r.order),
                                textOrNull(r.name1), textOrNull(r.name2), textOrNull(r.expression),
                                Value{r.flag}});
  }
}

void Jet2Writer::addRelationship(const Relationship& rel) {
  State& s = *s_;
  if ((rel.flags & kRelationNotEnforced) == 0) {
    throw unsupported(
        s.named("relationship '" + rel.name + "'"),
        "Jet 2.0 enforces a relationship through MSysIndexes rows whose meaning no corpus "
        "file settles, so an enforced relationship cannot be written");
  }
  CatalogObject o;
  o.name = rel.name;
  o.type = kObjectRelationship;
  o.parentId = kRelationshipsContainerId;
  addObject(o);
  const std::int32_t n = static_cast<std::int32_t>(rel.columns.size());
  for (std::int32_t i = 0; i < n; ++i) {
    const std::string ref =
        i < static_cast<std::int32_t>(rel.referencedColumns.size()) ? rel.referencedColumns[i] : "";
    s.relationshipRows.push_back(Row{Value{rel.name}, Value{rel.flags}, Value{n}, Value{i},
                                     Value{rel.table}, Value{rel.columns[i]},
                                     Value{rel.referencedTable}, textOrNull(ref)});
  }
}

void Jet2Writer::setDatabaseProperties(const std::vector<PropertyMap>& properties) {
  s_->databaseProperties = properties;
}

void Jet2Writer::finish() {
  State& s = *s_;
  if (s.finished) return;
  s.finished = true;
  for (ObjectRow& o : s.objects) {
    if (o.id == kMSysDbId) {
      o.lvProp = encodePropertyBlob(s.databaseProperties, s.named("MSysDb"),
                                    PropertyTextForm{false, s.options.codePage});
    }
  }
  const TableDef defs[6] = {objectsTable(), columnsTable(), indexesTable(),
                            acesTable(),    queriesTable(), relationshipsTable()};
  // Tables whose rows are final before the catalog tables are written.
  {
    VectorCursor c(s.queryRows);
    s.writeTable(kQueriesTdef, defs[4], systemPlans(kQueriesTdef), c, true, false,
                 s.named("MSysQueries"));
  }
  {
    VectorCursor c(s.relationshipRows);
    s.writeTable(kRelationshipsTdef, defs[5], systemPlans(kRelationshipsTdef), c, true, false,
                 s.named("MSysRelationships"));
  }
  {
    VectorCursor c(s.aceRows);
    s.writeTable(kAcesTdef, defs[3], systemPlans(kAcesTdef), c, true, false, s.named("MSysACEs"));
  }
  {
    std::vector<Row> rows;
    for (const ObjectRow& o : s.objects) {
      rows.push_back(Row{Value{o.id},
                         Value{o.parentId},
                         Value{o.name},
                         Value{o.type},
                         Value{DateTime{o.dateCreate}},
                         Value{DateTime{o.dateUpdate}},
                         Value{},
                         bytesOrNull(o.lv),
                         o.cbFixed,
                         o.cFixed,
                         o.cVar,
                         Value{o.owner},
                         textOrNull(o.database),
                         textOrNull(o.connect),
                         textOrNull(o.foreignName),
                         Value{},
                         Value{},
                         o.flags,
                         bytesOrNull(o.lvExtra),
                         Value{},
                         bytesOrNull(o.lvModule),
                         bytesOrNull(o.lvProp)});
    }
    VectorCursor c(rows);
    s.writeTable(kObjectsTdef, defs[0], systemPlans(kObjectsTdef), c, true, false,
                 s.named("MSysObjects"));
  }
  // The catalog's rows about itself come first, as in the corpus files.
  std::vector<Row> userColumns = std::move(s.columnRows), userIndexes = std::move(s.indexRows);
  s.columnRows.clear();
  s.indexRows.clear();
  for (std::uint32_t k = 0; k < 6; ++k) {
    const std::uint32_t tdef = kObjectsTdef + k;
    s.describe(tdef, defs[k], planJet2Table(defs[k], defs[k].name, s.options.codePage),
               systemPlans(tdef), false);
  }
  std::vector<Row> columnRows = std::move(s.columnRows), indexRowsAll = std::move(s.indexRows);
  columnRows.insert(columnRows.end(), userColumns.begin(), userColumns.end());
  indexRowsAll.insert(indexRowsAll.end(), userIndexes.begin(), userIndexes.end());
  {
    VectorCursor c(indexRowsAll);
    s.writeTable(kIndexesTdef, defs[2], systemPlans(kIndexesTdef), c, true, false,
                 s.named("MSysIndexes"));
  }
  {
    VectorCursor c(columnRows);
    s.writeTable(kColumnsTdef, defs[1], systemPlans(kColumnsTdef), c, true, false,
                 s.named("MSysColumns"));
  }
  // The long-value table last: every row has placed its values by now.
  s.longValues.finish();
  ByteBuffer d(L::kPageSize, 0);
  putU8(d, 0, L::kPageTableDef);
  putU16(d, L::kPageStamp, jet2PageStamp(L::kLongValueTable));
  putU32(d, L::kTdefSelf, L::kLongValueTable);
  putBytes(d, L::kTdefKind, L::kTdefKindSystem);
  putU32(d, L::kTdefFirstData, s.longValues.firstPage());
  putU32(d, L::kTdefLastData, s.longValues.lastPage());
  putU32(d, L::kTdefDataPages, s.longValues.pages());
  putU32(d, L::kTdefRowCount, s.longValues.rows());
  putU32(d, L::kTdefNextAuto, 1);
  s.out.write(L::kLongValueTable, d);
  s.writeHeader();
  s.out.finish();
}

}  // namespace jet
