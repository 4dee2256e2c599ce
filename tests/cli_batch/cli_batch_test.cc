// jetlift-cli upgrade and verify against the window's own batch: the same tree
// upgraded both ways gives the same files; a signal stops a run between files;
// the JSON lines parse and tell what became of every file.
#include <gtest/gtest.h>

#include "jet/database.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "../corpus.h"
#include "child_process.h"
#include "engine/batch_upgrade.h"
#include "engine/database_verify.h"
#include "engine/version_probe.h"
#include "json_value.h"
#include "tests/engine/recording_channels.h"
#include "trees/destination_folder.h"
#include "trees/folder_tree.h"

namespace {

namespace fs = std::filesystem;

const std::string kJet2 = corpus::path("jet2-sighor-hor_udep-vb3app.mdb");
const std::string kJet3 = corpus::path("jet3-jackcess-test-access97.mdb");
const std::string kJet4 = corpus::path("jet4-jackcess-test-access2000.mdb");

std::string readBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const fs::path& p, const std::string& bytes) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << bytes;
}

void copyIn(const std::string& from, const fs::path& to) { writeBytes(to, readBytes(from)); }

// Every file under `root` (hidden ones included), by path relative to it.
std::set<std::string> filesUnder(const fs::path& root) {
  std::set<std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    if (e.is_regular_file()) out.insert(fs::relative(e.path(), root).string());
  }
  return out;
}

// Jet 2, 3 and 4 files, a damaged copy, a text file named .mdb, a name without
// a dot, the same name in two folders, other files and an empty folder.
void makeMixedTree(const fs::path& root) {
  copyIn(kJet2, root / "a.mdb");
  copyIn(kJet3, root / "b.MDB");
  copyIn(kJet4, root / "new.mdb");
  writeBytes(root / "notes.mdb", "not a database\n");
  writeBytes(root / "readme.txt", "other files are passed over\n");
  copyIn(kJet3, root / "oldmdb");
  copyIn(kJet3, root / "sub" / "a.mdb");
  writeBytes(root / "sub" / "damaged.mdb", readBytes(kJet3).substr(0, 100000));
  copyIn(kJet2, root / "sub" / "deeper" / "c.mdb");
  fs::create_directories(root / "empty");
}

std::vector<std::string> cliArgs(const std::string& mode, int jobs, const fs::path& root) {
  return {"upgrade", "--mode",     mode, "--to", "4.0", "--jobs", std::to_string(jobs),
          "--json",  root.string()};
}

struct CliRun {
  int status = -1;
  std::string out, err;
  std::vector<JsonValue> files;  // one object per file line
  std::optional<JsonValue> summary;
  bool allLinesParse = true;
};

CliRun parseRun(int status, const std::string& out, const std::string& err) {
  CliRun r{status, out, err, {}, std::nullopt, true};
  std::size_t from = 0;
  while (from < out.size()) {
    const std::size_t end = out.find('\n', from);
    const std::string line = out.substr(from, end == std::string::npos ? end : end - from);
    from = end == std::string::npos ? out.size() : end + 1;
    const auto v = JsonParser::parse(line);
    if (!v || v->kind != JsonValue::Kind::Object) {
      r.allLinesParse = false;
      continue;
    }
    if (v->has("summary")) {
      r.summary = *v;
    } else {
      r.files.push_back(*v);
    }
  }
  return r;
}

CliRun runCli(const std::vector<std::string>& args) {
  ChildProcess child(JETLIFT_CLI, args);
  const int status = child.finish();
  return parseRun(status, child.out, child.err);
}

int runVerify(const fs::path& a, const fs::path& b, std::string* out = nullptr) {
  ChildProcess child(JETLIFT_CLI, {"verify", a.string(), b.string()});
  const int status = child.finish();
  if (out) *out = child.out + child.err;
  return status;
}

// What the window does with every file of the tree checked.
struct WindowRun {
  int upgraded = 0;
  RecordingChannels channels;
};

