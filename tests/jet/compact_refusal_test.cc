// A compaction the target version cannot hold is refused naming the
// destination and where in the source it stopped, never a temporary file.
#include <gtest/gtest.h>

#include <filesystem>

#include "jet/compactor.h"
#include "jet/database_writer.h"
#include "jet/error.h"
#include "tests/corpus.h"
#include "tests/jet/writer_support.h"

namespace {

using namespace jet;

TEST(CompactRefusals, ARefusalNamesTheDestinationAndNoTemporaryFile) {
  writer_test::Scratch dir;
  const std::string dst = dir.file("j3.mdb");
  try {
    compactDatabase(corpus::path("jet4-jackcess-fixedNumericTest-access2003.mdb"), dst, kCompactJet30);
    ADD_FAILURE() << "a Decimal column was compacted to Jet 3";
  } catch (const Error& e) {
    const std::string m = e.what();
    EXPECT_EQ(m.find("'" + dst + "' cannot be written: table 'test', column 'col2': "), 0u) << m;
    EXPECT_EQ(m.find(".tmp"), std::string::npos) << m;
  }
  EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::path(dst).parent_path()));
}

TEST(CompactRefusals, AColumnNameJet3CannotHoldIsRefusedNamingTheFileTableAndName) {
  writer_test::Scratch dir;
  const std::string src = dir.file("wide-name.mdb"), dst = dir.file("j3.mdb");
  {
    TableDef t;
    t.name = "Greek";
    t.columns = {writer_test::column("\xCE\xA9mega", ColumnType::Long, 0)};
    DatabaseWriter w(src);
    writer_test::Rows rows({Row{Value{std::int32_t{1}}}});
    w.addTable(t, rows);
    w.finish();
  }
  try {
    compactDatabase(src, dst, kCompactJet30);
    ADD_FAILURE() << "a name outside code page 1252 was written to Jet 3";
  } catch (const Error& e) {
    const std::string m = e.what();
    EXPECT_EQ(m.find("'" + dst + "' cannot be written: table 'Greek', name '\xCE\xA9mega': "), 0u) << m;
    EXPECT_NE(m.find("code page 1252"), std::string::npos) << m;
  }
  EXPECT_FALSE(std::filesystem::exists(dst));
}

}  // namespace
