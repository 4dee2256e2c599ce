// The Jet 1.x/2.0 backend. These files keep no column list in the table
// definition page: every column is a row of MSysColumns and every index a row
// of MSysIndexes, keyed by the table's MSysObjects Id (its definition page).
// MSysColumns is read with the layout it describes for itself, checked once.
#include <algorithm>
#include <map>

#include "jet/database.h"
#include "jet/error.h"
#include "jet/jet12_table.h"
#include "jet/layout/jet12_pages.h"
#include "jet/page_file.h"

namespace jet {
namespace {

namespace L = layout::jet12;

// One MSysColumns row, before it becomes a Column.
struct ColumnRecord {
  std::string name;
  std::uint8_t type = 0;
  std::uint32_t hcolumn = 0;
  bool autoIncrement = false, required = false;
  std::uint16_t codePage = 0, languageId = 0;
  std::int32_t presentation = -1;  // -1: not stored
};

// MSysColumns as it describes itself (its rows with ObjectId 4), in row order.
struct BootColumn {
  const char* name;
  std::uint8_t type;
  std::uint32_t hcolumn;
};
constexpr BootColumn kColumnsTableColumns[] = {
    {"ObjectId", 0x04, 0x040007D5},     {"Name", 0x0A, 0xFFFF07D0},
    {"Hcolumn", 0x04, 0x040107D9},      {"Coltyp", 0x02, 0x010207DD},
    {"FAutoincrement", 0x01, 0x000307DE}, {"FDisallowNull", 0x01, 0x000407DE},
    {"FVersion", 0x01, 0x000507DE},     {"CodePage", 0x03, 0x020607DE},
    {"LanguageId", 0x03, 0x020707E0},   {"Country", 0x03, 0x020807E2},
    {"FRestricted", 0x01, 0x000907E4},  {"RmtInfoShort", 0x09, 0xFFFE07CF},
    {"RmtInfoLong", 0x0B, 0xFFFD07CE},  {"LvExtra", 0x0B, 0xFFFC07CD},
    {"Description", 0x0C, 0xFFFB07CC},  {"PresentationOrder", 0x03, 0x020A07E4},
};

bool knownType(std::uint8_t t) { return (t >= 0x01 && t <= 0x0C) || t == 0x0F; }

// Hcolumn: u16 position code, i8 number, u8 size (see layout/jet12_pages.h).
Column makeColumn(const ColumnRecord& r, const Where& where) {
  if (!knownType(r.type)) {
    throw damaged(where, "column '" + r.name + "' has unknown type " + std::to_string(r.type));
  }
  Column c;
  c.name = r.name;
  c.type = static_cast<ColumnType>(r.type);
  const std::uint16_t code = r.hcolumn & 0xFFFFu;
  const auto number = static_cast<std::int8_t>((r.hcolumn >> 16) & 0xFFu);
  c.length = isLongValue(c.type) ? 0 : static_cast<std::uint16_t>(r.hcolumn >> 24);
  if (number >= 0) {
    if (code < L::kFixedPositionBase || std::size_t(code - L::kFixedPositionBase) >= L::kPageSize) {
      throw damaged(where, "column '" + r.name + "' has a fixed position out of range");
    }
    c.flags |= kColumnFixed;
    c.number = static_cast<std::uint16_t>(number);
    c.fixedOffset = static_cast<std::uint16_t>(code - L::kFixedPositionBase);
  } else {
    c.varIndex = static_cast<std::uint16_t>(~number);
    if (code + c.varIndex != L::kVarPositionBase) {
      throw damaged(where, "column '" + r.name + "' has inconsistent variable positions");
    }
  }
  if (!r.required) c.flags |= kColumnNullable;
  if (r.autoIncrement) c.flags |= kColumnAutoLong;
  if (c.type == ColumnType::Text || c.type == ColumnType::Memo) {
    c.codePage = r.codePage;
    c.sortOrder = r.languageId;
  }
  return c;
}

// Columns in the order users see them (PresentationOrder when every column
// has one), variable columns numbered after the highest null-mask bit.
std::vector<Column> makeColumns(std::vector<ColumnRecord> records, const Where& where) {
  const bool ordered = std::all_of(records.begin(), records.end(),
                                   [](const ColumnRecord& r) { return r.presentation >= 0; });
  if (ordered) {
    std::stable_sort(records.begin(), records.end(),
                     [](const auto& a, const auto& b) { return a.presentation < b.presentation; });
  }
  std::vector<Column> out;
  std::uint16_t fixedBits = 0;
  for (const auto& r : records) {
    out.push_back(makeColumn(r, where));
    if (out.back().fixed()) fixedBits = std::max<std::uint16_t>(fixedBits, out.back().number + 1);
  }
  for (auto& c : out) {
    if (!c.fixed()) c.number = static_cast<std::uint16_t>(fixedBits + c.varIndex);
  }
  return out;
}

TableDef bootColumnsTable() {
  std::vector<ColumnRecord> records;
  for (const auto& b : kColumnsTableColumns) {
    records.push_back(ColumnRecord{b.name, b.type, b.hcolumn});
  }
  TableDef t;
  t.name = "MSysColumns";
  t.definitionPage = L::kColumnsTable;
  t.systemTable = true;
  t.columns = makeColumns(records, Where{});
  return t;
}

// Typed access to a decoded row by column name.
class Fields {
 public:
  Fields(const TableDef& table, const Row& row) : table_(table), row_(row) {}
  const Value* find(const std::string& name) const {
    for (std::size_t i = 0; i < table_.columns.size() && i < row_.size(); ++i) {
      if (table_.columns[i].name == name) return &row_[i];
    }
    return nullptr;
  }
  std::int64_t integer(const std::string& name, std::int64_t fallback = 0) const {
    const Value* v = find(name);
    if (!v) return fallback;
    if (auto p = std::get_if<std::uint8_t>(v)) return *p;
    if (auto p = std::get_if<std::int16_t>(v)) return *p;
    if (auto p = std::get_if<std::int32_t>(v)) return *p;
    return fallback;
  }
  bool flag(const std::string& name) const {
    const Value* v = find(name);
    return v && std::holds_alternative<bool>(*v) && std::get<bool>(*v);
  }
  std::string text(const std::string& name) const {
    const Value* v = find(name);
    return v && std::holds_alternative<std::string>(*v) ? std::get<std::string>(*v) : "";
  }
  Bytes bytes(const std::string& name) const {
    const Value* v = find(name);
    return v && std::holds_alternative<Bytes>(*v) ? std::get<Bytes>(*v) : Bytes{};
  }

