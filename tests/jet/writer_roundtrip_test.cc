// Every corpus database our reader opens, compacted into a new Jet 4 file:
// our reader, mdbtools and the structure check must find the same tables,
// columns and values as in the source.
#include <gtest/gtest.h>

#include <algorithm>

#include "jet/compactor.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/text.h"
#include "tests/corpus.h"
#include "tests/jet/writer_checker.h"
#include "tests/jet/writer_support.h"

namespace {

using namespace jet;
using namespace writer_test;

bool copied(const CatalogEntry& e) { return e.isLocalTable() && !isRebuiltCatalogTable(e.name); }

// Copies `source` into `target`. A failure to read the source is the
// reader's (the test is skipped with its message); a failure to write fails.
std::string copyOrWhy(const Database& source, const std::string& target) {
  try {
    compactDatabase(source.path(), target, kCompactJet40);
  } catch (const jet::Error& e) {
    const std::string what = e.what();
    if (what.find(source.path()) != std::string::npos) return what;
    // Text keys of another sort order cannot change generation.
    if (what.find("is indexed under sort order") != std::string::npos) return what;
    throw;
  }
  return "";
}

std::vector<std::string> corpusDatabases() {
  std::vector<std::string> names;
  for (const corpus::Entry& e : corpus::manifest()) {
    if (e.jetVersion == "jet2" || e.jetVersion == "jet3" || e.jetVersion == "jet4") names.push_back(e.name);
  }
  return names;
}

class CorpusCopy : public ::testing::TestWithParam<std::string> {};

TEST_P(CorpusCopy, EveryTableComesBackValueByValue) {
  const std::string source = corpus::path(GetParam());
  std::unique_ptr<Database> src;
  try {
    src = Database::open(source);
    for (const CatalogEntry& e : src->objects()) {
      if (copied(e)) src->tableDef(e);
    }
  } catch (const jet::Error& e) {
    GTEST_SKIP() << "our reader does not open it: " << e.what();
  }
  Scratch dir;
  const std::string target = dir.file("copy.mdb");
  const std::string why = copyOrWhy(*src, target);
  if (!why.empty()) GTEST_SKIP() << "not copied: " << why;
  const auto dst = Database::open(target);
  EXPECT_EQ(dst->versionText(), "4.0");
  FileCheck check(target);
  for (std::uint32_t t = 2; t <= 5; ++t) check.checkTable(t);
  for (const CatalogEntry& e : src->objects()) {
    if (!copied(e)) continue;
    SCOPED_TRACE(e.name);
    const TableDef a = src->tableDef(e);
    const CatalogEntry& f = dst->tableEntry(e.name);
    const TableDef b = dst->tableDef(f);
    ASSERT_EQ(a.columns.size(), b.columns.size());
    for (std::size_t i = 0; i < a.columns.size(); ++i) {
      EXPECT_EQ(a.columns[i].name, b.columns[i].name);
      EXPECT_EQ(a.columns[i].type, b.columns[i].type);
    }
    EXPECT_EQ(a.indexes.size(), b.indexes.size());
    auto ra = src->rows(a);
    auto rb = dst->rows(b);
    Row x, y;
    std::size_t n = 0, differing = 0;
    while (ra->next(x)) {
      ASSERT_TRUE(rb->next(y)) << "row " << n << " is missing";
      if (x != y && differing++ == 0) {
        for (std::size_t c = 0; c < x.size() && c < y.size(); ++c) {
          EXPECT_TRUE(x[c] == y[c]) << "row " << n << ", column " << a.columns[c].name << " ("
                                    << columnTypeName(a.columns[c].type) << ") differs; value kinds "
                                    << x[c].index() << "/" << y[c].index();
        }
      }
      ++n;
    }
    EXPECT_FALSE(rb->next(y)) << "the copy has more rows";
    EXPECT_EQ(differing, 0u) << "of " << n << " rows";
    EXPECT_EQ(check.checkTable(f.definitionPage()), n);
  }
  check.checkAllPagesOwned();
  EXPECT_EQ(src->queries().size(), dst->queries().size());
  EXPECT_EQ(src->relationships().size(), dst->relationships().size());
}

TEST_P(CorpusCopy, MdbtoolsExportsTheSameRowsFromSourceAndCopy) {
  SKIP_WITHOUT_MDBTOOLS();
  const std::string source = corpus::path(GetParam());
  if (run("mdb-tables -1 " + shellQuote(source) + " >/dev/null").status != 0) {
    GTEST_SKIP() << "mdbtools do not open the source";
  }
  std::unique_ptr<Database> src;
  try {
    src = Database::open(source);
  } catch (const jet::Error& e) {
    GTEST_SKIP() << "our reader does not open it: " << e.what();
  }
  Scratch dir;
  const std::string target = dir.file("copy.mdb");
  const std::string why = copyOrWhy(*src, target);
  if (!why.empty()) GTEST_SKIP() << "not copied: " << why;
  EXPECT_EQ(run("mdb-ver " + shellQuote(target)).out, "JET4\n");
  EXPECT_EQ(run("mdb-tables -1 " + shellQuote(target)).out, run("mdb-tables -1 " + shellQuote(source)).out);
  for (const CatalogEntry& e : src->objects()) {
    if (!copied(e)) continue;
    const std::string cmd = "mdb-export -b hex -T '%Y-%m-%d %H:%M:%S' ";
    // As multisets: mdbtools lists moved (overflow) rows of a source elsewhere.
    const Output a = run(cmd + shellQuote(source) + " " + shellQuote(e.name) + " | LC_ALL=C sort | md5sum");
    const Output b = run(cmd + shellQuote(target) + " " + shellQuote(e.name) + " | LC_ALL=C sort | md5sum");
    EXPECT_EQ(a.out, b.out) << "table " << e.name;
  }
}

TEST_P(CorpusCopy, MdbReaderReadsTheSameRowsFromSourceAndCopy) {
  SKIP_WITHOUT_MDB_READER();
  const std::string source = corpus::path(GetParam());
  std::vector<std::string> before = mdbReaderLines(source);
  std::unique_ptr<Database> src;
  try {
    src = Database::open(source);
  } catch (const jet::Error& e) {
    GTEST_SKIP() << "our reader does not open it: " << e.what();
  }
  Scratch dir;
  const std::string target = dir.file("copy.mdb");
  const std::string why = copyOrWhy(*src, target);
  if (!why.empty()) GTEST_SKIP() << "not copied: " << why;
  std::vector<std::string> after = mdbReaderLines(target);
  ASSERT_FALSE(after.empty()) << "mdb-reader does not open the copy";
  if (before.empty()) {
    // mdb-reader cannot read the source (Jet 2): compare with our reader's counts.
    for (const CatalogEntry& e : src->objects()) {
      if (!copied(e) || (e.flags & 0x80000002) != 0) continue;
      std::size_t n = 0;
      Row row;
      for (auto rows = src->rows(src->tableDef(e)); rows->next(row);) ++n;
      EXPECT_NE(std::find(after.begin(), after.end(), "table " + e.name + " " + std::to_string(n)), after.end())
          << e.name;
    }
    return;
  }
  // As multisets: readers list moved (overflow) rows of a source elsewhere.
  std::sort(before.begin(), before.end());
  std::sort(after.begin(), after.end());
  EXPECT_EQ(before.size(), after.size());
  EXPECT_TRUE(before == after) << "mdb-reader sees other tables, columns or values";
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusCopy, ::testing::ValuesIn(corpusDatabases()),
                         [](const auto& info) {
                           std::string n = info.param;
                           for (char& c : n) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return n;
                         });

}  // namespace
