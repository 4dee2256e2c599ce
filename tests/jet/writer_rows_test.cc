// Rows of every column type, long values of every storage kind and tables
// over many pages, written and read back by mdb-reader and mdbtools.
#include <gtest/gtest.h>

#include <fstream>

#include "jet/database_writer.h"
#include "jet/error.h"
#include "jet/writer_rows.h"
#include "tests/jet/writer_support.h"

namespace {

using namespace jet;
using namespace writer_test;

TableDef allTypes() {
  TableDef t;
  t.name = "AllTypes";
  t.columns = {column("Yes", ColumnType::Boolean, 0),    column("B", ColumnType::Byte, 1),
               column("I", ColumnType::Integer, 2),      column("L", ColumnType::Long, 3),
               column("C", ColumnType::Currency, 4),     column("S", ColumnType::Single, 5),
               column("D", ColumnType::Double, 6),       column("T", ColumnType::DateTime, 7),
               column("Bin", ColumnType::Binary, 8, 20), column("Txt", ColumnType::Text, 9, 100),
               column("Ole", ColumnType::OLE, 10),       column("M", ColumnType::Memo, 11),
               column("G", ColumnType::Guid, 12),        column("Dec", ColumnType::Decimal, 13)};
  t.columns[13].precision = 18;
  t.columns[13].scale = 4;
  return t;
}

std::vector<Row> allTypeRows() {
  Guid g;
  for (int i = 0; i < 16; ++i) g.bytes[i] = static_cast<std::uint8_t>(i * 17);
  Decimal d;
  d.negative = true;
  d.low = 1234567890123ull;
  d.scale = 4;
  Row nulls(14);
  nulls[0] = Value{false};
  return {
      {Value{true}, Value{std::uint8_t{200}}, Value{std::int16_t{-12345}},
       Value{std::int32_t{-2000000000}}, Value{Currency{-123456789}}, Value{1.5f},
       Value{-3.25e100}, Value{DateTime{36526.75}}, Value{Bytes{1, 2, 3, 0, 255}},
       Value{std::string("plain ascii")}, Value{Bytes(10, 0xAB)},
       Value{std::string("Unicode: Ωμέγα ☃")}, Value{g}, Value{d}},
      nulls,
      {Value{false}, Value{std::uint8_t{0}}, Value{std::int16_t{0}}, Value{std::int32_t{0}},
       Value{Currency{0}}, Value{0.0f}, Value{0.0}, Value{DateTime{0}}, Value{Bytes{}},
       Value{std::string("")}, Value{Bytes{}}, Value{std::string("")}, Value{Guid{}},
       Value{Decimal{}}},
  };
}

// AllTypes and its rows, written as a Jet 4 file in `dir`.
std::string writeAllTypes(const Scratch& dir) {
  const std::string path = dir.file("types.mdb");
  DatabaseWriter w(path);
  Rows rows(allTypeRows());
  w.addTable(allTypes(), rows);
  w.finish();
  return path;
}

TEST(WriterRows, EveryColumnTypeReadsBackInMdbReader) {
  SKIP_WITHOUT_MDB_READER();
  Scratch dir;
  const std::string path = writeAllTypes(dir);
  const std::vector<std::string> expected = {
      "table AllTypes 3",
      "columns Yes:boolean B:byte I:integer L:long C:currency S:float D:double T:datetime "
      "Bin:binary Txt:text Ole:ole M:memo G:repid Dec:numeric",
      "row true\t200\t-12345\t-2000000000\t\"-12345.6789\"\t1.5\t-3.25e+100\t"
      "\"2000-01-01T18:00:00.000Z\"\t\"01020300ff\"\t\"plain ascii\"\t\"abababababababababab\"\t"
      "\"Unicode: Ωμέγα ☃\"\t\"33221100-5544-7766-8899-aabbccddeeff\"\t\"-123456789.0123\"",
      "row false\tnull\tnull\tnull\tnull\tnull\tnull\tnull\tnull\tnull\tnull\tnull\tnull\tnull",
      "row false\t0\t0\t0\t\"0.0000\"\t0\t0\t\"1899-12-30T00:00:00.000Z\"\t\"\"\t\"\"\t\"\"\t\"\"\t"
      "\"00000000-0000-0000-0000-000000000000\"\t\"0.0000\"",
  };
  EXPECT_EQ(mdbReaderLines(path), expected);
}

TEST(WriterRows, EveryColumnTypeReadsBackInMdbExport) {
  SKIP_WITHOUT_MDBTOOLS();
  Scratch dir;
  const std::string path = writeAllTypes(dir);
  const Output r = run("mdb-export -T '%Y-%m-%d %H:%M:%S' " + shellQuote(path) + " AllTypes");
  std::stringstream lines(r.out);
  std::string header, first, second;
  std::getline(lines, header);
  std::getline(lines, first);
  std::getline(lines, second);
  EXPECT_EQ(header, "Yes,B,I,L,C,S,D,T,Bin,Txt,Ole,M,G,Dec");
  EXPECT_TRUE(first.starts_with(
      "1,200,-12345,-2000000000,-12345.6789,1.5,-3.25e+100,\"2000-01-01 18:00:00\","))
      << first;
  EXPECT_TRUE(first.ends_with(",\"{33221100-5544-7766-8899AABBCCDDEEFF}\",-123456789.0123")) << first;
  EXPECT_NE(first.find(",\"plain ascii\","), std::string::npos) << first;
  EXPECT_NE(first.find(",\"Unicode: Ωμέγα ☃\","), std::string::npos) << first;
  EXPECT_EQ(second, "0,,,,,,,,,,,,,");
}

TEST(WriterRows, LongValuesOfEverySizeComeBackWhole) {
  SKIP_WITHOUT_MDB_READER();
  // Inline up to 64 bytes, one LVAL row up to 4076, chains beyond.
  const std::vector<std::size_t> sizes = {0, 1, 63, 64, 65, 2000, 4076, 4077, 8144, 8145, 30000, 200000};
  TableDef t;
  t.name = "Blobs";
  t.columns = {column("N", ColumnType::Long, 0), column("Ole", ColumnType::OLE, 1),
               column("Memo", ColumnType::Memo, 2)};
  std::vector<Row> rows;
  for (std::size_t n : sizes) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 31 + n);
    std::string text;
    for (std::size_t i = 0; i < n / 2; ++i) text += static_cast<char>('a' + (i + n) % 26);
    rows.push_back({Value{static_cast<std::int32_t>(n)}, Value{b}, Value{text}});
  }
  Scratch dir;
  const std::string path = dir.file("blobs.mdb");
  {
    DatabaseWriter w(path);
    Rows cursor(rows);
    w.addTable(t, cursor);
    w.finish();
  }
  const auto lines = mdbReaderLines(path);
  ASSERT_EQ(lines.size(), 2 + sizes.size());
  for (std::size_t k = 0; k < sizes.size(); ++k) {
    std::string hex;
    const Bytes& b = std::get<Bytes>(rows[k][1]);
    static const char* digits = "0123456789abcdef";
    for (std::uint8_t c : b) {
      hex += digits[c >> 4];
      hex += digits[c & 15];
    }
    const std::string want = "row " + std::to_string(sizes[k]) + "\t\"" + hex + "\"\t\"" +
                             std::get<std::string>(rows[k][2]) + "\"";
    EXPECT_TRUE(lines[2 + k] == want) << "value of " << sizes[k] << " bytes differs";
  }
}

