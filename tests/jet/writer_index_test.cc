// Index trees the writer builds: structure checked page by page, and the
// system tables compared with the ones Jet wrote in corpus files.
#include <gtest/gtest.h>

#include "jet/database_writer.h"
#include "jet/error.h"
#include "jet/writer_index.h"
#include "jet/writer_output.h"
#include "tests/corpus.h"
#include "tests/jet/writer_checker.h"
#include "tests/jet/writer_support.h"

namespace {

using namespace jet;
using namespace writer_test;

PhysicalIndex physical(std::vector<IndexColumn> columns, std::uint8_t flags) {
  PhysicalIndex p;
  p.columns = std::move(columns);
  p.flags = flags;
  return p;
}

Index logical(const std::string& name, std::uint32_t number, std::uint32_t real, std::uint8_t kind = 0) {
  Index i;
  i.name = name;
  i.number = number;
  i.physicalIndex = real;
  i.kind = kind;
  return i;
}

TableDef indexedTable() {
  TableDef t;
  t.name = "Indexed";
  t.columns = {column("Id", ColumnType::Long, 0, 0, kColumnAutoLong),
               column("Word", ColumnType::Text, 1, 200), column("Yes", ColumnType::Boolean, 2),
               column("Amount", ColumnType::Double, 3), column("Maybe", ColumnType::Integer, 4)};
  t.physicalIndexes = {physical({{0, true}}, kIndexUnique | kIndexRequired),
                       physical({{1, true}}, 0),
                       physical({{2, true}, {3, false}}, 0),
                       physical({{4, true}}, kIndexIgnoreNulls)};
  t.indexes = {logical("PrimaryKey", 0, 0, 1), logical("Word", 1, 1), logical("YesAmount", 2, 2),
               logical("Maybe", 3, 3)};
  return t;
}

Row indexedRow(std::size_t i) {
  std::string word = "w" + std::to_string((i * 7919) % 5003) + std::string(i % 40, 'z');
  return Row{Value{static_cast<std::int32_t>(i + 1)}, Value{word}, Value{i % 2 == 0},
             Value{static_cast<double>((i * 31) % 1000) - 500.25},
             i % 5 == 0 ? Value{} : Value{static_cast<std::int16_t>(i % 300)}};
}

TEST(WriterIndex, LargeIndexesAreValidTreesWithOneEntryPerRow) {
  const std::size_t count = 30000;
  Scratch dir;
  const std::string path = dir.file("indexed.mdb");
  std::uint32_t tdef;
  {
    DatabaseWriter w(path);
    GeneratedRows rows(count, indexedRow);
    tdef = w.addTable(indexedTable(), rows);
    w.finish();
  }
  FileCheck check(path);
  for (std::uint32_t system = 2; system <= 5; ++system) check.checkTable(system);
  EXPECT_EQ(check.checkTable(tdef), count);
  check.checkAllPagesOwned();
  // All rows in the first three indexes, the ignore-nulls one without the nulls.
  EXPECT_EQ(check.indexEntries() - check.indexEntries() % 1000 >= 3 * count, true);
}

TEST(WriterIndex, EveryIndexOfTheCatalogHoldsAllItsRows) {
  Scratch dir;
  const std::string path = dir.file("catalog.mdb");
  std::vector<std::uint32_t> tables;
  {
    DatabaseWriter w(path);
    for (int k = 0; k < 300; ++k) {
      TableDef t = indexedTable();
      t.name = "Table " + std::to_string(k);
      GeneratedRows rows(k % 7, indexedRow);
      tables.push_back(w.addTable(t, rows));
    }
    w.finish();
  }
  FileCheck check(path);
  EXPECT_EQ(check.checkTable(2), 8u + 300u) << "MSysObjects rows";
  for (std::uint32_t system = 3; system <= 5; ++system) check.checkTable(system);
  for (std::uint32_t t : tables) check.checkTable(t);
  check.checkAllPagesOwned();
}

TEST(WriterIndex, AUniqueIndexRefusesADuplicateKey) {
  Scratch dir;
  DatabaseWriter w(dir.file("dup.mdb"));
  Rows rows({indexedRow(0), indexedRow(0)});
  EXPECT_THROW(w.addTable(indexedTable(), rows), jet::Error);
}

TEST(WriterIndex, AnEmptyIndexIsOneEmptyLeaf) {
  Scratch dir;
  const std::string path = dir.file("none.mdb");
  std::uint32_t tdef;
  {
    DatabaseWriter w(path);
    Rows rows({});
    tdef = w.addTable(indexedTable(), rows);
    w.finish();
  }
  FileCheck check(path);
  EXPECT_EQ(check.checkTable(tdef), 0u);
  EXPECT_EQ(check.indexEntries(), 0u);
}

// The sorter gives back `all` in IndexEntry order, null flags included.
void expectEntryOrder(IndexEntrySorter& sorter, std::vector<IndexEntry> all,
                      const std::string& what) {
  std::sort(all.begin(), all.end());
  const auto sorted = sorter.sorted();
  IndexEntry e;
  std::size_t n = 0;
  while (sorted->next(e)) {
    ASSERT_LT(n, all.size()) << what;
    ASSERT_TRUE(e.key == all[n].key && e.page == all[n].page && e.row == all[n].row &&
                e.nullKey == all[n].nullKey)
        << n << " of " << what;
    ++n;
  }
  EXPECT_EQ(n, all.size()) << what;
}

TEST(WriterIndex, SortedRunsOnDiskGiveTheSameEntriesAsSortingInMemory) {
  IndexEntrySorter small(8192, "test");
  std::vector<IndexEntry> all;
  for (std::uint32_t i = 0; i < 5000; ++i) {
    IndexEntry e;
    e.key = {static_cast<std::uint8_t>((i * 37) % 251), static_cast<std::uint8_t>(i % 7)};
    e.page = 100 + i / 200;
    e.row = static_cast<std::uint8_t>(i % 200);
    e.nullKey = i % 11 == 0;
    all.push_back(e);
    small.add(e);
  }
  EXPECT_GT(small.spilledRuns(), 10u);
  expectEntryOrder(small, all, "5000 entries");
}

// Entries that come in key order are kept without records until one does
// not. Whether the order breaks early, late, only on the row of an equal key,
// or in one run of several on disk, what comes out is entry order.
TEST(WriterIndex, EntriesInKeyOrderComeOutInEntryOrderWhereverTheOrderBreaks) {
  // Key i: a counter, repeated for every third i so that equal keys follow each other.
  const auto entry = [](std::uint32_t i, std::uint32_t page) {
    IndexEntry e;
    const std::uint32_t v = i - i / 3;
    e.key = {0x7F, static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8),
             static_cast<std::uint8_t>(v)};
    if (v % 7 == 0) e.key.push_back(0);  // longer than the keys it follows
    e.page = page;
    e.row = static_cast<std::uint8_t>(i % 100);
    e.nullKey = i % 13 == 0;
    return e;
  };
  struct Case {
    const char* what;
    std::size_t budget;
    std::uint32_t breakAt;  // the entry placed out of order, or none
    bool sameKey;           // it breaks the order only by its row
  };
  const std::uint32_t count = 60000;
  for (const Case& c : {Case{"in order", 64u << 20, count, false},
                        Case{"broken at the third", 64u << 20, 2, false},
                        Case{"broken late", 64u << 20, count - 10, false},
                        Case{"broken by a row", 64u << 20, count / 2, true},
                        Case{"in order, on disk", 64u << 10, count, false},
                        Case{"broken in the first run of several", 64u << 10, 2, false},
                        Case{"broken in a later run", 64u << 10, count - 10, false}}) {
    IndexEntrySorter sorter(c.budget, "test");
    std::vector<IndexEntry> all;
    for (std::uint32_t i = 0; i < count; ++i) {
      IndexEntry e = entry(i, 10 + i / 100);
      if (i == c.breakAt && c.sameKey) {
        e = entry(i - 1, 9);  // the key just added, on an earlier page
      } else if (i == c.breakAt) {
        e.key = entry(0, 0).key;  // the first key again, on this entry's row
      }
      all.push_back(e);
      sorter.add(e);
    }
    if (c.budget < (1u << 20)) {
      EXPECT_GT(sorter.spilledRuns(), 2u) << c.what;
    }
    expectEntryOrder(sorter, all, c.what);
  }
}

