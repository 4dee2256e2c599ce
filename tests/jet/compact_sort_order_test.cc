// Compaction of databases sorted otherwise than General: page 0 keeps the
// source's sort order, the keys of text indexes under that order are Jet's
// own (taken from the source's leaves to the rows' new places), the result
// passes the check with a note for those indexes, and every reader sees the
// source's values. Across generations the keys cannot be kept: refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "jet/check.h"
#include "jet/compactor.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/index_pages.h"
#include "jet/table_scan.h"
#include "jet/value_text.h"
#include "jet/writer_keys_carried.h"
#include "tests/corpus.h"
#include "tests/jet/writer_support.h"

namespace {

using namespace jet;
using writer_test::cli;
using writer_test::Scratch;
using writer_test::shellQuote;

// Per table and index whose text is sorted otherwise than General: each
// entry's key with the values of its row, in key order.
std::map<std::string, std::vector<std::string>> foreignOrderEntries(const std::string& path) {
  std::map<std::string, std::vector<std::string>> out;
  auto db = Database::open(path);
  for (const auto& e : db->objects()) {
    // The writer makes these four itself, under General.
    if (!e.isLocalTable() || e.name == "MSysObjects" || e.name == "MSysACEs" ||
        e.name == "MSysQueries" || e.name == "MSysRelationships") {
      continue;
    }
    const TableDef def = db->tableDef(e);
    std::map<std::uint32_t, std::string> rows;
    TableScan scan(db->file(), def);
    Row row;
    while (scan.next(row)) {
      std::string text;
      for (const Value& v : row) text += valueText(v) + "|";
      rows[scan.rowPointer()] = text;
    }
    for (std::size_t i = 0; i < def.physicalIndexes.size(); ++i) {
      bool foreign = false;
      for (const IndexColumn& ic : def.physicalIndexes[i].columns) {
        for (const Column& c : def.columns) {
          foreign = foreign || (c.number == ic.columnNumber && c.type == ColumnType::Text &&
                                c.sortOrder != 0x0409);
        }
      }
      if (!foreign) continue;
      std::vector<std::string>& list = out[def.name + " index " + std::to_string(i)];
      IndexWalker walker(db->file(), def, def.physicalIndexes[i]);
      IndexPageEntry entry;
      while (walker.next(entry)) {
        list.push_back(valueText(Value{entry.key}) + " " + rows[entry.rowPointer()]);
      }
    }
  }
  return out;
}

struct SortedSource {
  const char* file;
  std::uint16_t sortOrder;
};

class ForeignSortOrder : public ::testing::TestWithParam<SortedSource> {
 protected:
  void SetUp() override {
    src_ = corpus::path(GetParam().file);
    dst_ = dir_.file("same.mdb");
    compactDatabase(src_, dst_, kCompactSame);
  }
  Scratch dir_;
  std::string src_, dst_;
};

TEST_P(ForeignSortOrder, PageZeroKeepsTheSourcesSortOrder) {
  EXPECT_EQ(Database::open(src_)->header().sortOrder, GetParam().sortOrder);
  EXPECT_EQ(Database::open(dst_)->header().sortOrder, GetParam().sortOrder);
  EXPECT_EQ(Database::open(dst_)->version(), Database::open(src_)->version());
}

TEST_P(ForeignSortOrder, EveryKeyUnderThatOrderIsTheOneJetMadeForTheSameRow) {
  const auto before = foreignOrderEntries(src_), after = foreignOrderEntries(dst_);
  ASSERT_FALSE(before.empty());
  EXPECT_EQ(after, before);
}

TEST_P(ForeignSortOrder, TheResultPassesTheCheckWithANoteForThoseIndexes) {
  const CheckReport r = checkDatabase(dst_);
  std::string problems;
  for (const auto& p : r.problems) problems += p + "\n";
  EXPECT_TRUE(r.ok()) << problems;
  EXPECT_GT(r.unverifiedKeys, 0u);
  const std::string order = "sort order " + std::to_string(GetParam().sortOrder);
  EXPECT_TRUE(std::any_of(r.notes.begin(), r.notes.end(), [&](const std::string& n) {
    return n.find(order) != std::string::npos && n.find("from its source") != std::string::npos;
  }));
}

TEST_P(ForeignSortOrder, OurDumpOfTheResultEqualsTheSources) {
  EXPECT_EQ(cli("dump " + shellQuote(dst_)), cli("dump " + shellQuote(src_)));
}

TEST_P(ForeignSortOrder, MdbtoolsAndMdbReaderReadTheSameRows) {
  SKIP_WITHOUT_MDBTOOLS();
  EXPECT_EQ(writer_test::run("mdb-ver " + shellQuote(dst_)).out,
            writer_test::run("mdb-ver " + shellQuote(src_)).out);
  const auto tables = writer_test::run("mdb-tables -1 " + shellQuote(src_));
  EXPECT_EQ(writer_test::run("mdb-tables -1 " + shellQuote(dst_)).out, tables.out);
  std::stringstream in(tables.out);
  std::string table;
  while (std::getline(in, table)) {
    const std::string args = " " + shellQuote(table) + " | sort";
    EXPECT_EQ(writer_test::run("mdb-export " + shellQuote(dst_) + args).out,
              writer_test::run("mdb-export " + shellQuote(src_) + args).out)
        << table;
  }
  SKIP_WITHOUT_MDB_READER();
  auto a = writer_test::mdbReaderLines(src_), b = writer_test::mdbReaderLines(dst_);
  ASSERT_FALSE(b.empty());
  // A "table NAME COUNT" line gives the stored row count, stale in one
  // source (MANIFEST.tsv: rowcheck); the row lines carry every row.
  for (auto* lines : {&a, &b}) {
    for (std::string& l : *lines) {
      if (l.rfind("table ", 0) == 0) l = l.substr(0, l.find_last_of(' '));
    }
  }
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  EXPECT_EQ(b, a);
}

INSTANTIATE_TEST_SUITE_P(
    Corpus, ForeignSortOrder,
    ::testing::Values(SortedSource{"jet4-access2xls-test.mdb", 2052}, SortedSource{"jet4-vb6-book-db.mdb", 2052},
                      SortedSource{"jet4-address-database1.mdb", 1041},
                      SortedSource{"jet4-analyzermdb-database1.mdb", 1041},
                      SortedSource{"jet3-psc-smozgur-beginners2-data.mdb", 1055},
                      SortedSource{"jet3-psc-smozgur-dbapp-data.mdb", 1055}));

TEST(ForeignSortOrderRefusals, TurkishJet3TextCannotBecomeJet4KeysAndTheErrorSaysWhere) {
  const std::string m = writer_test::compactionRefusal("jet3-psc-smozgur-dbapp-data.mdb", kCompactJet40);
  EXPECT_NE(m.find("table 'MSysModules2'"), std::string::npos) << m;
  EXPECT_NE(m.find("column 'Name'"), std::string::npos) << m;
  EXPECT_NE(m.find("sort order 1055"), std::string::npos) << m;
}

TEST(ForeignSortOrderRefusals, JapaneseJet4TextCannotBecomeJet3KeysAndTheErrorSaysWhere) {
  const std::string m = writer_test::compactionRefusal("jet4-address-database1.mdb", kCompactJet30);
  EXPECT_NE(m.find("table 'address'"), std::string::npos) << m;
  EXPECT_NE(m.find("column '\xE9\x9B\xBB\xE8\xA9\xB1\xE7\x95\xAA\xE5\x8F\xB7'"), std::string::npos) << m;
  EXPECT_NE(m.find("sort order 1041"), std::string::npos) << m;
}

// The row-pointer order of the carried keys is sorted on disk beyond its
// budget; what comes back is the same either way.
TEST(CarriedKeys, ASpilledMappingGivesEveryRowTheKeyOfItsOwnEntry) {
  Scratch dir;
  auto db = Database::open(corpus::path("jet4-northwind-2000-kbfakt.mdb"));
  const TableDef def = db->tableDef("Orders");
  std::vector<std::size_t> all;
  for (std::size_t i = 0; i < def.physicalIndexes.size(); ++i) all.push_back(i);
  SourceIndexKeys spilled(db->file(), def, all, 0, dir.file("")),
      held(db->file(), def, all, 256u << 20, dir.file(""));
  EXPECT_GT(spilled.spilledRuns(), 1u);
  EXPECT_EQ(held.spilledRuns(), 0u);
  // Each index's entries by row, straight from the tree.
  std::vector<std::map<std::uint32_t, Bytes>> byRow(def.physicalIndexes.size());
  for (std::size_t i = 0; i < def.physicalIndexes.size(); ++i) {
    IndexWalker walker(db->file(), def, def.physicalIndexes[i]);
    IndexPageEntry entry;
    while (walker.next(entry)) byRow[i][entry.rowPointer()] = entry.key;
  }
  TableScan scan(db->file(), def);
  Row row;
  std::size_t rows = 0;
  while (scan.next(row)) {
    ++rows;
    spilled.setRow(scan.rowPointer());
    held.setRow(scan.rowPointer());
    for (std::size_t i = 0; i < all.size(); ++i) {
      Bytes a, b;
      const bool hasA = spilled.keyOfLastRow(i, a), hasB = held.keyOfLastRow(i, b);
      const auto expected = byRow[i].find(scan.rowPointer());
      ASSERT_EQ(hasA, expected != byRow[i].end()) << "index " << i << " row " << rows;
      EXPECT_EQ(hasB, hasA);
      if (hasA) {
        EXPECT_EQ(a, expected->second);
        EXPECT_EQ(b, expected->second);
      }
    }
  }
  EXPECT_GT(rows, 500u);
}

TEST(CarriedKeys, ACompactionWithTheSmallestBudgetKeepsTheSameKeys) {
  Scratch dir;
  const std::string src = corpus::path("jet4-vb6-book-db.mdb"), dst = dir.file("small.mdb");
  CompactOptions tight;
  tight.carriedKeyMemory = 0;
  compactDatabase(src, dst, kCompactSame, tight);
  EXPECT_EQ(foreignOrderEntries(dst), foreignOrderEntries(src));
  EXPECT_TRUE(checkDatabase(dst).ok());
}

}  // namespace
