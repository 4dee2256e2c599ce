// A copy from a Jet 4 file takes text as stored, without decoding it: the
// file it writes must be the one the decoded values give, byte for byte.
#include <gtest/gtest.h>

#include "jet/database.h"
#include "jet/database_writer.h"
#include "tests/jet/writer_support.h"

namespace {

using namespace jet;
using namespace writer_test;

TableDef textTable() {
  TableDef t;
  t.name = "Texts";
  t.columns = {column("Id", ColumnType::Long, 0, 4, kColumnFixed),
               column("Packed", ColumnType::Text, 1, 510),
               column("Wide", ColumnType::Text, 2, 510),
               column("Keyed", ColumnType::Text, 3, 200),
               column("Note", ColumnType::Memo, 4),
               column("WideNote", ColumnType::Memo, 5)};
  t.columns[2].extraFlags = 0;  // not compressible
  t.columns[5].extraFlags = 0;
  PhysicalIndex byKey;
  byKey.columns = {IndexColumn{3, true}};
  t.physicalIndexes = {byKey};
  Index index;
  index.name = "Keyed";
  index.physicalIndex = 0;
  t.indexes = {index};
  return t;
}

std::vector<std::string> samples() {
  std::string longAscii, longGreek;
  while (longAscii.size() < 3000) longAscii += "a memo longer than Access compresses ";
  while (longGreek.size() < 3000) longGreek += "Ωμέγα and words ";
  return {"plain words",
          "ab",
          "",
          "Café crème",
          "Ωμέγα",
          "plain words then Ωμέγα and more words",
          "ab Ω cd",
          "Āb has a zero low byte",
          "日本語のテキスト",
          "smile \xF0\x9F\x98\x80 and more",
          longAscii.substr(0, 1024),
          longAscii.substr(0, 1025),
          longAscii,
          longGreek};
}

std::vector<Row> sampleRows() {
  std::vector<Row> rows;
  const auto texts = samples();
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const std::string& s = texts[i];
    const std::string shortText = s.substr(0, 200);
    rows.push_back({Value{static_cast<std::int32_t>(i)}, Value{shortText}, Value{shortText},
                    Value{s.substr(0, 90)}, Value{s}, Value{s}});
  }
  rows.push_back({Value{std::int32_t{99}}, Value{}, Value{}, Value{}, Value{}, Value{}});
  return rows;
}

std::string writeSource(const Scratch& dir) {
  const std::string path = dir.file("source.mdb");
  WriterOptions o;
  o.creationDate = 45000.5;
  DatabaseWriter w(path, o);
  Rows rows(sampleRows());
  w.addTable(textTable(), rows);
  w.finish();
  return path;
}

std::string copyOf(const std::string& source, const std::string& path, bool decoded) {
  auto db = Database::open(source);
  const TableDef def = db->tableDef("Texts");
  auto rows = db->rows(def);
  WriterOptions o;
  o.creationDate = 45001.25;
  DatabaseWriter w(path, o);
  addTableRows(w, def, *rows, decoded);
  w.finish();
  return fileBytes(path);
}

TEST(StoredText, AJet4TableScanHandsOutTheBytesAsStored) {
  Scratch dir;
  const std::string source = writeSource(dir);
  auto db = Database::open(source);
  const TableDef def = db->tableDef("Texts");
  auto rows = db->rows(def);
  ASSERT_TRUE(rows->keepStoredText({false, true, true, false, true, false}));
  Row row;
  ASSERT_TRUE(rows->next(row));
  const auto packed = rows->storedText(1);
  EXPECT_EQ(std::string(packed.begin(), packed.end()), "\xFF\xFEplain words");
  const auto wide = rows->storedText(2);
  EXPECT_EQ(std::string(wide.begin(), wide.end()), std::string("p\0l\0a\0i\0n\0 \0w\0o\0r\0d\0s\0", 22));
  const auto note = rows->storedText(4);
  EXPECT_EQ(std::string(note.begin(), note.end()), "\xFF\xFEplain words");
  // Kept columns only say whether they hold a value; the others are decoded.
  EXPECT_EQ(row[1], Value{std::string()});
  EXPECT_EQ(row[3], Value{std::string("plain words")});
  EXPECT_EQ(row[5], Value{std::string("plain words")});
}

TEST(StoredText, ACopyOfStoredTextWritesTheBytesOfItsDecodedValues) {
  Scratch dir;
  const std::string source = writeSource(dir);
  const std::string stored = copyOf(source, dir.file("stored.mdb"), false);
  const std::string decoded = copyOf(source, dir.file("decoded.mdb"), true);
  ASSERT_FALSE(stored.empty());
  EXPECT_EQ(stored.size(), decoded.size());
  EXPECT_TRUE(stored == decoded);
}

TEST(StoredText, ACopyOfStoredTextReadsBackValueByValue) {
  Scratch dir;
  const std::string source = writeSource(dir);
  copyOf(source, dir.file("stored.mdb"), false);
  auto db = Database::open(dir.file("stored.mdb"));
  const TableDef def = db->tableDef("Texts");
  auto rows = db->rows(def);
  const std::vector<Row> want = sampleRows();
  Row row;
  std::size_t n = 0;
  while (rows->next(row)) {
    ASSERT_LT(n, want.size());
    EXPECT_EQ(row, want[n]) << "row " << n;
    ++n;
  }
  EXPECT_EQ(n, want.size());
}

}  // namespace