// What a writer weighs against its key budget: entries in order take their
// keys and four bytes each, entries out of order a record each, and a spill
// (the writer's, when a table's indexes together pass the budget) frees it all.
TEST(WriterIndex, TheMemoryEntriesTakeIsCountedAndFreedBySpilling) {
  IndexEntrySorter sorter(64u << 20, "test");
  std::vector<IndexEntry> all;
  const auto add = [&](std::uint32_t v, std::uint32_t page) {
    IndexEntry e;
    e.key = {0x7F, static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
    e.page = page;
    all.push_back(e);
    sorter.add(e);
  };
  for (std::uint32_t i = 0; i < 1000; ++i) add(i, 10 + i);
  EXPECT_EQ(sorter.memoryUsed(), 1000u * (2 + 3 + 4));
  add(5, 2000);  // out of order
  EXPECT_EQ(sorter.memoryUsed(), 1001u * (2 + 3 + sizeof(IndexEntrySorter::Record)));
  sorter.spill();
  EXPECT_EQ(sorter.memoryUsed(), 0u);
  for (std::uint32_t i = 0; i < 500; ++i) add(999 - i, 3000 + i);
  sorter.spill();
  sorter.spill();  // nothing held: no empty run
  EXPECT_EQ(sorter.spilledRuns(), 2u);
  expectEntryOrder(sorter, all, "spilled by the caller");
}

// Large runs are sorted in two halves at once and merged as they are read,
// in memory and into runs on disk: the order must be that of IndexEntry,
// equal keys ordered by page and row.
TEST(WriterIndex, ARunSortedInHalvesComesOutInEntryOrder) {
  for (const std::size_t budget : {std::size_t{256} << 20, std::size_t{8} << 20}) {
    IndexEntrySorter sorter(budget, "test");
    std::vector<IndexEntry> all;
    for (std::uint32_t i = 0; i < 700000; ++i) {
      IndexEntry e;
      const std::uint32_t v = (i * 2654435761u) % 50021;  // scattered, with repeats
      e.key = {0x7F, 'K', 'e', 'y', static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v),
               static_cast<std::uint8_t>(i % 3)};
      if (i % 5 == 0) e.key.resize(5);
      // Each page and row once, scattered, some pages near Jet's 3-byte limit.
      const std::uint32_t k = i / 200;
      e.page = 7 + (k * 7919u) % 3511 + (k % 13 == 0 ? 0xFFF000 : 0);
      e.row = static_cast<std::uint8_t>(i % 200);
      e.nullKey = i % 17 == 0;
      all.push_back(e);
      sorter.add(e);
    }
    if (budget > (64u << 20)) {
      EXPECT_EQ(sorter.spilledRuns(), 0u);
    } else {
      EXPECT_GE(sorter.spilledRuns(), 2u);
    }
    expectEntryOrder(sorter, all, "budget " + std::to_string(budget));
  }
}