 private:
  const TableDef& table_;
  const Row& row_;
};

struct IndexRecord {
  std::string name;
  std::uint32_t number = 0;
  Bytes keys;
  bool unique = false, primary = false, required = false, ignoreNulls = false;
  std::int64_t referencedTable = -1, referencedIndex = -1;
};

class Jet12Backend : public Backend {
 public:
  explicit Jet12Backend(PageFile& file) : file_(file) {}

  std::vector<CatalogEntry> readCatalog() override {
    checkSystemPages();
    readColumns();
    const TableDef objects = systemTable("MSysObjects", L::kObjectsTable);
    for (const char* needed : {"Id", "ParentId", "Name", "Type", "Flags"}) {
      if (!objects.column(needed)) {
        throw damaged(file_.where(L::kObjectsTable), std::string("MSysObjects has no ") + needed);
      }
    }
    std::vector<CatalogEntry> out;
    forEachRow(objects, [&](const Fields& f) {
      CatalogEntry e;
      e.id = static_cast<std::int32_t>(f.integer("Id"));
      e.parentId = static_cast<std::int32_t>(f.integer("ParentId"));
      e.name = f.text("Name");
      e.type = static_cast<std::int16_t>(f.integer("Type"));
      e.flags = static_cast<std::int32_t>(f.integer("Flags"));
      e.database = f.text("Database");
      e.connect = f.text("Connect");
      e.foreignName = f.text("ForeignName");
      out.push_back(std::move(e));
    });
    readIndexes();
    return out;
  }

