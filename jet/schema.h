// The schema as the library hands it out: catalog objects, table definitions
// with columns and indexes, relationships, queries and property maps. Plain
// data; the readers fill it, the writer and the tools consume it.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "jet/value.h"

namespace jet {

// Column type codes as stored in the file.
enum class ColumnType : std::uint8_t {
  Boolean = 0x01,
  Byte = 0x02,
  Integer = 0x03,
  Long = 0x04,
  Currency = 0x05,
  Single = 0x06,
  Double = 0x07,
  DateTime = 0x08,
  Binary = 0x09,
  Text = 0x0A,
  OLE = 0x0B,
  Memo = 0x0C,
  Guid = 0x0F,
  Decimal = 0x10,
};
std::string columnTypeName(ColumnType type);  // "Boolean", "Long", "Text", ...
bool isLongValue(ColumnType type);            // Memo, OLE

// Column flags as stored.
inline constexpr std::uint8_t kColumnFixed = 0x01;
inline constexpr std::uint8_t kColumnNullable = 0x02;
inline constexpr std::uint8_t kColumnAutoLong = 0x04;
inline constexpr std::uint8_t kColumnReplication = 0x10;
inline constexpr std::uint8_t kColumnAutoGuid = 0x40;
inline constexpr std::uint8_t kColumnHyperlink = 0x80;

struct Column {
  std::string name;
  ColumnType type = ColumnType::Text;
  std::uint16_t number = 0;       // position in the null mask
  std::uint16_t varIndex = 0;     // entry in the variable-offset table
  std::uint16_t fixedOffset = 0;  // offset in the fixed area
  std::uint16_t length = 0;       // bytes (text: max chars in Jet 3, 2 x chars in Jet 4)
  std::uint8_t flags = 0;
  std::uint8_t extraFlags = 0;    // Jet 4: 0x01 compressed unicode allowed
  std::uint8_t precision = 0;     // decimal
  std::uint8_t scale = 0;         // decimal
  std::uint16_t sortOrder = 0;    // text: collation LCID
  std::uint16_t codePage = 0;     // Jet 3 text
  bool fixed() const { return (flags & kColumnFixed) != 0; }
  bool autoNumber() const { return (flags & (kColumnAutoLong | kColumnAutoGuid)) != 0; }
};

struct IndexColumn {
  std::uint16_t columnNumber = 0;
  bool ascending = true;
};

inline constexpr std::uint8_t kIndexUnique = 0x01;
inline constexpr std::uint8_t kIndexIgnoreNulls = 0x02;
inline constexpr std::uint8_t kIndexRequired = 0x08;

// A physical index: the B-tree with its key columns.
struct PhysicalIndex {
  std::vector<IndexColumn> columns;
  std::uint32_t rootPage = 0;
  std::uint8_t flags = 0;
  std::uint32_t entryCount = 0;
  std::uint32_t usageMap = 0;  // row pointer to the map of the index's pages
  bool unique() const { return (flags & kIndexUnique) != 0; }
  bool ignoreNulls() const { return (flags & kIndexIgnoreNulls) != 0; }
  bool required() const { return (flags & kIndexRequired) != 0; }
};

// A logical index: the named index users see; several may share a physical one.
struct Index {
  std::string name;
  std::uint32_t number = 0;
  std::uint32_t physicalIndex = 0;
  std::uint8_t kind = 0;  // 0 plain, 1 primary key, 2 foreign key
  std::int32_t relatedIndex = -1;
  std::uint32_t relatedTable = 0;
  std::uint8_t cascadeUpdates = 0, cascadeDeletes = 0;
  bool primary() const { return kind == 1; }
  bool foreignKey() const { return kind == 2; }
};

struct TableDef {
  std::string name;
  std::uint32_t definitionPage = 0;  // TDEF page
  std::uint32_t rowCount = 0;        // as stored (may be stale)
  std::uint32_t nextAutoNumber = 0;  // last value handed out
  bool systemTable = false;
  std::uint16_t maxColumnNumber = 0;
  std::uint16_t variableColumnCount = 0;
  std::uint32_t ownedPagesMap = 0;  // row pointers to the usage maps
  std::uint32_t freePagesMap = 0;
  std::vector<Column> columns;  // in column-number order (the order rows are stored in)
  std::vector<PhysicalIndex> physicalIndexes;
  std::vector<Index> indexes;
  const Column* column(const std::string& name) const;
};

// MSysObjects types.
inline constexpr std::int16_t kObjectTable = 1;
inline constexpr std::int16_t kObjectDatabase = 2;
inline constexpr std::int16_t kObjectContainer = 3;
inline constexpr std::int16_t kObjectLinkedOdbc = 4;
inline constexpr std::int16_t kObjectQuery = 5;
inline constexpr std::int16_t kObjectLinkedTable = 6;
inline constexpr std::int16_t kObjectRelationship = 8;

// One row of the catalog, MSysObjects.
struct CatalogEntry {
  std::int32_t id = 0;
  std::int32_t parentId = 0;
  std::string name;
  std::int16_t type = 0;
  std::int32_t flags = 0;
  std::string database, connect, foreignName;
  bool isTable() const {
    return type == kObjectTable || type == kObjectLinkedOdbc || type == kObjectLinkedTable;
  }
  bool isLocalTable() const { return type == kObjectTable; }
  std::uint32_t definitionPage() const { return static_cast<std::uint32_t>(id) & 0x00FFFFFFu; }
  // The table's Attributes as the engine reports them (0 for a plain user table).
  std::int32_t attributes() const;
};

// One relationship (all its column pairs), from MSysRelationships.
struct Relationship {
  std::string name;
  std::int32_t flags = 0;
  std::string table, referencedTable;              // many side, one side
  std::vector<std::string> columns, referencedColumns;
};

// One query, as its MSysQueries rows (ordered by attribute, then Order).
struct QueryRow {
  std::uint8_t attribute = 0;
  std::string name1, name2, expression;
  std::int16_t flag = 0;
  Bytes order;
};
struct Query {
  std::string name;
  std::int32_t id = 0;
  std::int32_t flags = 0;
  std::vector<QueryRow> rows;
  std::string sql() const;  // rebuilt from the rows
};

// A property map: the properties of one object or of one of its columns.
struct Property {
  std::string name;
  std::uint8_t type = 0;  // column type code of the value
  std::uint8_t ddl = 0;
  Value value;
};
struct PropertyMap {
  std::string name;  // "" for the object's own map, else the column's name
  std::vector<Property> properties;
};

}  // namespace jet
