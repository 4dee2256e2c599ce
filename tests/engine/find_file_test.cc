// Picked files in the check-box list: texts, checks, the underscore rule, and
// the stop at a file whose version is not a number.
#include <gtest/gtest.h>

#include "engine/run_error.h"
#include "trees/find_file.h"

namespace {

QString probe(const QString& path) {
  if (path.contains("bad")) return "error";
  return path.contains("two") ? "2.0" : "3.0";
}

TEST(FindFile, OneJetTwoFileIsListedChecked) {
  std::vector<trees::FoundFile> items;
  trees::listPickedFiles({"/o/two.mdb"}, probe, [&](const auto& f) { items.push_back(f); });
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].text, "/o/two.mdb [v2.0]");
  EXPECT_TRUE(items[0].checked);
}

TEST(FindFile, OrderIsKeptAndOnlyJetTwoWithoutUnderscoreIsChecked) {
  std::vector<trees::FoundFile> items;
  trees::listPickedFiles({"/o/c.mdb", "/old_data/two.mdb", "/o/two.mdb"}, probe,
                         [&](const auto& f) { items.push_back(f); });
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].text, "/o/c.mdb [v3.0]");
  EXPECT_FALSE(items[0].checked);
  EXPECT_FALSE(items[1].checked);
  EXPECT_TRUE(items[2].checked);
}

TEST(FindFile, ADamagedFileStopsTheListingAfterItsItem) {
  std::vector<trees::FoundFile> items;
  try {
    trees::listPickedFiles({"/o/a.mdb", "/o/bad.mdb", "/o/two.mdb"}, probe,
                           [&](const auto& f) { items.push_back(f); });
    FAIL() << "expected a type mismatch";
  } catch (const engine::FileError& e) {
    EXPECT_EQ(e.number(), 13);
  }
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[1].text, "/o/bad.mdb [verror]");
}

}  // namespace
