// The headless batch: what it reports for each file, that several workers
// choose the names one worker would, and that a stop leaves every file whole.
#include "engine/parallel_batch.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <atomic>
#include <map>
#include <thread>

#include "../corpus.h"
#include "engine/batch_upgrade.h"
#include "engine/folders.h"
#include "recording_channels.h"
#include "temp_folder.h"

namespace {

const std::string kJet2 = corpus::path("jet2-sighor-hor_udep-vb3app.mdb");
const std::string kJet3 = corpus::path("jet3-jackcess-test-access97.mdb");
const std::string kJet4 = corpus::path("jet4-jackcess-test-access2000.mdb");

// An engine whose compaction is a plain copy, so that runs are quick and the
// file names the batch chooses are what is tested.
class CopyingEngine : public engine::DBEngine {
 public:
  void CompactDatabase(const std::string& src, const std::string& dst, long) override {
    if (!QFile::copy(QString::fromStdString(src), QString::fromStdString(dst))) {
      fail(3204, "cannot copy to '" + dst + "'");
    }
  }
};

QStringList allFiles(const QString& root) {
  QStringList out;
  QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) out << QDir(root).relativeFilePath(it.next());
  out.sort();
  return out;
}

engine::ParallelSettings settings(int mode, int jobs, bool copying = false) {
  engine::ParallelSettings s;
  s.mode = mode;
  s.versionCode = engine::kVersion40;
  s.jobs = jobs;
  if (copying) s.makeEngine = [] { return std::make_unique<CopyingEngine>(); };
  return s;
}

std::map<QString, engine::FileResult> runAll(const std::vector<engine::BatchItem>& items,
                                             const engine::ParallelSettings& s,
                                             engine::BatchSummary* summary = nullptr) {
  std::map<QString, engine::FileResult> results;
  const std::atomic<bool> stop{false};
  const auto sum = engine::runParallelBatch(items, s, stop, [&](const engine::FileResult& r) {
    EXPECT_EQ(results.count(r.path), 0u) << "reported twice: " << r.path.toStdString();
    results[r.path] = r;
  });
  if (summary) *summary = sum;
  return results;
}

TEST(BackupFamily, LetterAndNumberMarksOfTheStemAreTakenOff) {
  EXPECT_EQ(engine::backupFamily("x.mdb"), "x.mdb");
  EXPECT_EQ(engine::backupFamily("x_B.mdb"), "x.mdb");
  EXPECT_EQ(engine::backupFamily("x_12.mdb"), "x.mdb");
  EXPECT_EQ(engine::backupFamily("x_A_3.mdb"), "x.mdb");
  EXPECT_EQ(engine::backupFamily("oldmdb_C"), "oldmdb");
  // Not marks the backup names use: lower case, two letters, a mark alone.
  EXPECT_EQ(engine::backupFamily("x_b.mdb"), "x_b.mdb");
  EXPECT_EQ(engine::backupFamily("x_AB.mdb"), "x_AB.mdb");
  EXPECT_EQ(engine::backupFamily("_A.mdb"), "_A.mdb");
}