  TableDef readTableDef(const CatalogEntry& entry) override {
    const std::uint32_t page = entry.definitionPage();
    TableDef t = systemTable(entry.name, page);
    t.systemTable = (static_cast<std::uint32_t>(entry.flags) & 0x80000002u) != 0;
    const PageBytes bytes = file_.page(page);
    const ByteReader tdef = file_.reader(bytes, page);
    t.rowCount = tdef.u32(L::kTdefRowCount);
    const std::uint32_t next = tdef.u32(L::kTdefNextAuto);
    t.nextAutoNumber = next > 0 ? next - 1 : 0;
    addIndexes(t, tdef);
    return t;
  }

  std::unique_ptr<RowCursor> openRows(const TableDef& table) override {
    return makeJet12RowCursor(file_, table);
  }

 private:
  template <typename F>
  void forEachRow(const TableDef& table, F&& f) {
    auto cursor = makeJet12RowCursor(file_, table);
    Row row;
    while (cursor->next(row)) f(Fields(table, row));
  }

  // A table's definition from the catalog's column rows (page checked first).
  TableDef systemTable(const std::string& name, std::uint32_t page) {
    if (page == 0 || page >= file_.pageCount()) {
      throw damaged(file_.where(), "table '" + name + "' has no definition page in the file");
    }
    const PageBytes bytes = file_.page(page);
    const ByteReader tdef = file_.reader(bytes, page);
    if (tdef.u8(0) != L::kPageTableDef || tdef.u32(L::kTdefSelf) != page) {
      throw damaged(tdef.where(), "table '" + name + "' does not start on a definition page");
    }
    const auto found = columns_.find(static_cast<std::int32_t>(page));
    if (found == columns_.end() || found->second.empty()) {
      throw damaged(tdef.where(), "table '" + name + "' has no columns in MSysColumns");
    }
    TableDef t;
    t.name = name;
    t.definitionPage = page;
    t.columns = makeColumns(found->second, tdef.where());
    return t;
  }

  // The reader relies on the system tables where every known file has them;
  // page 0 says where they are.
  void checkSystemPages() {
    const PageBytes bytes = file_.page(0);
    const ByteReader page0 = file_.reader(bytes, 0);
    const std::uint32_t expected[] = {L::kLongValueTable, L::kObjectsTable, L::kColumnsTable,
                                      L::kIndexesTable};
    for (std::size_t i = 0; i < std::size(expected); ++i) {
      if (page0.u32(L::kPage0SystemTables + 4 * i) != expected[i]) {
        throw unsupported(file_.path(), "its system tables are not where Jet 2.0 keeps them");
      }
    }
  }

  void readColumns() {
    const TableDef boot = bootColumnsTable();
    forEachRow(boot, [&](const Fields& f) {
      ColumnRecord r;
      r.name = f.text("Name");
      r.type = static_cast<std::uint8_t>(f.integer("Coltyp"));
      r.hcolumn = static_cast<std::uint32_t>(f.integer("Hcolumn"));
      r.autoIncrement = f.flag("FAutoincrement");
      r.required = f.flag("FDisallowNull");
      r.codePage = static_cast<std::uint16_t>(f.integer("CodePage"));
      r.languageId = static_cast<std::uint16_t>(f.integer("LanguageId"));
      r.presentation = static_cast<std::int32_t>(f.integer("PresentationOrder", -1));
      columns_[static_cast<std::int32_t>(f.integer("ObjectId"))].push_back(std::move(r));
    });
    checkSelfDescription(boot);
  }

  // The rows MSysColumns holds about itself must be the layout it was read with.
  void checkSelfDescription(const TableDef& boot) {
    const auto& own = columns_[static_cast<std::int32_t>(L::kColumnsTable)];
    bool same = own.size() == boot.columns.size();
    for (std::size_t i = 0; same && i < own.size(); ++i) {
      const auto& b = kColumnsTableColumns[i];
      same = own[i].name == b.name && own[i].type == b.type && own[i].hcolumn == b.hcolumn;
    }
    if (!same) {
      throw unsupported(file_.path(), "MSysColumns is not laid out as in known Jet 2.0 files");
    }
  }