void runWindowBatch(const fs::path& root, int mode, WindowRun& run) {
  engine::DBEngine engine;
  const QString folder = QString::fromStdString(root.string());
  const auto tree = trees::loadFolderTree(
      folder, [&](const QString& p) { return engine::GetVersion(p, engine, run.channels); });
  std::vector<QString> keys;
  for (const auto& node : tree.nodes) {
    if (node.image == trees::NodeImage::File) keys.push_back(node.key);
  }
  const QString dest = trees::derivedDestination(folder, mode, "40");
  engine::BatchSettings settings{mode, [&] { return dest; }, engine::kVersion40};
  engine::DatabaseUpgrade upgrade(engine, run.channels);
  run.upgraded = engine::runBatch(keys, settings, upgrade);
}

// The two trees hold the same files: equal bytes, or databases equal by verify.
void expectSameFiles(const fs::path& window, const fs::path& cli) {
  const auto files = filesUnder(window);
  ASSERT_EQ(files, filesUnder(cli));
  for (const auto& f : files) {
    if (readBytes(window / f) == readBytes(cli / f)) continue;
    std::string said;
    EXPECT_EQ(runVerify(window / f, cli / f, &said), 0) << f << ": " << said;
  }
}

struct ModeAndJobs {
  const char* mode;
  int modeIndex;
  int jobs;
};

class CliMatchesWindow : public ::testing::TestWithParam<ModeAndJobs> {};

TEST_P(CliMatchesWindow, TheSameTreeGivesTheSameFilesAsTheWindowsBatch) {
  const ModeAndJobs p = GetParam();
  QTemporaryDir tmp;
  const fs::path windowRoot = fs::path(tmp.path().toStdString()) / "window";
  const fs::path cliRoot = fs::path(tmp.path().toStdString()) / "cli";
  makeMixedTree(windowRoot);
  makeMixedTree(cliRoot);
  WindowRun window;
  runWindowBatch(windowRoot, p.modeIndex, window);
  const CliRun cli = runCli(cliArgs(p.mode, p.jobs, cliRoot));
  EXPECT_EQ(cli.status, 1) << "two files cannot be upgraded\n" << cli.err;
  ASSERT_TRUE(cli.summary.has_value()) << cli.out;
  EXPECT_EQ((*cli.summary)["upgraded"].number, window.upgraded);
  EXPECT_EQ((*cli.summary)["summary"].text,
            engine::upgradedCountText(window.upgraded).toStdString());
  ASSERT_GT(window.upgraded, 0);
  expectSameFiles(windowRoot, cliRoot);
}

INSTANTIATE_TEST_SUITE_P(ModesAndJobs, CliMatchesWindow,
                         ::testing::Values(ModeAndJobs{"save-as", 0, 1},
                                           ModeAndJobs{"save-as", 0, 4},
                                           ModeAndJobs{"export", 1, 1},
                                           ModeAndJobs{"export", 1, 4}),
                         [](const auto& info) {
                           return std::string(info.param.modeIndex == 0 ? "SaveAs" : "Export") +
                                  "Jobs" + std::to_string(info.param.jobs);
                         });