// Keys that differ only well past their first bytes, some only in length:
// sorting by the first bytes alone leaves these tied, and the tie must
// still come out in entry order, in one run and in halves.
TEST(WriterIndex, KeysAlikeInTheirFirstBytesComeOutInEntryOrder) {
  for (const std::uint32_t count : {20000u, 300000u}) {
    IndexEntrySorter sorter(256u << 20, "test");
    std::vector<IndexEntry> all;
    for (std::uint32_t i = 0; i < count; ++i) {
      IndexEntry e;
      const std::uint32_t v = (i * 40503u) % 977;
      e.key.assign(14, static_cast<std::uint8_t>('a' + i % 3));
      e.key.push_back(static_cast<std::uint8_t>(v >> 8));
      e.key.push_back(static_cast<std::uint8_t>(v));
      if (i % 4 == 0) e.key.pop_back();
      e.page = 50 + (i * 31u) % 9973;
      e.row = static_cast<std::uint8_t>(i % 97);
      all.push_back(e);
      sorter.add(e);
    }
    expectEntryOrder(sorter, all, std::to_string(count) + " entries");
  }
}

TEST(WriterIndex, AnEntryBeyondJetsRangeIsRefused) {
  IndexEntrySorter sorter(1 << 20, "test");
  const std::vector<std::uint8_t> key = {0x7F, 1};
  EXPECT_NO_THROW(sorter.add(key, (1u << 24) - 1, 1, false));
  EXPECT_THROW(sorter.add(key, 1u << 24, 1, false), Error);
  EXPECT_THROW(sorter.add(std::vector<std::uint8_t>(0x8000, 1), 5, 1, false), Error);
}