  void readIndexes() {
    if (columns_.find(static_cast<std::int32_t>(L::kIndexesTable)) == columns_.end()) return;
    const TableDef indexes = systemTable("MSysIndexes", L::kIndexesTable);
    forEachRow(indexes, [&](const Fields& f) {
      IndexRecord r;
      r.name = f.text("Name");
      r.number = static_cast<std::uint32_t>(f.integer("Idxid"));
      r.keys = f.bytes("Rgkeyd");
      r.unique = f.flag("FUnique");
      r.primary = f.flag("FPrimary");
      r.required = f.flag("FDisallowAnyNull");
      r.ignoreNulls = f.flag("FExcludeAllNull");
      r.referencedTable = f.integer("ObjectIdReference", -1);
      r.referencedIndex = f.integer("IdxidReference", -1);
      indexes_[static_cast<std::int32_t>(f.integer("ObjectId"))].push_back(std::move(r));
    });
  }

  // Key columns from the index's 8-byte descriptors: u32 Hcolumn, u32 flags.
  std::vector<IndexColumn> keyColumns(const TableDef& t, const IndexRecord& r,
                                      const Where& where) const {
    const auto& records = columns_.at(static_cast<std::int32_t>(t.definitionPage));
    std::vector<IndexColumn> out;
    const ByteReader keys(r.keys, where);
    for (std::size_t at = 0; at + L::kKeyDescriptorSize <= keys.size();
         at += L::kKeyDescriptorSize) {
      const std::uint32_t h = keys.u32(at);
      const auto match = std::find_if(records.begin(), records.end(),
                                      [&](const ColumnRecord& c) { return c.hcolumn == h; });
      if (match == records.end()) {
        throw damaged(where, "index '" + r.name + "' names a column the table does not have");
      }
      const Column* c = t.column(match->name);
      if (!c) throw damaged(where, "index '" + r.name + "' names a column twice defined");
      out.push_back(IndexColumn{c->number, (keys.u32(at + 4) & L::kKeyDescending) == 0});
    }
    return out;
  }

  // Root page and entry count of index `number` from the definition page,
  // kept only when the root is an index page of this table.
  void indexRoot(const ByteReader& tdef, std::uint32_t number, std::uint32_t owner,
                 PhysicalIndex& p) const {
    const std::size_t at = L::kTdefIndexes + std::size_t(number) * L::kTdefIndexSize;
    if (number >= L::kMaxIndexes || !tdef.has(at, L::kTdefIndexSize)) return;
    const std::uint32_t root = tdef.u32(at + L::kTdefIndexRoot);
    if (root == 0 || root >= file_.pageCount()) return;
    const PageBytes bytes = file_.page(root);
    const ByteReader page = file_.reader(bytes, root);
    const std::uint8_t type = page.u8(0);
    const bool isIndex = type == L::kPageIndexNode || type == L::kPageIndexLeaf;
    if (!isIndex || page.u32(L::kIndexOwner) != owner) return;
    p.rootPage = root;
    p.entryCount = tdef.u32(at + L::kTdefIndexEntries);
  }

  void addIndexes(TableDef& t, const ByteReader& tdef) const {
    const auto found = indexes_.find(static_cast<std::int32_t>(t.definitionPage));
    if (found == indexes_.end()) return;
    for (const IndexRecord& r : found->second) {
      PhysicalIndex p;
      p.columns = keyColumns(t, r, tdef.where());
      indexRoot(tdef, r.number, t.definitionPage, p);
      if (r.unique) p.flags |= kIndexUnique;
      if (r.ignoreNulls) p.flags |= kIndexIgnoreNulls;
      if (r.required) p.flags |= kIndexRequired;
      Index i;
      i.name = r.name;
      i.number = r.number;
      i.physicalIndex = static_cast<std::uint32_t>(t.physicalIndexes.size());
      i.kind = r.primary ? 1 : (r.referencedTable >= 0 ? 2 : 0);
      if (r.referencedTable >= 0) {
        i.relatedTable = static_cast<std::uint32_t>(r.referencedTable);
        i.relatedIndex = static_cast<std::int32_t>(r.referencedIndex);
      }
      t.physicalIndexes.push_back(std::move(p));
      t.indexes.push_back(std::move(i));
    }
  }

  PageFile& file_;
  std::map<std::int32_t, std::vector<ColumnRecord>> columns_;
  std::map<std::int32_t, std::vector<IndexRecord>> indexes_;
};

}  // namespace

std::unique_ptr<Backend> makeJet12Backend(PageFile& file) {
  return std::make_unique<Jet12Backend>(file);
}

}  // namespace jet