TEST(WriterRows, TextIsCompressedWhereTheColumnAllowsIt) {
  Scratch dir;
  const std::string path = dir.file("compressed.mdb");
  TableDef t;
  t.name = "T";
  t.columns = {column("Packed", ColumnType::Text, 0, 100), column("Wide", ColumnType::Text, 1, 100)};
  t.columns[1].extraFlags = 0;
  {
    DatabaseWriter w(path);
    Rows rows({{Value{std::string("compress me")}, Value{std::string("keep me wide")}}});
    w.addTable(t, rows);
    w.finish();
  }
  const std::string bytes = fileBytes(path);
  EXPECT_NE(bytes.find("\xFF\xFE" "compress me"), std::string::npos);
  const std::string wide("k\0e\0e\0p\0 \0m\0e\0 \0w\0i\0d\0e\0", 24);
  EXPECT_NE(bytes.find(wide), std::string::npos);
  EXPECT_EQ(bytes.find("keep me wide"), std::string::npos);
}

// ASCII text takes a path of its own, many bytes at a time: it must give
// what the general UTF-16 path gives, at every length and alignment.
TEST(WriterRows, AsciiTextEncodesAsTheGeneralPathDoes) {
  const std::string pattern = "The quick brown fox, 0123456789; jumps! ~over {lazy} dogs\t|";
  for (std::size_t from = 0; from < 3; ++from) {
    for (std::size_t length = 0; from + length <= pattern.size(); ++length) {
      const std::string text = pattern.substr(from, length);
      std::u16string units(text.begin(), text.end());
      for (const bool compressible : {false, true}) {
        ByteBuffer general;
        encodeJet4Text(units, compressible, general);
        EXPECT_EQ(encodeJet4Text(text, compressible), general)
            << "'" << text << "' compressible " << compressible;
      }
    }
  }
}

