// DatabaseWriter: writes a complete new Jet 4 database, page by page, to a
// file the caller names (a temporary file it renames once finish() returned).
// Tables arrive one at a time with their rows streamed; the system tables,
// the table definitions, the global usage map and page 0 are written last.
//
// Memory: one open page per table and long-value column, the catalog and
// the table definitions, and index keys up to WriterOptions::indexMemory per
// table (more are sorted in runs on a temporary file and merged); above the
// leaves an index holds one entry per page of the level below.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/schema.h"
#include "jet/value.h"

namespace jet {

struct WriterOptions {
  double creationDate = 0;           // OLE date; 0 means now
  std::uint16_t codePage = 1252;
  // The database's sort order on page 0 (its LCID and, in Jet 4, the sort
  // version byte). Text columns keep their own.
  std::uint16_t sortOrder = 0x0409;
  std::uint8_t sortVersion = 0;
  // 4: Jet 4 (Access 2000-2003); 3: Jet 3 (Access 97), whose text columns
  // count their lengths in characters and store text in codePage; 2: Jet 2.0
  // (Access 2.0), text as in Jet 3 (jet/writer_jet2.h).
  int generation = 4;
  std::uint32_t engineBuild = 0x261C;  // as Jet 4 stamps it (seen in the corpus files)
  // Index keys of one table held in memory before sorted runs go to a
  // temporary file (divided among the table's indexes).
  std::size_t indexMemory = 64u << 20;
  // Jet 2.0: the largest file to make; 0 means the format's own 1 GB.
  std::uint64_t maxFileSize = 0;
};

// Index keys Jet made, for text under a sort order the writer has no table
// for; a compaction within one generation takes them from its source.
class CarriedKeys {
 public:
  virtual ~CarriedKeys() = default;
  // Whether physical index `index` of the table takes its keys from here.
  virtual bool carries(std::size_t index) const = 0;
  // The key of the row the table's cursor returned last; false when that
  // row has no entry in the index.
  virtual bool keyOfLastRow(std::size_t index, std::vector<std::uint8_t>& key) = 0;
};

// What MSysObjects holds for a table beyond its definition.
struct TableObject {
  std::int32_t flags = 0;            // MSysObjects.Flags (2 = an Access system table)
  std::vector<PropertyMap> properties;  // the table's own map and its columns' maps
  double dateCreate = 0, dateUpdate = 0;  // 0: the database's creation date
  CarriedKeys* carriedKeys = nullptr;  // keys for the indexes it carries
  // The rows may be read and encoded on a thread of the writer's, ahead of
  // it: the cursor is this table's alone. Not with carried keys.
  bool readAhead = false;
};

// Any other catalog object (container, form, report, module, document):
// copied as data. The parent is an id returned by addObject or a fixed one.
struct CatalogObject {
  std::string name;
  std::int16_t type = 0;
  std::int32_t parentId = 0;
  std::int32_t flags = 0;
  std::vector<PropertyMap> properties;
  Bytes lv, lvModule, lvExtra;
  std::string database, connect, foreignName;
  double dateCreate = 0, dateUpdate = 0;
};

inline constexpr std::int32_t kRootParentId = 0x0F000000;
inline constexpr std::int32_t kTablesContainerId = 0x0F000001;
inline constexpr std::int32_t kDatabasesContainerId = 0x0F000002;
inline constexpr std::int32_t kRelationshipsContainerId = 0x0F000003;
inline constexpr std::int32_t kMSysDbId = 0x10000000;

class Jet2Writer;

class DatabaseWriter {
 public:
  // Creates (or truncates) `path`; throws writeFailed.
  explicit DatabaseWriter(const std::string& path, WriterOptions options = {});
  ~DatabaseWriter();
  DatabaseWriter(const DatabaseWriter&) = delete;
  DatabaseWriter& operator=(const DatabaseWriter&) = delete;

  // Writes one table: columns in display order (numbers are made dense,
  // keeping the order of Column::number), indexes as in `def` (physical index
  // columns name Column::number values of `def`), rows from `rows`, one value
  // per column in `def`'s order. Returns the table's new id (its TDEF page).
  // A foreign-key index's relatedTable names the other table's
  // TableDef::definitionPage as given to its own addTable call.
  std::uint32_t addTable(const TableDef& def, RowCursor& rows, const TableObject& object = {});
  std::int32_t addObject(const CatalogObject& object);
  void addQuery(const Query& query, const std::vector<PropertyMap>& properties = {});
  void addRelationship(const Relationship& relationship);
  void setDatabaseProperties(const std::vector<PropertyMap>& properties);

  // Writes the system tables, every table definition, page 1 and page 0, and
  // flushes the file to disk. Nothing may be added afterwards.
  void finish();

 private:
  struct State;
  std::unique_ptr<State> s_;
  std::unique_ptr<Jet2Writer> jet2_;  // generation 2 has a layout of its own
};

}  // namespace jet
