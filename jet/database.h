// jet::Database: a Jet 1.x-4.x file opened read-only. It hands out the catalog,
// table definitions and rows (streamed, one row at a time), relationships,
// queries and properties. Every failure is a jet::Error naming the file.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "jet/format.h"
#include "jet/header.h"
#include "jet/schema.h"
#include "jet/value.h"

namespace jet {

class PageFile;
class Backend;

// Streams the rows of one table in storage order; each row has one value per
// column of the TableDef, in the TableDef's column order.
class RowCursor {
 public:
  virtual ~RowCursor() = default;
  // Fills `row` with the next row; false at the end of the table.
  virtual bool next(Row& row) = 0;

  // A copy may take text as its source stores it rather than decoded to
  // UTF-8 and encoded back. Asks, before the first row, for the text and
  // memo columns marked in `columns` (by position) to come so: their values
  // are then Null or an empty string, and storedText() has the bytes. A Jet 4
  // source keeps every value as Jet 4 text (FF FE compressed, or UTF-16LE);
  // a Jet 3 source only values of plain ASCII (storedTextIsAscii()), the
  // others coming decoded, with no stored bytes. False when the cursor
  // cannot; the values stay decoded then.
  virtual bool keepStoredText(const std::vector<bool>& columns) {
    (void)columns;
    return false;
  }
  // The stored bytes of kept column `column` in the last row, valid until the next row.
  virtual std::span<const std::uint8_t> storedText(std::size_t column) const {
    (void)column;
    return {};
  }
  // Whether stored bytes are plain ASCII (a Jet 3 source) rather than Jet 4 text.
  virtual bool storedTextIsAscii() const { return false; }
};

class Database {
 public:
  // Opens `path` shared and read-only; throws jet::Error (3024, 3044, 3051,
  // 3343, 3049, 3031) when it cannot be read as a Jet database.
  static std::unique_ptr<Database> open(const std::string& path);
  // Opens a database held in memory; `name` stands for the path in errors.
  static std::unique_ptr<Database> open(std::vector<std::uint8_t> bytes, const std::string& name);
  ~Database();

  const std::string& path() const;
  const DatabaseHeader& header() const;
  JetVersion version() const { return header().version; }
  std::string versionText() const { return jet::versionText(version()); }

  // Every object of the catalog, in catalog order.
  const std::vector<CatalogEntry>& objects() const;
  // The table-like objects (local and linked tables, system ones included), in catalog order.
  std::vector<CatalogEntry> tables() const;
  // The catalog entry of a table by name (case-insensitive); throws notFound.
  const CatalogEntry& tableEntry(const std::string& name) const;

  // The definition of a local table; throws notFound / damaged.
  TableDef tableDef(const std::string& name) const;
  TableDef tableDef(const CatalogEntry& entry) const;
  std::unique_ptr<RowCursor> rows(const TableDef& table) const;

  std::vector<Relationship> relationships() const;
  std::vector<Query> queries() const;
  // Property maps of an object (its own map first, then one per column);
  // empty when it has none.
  std::vector<PropertyMap> properties(const CatalogEntry& entry) const;
  // The database's own properties (MSysDb).
  std::vector<PropertyMap> databaseProperties() const;

  PageFile& file() const { return *file_; }
  Backend& backend() const { return *backend_; }

 private:
  Database(std::unique_ptr<PageFile> file, std::unique_ptr<Backend> backend);
  static std::unique_ptr<Database> open(std::unique_ptr<PageFile> file);
  std::unique_ptr<PageFile> file_;
  std::unique_ptr<Backend> backend_;
  std::vector<CatalogEntry> objects_;

  // The LvProp blob of each catalog row, read in one pass on first use: a
  // catalog scan per object made a compaction quadratic in the catalog's size.
  struct PropertyBlobs;
  const PropertyBlobs& propertyBlobs() const;
  mutable std::once_flag propertyBlobsRead_;
  // Shared, not unique: the type is complete only where the blobs are read.
  mutable std::shared_ptr<const PropertyBlobs> propertyBlobs_;
};

// The format-specific half of a Database. Jet 3/4 and Jet 1.x/2.0 each have one.
class Backend {
 public:
  virtual ~Backend() = default;
  virtual std::vector<CatalogEntry> readCatalog() = 0;
  virtual TableDef readTableDef(const CatalogEntry& entry) = 0;
  virtual std::unique_ptr<RowCursor> openRows(const TableDef& table) = 0;
  // Relationships, queries, properties: read from the catalog tables through
  // the ordinary table path by default (see database.cc).
};

std::unique_ptr<Backend> makeJet34Backend(PageFile& file);
std::unique_ptr<Backend> makeJet12Backend(PageFile& file);

}  // namespace jet