TEST(CliUpgradeJson, EveryLineParsesAndTellsWhatBecameOfEachFile) {
  QTemporaryDir tmp;
  const fs::path root = fs::path(tmp.path().toStdString()) / "tree";
  const fs::path twin = fs::path(tmp.path().toStdString()) / "twin";
  makeMixedTree(root);
  makeMixedTree(twin);
  WindowRun window;
  runWindowBatch(twin, 1, window);
  const CliRun cli = runCli(cliArgs("export", 3, root));
  EXPECT_TRUE(cli.allLinesParse) << cli.out;
  ASSERT_TRUE(cli.summary.has_value());
  int databaseNames = 0;
  for (const auto& f : filesUnder(twin)) {
    if (f.find("mdb_v40") == std::string::npos &&
        QString::fromStdString(f).endsWith("mdb", Qt::CaseInsensitive)) {
      ++databaseNames;
    }
  }
  EXPECT_EQ(static_cast<int>(cli.files.size()), databaseNames);
  std::map<std::string, int> writtenTimes;  // an export of a name seen twice replaces the first
  for (const auto& f : cli.files) {
    if (!f["upgradedPath"].isNull()) ++writtenTimes[f["upgradedPath"].text];
  }
  int upgraded = 0, current = 0, failed = 0;
  for (const auto& f : cli.files) {
    const std::string path = f["path"].text;
    const QString twinPath = QString::fromStdString((twin / fs::relative(path, root)).string());
    const std::string status = f["status"].text;
    EXPECT_EQ(f["bytesBefore"].number, static_cast<double>(fs::file_size(path))) << path;
    EXPECT_EQ(f["seconds"].kind, JsonValue::Kind::Number);
    if (status == "upgraded") {
      ++upgraded;
      EXPECT_EQ(f["newVersion"].text, "4.0");
      EXPECT_NE(f["oldVersion"].text, "4.0");
      EXPECT_EQ(f["errorNumber"].number, 0);
      EXPECT_TRUE(f["backupPath"].isNull());  // export keeps the source itself
      if (writtenTimes[f["upgradedPath"].text] == 1) {
        EXPECT_EQ(f["bytesAfter"].number,
                  static_cast<double>(fs::file_size(f["upgradedPath"].text)));
        EXPECT_TRUE(engine::databaseDifferences(path, f["upgradedPath"].text).empty()) << path;
      }
    } else if (status == "current") {
      ++current;
      EXPECT_TRUE(window.channels.output.contains(twinPath + " - already v" +
                                                  QString::fromStdString(f["oldVersion"].text)));
      EXPECT_TRUE(f["upgradedPath"].isNull());
    } else {
      ++failed;
      EXPECT_EQ(status, "failed");
      EXPECT_NE(f["errorNumber"].number, 0) << path;
      EXPECT_FALSE(f["errorText"].text.empty()) << path;
      EXPECT_TRUE(window.channels.errors.contains("UpgradeDatabase: " + twinPath)) << path;
    }
  }
  EXPECT_EQ(upgraded, window.upgraded);
  EXPECT_EQ((*cli.summary)["upgraded"].number, upgraded);
  EXPECT_EQ((*cli.summary)["current"].number, current);
  EXPECT_EQ((*cli.summary)["failed"].number, failed);
  EXPECT_EQ(failed, window.channels.errors.filter("UpgradeDatabase: ").count());
  EXPECT_EQ(writtenTimes.size() + 1, static_cast<std::size_t>(upgraded))
      << "a.mdb is written twice";
}

TEST(CliUpgradeJson, PlainLinesEndWithTheWindowsCountText) {
  QTemporaryDir tmp;
  const fs::path root = fs::path(tmp.path().toStdString());
  copyIn(kJet3, root / "one.mdb");
  copyIn(kJet4, root / "two.mdb");
  ChildProcess child(JETLIFT_CLI, {"upgrade", "--jobs", "2", root.string()});
  EXPECT_EQ(child.finish(), 0) << child.err;
  EXPECT_NE(child.out.find((root / "one.mdb").string() + ": upgraded 3.0 -> 4.0"),
            std::string::npos)
      << child.out;
  EXPECT_NE(child.out.find((root / "two.mdb").string() + ": already 4.0\n"), std::string::npos);
  EXPECT_TRUE(child.out.ends_with("\n1 file(s) upgraded\n")) << child.out;
}

// Enough files that the run cannot end while the test holds its output back;
// returns the corpus file each one copies, by path relative to `root`.
std::map<std::string, std::string> makeManyFiles(const fs::path& root, int count) {
  std::map<std::string, std::string> from;
  for (int i = 0; i < count; ++i) {
    const fs::path rel =
        fs::path("f" + std::to_string(i % 4)) / ("db" + std::to_string(i) + ".mdb");
    from[rel.string()] = i % 5 == 0 ? kJet2 : kJet3;
    copyIn(from[rel.string()], root / rel);
  }
  return from;
}

