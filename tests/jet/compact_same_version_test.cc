// Jet 4 compacted to Jet 4, asked for as "the source's version" (0) and as
// 4.0 (64): everything the reader sees comes across, and deleted rows and
// free pages do not, so a file with deletions shrinks.
#include <gtest/gtest.h>

#include <filesystem>

#include "jet/compactor.h"
#include "jet/database.h"
#include "tests/corpus.h"
#include "tests/jet/writer_support.h"

namespace {

using namespace jet;
using writer_test::cli;
using writer_test::Scratch;

const char* const kDeleted = "jet4-jackcess-delTest-access2000.mdb";

class SameVersion : public ::testing::TestWithParam<long> {};

TEST_P(SameVersion, KeepsEveryTableRowAndObject) {
  Scratch dir;
  const std::string src = corpus::path(kDeleted), dst = dir.file("same.mdb");
  compactDatabase(src, dst, GetParam());
  auto a = Database::open(src), b = Database::open(dst);
  EXPECT_EQ(b->version(), JetVersion::Jet4);
  EXPECT_EQ(cli("dump " + writer_test::shellQuote(dst)),
            cli("dump " + writer_test::shellQuote(src)));
  EXPECT_EQ(cli("tables --all " + writer_test::shellQuote(dst)),
            cli("tables --all " + writer_test::shellQuote(src)));
  EXPECT_EQ(b->queries().size(), a->queries().size());
  EXPECT_EQ(b->relationships().size(), a->relationships().size());
  EXPECT_EQ(b->databaseProperties().size(), a->databaseProperties().size());
  for (const auto& e : a->objects()) {
    if (!e.isLocalTable() || e.name.rfind("MSys", 0) == 0) continue;
    const TableDef x = a->tableDef(e), y = b->tableDef(e.name);
    EXPECT_EQ(y.columns.size(), x.columns.size()) << e.name;
    EXPECT_EQ(y.indexes.size(), x.indexes.size()) << e.name;
    EXPECT_EQ(y.nextAutoNumber, x.nextAutoNumber) << e.name;
    EXPECT_EQ(b->properties(b->tableEntry(e.name)).size(), a->properties(e).size()) << e.name;
  }
}

TEST_P(SameVersion, DropsDeletedRowsAndShrinksTheFile) {
  Scratch dir;
  const std::string src = corpus::path(kDeleted), dst = dir.file("same.mdb");
  compactDatabase(src, dst, GetParam());
  EXPECT_LT(std::filesystem::file_size(dst), std::filesystem::file_size(src));
}

INSTANTIATE_TEST_SUITE_P(Codes, SameVersion, ::testing::Values(kCompactSame, kCompactJet40));

}  // namespace
