#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "jet/database_writer.h"
#include "jet/prepared_rows.h"
#include "jet/row_preparer.h"
#include "jet/writer_format.h"
#include "tests/jet/counted_rows.h"
#include "tests/jet/writer_support.h"

namespace jet {
namespace {

namespace fs = std::filesystem;
using writer_test::column;
using writer_test::fileBytes;

// Rows (number, name, memo, flag), optionally failing at a row; every 700th
// memo is large, so that batches also end by their size, and a few are short
// enough to stay in the row.
class NumberedRows : public writer_test::CountedRows {
 public:
  using CountedRows::CountedRows;
  static std::string nameOf(std::size_t i) { return "name " + std::to_string((i * 7919) % 10007); }
  static std::string memoOf(std::size_t i) {
    if (i % 700 == 0) return std::string(300'000, static_cast<char>('a' + i % 26));
    if (i % 5 == 0) return "short " + std::to_string(i);
    return std::string(100 + i % 900, 'm') + std::to_string(i);
  }

 private:
  void make(std::size_t i, Row& row) override {
    row.assign({static_cast<std::int32_t>(i + 1), nameOf(i), memoOf(i), i % 3 == 0});
  }
};

// Where the rows put a column: its offset in the fixed area or its place
// among the variable columns (the writer works these out for itself).
Column placed(Column c, std::uint16_t fixedOffset, std::uint16_t varIndex) {
  c.fixedOffset = fixedOffset;
  c.varIndex = varIndex;
  return c;
}

TableDef numberedTable(std::uint16_t nameLength = 100) {
  TableDef t;
  t.name = "Numbered";
  t.columns = {placed(column("Id", ColumnType::Long, 0, 4, kColumnFixed | kColumnAutoLong), 0, 0),
               placed(column("Name", ColumnType::Text, 1, nameLength, kColumnNullable), 0, 0),
               placed(column("Note", ColumnType::Memo, 2, 0, kColumnNullable), 0, 1),
               placed(column("Flag", ColumnType::Boolean, 3, 1, kColumnFixed), 0, 0)};
  PhysicalIndex pk;
  pk.columns = {IndexColumn{0, true}};
  pk.flags = kIndexUnique | kIndexRequired;
  PhysicalIndex byName;
  byName.columns = {IndexColumn{1, false}};
  t.physicalIndexes = {pk, byName};
  return t;
}

// Everything the batches held, row after row, in one string per row.
struct Taken {
  std::vector<std::string> rows;
  std::int64_t maxAuto = INT64_MIN;
  std::string error;
};

std::string bytesOf(const ByteBuffer& b, std::size_t from, std::size_t size) {
  return std::string(reinterpret_cast<const char*>(b.data() + from), size);
}

Taken take(RowCursor& source, const TableDef& table, bool ownThread, std::size_t limit = SIZE_MAX) {
  RowPreparer preparer(table, writeFormat(4), 4, 1252, "test");
  std::vector<PreparedBatch> storage;
  PreparedRows prepared(source, preparer, ownThread, storage);
  Taken t;
  try {
    while (PreparedBatch* b = prepared.next()) {
      for (const PreparedBatch::Row& r : b->rows) {
        if (t.rows.size() == limit) return t;
        std::string s = bytesOf(b->rowBytes, r.from, r.size);
        for (std::size_t k = r.firstLong; k < r.firstLong + r.longCount; ++k) {
          const PreparedBatch::LongValue& lv = b->longs[k];
          EXPECT_EQ(s.substr(lv.rowOffset, 12), std::string(12, '\0')) << "descriptor left to place";
          s += "|long@" + std::to_string(lv.rowOffset) + ":" + bytesOf(b->longBytes, lv.from, lv.size);
        }
        EXPECT_EQ(b->keys.size() - r.firstKey >= table.physicalIndexes.size(), true);
        for (std::size_t x = 0; x < table.physicalIndexes.size(); ++x) {
          const PreparedBatch::Key& k = b->keys[r.firstKey + x];
          EXPECT_FALSE(k.carried);
          ByteBuffer key;
          preparer.makeKey(*b, r, x, key);
          s += "|key" + std::to_string(k.entry) + std::to_string(k.anyNull) + ":" +
               bytesOf(key, 0, key.size());
        }
        t.rows.push_back(std::move(s));
      }
      t.maxAuto = std::max(t.maxAuto, b->maxAuto);
    }
  } catch (const std::exception& e) {
    t.error = e.what();
  }
  return t;
}

TEST(PreparedRows, GivesTheSameRowsLongValuesAndKeysWithOrWithoutAThread) {
  NumberedRows a(5000), b(5000);
  const TableDef table = numberedTable();
  const Taken threaded = take(a, table, true);
  const Taken inline_ = take(b, table, false);
  EXPECT_EQ(threaded.error, "");
  ASSERT_EQ(threaded.rows.size(), 5000u);
  EXPECT_EQ(threaded.rows, inline_.rows);
  EXPECT_EQ(threaded.maxAuto, 5000);
  // Long memos wait to be placed, compressed; short ones stay in the row.
  const std::string& long_ = threaded.rows[1];
  EXPECT_NE(long_.find("|long@"), std::string::npos);
  EXPECT_NE(long_.find("\xFF\xFE" + NumberedRows::memoOf(1)), std::string::npos);
  EXPECT_EQ(threaded.rows[5].find("|long@"), std::string::npos);
  EXPECT_NE(threaded.rows[5].find(NumberedRows::memoOf(5)), std::string::npos);
  EXPECT_GT(threaded.rows[700].size(), 300'000u);
}

TEST(PreparedRows, PassesASourceErrorOnAfterTheRowsBeforeIt) {
  for (const bool ownThread : {true, false}) {
    NumberedRows source(5000, 1234);
    const Taken t = take(source, numberedTable(), ownThread);
    EXPECT_EQ(t.error, "row 1234 is damaged");
    EXPECT_EQ(t.rows.size(), 1234u);
  }
}

TEST(PreparedRows, PassesAnEncodingErrorOnAtItsRow) {
  // Names run to 10 characters; a column of 18 bytes holds nine.
  std::size_t first = 0;
  while (NumberedRows::nameOf(first).size() <= 9) ++first;
  ASSERT_GT(first, PreparedRows::kBatchRows);
  NumberedRows source(5000);
  const Taken t = take(source, numberedTable(18), true);
  EXPECT_NE(t.error.find("longer than the column allows"), std::string::npos) << t.error;
  EXPECT_EQ(t.rows.size(), first);
}

TEST(PreparedRows, StopsReadingWhenItsUserStopsEarly) {
  NumberedRows source(10'000'000);
  const Taken t = take(source, numberedTable(), true, 10);  // must not hang
  EXPECT_EQ(t.rows.size(), 10u);
  EXPECT_LT(source.read(), 10u + (PreparedRows::kBatches + 1) * PreparedRows::kBatchRows);
}

TEST(PreparedRows, WriterMakesTheSameFileWhetherRowsAreReadAheadOrNot) {
  const fs::path dir = fs::temp_directory_path() / ("jetlift-prepared-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::string files[2];
  for (const bool readAhead : {false, true}) {
    const fs::path path = dir / (readAhead ? "ahead.mdb" : "inline.mdb");
    WriterOptions options;
    options.creationDate = 45000.5;
    DatabaseWriter w(path.string(), options);
    NumberedRows rows(20'000);
    TableObject object;
    object.readAhead = readAhead;
    w.addTable(numberedTable(), rows, object);
    w.finish();
    files[readAhead] = fileBytes(path.string());
  }
  fs::remove_all(dir);
  EXPECT_GT(files[0].size(), 20'000u * 100);
  EXPECT_TRUE(files[0] == files[1]) << "the two files differ";
}

}  // namespace
}  // namespace jet