class CliStopsOnSigint : public ::testing::TestWithParam<ModeAndJobs> {};

// The output pipe is one page, so the run stalls after a few lines until the
// test reads on; the signal goes in while it is stalled or running, and the
// test reads on only once the tool has said it is stopping.
TEST_P(CliStopsOnSigint, BetweenFilesAndLeavesEveryFileWhole) {
  const ModeAndJobs p = GetParam();
  constexpr int kFiles = 40;
  QTemporaryDir tmp;
  const fs::path root = fs::path(tmp.path().toStdString());
  const auto originals = makeManyFiles(root, kFiles);
  const auto before = filesUnder(root);
  ChildProcess child(JETLIFT_CLI, cliArgs(p.mode, p.jobs, root), 4096);
  ASSERT_TRUE(child.started());
  child.waitForOutput();
  child.signal(SIGINT);
  ASSERT_TRUE(child.waitForError("stopping")) << child.err;
  const int status = child.finish();
  const CliRun run = parseRun(status, child.out, child.err);
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.allLinesParse);
  ASSERT_TRUE(run.summary.has_value()) << run.out;
  const int notStarted = static_cast<int>((*run.summary)["notStarted"].number);
  EXPECT_GT(notStarted, 0);
  EXPECT_EQ(static_cast<int>(run.files.size()) + notStarted, kFiles);
  EXPECT_NE(run.err.find(std::to_string(notStarted) + " file(s) not started"), std::string::npos);

  std::set<std::string> upgradedSources, written;
  for (const auto& f : run.files) {
    ASSERT_EQ(f["status"].text, "upgraded") << f["path"].text << " " << f["errorText"].text;
    upgradedSources.insert(fs::relative(f["path"].text, root).string());
    written.insert(fs::relative(f["upgradedPath"].text, root).string());
    if (!f["backupPath"].isNull())
      written.insert(fs::relative(f["backupPath"].text, root).string());
  }
  // Nothing but whole results: no temporary file, no file nobody reported.
  std::set<std::string> expected = before;
  expected.insert(written.begin(), written.end());
  EXPECT_EQ(filesUnder(root), expected);
  for (const auto& [f, original] : originals) {
    if (upgradedSources.count(f) == 0) {
      EXPECT_EQ(readBytes(root / f), readBytes(original)) << f << " was not started: untouched";
    } else if (p.modeIndex == 1) {
      EXPECT_EQ(readBytes(root / f), readBytes(original)) << f << " is exported, not replaced";
    }
  }
  for (const auto& f : run.files) {
    const std::string result = f["upgradedPath"].text;
    const std::string source = p.modeIndex == 0 ? f["backupPath"].text : f["path"].text;
    EXPECT_TRUE(engine::databaseDifferences(source, result).empty()) << result;
  }
}

INSTANTIATE_TEST_SUITE_P(ModesAndJobs, CliStopsOnSigint,
                         ::testing::Values(ModeAndJobs{"save-as", 0, 1},
                                           ModeAndJobs{"save-as", 0, 4},
                                           ModeAndJobs{"export", 1, 2}),
                         [](const auto& info) {
                           return std::string(info.param.modeIndex == 0 ? "SaveAs" : "Export") +
                                  "Jobs" + std::to_string(info.param.jobs);
                         });

TEST(CliUpgradeTargets, JetThreeTargetWritesJetThreeFiles) {
  QTemporaryDir tmp;
  const fs::path root = fs::path(tmp.path().toStdString());
  // The Crystal Reports sample: its indexed text holds no accented letter, whose
  // Jet 3 key the writer refuses for now.
  const std::string jet2 = corpus::path("jet2-crystalreports-craze-sample.mdb");
  copyIn(jet2, root / "two.mdb");
  const CliRun run = runCli({"upgrade", "--mode", "export", "--to", "3.0", "--json", root.string()});
  ASSERT_EQ(run.files.size(), 1u) << run.out;
  EXPECT_EQ(run.files[0]["status"].text, "upgraded") << run.files[0]["errorText"].text;
  const fs::path result = root / "mdb_v30" / "two.mdb";
  ASSERT_TRUE(fs::exists(result));
  EXPECT_EQ(jet::Database::open(result.string())->versionText(), "3.0");
  EXPECT_EQ(readBytes(root / "two.mdb"), readBytes(jet2));
}

