// The sample databases a first start shows: made by our writer, readable at
// each version it can write, refused cleanly where it cannot.
#include <gtest/gtest.h>

#include <filesystem>

#include "jet/database.h"
#include "jet/error.h"
#include "jet/sample_database.h"

namespace {

std::string scratch(const std::string& name) {
  return (std::filesystem::temp_directory_path() /
          ("jetlift_sample_" + std::to_string(::getpid()) + "_" + name))
      .string();
}

std::size_t rowCount(const jet::Database& db, const std::string& table) {
  auto rows = db.rows(db.tableDef(table));
  jet::Row row;
  std::size_t n = 0;
  while (rows->next(row)) ++n;
  return n;
}

TEST(SampleDatabase, JetFourAndJetThreeSamplesHoldTheirRows) {
  for (auto version : {jet::JetVersion::Jet4, jet::JetVersion::Jet3}) {
    const std::string path = scratch(jet::versionText(version) + ".mdb");
    std::filesystem::remove(path);
    jet::writeSampleDatabase(path, version, 10);
    const auto db = jet::Database::open(path);
    EXPECT_EQ(db->version(), version);
    EXPECT_EQ(rowCount(*db, "Customers"), 10u);
    EXPECT_EQ(rowCount(*db, "Orders"), 30u);
    std::filesystem::remove(path);
  }
}

TEST(SampleDatabase, AVersionTheWriterCannotMakeLeavesNoFile) {
  const std::string path = scratch("two.mdb");
  std::filesystem::remove(path);
  EXPECT_THROW(jet::writeSampleDatabase(path, jet::JetVersion::Jet2), jet::Error);
  EXPECT_FALSE(std::filesystem::exists(path));
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::temp_directory_path())) {
    EXPECT_EQ(entry.path().string().find(path + "."), std::string::npos) << entry.path();
  }
}

}  // namespace
