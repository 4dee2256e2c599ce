// UpgradeDatabase in both modes: the messages it writes, the files it leaves,
// and that no failure puts a database at risk.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include "../corpus.h"
#include "engine/database_upgrade.h"
#include "engine/folders.h"
#include "engine/run_error.h"
#include "recording_channels.h"
#include "temp_folder.h"

namespace {

const std::string kJet3 = corpus::path("jet3-jackcess-test-access97.mdb");
const std::string kJet4 = corpus::path("jet4-jackcess-test-access2000.mdb");

// An engine whose compaction copies the file (or fails on request), so the
// upgrade's own steps can be tested apart from the writer.
class CopyingEngine : public engine::DBEngine {
 public:
  bool failCompaction = false;
  bool writePartialThenFail = false;
  // Copies, then flips one key byte in an index leaf of kJet3 (page 32): the
  // values stay equal, only a page-level check can tell.
  bool damageIndexKey = false;
  int compactions = 0;
  void CompactDatabase(const std::string& src, const std::string& dst, long) override {
    ++compactions;
    if (QFileInfo::exists(QString::fromStdString(dst))) fail(3204, "exists");
    if (writePartialThenFail) {
      QFile f(QString::fromStdString(dst));
      f.open(QIODevice::WriteOnly);
      f.write("partial");
      f.close();
      fail(3026, "Disk full while writing '" + dst + "'.");
    }
    if (failCompaction) fail(3049, "'" + src + "' is damaged.");
    QFile::copy(QString::fromStdString(src), QString::fromStdString(dst));
    if (damageIndexKey) {
      QFile f(QString::fromStdString(dst));
      f.setPermissions(f.permissions() | QFileDevice::WriteOwner);
      f.open(QIODevice::ReadWrite);
      const qint64 at = 32 * 2048 + 0x100;
      f.seek(at);
      char byte = f.read(1).at(0);
      byte ^= 0x01;
      f.seek(at);
      f.write(&byte, 1);
    }
  }
};

QStringList filesIn(const QString& folder) {
  return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

class Upgrade : public ::testing::Test {
 protected:
  TempFolder tmp;
  CopyingEngine engine;
  RecordingChannels channels;
  engine::DatabaseUpgrade upgrade{engine, channels};

  bool run(const QString& path, int mode, const QString& dest, long code = 64) {
    return upgrade.UpgradeDatabase(engine::UpgradeRequest{path, mode, dest, code});
  }
};

TEST_F(Upgrade, NameTestPassesAnyCaseAndRefusesOtherEndingsSilently) {
  const QString bak = tmp.copyIn(kJet3, "sales.mdb.bak");
  EXPECT_FALSE(run(bak, engine::kModeExport, tmp.file("out")));
  EXPECT_TRUE(channels.trace.isEmpty());
  EXPECT_TRUE(channels.output.isEmpty());
  EXPECT_FALSE(QFileInfo::exists(tmp.file("out")));
  const QString upper = tmp.copyIn(kJet3, "SALES.MDB");
  EXPECT_TRUE(run(upper, engine::kModeExport, tmp.file("out")));
}

TEST_F(Upgrade, FileAtTheEnginesVersionIsAlreadyCurrent) {
  const QString path = tmp.copyIn(kJet4, "new.mdb");
  EXPECT_FALSE(run(path, engine::kModeSaveAs, tmp.file("mdb_original"), 32));
  EXPECT_EQ(channels.output, QStringList{path + " - already v4.0"});
  EXPECT_EQ(channels.trace.last(), "/UpgradeDatabase");
  EXPECT_TRUE(channels.trace.contains("--UpgradeDatabase: " + path + " [v 4.0] is ok"));
  EXPECT_EQ(engine.compactions, 0);
}

TEST_F(Upgrade, SaveAsKeepsTheOriginalAsACopyAndWritesItsLines) {
  const QString path = tmp.copyIn(kJet3, "sales.mdb");
  const QByteArray before = readAll(path);
  const QString dest = tmp.file("mdb_original");
  ASSERT_TRUE(run(path, engine::kModeSaveAs, dest));
  const QString backup = dest + "/sales.mdb";
  EXPECT_EQ(readAll(backup), before);
  EXPECT_TRUE(QFileInfo::exists(path));
  const QStringList expectedTrace = {
      "UpgradeDatabase: " + path + " :DAO.DBEngine.Version=4.0",
      "--get DAO.DBEngine.Workspaces(0)",
      "--open: " + path + ", read only",
      "--" + path + " version=3.0",
      "--upgrading from version=3.0 to version=4.0 (64)",
      "--compact: " + backup + " to: " + path + " :DBversion=64",
      "--delete original: " + path,
      "/UpgradeDatabase"};
  EXPECT_EQ(channels.trace, expectedTrace);
  EXPECT_EQ(channels.log, QStringList{path + " upgraded to v4.0 [64] original:" + backup});
  EXPECT_EQ(channels.output, (QStringList{"folder: " + dest + " created",
                                          path + " upgraded to v4.0 [64] (original renamed " +
                                              backup + ")"}));
  EXPECT_EQ(filesIn(tmp.path()), QStringList{"sales.mdb"});  // no temporary file left
}

TEST_F(Upgrade, SaveAsNeverOverwritesAnEarlierCopy) {
  const QString dest = tmp.file("mdb_original");
  tmp.write("mdb_original/sales.mdb", "older copy");
  tmp.write("mdb_original/sales_A.mdb", "another");
  const QString path = tmp.copyIn(kJet3, "sales.mdb");
  ASSERT_TRUE(run(path, engine::kModeSaveAs, dest));
  EXPECT_EQ(readAll(dest + "/sales.mdb"), "older copy");
  EXPECT_EQ(readAll(dest + "/sales_A.mdb"), "another");
  EXPECT_TRUE(QFileInfo::exists(dest + "/sales_B.mdb"));
  EXPECT_TRUE(channels.log.first().endsWith("original:" + dest + "/sales_B.mdb"));
}

TEST_F(Upgrade, BackupNamesRunFromAToZAndThenNumbers) {
  const QString dest = tmp.file("d");
  tmp.write("d/x.mdb", "0");
  for (char c = 'A'; c <= 'Z'; ++c) tmp.write(QString("d/x_") + c + ".mdb", "0");
  EXPECT_EQ(upgrade.backupPath(dest, "x.mdb"), dest + "/x_1.mdb");
  tmp.write("d/oldmdb", "0");
  EXPECT_EQ(upgrade.backupPath(dest, "oldmdb"), dest + "/oldmdb_A");
}

TEST_F(Upgrade, FailedCompactionInSaveAsLeavesSourceAndBackupWhole) {
  const QString path = tmp.copyIn(kJet3, "sales.mdb");
  const QByteArray before = readAll(path);
  const QString dest = tmp.file("mdb_original");
  for (bool partial : {false, true}) {
    engine.failCompaction = !partial;
    engine.writePartialThenFail = partial;
    channels = RecordingChannels{};
    EXPECT_FALSE(run(path, engine::kModeSaveAs, dest));
    EXPECT_EQ(readAll(path), before);
    EXPECT_EQ(channels.errors, QStringList{"UpgradeDatabase: " + path});
    EXPECT_FALSE(channels.trace.contains("/UpgradeDatabase"));
    EXPECT_FALSE(channels.trace.contains("--delete original: " + path));
    EXPECT_TRUE(channels.log.isEmpty());
  }
  // Each attempt left its checked copy; nothing half-written stays beside the source.
  EXPECT_EQ(readAll(dest + "/sales.mdb"), before);
  EXPECT_EQ(readAll(dest + "/sales_A.mdb"), before);
  EXPECT_EQ(filesIn(tmp.path()), QStringList{"sales.mdb"});
}

TEST_F(Upgrade, ACompactionThatFailsItsConsistencyCheckReplacesNothing) {
  const QString path = tmp.copyIn(kJet3, "sales.mdb");
  const QByteArray before = readAll(path);
  const QString dest = tmp.file("mdb_v40");
  engine.damageIndexKey = true;
  EXPECT_FALSE(run(path, engine::kModeSaveAs, tmp.file("mdb_original")));
  EXPECT_EQ(readAll(path), before);
  EXPECT_EQ(readAll(tmp.file("mdb_original") + "/sales.mdb"), before);
  ASSERT_EQ(channels.errors, QStringList{"UpgradeDatabase: " + path});
  EXPECT_TRUE(channels.errorDetails.front().description.contains("failed its consistency check"))
      << channels.errorDetails.front().description.toStdString();
  EXPECT_FALSE(channels.trace.contains("--delete original: " + path));
  tmp.write("mdb_v40/sales.mdb", "old export");
  EXPECT_FALSE(run(path, engine::kModeExport, dest));
  EXPECT_EQ(readAll(dest + "/sales.mdb"), "old export");
  EXPECT_EQ(filesIn(dest), QStringList{"sales.mdb"});
  EXPECT_EQ(filesIn(tmp.path()), (QStringList{"sales.mdb"}));
}

TEST_F(Upgrade, ExportReplacesAnExistingFileOnlyWithACompleteResult) {
  const QString path = tmp.copyIn(kJet3, "sales.mdb");
  const QString dest = tmp.file("mdb_v40");
  tmp.write("mdb_v40/sales.mdb", "old export");
  engine.writePartialThenFail = true;
  EXPECT_FALSE(run(path, engine::kModeExport, dest));
  EXPECT_EQ(readAll(dest + "/sales.mdb"), "old export");
  EXPECT_EQ(filesIn(dest), QStringList{"sales.mdb"});
  engine.writePartialThenFail = false;
  channels = RecordingChannels{};
  EXPECT_TRUE(run(path, engine::kModeExport, dest));
  EXPECT_EQ(readAll(dest + "/sales.mdb"), readAll(path));
  EXPECT_TRUE(channels.output.isEmpty());  // Export lists nothing on success
  EXPECT_TRUE(channels.log.isEmpty());
  EXPECT_TRUE(channels.trace.contains("--compact: " + path + " to: " + dest +
                                      "/sales.mdb :DBversion=64"));
}

TEST_F(Upgrade, UnknownModeOnlyTracesTheDecision) {
  const QString path = tmp.copyIn(kJet3, "sales.mdb");
  EXPECT_FALSE(run(path, 7, tmp.file("d")));
  EXPECT_TRUE(channels.trace.contains("--upgrading from version=3.0 to version=4.0 (64)"));
  EXPECT_EQ(channels.trace.last(), "/UpgradeDatabase");
  EXPECT_EQ(engine.compactions, 0);
}

TEST_F(Upgrade, TextFileNamedMdbIsReportedAndTheBatchCanGoOn) {
  tmp.write("text.mdb", "just text");
  EXPECT_FALSE(run(tmp.file("text.mdb"), engine::kModeExport, tmp.file("d")));
  ASSERT_EQ(channels.errorDetails.size(), 1u);
  EXPECT_EQ(channels.errorDetails[0].number, 3343);
}

TEST(CheckFolders, MakesFoldersAboveAFileNameButNeverTheNameItself) {
  TempFolder tmp;
  RecordingChannels channels;
  const QString target = tmp.file("a/b.c/oldmdb");
  EXPECT_TRUE(engine::CheckFolders(target, engine::PathKind::File, channels));
  EXPECT_TRUE(QFileInfo(tmp.file("a/b.c")).isDir());
  EXPECT_FALSE(QFileInfo::exists(target));
  EXPECT_EQ(channels.output, (QStringList{"folder: " + tmp.file("a") + " created",
                                          "folder: " + tmp.file("a/b.c") + " created"}));
  channels.output.clear();
  EXPECT_TRUE(engine::CheckFolders(tmp.file("a/b.c/new.folder"), engine::PathKind::Folder,
                                   channels));
  EXPECT_EQ(channels.output, QStringList{"folder: " + tmp.file("a/b.c/new.folder") + " created"});
}

TEST(CheckFolders, AFileInTheWayIsReportedOnceAndFoldersMadeStay) {
  TempFolder tmp;
  RecordingChannels channels;
  tmp.write("x/blocker", "file");
  EXPECT_FALSE(engine::CheckFolders(tmp.file("x/blocker/y/z"), engine::PathKind::Folder, channels));
  EXPECT_EQ(channels.errors, QStringList{"CheckFolders"});
}

TEST(FileExists, SeesFilesFoldersAndPatterns) {
  TempFolder tmp;
  RecordingChannels channels;
  tmp.write("one.mdb", "x");
  EXPECT_TRUE(engine::FileExists(tmp.file("one.mdb"), channels));
  EXPECT_TRUE(engine::FileExists(tmp.path(), channels));
  EXPECT_TRUE(engine::FileExists(tmp.file("*.mdb"), channels));
  EXPECT_FALSE(engine::FileExists(tmp.file("*.txt"), channels));
  EXPECT_FALSE(engine::FileExists(tmp.file("two.mdb"), channels));
}

}  // namespace
