// Compaction to Jet 3.0 (code 32): what our reader, mdbtools and mdb-reader
// see in the result equals the source, and what Jet 3 cannot hold (Decimal,
// text outside the code page) makes the compaction fail naming where,
// leaving no destination behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "jet/check.h"
#include "jet/compactor.h"
#include "jet/database.h"
#include "jet/database_writer.h"
#include "jet/error.h"
#include "tests/corpus.h"
#include "tests/jet/writer_support.h"

namespace {

using namespace jet;
using writer_test::dumpWithoutVersion;
using writer_test::Scratch;
using writer_test::shellQuote;

class ToJet3 : public ::testing::TestWithParam<const char*> {};

TEST_P(ToJet3, OurReaderSeesEveryValueOfTheSourceInAJet3File) {
  Scratch dir;
  const std::string src = corpus::path(GetParam()), dst = dir.file("j3.mdb");
  compactDatabase(src, dst, kCompactJet30);
  EXPECT_EQ(Database::open(dst)->version(), JetVersion::Jet3);
  EXPECT_EQ(dumpWithoutVersion(dst), dumpWithoutVersion(src));
}

TEST_P(ToJet3, TheResultPassesTheCheckWithEveryKeyReMade) {
  Scratch dir;
  const std::string dst = dir.file("j3.mdb");
  compactDatabase(corpus::path(GetParam()), dst, kCompactJet30);
  const CheckReport r = checkDatabase(dst);
  std::string problems;
  for (const auto& p : r.problems) problems += p + "\n";
  EXPECT_TRUE(r.ok()) << problems;
  EXPECT_GT(r.indexEntries, 0u);
  EXPECT_EQ(r.unverifiedKeys, 0u);
  writer_test::cli("check " + shellQuote(dst));
}

TEST_P(ToJet3, MdbtoolsCallItJet3AndExportTheSameRows) {
  SKIP_WITHOUT_MDBTOOLS();
  Scratch dir;
  const std::string src = corpus::path(GetParam()), dst = dir.file("j3.mdb");
  compactDatabase(src, dst, kCompactJet30);
  EXPECT_EQ(writer_test::run("mdb-ver " + shellQuote(dst)).out, "JET3\n");
  const auto tables = writer_test::run("mdb-tables -1 " + shellQuote(src));
  EXPECT_EQ(writer_test::run("mdb-tables -1 " + shellQuote(dst)).out, tables.out);
  std::stringstream in(tables.out);
  std::string table;
  while (std::getline(in, table)) {
    const std::string args = " " + shellQuote(table) + " | sort";
    EXPECT_EQ(writer_test::run("mdb-export " + shellQuote(dst) + args).out,
              writer_test::run("mdb-export " + shellQuote(src) + args).out)
        << table;
  }
}

TEST_P(ToJet3, MdbReaderReadsTheSameRows) {
  SKIP_WITHOUT_MDB_READER();
  Scratch dir;
  const std::string src = corpus::path(GetParam()), dst = dir.file("j3.mdb");
  compactDatabase(src, dst, kCompactJet30);
  auto a = writer_test::mdbReaderLines(src), b = writer_test::mdbReaderLines(dst);
  ASSERT_FALSE(b.empty());
  // Row order is the reader's page order, which a compaction may change.
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  EXPECT_EQ(b, a);
}

INSTANTIATE_TEST_SUITE_P(
    Corpus, ToJet3,
    ::testing::Values("jet3-jackcess-test-access97.mdb", "jet3-jackcess-indexTest-access97.mdb",
                      "jet3-jackcess-compIndexTest-access97.mdb", "jet3-jackcess-overflowTest-access97.mdb",
                      "jet3-jackcess-queryTest-access97.mdb", "jet3-psc-maclucas-northwind-small.mdb",
                      "jet3-vb6-biblio-dblist.mdb", "jet3-pecl-mdbtools-test.mdb",
                      // accented letters in indexed text
                      "jet3-mdbtestdata-nwind.mdb", "jet3-psc-nwind-trimmed.mdb",
                      "jet4-jackcess-test-access2003.mdb", "jet4-jackcess-indexTest-access2003.mdb",
                      "jet4-jackcess-emptyJet4.mdb", "jet4-mdbtestdata-datetest.mdb"));

// The check reads Access's own Jet 3 files too: only the stale row count the
// corpus manifest records for a file is a problem.
TEST(Jet3Check, EveryAccessMadeJet3CorpusFileIsWalkedToTheEnd) {
  std::size_t files = 0, entries = 0;
  for (const auto& e : corpus::manifest()) {
    if (e.jetVersion != "jet3") continue;
    const CheckReport r = checkDatabase(corpus::path(e.name));
    ++files;
    entries += r.indexEntries;
    EXPECT_GT(r.indexEntries, 0u) << e.name;
    for (const auto& p : r.problems) {
      const bool stale = e.notes.find("rowcheck") != std::string::npos &&
                         p.find("rows, its definition says") != std::string::npos;
      EXPECT_TRUE(stale) << e.name << ": " << p;
    }
  }
  EXPECT_GE(files, 20u);
  RecordProperty("index_entries_checked", static_cast<int>(entries));
}

// Every 3.0 result the corpus gives passes the check; refusals are the
// compaction's business (tests below), not the check's.
TEST(Jet3Check, EveryJet3ResultOfTheCorpusPassesTheCheck) {
  std::size_t compacted = 0, refused = 0;
  for (const auto& e : corpus::manifest()) {
    if (e.jetVersion == "not-jet") continue;
    Scratch dir;
    const std::string dst = dir.file("j3.mdb");
    try {
      compactDatabase(corpus::path(e.name), dst, kCompactJet30);
    } catch (const Error&) {
      ++refused;
      continue;
    }
    ++compacted;
    const CheckReport r = checkDatabase(dst);
    std::string problems;
    for (const auto& p : r.problems) problems += p + "\n";
    EXPECT_TRUE(r.ok()) << e.name << "\n" << problems;
  }
  EXPECT_GE(compacted, 40u);
  std::cout << compacted << " corpus files compacted to 3.0 and checked, " << refused << " refused\n";
  RecordProperty("jet3_results_checked", static_cast<int>(compacted));
}

std::string refusal(const std::string& source) {
  return writer_test::compactionRefusal(source, kCompactJet30);
}

TEST(Jet3Refusals, ADecimalColumnFailsNamingTableAndColumn) {
  const std::string m = refusal("jet4-jackcess-fixedNumericTest-access2003.mdb");
  EXPECT_NE(m.find("table 'test'"), std::string::npos) << m;
  EXPECT_NE(m.find("column 'col2'"), std::string::npos) << m;
  EXPECT_NE(m.find("Decimal"), std::string::npos) << m;
}

TEST(Jet3Refusals, TextOutsideTheCodePageFailsNamingTableColumnAndRow) {
  const std::string m = refusal("jet4-oledb-excel-db.mdb");
  EXPECT_NE(m.find("table 'MSysNavPaneGroupCategories'"), std::string::npos) << m;
  EXPECT_NE(m.find("row 3"), std::string::npos) << m;
  EXPECT_NE(m.find("column 'Name'"), std::string::npos) << m;
  EXPECT_NE(m.find("code page 1252"), std::string::npos) << m;
}

// Hand-made Jet 3 tables through the writer itself.
WriterOptions jet3() {
  WriterOptions o;
  o.generation = 3;
  return o;
}

TEST(Jet3Writer, RowsLongerThan256And512BytesReadBackThroughTheirJumpTables) {
  Scratch dir;
  const std::string path = dir.file("long.mdb");
  TableDef t;
  t.name = "Wide";
  t.columns = {writer_test::column("Id", ColumnType::Long, 0),
               writer_test::column("A", ColumnType::Text, 1, 255),
               writer_test::column("B", ColumnType::Text, 2, 255),
               writer_test::column("C", ColumnType::Text, 3, 255),
               writer_test::column("D", ColumnType::Text, 4, 255)};
  std::vector<Row> rows;
  for (int n : {0, 100, 200, 250, 255}) {
    const std::string s(static_cast<std::size_t>(n), static_cast<char>('a' + n % 26));
    rows.push_back(Row{Value{std::int32_t{n}}, Value{s}, Value{s + ""}, n % 2 ? Value{} : Value{s}, Value{s}});
  }
  {
    DatabaseWriter w(path, jet3());
    writer_test::Rows cursor(rows);
    w.addTable(t, cursor);
    w.finish();
  }
  auto db = Database::open(path);
  ASSERT_EQ(db->version(), JetVersion::Jet3);
  const TableDef def = db->tableDef("Wide");
  auto cursor = db->rows(def);
  Row row;
  std::size_t k = 0;
  while (cursor->next(row)) {
    ASSERT_LT(k, rows.size());
    for (std::size_t i = 0; i < rows[k].size(); ++i) {
      const bool nullOrEmpty = isNull(rows[k][i]) ||
                               (std::holds_alternative<std::string>(rows[k][i]) &&
                                std::get<std::string>(rows[k][i]).empty());
      if (nullOrEmpty) continue;
      EXPECT_EQ(row[i], rows[k][i]) << "row " << k << " column " << i;
    }
    ++k;
  }
  EXPECT_EQ(k, rows.size());
}

TEST(Jet3Writer, TextInTheCodePageIsKeptAndTextOutsideItNamesTheRow) {
  Scratch dir;
  TableDef t;
  t.name = "Words";
  t.columns = {writer_test::column("W", ColumnType::Text, 0, 50)};
  {
    DatabaseWriter w(dir.file("ok.mdb"), jet3());
    writer_test::Rows cursor({Row{Value{std::string("caf\xC3\xA9 \xE2\x82\xAC")}}});
    w.addTable(t, cursor);
    w.finish();
  }
  auto db = Database::open(dir.file("ok.mdb"));
  auto rows = db->rows(db->tableDef("Words"));
  Row row;
  ASSERT_TRUE(rows->next(row));
  EXPECT_EQ(std::get<std::string>(row[0]), "caf\xC3\xA9 \xE2\x82\xAC");
  DatabaseWriter w(dir.file("bad.mdb"), jet3());
  writer_test::Rows cursor({Row{Value{std::string("fine")}}, Row{Value{std::string("\xCE\xA9")}}});
  try {
    w.addTable(t, cursor);
    ADD_FAILURE() << "Omega was written to a code page 1252 file";
  } catch (const Error& e) {
    const std::string m = e.what();
    EXPECT_NE(m.find("table 'Words'"), std::string::npos) << m;
    EXPECT_NE(m.find("row 2"), std::string::npos) << m;
    EXPECT_NE(m.find("column 'W'"), std::string::npos) << m;
  }
}

}  // namespace
