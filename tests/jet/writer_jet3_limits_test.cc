// A column Jet 3 cannot declare makes the compaction fail, naming the
// destination (not the temporary file it was built in), the table and the
// column, and leaving nothing in the destination's folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "jet/compactor.h"
#include "jet/error.h"
#include "tests/corpus.h"
#include "tests/jet/writer_support.h"

namespace {

TEST(Jet3Limits, ABinaryColumnWiderThanJet3AllowsIsRefusedNotNarrowed) {
  writer_test::Scratch scratch;
  const std::string result = scratch.file("workgroup.mdw");
  try {
    // The Jet 4 workgroup file declares its SID columns 510 bytes wide.
    jet::compactDatabase(corpus::path("jet4-tril-system.mdw"), result, 32);
    FAIL() << "the compaction should have been refused";
  } catch (const jet::Error& e) {
    EXPECT_EQ(e.number(), jet::kErrUnsupported);
    EXPECT_EQ(std::string(e.what()),
              "'" + result +
                  "' cannot be written: table 'MSysAccounts', column 'SID': a binary column of 510 "
                  "bytes is beyond the 255 bytes a Jet 3 column holds.");
  }
  EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::path(result).parent_path()));
}

}  // namespace
