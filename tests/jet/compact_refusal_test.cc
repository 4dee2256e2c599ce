// A compaction the target version cannot hold is refused naming the
// destination and where in the source it stopped, never a temporary file.
#include <gtest/gtest.h>

#include <filesystem>

#include "jet/compactor.h"
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
    EXPECT_EQ(m.find("'" + dst + ", table 'test', column 'col2''"), 0u) << m;
    EXPECT_EQ(m.find(".tmp"), std::string::npos) << m;
  }
  EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::path(dst).parent_path()));
}

}  // namespace
