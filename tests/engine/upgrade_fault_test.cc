// Save as and Export with the real engine, their file output failing at every
// call in turn: the original stays in place byte for byte, no partial or
// temporary file is left, and the error names the file.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <cstring>
#include <map>

#include "../corpus.h"
#include "engine/database_upgrade.h"
#include "recording_channels.h"
#include "temp_folder.h"
#include "tests/failing_output.h"

namespace {

using fault_test::Call;
using fault_test::FailingOutput;

const std::string kSource = corpus::path("jet3-jackcess-delTest-access97.mdb");

QStringList entriesIn(const QString& folder) {
  return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

struct Attempt {
  bool ok = false;
  QString error;  // the description reported
  FailingOutput calls;
};

// One upgrade of a fresh copy of the source into `tmp`.
void upgradeOnce(const TempFolder& tmp, int mode, Attempt& a) {
  engine::DBEngine engine;
  RecordingChannels channels;
  engine::DatabaseUpgrade upgrade(engine, channels);
  const QString dest = tmp.file(mode == engine::kModeSaveAs ? "mdb_original" : "mdb_v40");
  fault_test::Installed on(a.calls);
  a.ok = upgrade.UpgradeDatabase(engine::UpgradeRequest{tmp.file("sales.mdb"), mode, dest, 64});
  if (!channels.errorDetails.empty()) a.error = channels.errorDetails.front().description;
}

void runEveryFault(int mode, bool oldExport) {
  const QByteArray original = readAll(QString::fromStdString(kSource));
  ASSERT_FALSE(original.isEmpty());
  long total = 0;
  {
    TempFolder tmp;
    tmp.copyIn(kSource, "sales.mdb");
    Attempt counting;
    upgradeOnce(tmp, mode, counting);
    ASSERT_TRUE(counting.ok) << counting.error.toStdString();
    total = static_cast<long>(counting.calls.calls.size());
  }
  // At least create, write, truncate, flush, close, link and a folder flush;
  // pages go out in runs, so a small file needs few writes.
  ASSERT_GE(total, 7);
  std::map<std::string, int> kinds;
  for (long n = 1; n <= total; ++n) {
    TempFolder tmp;
    const QString path = tmp.copyIn(kSource, "sales.mdb");
    const QString dest = tmp.file(mode == engine::kModeSaveAs ? "mdb_original" : "mdb_v40");
    if (oldExport) tmp.write("mdb_v40/sales.mdb", "old export");
    Attempt a;
    a.calls.failAt = n;
    upgradeOnce(tmp, mode, a);
    ASSERT_TRUE(a.calls.failed()) << "call " << n << " of " << total << " was never made";
    const Call failed = a.calls.failedCall();
    ++kinds[fault_test::callName(failed)];
    const std::string where = "failing call " + std::to_string(n) + " (" +
                              fault_test::callName(failed) + " of " + a.calls.failedPath() + ")";
    if (failed == Call::FolderFlush) {
      // Flushing a folder comes after the file is complete and in place.
      EXPECT_TRUE(a.ok) << where << ": " << a.error.toStdString();
      continue;
    }
    EXPECT_FALSE(a.ok) << where;
    // The file being written when the call failed: the backup copy by its
    // name, anything else by the file it was to become.
    const QString backup = dest + "/sales.mdb";
    const QString named = QString::fromStdString(a.calls.failedPath()) == backup && mode == engine::kModeSaveAs
                              ? backup
                              : (mode == engine::kModeSaveAs ? path : dest + "/sales.mdb");
    EXPECT_TRUE(a.error.contains("'" + named + "'"))
        << where << ": " << a.error.toStdString() << " does not name " << named.toStdString();
    EXPECT_TRUE(a.error.contains(QString::fromUtf8(std::strerror(a.calls.failedErrno()))))
        << where << ": " << a.error.toStdString();
    if (mode == engine::kModeSaveAs) {
      EXPECT_EQ(readAll(path), original) << where << ": the original is not in place";
      EXPECT_EQ(entriesIn(tmp.path()), QStringList{"sales.mdb"}) << where;
      // A backup, once made, is a whole checked copy, kept for the user.
      for (const QString& f : entriesIn(dest)) {
        EXPECT_EQ(f, "sales.mdb") << where;
        EXPECT_EQ(readAll(dest + "/" + f), original) << where;
      }
    } else {
      EXPECT_EQ(readAll(path), original) << where << ": the source changed";
      EXPECT_EQ(entriesIn(tmp.path()), QStringList{"sales.mdb"}) << where;
      EXPECT_EQ(entriesIn(dest), oldExport ? QStringList{"sales.mdb"} : QStringList{}) << where;
      if (oldExport) {
        EXPECT_EQ(readAll(dest + "/sales.mdb"), "old export") << where;
      }
    }
  }
  std::string counts;
  for (const auto& [kind, count] : kinds) counts += kind + "=" + std::to_string(count) + " ";
  ::testing::Test::RecordProperty("faults_injected", static_cast<int>(total));
  ::testing::Test::RecordProperty("failed_calls", counts);
  std::cout << (mode == engine::kModeSaveAs ? "Save as" : oldExport ? "Export over an old file" : "Export")
            << ": " << total << " faults injected (" << counts << ")\n";
}

TEST(UpgradeUnderFaults, SaveAsKeepsTheOriginalWhicheverCallFails) {
  runEveryFault(engine::kModeSaveAs, false);
}

TEST(UpgradeUnderFaults, ExportLeavesNoPartialFileWhicheverCallFails) {
  runEveryFault(engine::kModeExport, false);
}

TEST(UpgradeUnderFaults, ExportKeepsAnEarlierExportWhicheverCallFails) {
  runEveryFault(engine::kModeExport, true);
}

}  // namespace
