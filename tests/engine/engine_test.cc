// The engine interface: its version and error list, on real files and on bad ones.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "../corpus.h"
#include "engine/db_engine.h"

namespace {

long openFailure(const std::string& path) {
  auto& engine = engine::DBEngine::instance();
  try {
    engine.Workspaces(0).OpenDatabase(path, false, true);
  } catch (const engine::EngineError& e) {
    EXPECT_EQ(engine.Errors().Count(), 1);
    EXPECT_EQ(engine.Errors().Item(0).Number, e.number());
    EXPECT_EQ(engine.Errors().Item(0).Description, e.description());
    return e.number();
  }
  return 0;
}

TEST(Engine, ReportsVersionFourDotZero) { EXPECT_EQ(engine::DBEngine::instance().Version(), "4.0"); }

TEST(Engine, RealJet3AndJet4FilesReportTheirVersion) {
  auto& ws = engine::DBEngine::instance().Workspaces(0);
  auto db3 = ws.OpenDatabase(corpus::path("jet3-mdbtestdata-nwind.mdb"), false, true);
  EXPECT_EQ(db3->Version(), "3.0");
  EXPECT_EQ(db3->Name(), corpus::path("jet3-mdbtestdata-nwind.mdb"));
  db3->Close();
  auto db4 = ws.OpenDatabase(corpus::path("jet4-northwind-2000-kbfakt.mdb"), false, true);
  EXPECT_EQ(db4->Version(), "4.0");
}

TEST(Engine, TextFileNamedMdbFailsWithNotADatabaseInTheErrorList) {
  // Named by process: two test runs on one machine must not share the file.
  const auto path = std::filesystem::temp_directory_path() /
                    ("jetlift_engine_text_" + std::to_string(::getpid()) + ".mdb");
  std::ofstream(path) << "This is a plain text file, not a database.\n";
  EXPECT_EQ(openFailure(path.string()), 3343);
  EXPECT_NE(engine::DBEngine::instance().Errors().Item(0).Description.find(path.string()),
            std::string::npos);
  std::filesystem::remove(path);
}

TEST(Engine, MissingFileAndPasswordProtectedFile) {
  EXPECT_EQ(openFailure("/nonexistent/folder/x.mdb"), 3024);
  EXPECT_EQ(openFailure(corpus::path("jet4-mdbreader-with-password-2000.mdb")), 3031);
}

TEST(Engine, OnlyWorkspaceZeroExists) {
  EXPECT_THROW(engine::DBEngine::instance().Workspaces(1), engine::EngineError);
}

}  // namespace
