// Text taken as stored into and out of Jet 3 files: a Jet 2 or Jet 3
// source keeps only plain ASCII, and a Jet 3 result takes stored text from
// any generation. Each copy must be the file its decoded values give, byte for byte.
#include <gtest/gtest.h>

#include "jet/database.h"
#include "jet/database_writer.h"
#include "tests/jet/writer_support.h"

namespace {

using namespace jet;
using namespace writer_test;

// Text lengths in characters, as Jet 2 and 3 columns count them.
TableDef textTable(int generation) {
  const std::uint16_t unit = generation == 4 ? 2 : 1;
  TableDef t;
  t.name = "Texts";
  t.columns = {column("Id", ColumnType::Long, 0, 4, kColumnFixed),
               column("Short", ColumnType::Text, 1, static_cast<std::uint16_t>(200 * unit)),
               column("Keyed", ColumnType::Text, 2, static_cast<std::uint16_t>(100 * unit)),
               column("Note", ColumnType::Memo, 3)};
  // Jet 2 keys are known for the corpus's characters only, and "è" is not among them.
  if (generation == 2) return t;
  PhysicalIndex byKey;
  byKey.columns = {IndexColumn{2, true}};
  t.physicalIndexes = {byKey};
  Index index;
  index.name = "Keyed";
  index.physicalIndex = 0;
  t.indexes = {index};
  return t;
}

// Text a Jet 3 file in code page 1252 can hold: plain ASCII and beyond it.
// A Jet 2 file holds no empty text.
std::vector<std::string> samples(int generation) {
  std::string longAscii;
  while (longAscii.size() < 5000) longAscii += "a memo that goes to long-value pages ";
  std::vector<std::string> texts = {"plain words", "ab", "", "Café crème",
                                    "tab\tand other controls\x01", "ASCII first, then Ärger",
                                    longAscii.substr(0, 64), longAscii.substr(0, 65),
                                    longAscii.substr(0, 1024), longAscii.substr(0, 1025),
                                    longAscii, longAscii + " über"};
  if (generation == 2) texts.erase(texts.begin() + 2);
  return texts;
}

std::vector<Row> sampleRows(int generation) {
  std::vector<Row> rows;
  const auto texts = samples(generation);
  // A Jet 2 row with variable columns holds at most 256 bytes.
  const std::size_t shortLength = generation == 2 ? 80 : 200;
  const std::size_t keyedLength = generation == 2 ? 50 : 90;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const std::string& s = texts[i];
    rows.push_back({Value{static_cast<std::int32_t>(i)}, Value{s.substr(0, shortLength)},
                    Value{s.substr(0, keyedLength)}, Value{s}});
  }
  rows.push_back({Value{std::int32_t{99}}, Value{}, Value{}, Value{}});
  return rows;
}

std::string writeSource(const Scratch& dir, int generation) {
  const std::string path = dir.file("source" + std::to_string(generation) + ".mdb");
  WriterOptions o;
  o.creationDate = 45000.5;
  o.generation = generation;
  DatabaseWriter w(path, o);
  Rows rows(sampleRows(generation));
  w.addTable(textTable(generation), rows);
  w.finish();
  return path;
}

// The source's table copied into a file of `generation`, as stored or decoded.
std::string copyOf(const std::string& source, int generation, const std::string& path,
                   bool decoded) {
  auto db = Database::open(source);
  TableDef def = db->tableDef("Texts");
  const int from = db->version() == JetVersion::Jet4 ? 4 : 3;
  for (Column& c : def.columns) {
    if (c.type == ColumnType::Text && from != generation) {
      c.length = static_cast<std::uint16_t>(generation == 3 ? c.length / 2 : c.length * 2);
    }
  }
  auto rows = db->rows(def);
  WriterOptions o;
  o.creationDate = 45001.25;
  o.generation = generation;
  DatabaseWriter w(path, o);
  addTableRows(w, def, *rows, decoded);
  w.finish();
  return fileBytes(path);
}

