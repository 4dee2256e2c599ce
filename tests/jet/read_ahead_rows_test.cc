#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "jet/read_ahead_rows.h"
#include "jet/vector_cursor.h"
#include "tests/jet/counted_rows.h"

namespace jet {
namespace {

// Rows (number, text) with the text also "stored" as bytes of its own that
// change with every row, as a real cursor's do; optionally failing at a row.
class NumberedRows : public writer_test::CountedRows {
 public:
  using CountedRows::CountedRows;
  bool keepStoredText(const std::vector<bool>& columns) override {
    kept_ = columns.size() > 1 && columns[1];
    return true;
  }
  std::span<const std::uint8_t> storedText(std::size_t column) const override {
    if (!kept_ || column != 1) return {};
    return {reinterpret_cast<const std::uint8_t*>(stored_.data()), stored_.size()};
  }
  // Every 700th row is large, so that batches also end by their size.
  static std::string textOf(std::size_t i) {
    return i % 700 == 0 ? std::string(300'000, static_cast<char>('a' + i % 26))
                        : "text " + std::to_string(i);
  }

 private:
  void make(std::size_t i, Row& row) override {
    row.assign({static_cast<std::int32_t>(i), textOf(i)});
    stored_ = "stored " + std::to_string(i);
  }
  std::string stored_;
  bool kept_ = false;
};

std::string storedOf(const ReadAheadRows& rows, std::size_t column) {
  const auto bytes = rows.storedText(column);
  return {bytes.begin(), bytes.end()};
}

TEST(ReadAheadRows, GivesEveryRowAndItsStoredTextInOrderAcrossBatches) {
  NumberedRows source(5000);
  std::vector<ReadAheadRows::Batch> storage;
  ReadAheadRows rows(source, storage);
  ASSERT_TRUE(rows.keepStoredText({false, true}));
  Row row;
  for (std::size_t i = 0; i < 5000; ++i) {
    ASSERT_TRUE(rows.next(row)) << "row " << i;
    ASSERT_EQ(row.size(), 2u);
    ASSERT_EQ(std::get<std::int32_t>(row[0]), static_cast<std::int32_t>(i));
    ASSERT_EQ(std::get<std::string>(row[1]), NumberedRows::textOf(i));
    ASSERT_EQ(storedOf(rows, 1), "stored " + std::to_string(i));
    EXPECT_TRUE(rows.storedText(0).empty());
  }
  EXPECT_FALSE(rows.next(row));
  EXPECT_FALSE(rows.next(row));  // and stays at the end
}

TEST(ReadAheadRows, PassesASourceErrorOnAfterTheRowsBeforeIt) {
  NumberedRows source(5000, 1234);
  std::vector<ReadAheadRows::Batch> storage;
  ReadAheadRows rows(source, storage);
  Row row;
  std::size_t got = 0;
  try {
    while (rows.next(row)) ++got;
    FAIL() << "the source's error was lost";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "row 1234 is damaged");
  }
  EXPECT_EQ(got, 1234u);
}

TEST(ReadAheadRows, StopsReadingWhenItsUserStopsEarly) {
  NumberedRows source(10'000'000);
  std::vector<ReadAheadRows::Batch> storage;
  {
    ReadAheadRows rows(source, storage);
    Row row;
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(rows.next(row));
  }  // must not hang, nor read the whole source
  EXPECT_LT(source.read(), 10u + (ReadAheadRows::kBatches + 1) * ReadAheadRows::kBatchRows);
}

TEST(ReadAheadRows, KeepsNoTextWhenTheSourceCannot) {
  const std::vector<Row> data = {{std::int32_t{1}, std::string("x")}};
  VectorCursor source(data);
  std::vector<ReadAheadRows::Batch> storage;
  ReadAheadRows rows(source, storage);
  EXPECT_FALSE(rows.keepStoredText({false, true}));
  Row row;
  ASSERT_TRUE(rows.next(row));
  EXPECT_EQ(std::get<std::string>(row[1]), "x");
  EXPECT_TRUE(rows.storedText(1).empty());
  EXPECT_FALSE(rows.keepStoredText({false, true}));  // too late once rows flow
}

// The batches outlive one table: the next table, of another shape and
// without stored text, must see none of the last one's rows or text, even
// where the last one ended early on an error.
TEST(ReadAheadRows, BatchesKeptForTheNextTableCarryNothingOver) {
  std::vector<ReadAheadRows::Batch> storage;
  {
    NumberedRows source(3000, 2500);
    ReadAheadRows rows(source, storage);
    ASSERT_TRUE(rows.keepStoredText({false, true}));
    Row row;
    EXPECT_THROW(
        while (rows.next(row)) {}, std::runtime_error);
  }
  std::vector<Row> data;
  for (std::int32_t i = 0; i < 6000; ++i) data.push_back({Value{i}});
  VectorCursor source(data);
  ReadAheadRows rows(source, storage);
  Row row;
  for (std::int32_t i = 0; i < 6000; ++i) {
    ASSERT_TRUE(rows.next(row)) << "row " << i;
    ASSERT_EQ(row.size(), 1u);
    ASSERT_EQ(std::get<std::int32_t>(row[0]), i);
    ASSERT_TRUE(rows.storedText(1).empty());
  }
  EXPECT_FALSE(rows.next(row));
}

}  // namespace
}  // namespace jet
