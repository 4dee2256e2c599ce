// Destination derivation and the listing of a database's tables.
#include <gtest/gtest.h>

#include <QDir>

#include "../corpus.h"
#include "engine/database_listing.h"
#include "engine/target_version.h"
#include "recording_channels.h"
#include "temp_folder.h"
#include "trees/destination_folder.h"

namespace {

TEST(Destination, ExportFollowsTheTargetVersionAndSaveAsDoesNot) {
  EXPECT_EQ(trees::derivedDestination("/home/u/Orvak", 1, engine::TargetJetText(4)),
            "/home/u/Orvak/mdb_v40");
  EXPECT_EQ(trees::derivedDestination("/home/u/Orvak", 1, engine::TargetJetText(0)),
            "/home/u/Orvak/mdb_vXXX");
  EXPECT_EQ(trees::derivedDestination("/home/u/Orvak", 0, engine::TargetJetText(3)),
            "/home/u/Orvak/mdb_original");
  EXPECT_EQ(trees::derivedDestination("/", 1, engine::TargetJetText(3)), "//mdb_v30");
}

TEST(Destination, TargetCodesAndTexts) {
  EXPECT_EQ(engine::TargetJetCode(2), 16);
  EXPECT_EQ(engine::TargetJetCode(3), 32);
  EXPECT_EQ(engine::TargetJetCode(4), 64);
  EXPECT_EQ(engine::TargetJetCode(0), 0);
  EXPECT_EQ(engine::TargetJetText(5), "XXX");
}

class Listing : public ::testing::Test {
 protected:
  RecordingChannels channels;
  int clears = 0;
  void list(const QString& path) {
    engine::EnumerateDatabase(path, engine::DBEngine::instance(), channels, [&] {
      ++clears;
      channels.output.clear();
    });
  }
};

TEST_F(Listing, AFolderNotEndingInMdbIsNotOpened) {
  list("/home/u/Orvak");
  EXPECT_EQ(clears, 1);
  EXPECT_EQ(channels.output, QStringList{"/home/u/Orvak [not MDB file]"});
  EXPECT_TRUE(channels.trace.isEmpty());
}

TEST_F(Listing, AFolderEndingInMdbFailsWithOneReportAndAnEmptyList) {
  TempFolder tmp;
  QDir().mkpath(tmp.file("mdb"));
  list(tmp.file("mdb"));
  EXPECT_TRUE(channels.output.isEmpty());
  EXPECT_EQ(channels.errors, QStringList{"EnumerateDatabase: " + tmp.file("mdb")});
}

TEST_F(Listing, ARealDatabaseListsVersionPlainTablesAndCount) {
  const QString path = QString::fromStdString(corpus::path("jet3-mdbtestdata-nwind.mdb"));
  list(path);
  ASSERT_GE(channels.output.size(), 2);
  EXPECT_EQ(channels.output.first(), path + " [version=3.0]");
  const int tables = static_cast<int>(channels.output.size()) - 2;
  EXPECT_EQ(channels.output.last(), QString::number(tables) + " table(s)");
  for (const auto& line : channels.output) EXPECT_FALSE(line.startsWith("MSys")) << line.toStdString();
}

}  // namespace