TEST(CliUpgradeTargets, JetTwoTargetWritesJetTwoFiles) {
  QTemporaryDir tmp;
  const fs::path root = fs::path(tmp.path().toStdString());
  const std::string jet3 = corpus::path("jet3-psc-maclucas-northwind-small.mdb");
  copyIn(jet3, root / "three.mdb");
  const CliRun run = runCli({"upgrade", "--mode", "export", "--to", "2.0", "--json", root.string()});
  ASSERT_EQ(run.files.size(), 1u) << run.out;
  EXPECT_EQ(run.files[0]["status"].text, "upgraded") << run.files[0]["errorText"].text;
  const fs::path result = root / "mdb_v20" / "three.mdb";
  ASSERT_TRUE(fs::exists(result));
  EXPECT_EQ(jet::Database::open(result.string())->versionText(), "2.0");
  EXPECT_EQ(readBytes(root / "three.mdb"), readBytes(jet3));
}

// Both files hold what Jet 2.0 cannot keep (an accented indexed name, a GUID column).
TEST(CliUpgradeTargets, OlderTargetsFailFileByFileAndLeaveTheSourcesAsTheyWere) {
  for (const std::string target : {"2.0"}) {
    QTemporaryDir tmp;
    const fs::path root = fs::path(tmp.path().toStdString());
    copyIn(kJet2, root / "two.mdb");
    copyIn(kJet3, root / "sub" / "three.mdb");
    const CliRun run =
        runCli({"upgrade", "--mode", "export", "--to", target, "--json", root.string()});
    EXPECT_EQ(run.status, 1);
    ASSERT_EQ(run.files.size(), 2u) << run.out;
    for (const auto& f : run.files) {
      EXPECT_EQ(f["status"].text, "failed");
      EXPECT_NE(f["errorText"].text.find("Jet " + target), std::string::npos)
          << f["errorText"].text;
    }
    EXPECT_EQ(readBytes(root / "two.mdb"), readBytes(kJet2));
    EXPECT_EQ(readBytes(root / "sub" / "three.mdb"), readBytes(kJet3));
    const fs::path dest = root / ("mdb_v" + std::string{target[0], '0'});
    EXPECT_TRUE(!fs::exists(dest) || fs::is_empty(dest)) << "no partial result in " << dest;
    EXPECT_EQ((*run.summary)["summary"].text, "0 file(s) upgraded");
  }
}

TEST(CliUpgradeTree, ASecondRunFindsEveryFileCurrentAndLeavesTheCopiesAlone) {
  QTemporaryDir tmp;
  const fs::path root = fs::path(tmp.path().toStdString());
  copyIn(kJet2, root / "a.mdb");
  copyIn(kJet3, root / "sub" / "a.mdb");
  const CliRun first = runCli(cliArgs("save-as", 2, root));
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_EQ((*first.summary)["upgraded"].number, 2);
  const auto afterFirst = filesUnder(root);
  EXPECT_EQ(afterFirst.count("mdb_original/a.mdb") + afterFirst.count("mdb_original/a_A.mdb"), 2u);
  const std::string copies = readBytes(root / "mdb_original" / "a.mdb");
  const CliRun second = runCli(cliArgs("save-as", 2, root));
  EXPECT_EQ(second.status, 0) << second.err;
  EXPECT_EQ((*second.summary)["upgraded"].number, 0);
  EXPECT_EQ(second.files.size(), 2u) << "the copies in mdb_original are not sources";
  EXPECT_EQ(filesUnder(root), afterFirst);
  EXPECT_EQ(readBytes(root / "mdb_original" / "a.mdb"), copies);
}