TEST(ParallelBatch, EveryFileIsReportedOnceWithWhatBecameOfIt) {
  TempFolder tmp;
  const QString two = tmp.copyIn(kJet2, "two.mdb");
  const QString three = tmp.copyIn(kJet3, "sub/three.mdb");
  const QString four = tmp.copyIn(kJet4, "four.mdb");
  tmp.write("text.mdb", "plain text");
  const QString text = tmp.file("text.mdb");
  const QString dest = tmp.file("out");
  std::vector<engine::BatchItem> items;
  for (const QString& p : {two, three, four, text}) items.push_back({p, dest});
  engine::BatchSummary summary;
  const auto results = runAll(items, settings(engine::kModeExport, 3), &summary);
  ASSERT_EQ(results.size(), 4u);
  EXPECT_EQ(summary.upgraded, 2);
  EXPECT_EQ(summary.current, 1);
  EXPECT_EQ(summary.failed, 1);
  EXPECT_EQ(summary.notStarted, 0);
  for (const QString& p : {two, three}) {
    const engine::FileResult& r = results.at(p);
    EXPECT_EQ(r.status, engine::FileStatus::Upgraded);
    EXPECT_EQ(r.upgradedPath, dest + "/" + QFileInfo(p).fileName());
    EXPECT_EQ(r.newVersion, "4.0");
    EXPECT_EQ(r.bytesBefore, QFileInfo(p).size());
    EXPECT_EQ(r.bytesAfter, QFileInfo(r.upgradedPath).size());
    EXPECT_TRUE(r.backupPath.isEmpty());
  }
  EXPECT_EQ(results.at(two).oldVersion, "2.0");
  EXPECT_EQ(results.at(three).oldVersion, "3.0");
  EXPECT_EQ(results.at(four).status, engine::FileStatus::Current);
  EXPECT_EQ(results.at(four).oldVersion, "4.0");
  EXPECT_TRUE(results.at(four).upgradedPath.isEmpty());
  const engine::FileResult& bad = results.at(text);
  EXPECT_EQ(bad.status, engine::FileStatus::Failed);
  EXPECT_EQ(bad.errorNumber, 3343);
  EXPECT_TRUE(bad.errorText.contains(text)) << bad.errorText.toStdString();
  EXPECT_TRUE(bad.oldVersion.isEmpty());
}

TEST(ParallelBatch, SaveAsReportsTheCopyOfTheOriginal) {
  TempFolder tmp;
  const QString path = tmp.copyIn(kJet3, "db.mdb");
  const QByteArray before = readAll(path);
  const auto results = runAll({{path, tmp.file("mdb_original")}}, settings(engine::kModeSaveAs, 1));
  const engine::FileResult& r = results.at(path);
  EXPECT_EQ(r.status, engine::FileStatus::Upgraded);
  EXPECT_EQ(r.upgradedPath, path);
  EXPECT_EQ(r.backupPath, tmp.file("mdb_original") + "/db.mdb");
  EXPECT_EQ(readAll(r.backupPath), before);
  EXPECT_EQ(r.newVersion, "4.0");
}

// Copies of files of one name from many folders, and a file already named as
// a copy would be: with many workers at once, the names chosen and the file
// each one holds are the ones the window's batch, one file after another, gives.
TEST(ParallelBatch, ManyWorkersChooseTheBackupNamesOfARunOneFileAfterAnother) {
  std::vector<std::string> sources;
  for (const auto& e : corpus::manifest()) {
    if (e.jetVersion == "jet3" && QString::fromStdString(e.name).endsWith(".mdb") &&
        e.name.find("encrypt") == std::string::npos) {
      sources.push_back(corpus::path(e.name));
    }
  }
  ASSERT_GE(sources.size(), 8u);
  sources.resize(8);
  auto makeTree = [&](const TempFolder& tmp) {
    std::vector<QString> keys;
    for (std::size_t i = 0; i < sources.size(); ++i) {
      keys.push_back(tmp.copyIn(sources[i], QString("f%1/x.mdb").arg(i)));
    }
    keys.push_back(tmp.copyIn(sources[0], "y/x_A.mdb"));
    return keys;
  };
  TempFolder sequentialTree, parallelTree;
  const auto sequentialKeys = makeTree(sequentialTree);
  const auto parallelKeys = makeTree(parallelTree);

  CopyingEngine engine;
  RecordingChannels channels;
  engine::DatabaseUpgrade upgrade(engine, channels);
  const QString seqDest = sequentialTree.file("mdb_original");
  engine::BatchSettings batch{engine::kModeSaveAs, [&] { return seqDest; }, engine::kVersion40};
  EXPECT_EQ(engine::runBatch(sequentialKeys, batch, upgrade), 9);

  std::vector<engine::BatchItem> items;
  for (const QString& k : parallelKeys) items.push_back({k, parallelTree.file("mdb_original")});
  const auto results = runAll(items, settings(engine::kModeSaveAs, 4, true));
  ASSERT_EQ(results.size(), 9u);
  for (const auto& [path, r] : results) {
    EXPECT_EQ(r.status, engine::FileStatus::Upgraded) << r.errorText.toStdString();
  }
  const QStringList names = allFiles(seqDest);
  EXPECT_EQ(names.size(), 9);
  EXPECT_EQ(allFiles(parallelTree.file("mdb_original")), names);
  for (const QString& n : names) {
    EXPECT_EQ(readAll(seqDest + "/" + n), readAll(parallelTree.file("mdb_original/" + n)))
        << n.toStdString();
  }
}

