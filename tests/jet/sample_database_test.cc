// The sample databases a first start shows: made by our writer, readable at
// each version it writes (2.0, 3.0, 4.0), leaving nothing behind on failure.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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

std::vector<jet::Row> allRows(const jet::Database& db, const std::string& table) {
  auto rows = db.rows(db.tableDef(table));
  std::vector<jet::Row> out;
  jet::Row row;
  while (rows->next(row)) out.push_back(row);
  return out;
}

TEST(SampleDatabase, JetTwoSamplesAreReadBackAs20WithEveryRowOfTheJetFourOne) {
  const std::string four = scratch("four.mdb"), two = scratch("two.mdb");
  std::filesystem::remove(four);
  std::filesystem::remove(two);
  jet::writeSampleDatabase(four, jet::JetVersion::Jet4, 25);
  jet::writeSampleDatabase(two, jet::JetVersion::Jet2, 25);
  const auto a = jet::Database::open(four), b = jet::Database::open(two);
  EXPECT_EQ(b->versionText(), "2.0");
  for (const char* table : {"Customers", "Orders"}) {
    const auto rows = allRows(*b, table);
    EXPECT_EQ(rows.size(), std::string(table) == "Orders" ? 75u : 25u) << table;
    EXPECT_EQ(rows, allRows(*a, table)) << table;
  }
  std::filesystem::remove(four);
  std::filesystem::remove(two);
}

TEST(SampleDatabase, AFailedSampleLeavesNoTemporaryFile) {
  const std::string path = scratch("taken.mdb");
  { std::ofstream(path) << "already here"; }
  EXPECT_THROW(jet::writeSampleDatabase(path, jet::JetVersion::Jet2), jet::Error);
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::temp_directory_path())) {
    EXPECT_EQ(entry.path().string().find(path + "."), std::string::npos) << entry.path();
  }
  std::filesystem::remove(path);
}

}  // namespace