TEST(WriterRows, MixedTextIsCompressedInRunsAndReadsBack) {
  SKIP_WITHOUT_MDB_READER();
  Scratch dir;
  const std::string path = dir.file("mixed.mdb");
  TableDef t;
  t.name = "T";
  t.columns = {column("Mixed", ColumnType::Text, 0, 200)};
  const std::vector<std::string> values = {"plain words then Ωμέγα and more words", "Ωμέγα",
                                           "ab Ω cd", "Āb has a zero low byte"};
  std::vector<Row> rows;
  for (const std::string& v : values) rows.push_back({Value{v}});
  {
    DatabaseWriter w(path);
    Rows cursor(rows);
    w.addTable(t, cursor);
    w.finish();
  }
  const std::string bytes = fileBytes(path);
  // One-byte run, toggle, the Greek word in UTF-16, toggle, one-byte run.
  EXPECT_NE(bytes.find(std::string("\xFF\xFEplain words then \0\xA9\x03\xBC\x03", 24)), std::string::npos);
  const auto lines = mdbReaderLines(path);
  ASSERT_EQ(lines.size(), 2 + values.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(lines[2 + i], "row \"" + values[i] + "\"");
  }
}

TEST(WriterRows, ATableOverManyPagesKeepsEveryRowInOrder) {
  SKIP_WITHOUT_MDBTOOLS();
  const std::size_t count = 80000;
  TableDef t;
  t.name = "Big";
  t.columns = {column("N", ColumnType::Long, 0), column("Label", ColumnType::Text, 1, 100),
               column("Flag", ColumnType::Boolean, 2)};
  Scratch dir;
  const std::string path = dir.file("big.mdb");
  {
    DatabaseWriter w(path);
    GeneratedRows rows(count, [](std::size_t i) {
      return Row{Value{static_cast<std::int32_t>(i)}, Value{"row number " + std::to_string(i)},
                 Value{i % 3 == 0}};
    });
    w.addTable(t, rows);
    w.finish();
  }
  EXPECT_GT(std::filesystem::file_size(path), 512u * 4096u) << "the file should outgrow one inline map";
  const Output r = run("mdb-export " + shellQuote(path) + " Big");
  std::stringstream lines(r.out);
  std::string line;
  std::getline(lines, line);
  std::size_t i = 0;
  bool inOrder = true;
  while (std::getline(lines, line)) {
    const std::string want = std::to_string(i) + ",\"row number " + std::to_string(i) + "\"," +
                             (i % 3 == 0 ? "1" : "0");
    if (line != want) inOrder = false;
    ++i;
  }
  EXPECT_EQ(i, count);
  EXPECT_TRUE(inOrder);
}

TEST(WriterRows, AnEmptyTableIsListedWithNoRows) {
  SKIP_WITHOUT_MDB_READER();
  Scratch dir;
  const std::string path = dir.file("empty.mdb");
  {
    DatabaseWriter w(path);
    Rows none({});
    w.addTable(allTypes(), none);
    w.finish();
  }
  const auto lines = mdbReaderLines(path);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "table AllTypes 0");
}

TEST(WriterRows, ARowTooLongForAPageIsRefused) {
  Scratch dir;
  TableDef t;
  t.name = "Wide";
  for (std::uint16_t k = 0; k < 20; ++k) t.columns.push_back(column("T" + std::to_string(k), ColumnType::Text, k, 510));
  Row row(20, Value{std::string(255, 'w')});
  DatabaseWriter w(dir.file("wide.mdb"));
  t.columns[0].extraFlags = 0;
  for (auto& c : t.columns) c.extraFlags = 0;
  Rows rows({row});
  try {
    w.addTable(t, rows);
    FAIL() << "a 10 kB row was accepted";
  } catch (const jet::Error& e) {
    EXPECT_NE(std::string(e.what()).find("Wide"), std::string::npos) << e.what();
  }
}

}  // namespace