TEST(StoredTextJet3, Jet2AndJet3TableScansKeepPlainAsciiAndDecodeTheRest) {
  for (const int generation : {2, 3}) {
    SCOPED_TRACE(generation);
    Scratch dir;
    auto db = Database::open(writeSource(dir, generation));
    ASSERT_EQ(db->version(), generation == 3 ? JetVersion::Jet3 : JetVersion::Jet2);
    const TableDef def = db->tableDef("Texts");
    auto rows = db->rows(def);
    ASSERT_TRUE(rows->keepStoredText({false, true, false, true}));
    EXPECT_TRUE(rows->storedTextIsAscii());
    Row row;
    ASSERT_TRUE(rows->next(row));  // "plain words"
    const auto plain = rows->storedText(1);
    EXPECT_EQ(std::string(plain.begin(), plain.end()), "plain words");
    const auto note = rows->storedText(3);
    EXPECT_EQ(std::string(note.begin(), note.end()), "plain words");
    EXPECT_EQ(row[1], Value{std::string()});
    EXPECT_EQ(row[2], Value{std::string("plain words")});  // not kept: decoded
    ASSERT_TRUE(rows->next(row));  // "ab"
    if (generation == 3) {
      ASSERT_TRUE(rows->next(row));  // ""
    }
    ASSERT_TRUE(rows->next(row));  // "Café crème": no stored bytes, the value decoded
    EXPECT_TRUE(rows->storedText(1).empty());
    EXPECT_TRUE(rows->storedText(3).empty());
    EXPECT_EQ(row[1], Value{std::string("Café crème")});
    EXPECT_EQ(row[3], Value{std::string("Café crème")});
    for (int k = 0; k < 7; ++k) ASSERT_TRUE(rows->next(row));
    // A memo of many long-value rows comes whole, as stored.
    const auto chained = rows->storedText(3);
    const auto texts = samples(generation);
    EXPECT_EQ(std::string(chained.begin(), chained.end()), texts[texts.size() - 2]);
    EXPECT_EQ(row[3], Value{std::string()});
    ASSERT_TRUE(rows->next(row));  // beyond ASCII at its end: decoded
    EXPECT_TRUE(rows->storedText(3).empty());
    EXPECT_EQ(row[3], Value{texts.back()});
  }
}

TEST(StoredTextJet3, AJet4TableScanDoesNotCallItsTextAscii) {
  Scratch dir;
  auto db = Database::open(writeSource(dir, 4));
  auto rows = db->rows(db->tableDef("Texts"));
  ASSERT_TRUE(rows->keepStoredText({false, true, false, true}));
  EXPECT_FALSE(rows->storedTextIsAscii());
}

struct Path {
  int from, to;
};

class StoredTextCopies : public ::testing::TestWithParam<Path> {};

TEST_P(StoredTextCopies, WriteTheBytesOfTheirDecodedValues) {
  const Path p = GetParam();
  Scratch dir;
  const std::string source = writeSource(dir, p.from);
  const std::string stored = copyOf(source, p.to, dir.file("stored.mdb"), false);
  const std::string decoded = copyOf(source, p.to, dir.file("decoded.mdb"), true);
  ASSERT_FALSE(stored.empty());
  EXPECT_EQ(stored.size(), decoded.size());
  EXPECT_TRUE(stored == decoded);
}

TEST_P(StoredTextCopies, ReadBackValueByValue) {
  const Path p = GetParam();
  Scratch dir;
  copyOf(writeSource(dir, p.from), p.to, dir.file("stored.mdb"), false);
  auto db = Database::open(dir.file("stored.mdb"));
  ASSERT_EQ(db->version(), p.to == 3 ? JetVersion::Jet3 : JetVersion::Jet4);
  auto rows = db->rows(db->tableDef("Texts"));
  const std::vector<Row> want = sampleRows(p.from);
  Row row;
  std::size_t n = 0;
  while (rows->next(row)) {
    ASSERT_LT(n, want.size());
    EXPECT_EQ(row, want[n]) << "row " << n;
    ++n;
  }
  EXPECT_EQ(n, want.size());
}

INSTANTIATE_TEST_SUITE_P(Generations, StoredTextCopies,
                         ::testing::Values(Path{2, 3}, Path{2, 4}, Path{3, 3}, Path{3, 4},
                                           Path{4, 3}, Path{4, 4}),
                         [](const ::testing::TestParamInfo<Path>& info) {
                           return "Jet" + std::to_string(info.param.from) + "ToJet" +
                                  std::to_string(info.param.to);
                         });

// Stored text that does not fit the column is refused as the decoded value is.
TEST(StoredTextJet3, TextTooLongForAJet3ColumnIsRefusedEitherWay) {
  Scratch dir;
  const std::string source = writeSource(dir, 4);
  const auto refusal = [&](bool decoded) -> std::string {
    auto db = Database::open(source);
    TableDef def = db->tableDef("Texts");
    def.columns[1].length = 10;  // characters: "plain words" has 11
    auto rows = db->rows(def);
    WriterOptions o;
    o.generation = 3;
    DatabaseWriter w(dir.file("copy.mdb"), o);  // one name, so the messages compare
    try {
      addTableRows(w, def, *rows, decoded);
    } catch (const Error& e) {
      return e.what();
    }
    return "";
  };
  const std::string stored = refusal(false);
  EXPECT_NE(stored.find("longer than the column allows"), std::string::npos) << stored;
  EXPECT_EQ(stored, refusal(true));
}

}  // namespace