TEST(CliUpgradeTree, AFileArgumentGoesToTheDestinationOfItsOwnFolder) {
  QTemporaryDir tmp;
  const fs::path root = fs::path(tmp.path().toStdString());
  copyIn(kJet3, root / "sub" / "x.mdb");
  const CliRun run = runCli({"upgrade", "--json", (root / "sub" / "x.mdb").string()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::exists(root / "sub" / "mdb_v40" / "x.mdb"));
  const fs::path dest = root / "elsewhere";
  const CliRun there =
      runCli({"upgrade", "--dest", dest.string(), "--json", (root / "sub" / "x.mdb").string()});
  EXPECT_EQ(there.status, 0) << there.err;
  EXPECT_TRUE(fs::exists(dest / "x.mdb"));
}

TEST(CliUpgradeUsage, BadOptionsExitWithTwoAndMissingPathsWithOne) {
  EXPECT_EQ(runCli({"upgrade"}).status, 2);
  EXPECT_EQ(runCli({"upgrade", "--jobs", "0", "."}).status, 2);
  EXPECT_EQ(runCli({"upgrade", "--jobs", "x", "."}).status, 2);
  EXPECT_EQ(runCli({"upgrade", "--mode", "replace", "."}).status, 2);
  EXPECT_EQ(runCli({"upgrade", "--to", "5.0", "."}).status, 2);
  EXPECT_EQ(runCli({"upgrade", "--frobnicate", "."}).status, 2);
  const CliRun missing = runCli({"upgrade", "/nonexistent/folder"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("does not exist"), std::string::npos);
}

TEST(CliVerify, EqualDatabasesExitZeroAndDifferentOnesNameTheirDifferences) {
  std::string said;
  EXPECT_EQ(runVerify(kJet3, kJet3, &said), 0);
  EXPECT_TRUE(said.empty()) << said;
  EXPECT_EQ(runVerify(kJet3, corpus::path("jet3-jackcess-test2-access97.mdb"), &said), 1);
  EXPECT_NE(said.find("table 'Table1' is only in the first database"), std::string::npos) << said;
  EXPECT_EQ(runVerify(kJet3, "/nonexistent/x.mdb", &said), 1);
  EXPECT_NE(said.find("(3024)"), std::string::npos) << said;
  EXPECT_EQ(runCli({"verify", kJet3}).status, 2);
}

TEST(CliVerify, MaxLimitsTheNumberOfLines) {
  ChildProcess child(JETLIFT_CLI, {"verify", "--max", "2", kJet3,
                                   corpus::path("jet3-jackcess-test2-access97.mdb")});
  EXPECT_EQ(child.finish(), 1);
  EXPECT_EQ(std::count(child.out.begin(), child.out.end(), '\n'), 2) << child.out;
}

TEST(CliSample, WritesEveryVersionButKeepsAnyFileOfTheSameName) {
  QTemporaryDir tmp;
  const fs::path root = tmp.path().toStdString();
  writeBytes(root / "sales.mdb", "the user's own sales database");
  copyIn(kJet3, root / "archive" / "staff.mdb");
  const CliRun run = runCli({"sample", root.string()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(readBytes(root / "sales.mdb"), "the user's own sales database");
  EXPECT_EQ(readBytes(root / "archive" / "staff.mdb"), readBytes(kJet3));
  EXPECT_NE(run.out.find((root / "sales.mdb").string() + "\tkept"), std::string::npos) << run.out;
  std::map<std::string, std::string> versions;
  for (const char* name : {"archive/INVENTORY.MDB", "contacts.mdb", "current.mdb"}) {
    versions[name] = jet::Database::open((root / name).string())->versionText();
  }
  EXPECT_EQ(versions, (std::map<std::string, std::string>{
                          {"archive/INVENTORY.MDB", "2.0"}, {"contacts.mdb", "3.0"},
                          {"current.mdb", "4.0"}}));
  EXPECT_TRUE(fs::exists(root / "damaged.mdb"));
  EXPECT_TRUE(fs::exists(root / "notes.mdb"));
}

}  // namespace
