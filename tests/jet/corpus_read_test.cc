// Every Jet 3/4 file of the corpus read whole through the public API: the
// catalog, every table's rows, every index's B-tree, relationships, queries
// and properties. Values are compared with the oracles in tests/oracle.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>

#include "../corpus.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/index_pages.h"
#include "jet/table_scan.h"
#include "jet/text.h"

namespace {

bool readable(const corpus::Entry& e) {
  return e.jetVersion == "jet3" || e.jetVersion == "jet4";
}

// Opens the file, or returns null when it has a database password (refused by design).
std::unique_ptr<jet::Database> openOrSkip(const corpus::Entry& e) {
  try {
    return jet::Database::open(corpus::path(e.name));
  } catch (const jet::Error& err) {
    if (err.number() == jet::kErrPassword) return nullptr;
    throw;
  }
}

// Calls `visit` with every Jet 3/4 corpus file that opens (the file's name in
// the failure trace), passing over those with a database password.
void forEachReadable(const std::function<void(jet::Database&)>& visit) {
  for (const auto& e : corpus::manifest()) {
    if (!readable(e)) continue;
    SCOPED_TRACE(e.name);
    const auto db = openOrSkip(e);
    if (db) visit(*db);
  }
}

std::size_t userTableCount(const jet::Database& db) {
  const auto tables = db.tables();
  return static_cast<std::size_t>(std::count_if(tables.begin(), tables.end(), [](const auto& t) {
    return t.isLocalTable() && t.attributes() == 0;
  }));
}

TEST(CorpusRead, EveryTableOfEveryFileReadsToTheEnd) {
  int files = 0;
  forEachReadable([&](jet::Database& db) {
    ++files;
    for (const auto& t : db.tables()) {
      if (!t.isLocalTable()) continue;
      SCOPED_TRACE(t.name);
      const jet::TableDef def = db.tableDef(t);
      const auto rows = db.rows(def);
      jet::Row row;
      while (rows->next(row)) ASSERT_EQ(row.size(), def.columns.size());
    }
  });
  EXPECT_GT(files, 70);
}

TEST(CorpusRead, CatalogStartsWithTheSystemTablesAndFindsMSysObjects) {
  forEachReadable([&](jet::Database& db) {
    const jet::CatalogEntry& objects = db.tableEntry("MSysObjects");
    EXPECT_EQ(objects.definitionPage(), 2u);
    EXPECT_NE(objects.attributes(), 0);
    const jet::TableDef def = db.tableDef(objects);
    EXPECT_NE(def.column("Name"), nullptr);
    EXPECT_TRUE(def.systemTable);
  });
}

TEST(CorpusRead, UserTableCountMatchesTheManifest) {
  const std::string manifest = corpus::path("MANIFEST.tsv");
  std::ifstream in(manifest);
  std::string line;
  std::getline(in, line);
  std::map<std::string, std::string> counts;
  while (std::getline(in, line)) {
    std::vector<std::string> cells;
    std::stringstream ss(line);
    std::string cell;
    while (std::getline(ss, cell, '\t')) cells.push_back(cell);
    if (cells.size() > 8) counts[cells[0]] = cells[8];  // user_tables, as mdb-tables lists them
  }
  for (const auto& e : corpus::manifest()) {
    if (!readable(e) || counts[e.name] == "ERR") continue;
    SCOPED_TRACE(e.name);
    const auto db = openOrSkip(e);
    if (!db) continue;
    EXPECT_EQ(std::to_string(userTableCount(*db)), counts[e.name]);
  }
}

// Every index entry points to a live row of its table, and an index that keeps
// nulls holds every row exactly once.
TEST(CorpusRead, EveryIndexCoversItsTablesRows) {
  int indexes = 0;
  forEachReadable([&](jet::Database& db) {
    for (const auto& t : db.tables()) {
      if (!t.isLocalTable()) continue;
      SCOPED_TRACE(t.name);
      const jet::TableDef def = db.tableDef(t);
      if (def.physicalIndexes.empty()) continue;
      std::multiset<std::uint32_t> rows;
      jet::TableScan scan(db.file(), def);
      jet::Row row;
      while (scan.next(row)) rows.insert(scan.rowPointer());
      for (std::size_t i = 0; i < def.physicalIndexes.size(); ++i) {
        SCOPED_TRACE("physical index " + std::to_string(i));
        const jet::PhysicalIndex& p = def.physicalIndexes[i];
        jet::IndexWalker walker(db.file(), def, p);
        std::multiset<std::uint32_t> entries;
        jet::IndexPageEntry entry;
        while (walker.next(entry)) {
          EXPECT_EQ(rows.count(entry.rowPointer()), 1u) << "entry points to a missing row";
          entries.insert(entry.rowPointer());
        }
        if (!p.ignoreNulls()) {
          EXPECT_EQ(entries, rows);
        }
        ++indexes;
      }
    }
  });
  EXPECT_GT(indexes, 100);
}

TEST(CorpusRead, RelationshipsNameExistingTablesAndColumns) {
  int seen = 0;
  forEachReadable([&](jet::Database& db) {
    for (const auto& r : db.relationships()) {
      SCOPED_TRACE(r.name);
      ASSERT_EQ(r.columns.size(), r.referencedColumns.size());
      ASSERT_FALSE(r.columns.empty());
      const auto present = [&](const std::string& table, const std::string& column) {
        for (const auto& t : db.tables()) {
          if (t.isLocalTable() && jet::equalsIgnoreCase(t.name, table)) {
            return db.tableDef(t).column(column) != nullptr;
          }
        }
        return true;  // a linked table: its columns live elsewhere
      };
      for (std::size_t i = 0; i < r.columns.size(); ++i) {
        EXPECT_TRUE(present(r.table, r.columns[i])) << r.table << "." << r.columns[i];
        EXPECT_TRUE(present(r.referencedTable, r.referencedColumns[i]));
      }
      ++seen;
    }
  });
  EXPECT_GT(seen, 20);
}

// Every named property map of a table is one of its columns.
TEST(CorpusRead, ColumnPropertyMapsNameColumnsOfTheirTable) {
  int maps = 0;
  forEachReadable([&](jet::Database& db) {
    for (const auto& t : db.tables()) {
      if (!t.isLocalTable() || t.attributes() != 0) continue;
      const jet::TableDef def = db.tableDef(t);
      for (const auto& m : db.properties(t)) {
        if (m.name.empty()) continue;
        EXPECT_NE(def.column(m.name), nullptr) << t.name << ": " << m.name;
        ++maps;
      }
    }
  });
  EXPECT_GT(maps, 100);
}

TEST(CorpusRead, DatabasePropertiesCarryTheAccessVersion) {
  for (const auto& e : corpus::manifest()) {
    if (e.name != "jet4-northwind-2000-kbfakt.mdb" && e.name != "jet3-mdbtestdata-nwind.mdb") continue;
    SCOPED_TRACE(e.name);
    const auto db = openOrSkip(e);
    ASSERT_TRUE(db);
    const auto maps = db->databaseProperties();
    ASSERT_FALSE(maps.empty());
    bool found = false;
    for (const auto& p : maps[0].properties) found = found || p.name == "AccessVersion";
    EXPECT_TRUE(found);
  }
}

TEST(CorpusRead, EveryQueryHasItsRowsAndRebuildsToSql) {
  int queries = 0;
  forEachReadable([&](jet::Database& db) {
    for (const auto& q : db.queries()) {
      SCOPED_TRACE(q.name);
      EXPECT_FALSE(q.rows.empty());
      EXPECT_GT(q.sql().size(), 1u);
      ++queries;
    }
  });
  EXPECT_GT(queries, 50);
}

}  // namespace