TEST(WriterIndex, AKeyTooLongForATreeIsRefusedInsteadOfGrowingLevelsWithoutEnd) {
  Scratch dir;
  for (const int generation : {3, 4}) {
    const WriteFormat& f = writeFormat(generation);
    PageOutput out(dir.file("long-keys.bin"), f.pageSize, 1u << 30);
    out.allocate(1);
    // The longest keys two of which, with their pointers, fill a node page:
    // three make two leaves under one root.
    const std::size_t longest = f.idxEntrySpace / 2 - 8;
    const std::vector<IndexEntry> fitting = {IndexEntry{ByteBuffer(longest, 0x41), 1, 0, false},
                                             IndexEntry{ByteBuffer(longest, 0x42), 1, 1, false},
                                             IndexEntry{ByteBuffer(longest, 0x43), 1, 2, false}};
    const WrittenIndex tree = writeIndexTree(out, 0, fitting, f);
    EXPECT_EQ(tree.entries, 3u);
    EXPECT_EQ(tree.pages.size(), 3u) << "two leaves and their root";
    // One byte more, and the levels above the leaves would never narrow to a root.
    const std::vector<IndexEntry> tooLong = {
        IndexEntry{ByteBuffer(longest + 1, 0x41), 1, 0, false}};
    try {
      writeIndexTree(out, 0, tooLong, f);
      ADD_FAILURE() << "a tree of a key too long was written (Jet " << generation << ")";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find("an index tree can hold"), std::string::npos)
          << e.what();
    }
  }
}

TEST(WriterIndex, ATableWhoseIndexKeysAreTooLongIsRefusedWithAnError) {
  // Four accented text columns of 255 characters make keys of about 2 KB.
  TableDef t;
  t.name = "Wide";
  std::vector<IndexColumn> keyColumns;
  for (std::uint16_t c = 0; c < 4; ++c) {
    t.columns.push_back(column("Text" + std::to_string(c), ColumnType::Text, c, 510));
    keyColumns.push_back({c, true});
  }
  t.physicalIndexes = {physical(keyColumns, 0)};
  t.indexes = {logical("Wide", 0, 0)};
  std::vector<Row> all;
  for (int i = 0; i < 3; ++i) {
    std::string text;
    for (int k = 0; k < 254; ++k) text += "\xc3\xa9";  // é
    text += static_cast<char>('a' + i);
    all.push_back(Row{Value{text}, Value{text}, Value{text}, Value{text}});
  }
  Scratch dir;
  DatabaseWriter w(dir.file("wide.mdb"));
  Rows rows(all);
  try {
    w.addTable(t, rows);
    ADD_FAILURE() << "keys too long for a tree were written";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("an index tree can hold"), std::string::npos) << e.what();
  }
}

TEST(WriterIndex, ABoundedKeyBudgetWritesTheSameFile) {
  Scratch dir;
  const auto write = [&](const std::string& name, std::size_t budget) {
    WriterOptions o;
    o.creationDate = 44000.25;
    o.indexMemory = budget;
    DatabaseWriter w(dir.file(name), o);
    GeneratedRows rows(20000, indexedRow);
    w.addTable(indexedTable(), rows);
    w.finish();
    return fileBytes(dir.file(name));
  };
  const std::string inMemory = write("memory.mdb", 256u << 20);
  const std::string spilled = write("spilled.mdb", 64u << 10);
  EXPECT_EQ(inMemory.size(), spilled.size());
  EXPECT_TRUE(inMemory == spilled);
}

}  // namespace