TEST(ParallelBatch, AStopLeavesTheFilesNotStartedAsTheyWere) {
  TempFolder tmp;
  std::vector<engine::BatchItem> items;
  for (int i = 0; i < 6; ++i) {
    items.push_back({tmp.copyIn(kJet3, QString("d%1.mdb").arg(i)), tmp.file("mdb_original")});
  }
  const QByteArray original = readAll(items[0].path);
  std::atomic<bool> stop{false};
  int reported = 0;
  const auto summary = engine::runParallelBatch(items, settings(engine::kModeSaveAs, 1), stop,
                                                [&](const engine::FileResult& r) {
                                                  EXPECT_EQ(r.status, engine::FileStatus::Upgraded);
                                                  ++reported;
                                                  stop = true;
                                                });
  EXPECT_EQ(reported, 1);
  EXPECT_EQ(summary.upgraded, 1);
  EXPECT_EQ(summary.notStarted, 5);
  for (std::size_t i = 1; i < items.size(); ++i) EXPECT_EQ(readAll(items[i].path), original);
  EXPECT_EQ(allFiles(tmp.file("mdb_original")), QStringList{"d0.mdb"});
  for (const QString& f : allFiles(tmp.path())) EXPECT_FALSE(f.endsWith(".tmp")) << f.toStdString();
}

TEST(ParallelBatch, EachWorkerHasAnEngineOfItsOwn) {
  TempFolder tmp;
  std::vector<engine::BatchItem> items;
  for (int i = 0; i < 6; ++i) {
    items.push_back({tmp.copyIn(kJet3, QString("d%1.mdb").arg(i)), tmp.file("out")});
  }
  std::atomic<int> engines{0};
  auto s = settings(engine::kModeExport, 3);
  s.makeEngine = [&] {
    ++engines;
    return std::make_unique<CopyingEngine>();
  };
  const auto results = runAll(items, s);
  EXPECT_EQ(results.size(), 6u);
  EXPECT_EQ(engines.load(), 3);
}

TEST(ParallelBatch, MoreJobsThanFilesStartOnlyAsManyWorkers) {
  TempFolder tmp;
  const QString path = tmp.copyIn(kJet3, "d.mdb");
  std::atomic<int> engines{0};
  auto s = settings(engine::kModeExport, 8);
  s.makeEngine = [&] {
    ++engines;
    return std::make_unique<CopyingEngine>();
  };
  EXPECT_EQ(runAll({{path, tmp.file("out")}}, s).size(), 1u);
  EXPECT_EQ(engines.load(), 1);
}

// Workers of a batch make the same destination folder at the same moment.
TEST(CheckFoldersTogether, ManyThreadsMakingOneFolderAllSucceed) {
  for (int round = 0; round < 20; ++round) {
    TempFolder tmp;
    const QString path = tmp.file("a/b/c/d/file.mdb");
    std::atomic<int> ok{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
      threads.emplace_back([&] {
        RecordingChannels channels;
        if (engine::CheckFolders(path, engine::PathKind::File, channels)) ++ok;
      });
    }
    for (auto& t : threads) t.join();
    ASSERT_EQ(ok.load(), 8) << "round " << round;
    EXPECT_TRUE(QFileInfo(tmp.file("a/b/c/d")).isDir());
  }
}

}  // namespace
