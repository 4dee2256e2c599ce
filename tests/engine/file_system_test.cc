// The file system as users have it: link cycles, unreadable folders, huge
// folders, odd names and files that vanish while a tree loads. Each ends in
// a sound tree or a clear error, never a crash or a hang.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <functional>

#include "../corpus.h"
#include "engine/batch_upgrade.h"
#include "engine/database_listing.h"
#include "engine/database_upgrade.h"
#include "engine/version_probe.h"
#include "recording_channels.h"
#include "temp_folder.h"
#include "trees/folder_tree.h"

namespace {

const std::string kJet3 = corpus::path("jet3-jackcess-delTest-access97.mdb");

QString probeByName(const QString& path) { return path.contains("v2") ? "2.0" : "3.0"; }

QStringList texts(const trees::FolderTree& tree) {
  QStringList out;
  for (const auto& n : tree.nodes) out << n.text;
  return out;
}

// Parents before children, keys one level below their parent's, files without children.
void expectSound(const trees::FolderTree& tree) {
  ASSERT_FALSE(tree.nodes.empty());
  EXPECT_EQ(tree.nodes[0].parent, -1);
  for (std::size_t i = 1; i < tree.nodes.size(); ++i) {
    const trees::TreeNode& n = tree.nodes[i];
    ASSERT_GE(n.parent, 0) << i;
    ASSERT_LT(n.parent, static_cast<int>(i)) << i;
    const trees::TreeNode& p = tree.nodes[static_cast<std::size_t>(n.parent)];
    EXPECT_EQ(p.image, trees::NodeImage::Folder) << n.key.toStdString();
    EXPECT_TRUE(n.key.startsWith(p.key)) << n.key.toStdString();
    EXPECT_FALSE(n.key.mid(p.key.size() + 1).contains('/')) << n.key.toStdString();
  }
}

// Runs `body` in a child process as an unprivileged user, so that modes
// stop reads even when the tests run as root. The child's exit status is
// returned; 77 means privileges could not be dropped.
int asUnprivileged(const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(77);
    ::_exit(body());
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Every folder on the way down readable by everyone (QTemporaryDir makes 0700).
void openToAll(const TempFolder& tmp) { ::chmod(QFile::encodeName(tmp.path()).constData(), 0755); }

TEST(FileSystemTree, LinksToItselfAroundAndNowhereEndInAFiniteTree) {
  TempFolder tmp;
  tmp.write("a/in_a_v2.mdb", "");
  tmp.write("b/in_b.mdb", "");
  ASSERT_TRUE(QFile::link(tmp.file("a"), tmp.file("a/self")));
  ASSERT_TRUE(QFile::link(tmp.file("b"), tmp.file("a/to b")));
  ASSERT_TRUE(QFile::link(tmp.file("a"), tmp.file("b/to a")));
  ASSERT_TRUE(QFile::link(tmp.path(), tmp.file("b/root")));
  ASSERT_TRUE(QFile::link(tmp.file("missing"), tmp.file("dangling.mdb")));
  ASSERT_TRUE(QFile::link(tmp.file("loop2.mdb"), tmp.file("loop1.mdb")));
  ASSERT_TRUE(QFile::link(tmp.file("loop1.mdb"), tmp.file("loop2.mdb")));
  int probed = 0;
  const auto tree = trees::loadFolderTree(tmp.path(), [&](const QString& p) {
    ++probed;
    return QFileInfo::exists(p) ? probeByName(p) : QString("error");
  });
  expectSound(tree);
  // Each folder is entered once per way down; a link back up is shown, not entered.
  EXPECT_EQ(texts(tree), (QStringList{tmp.path(),
                                      "a", "self", "to b", "root", "to a", "in_b.mdb [3.0]",
                                      "in_a_v2.mdb [2.0]",
                                      "b", "root", "to a", "self", "to b", "in_a_v2.mdb [2.0]",
                                      "in_b.mdb [3.0]",
                                      "dangling.mdb [error]", "loop1.mdb [error]",
                                      "loop2.mdb [error]"}));
  EXPECT_EQ(probed, 7);
}

TEST(FileSystemTree, AnUnreadableFolderIsShownEmptyAndNamedAndTheRestLoads) {
  TempFolder tmp;
  openToAll(tmp);
  tmp.write("locked/hidden.mdb", "");
  tmp.write("open/seen.mdb", "");
  tmp.copyIn(kJet3, "open/real.mdb");
  tmp.copyIn(kJet3, "secret.mdb");
  ::chmod(QFile::encodeName(tmp.file("open")).constData(), 0755);
  ::chmod(QFile::encodeName(tmp.file("open/real.mdb")).constData(), 0644);
  ::chmod(QFile::encodeName(tmp.file("locked")).constData(), 0);
  ::chmod(QFile::encodeName(tmp.file("secret.mdb")).constData(), 0);
  const int status = asUnprivileged([&] {
    engine::DBEngine engine;
    RecordingChannels channels;
    const auto tree = trees::loadFolderTree(tmp.path(), [&](const QString& p) {
      return engine::GetVersion(p, engine, channels);
    });
    const QStringList expected = {tmp.path(), "locked", "open", "real.mdb [3.0]", "seen.mdb [error]",
                                  "secret.mdb [error]"};
    if (texts(tree) != expected) return 1;
    if (tree.unreadable.size() != 1 ||
        tree.unreadable[0] != tmp.file("locked") + ": Permission denied") {
      return 2;
    }
    // Both unreadable files were reported, each naming its path.
    if (channels.errors != QStringList{"GetVersion: " + tmp.file("open/seen.mdb"),
                                       "GetVersion: " + tmp.file("secret.mdb")}) {
      return 3;
    }
    if (!channels.errorDetails[1].description.contains(tmp.file("secret.mdb"))) return 4;
    return 0;
  });
  ::chmod(QFile::encodeName(tmp.file("locked")).constData(), 0755);
  if (status == 77) GTEST_SKIP() << "running as root and unable to drop privileges";
  EXPECT_EQ(status, 0) << "1: wrong nodes, 2: unreadable folder not named, 3/4: errors not reported";
}

TEST(FileSystemTree, TenThousandEntriesInOneFolderLoadInOrder) {
  TempFolder tmp;
  const QByteArray base = QFile::encodeName(tmp.path()) + "/";
  int files = 0, folders = 0;
  for (int i = 0; i < 10000; ++i) {
    const QByteArray name = base + (i % 5 == 0 ? "Dir " : i % 2 ? "db " : "DB ") +
                            QByteArray::number((i * 7919) % 10000);
    if (i % 5 == 0) {
      ASSERT_EQ(::mkdir(name.constData(), 0755), 0);
      ++folders;
    } else {
      const int fd = ::open((name + (i % 3 ? "_v2.mdb" : ".txt")).constData(), O_CREAT | O_WRONLY, 0644);
      ASSERT_GE(fd, 0);
      ::close(fd);
      files += i % 3 ? 1 : 0;
    }
  }
  const auto tree = trees::loadFolderTree(tmp.path(), probeByName);
  expectSound(tree);
  ASSERT_EQ(tree.nodes.size(), 1u + folders + files);
  EXPECT_EQ(tree.loadCount, files);
  EXPECT_EQ(trees::countChecked(tree.nodes), files);
  for (std::size_t i = 2; i < tree.nodes.size(); ++i) {
    const auto& a = tree.nodes[i - 1];
    const auto& b = tree.nodes[i];
    if (a.image != b.image) {
      EXPECT_EQ(a.image, trees::NodeImage::Folder) << "folders come first";
      continue;
    }
    EXPECT_LE(QString::compare(a.text, b.text, Qt::CaseInsensitive), 0)
        << a.text.toStdString() << " before " << b.text.toStdString();
  }
}

const QString kOddName = QString::fromUtf8(" two  spaces \xC3\xA9t\xC3\xA9 \xE6\xBC\xA2\xE5\xAD\x97\nnew line.mdb");

TEST(FileSystemNames, SpacesUnicodeAndNewlinesSurviveTreeListingAndProbe) {
  TempFolder tmp;
  const QString folder = QString::fromUtf8("sub folder \xC3\xBC\nsecond line");
  tmp.copyIn(kJet3, folder + "/" + kOddName);
  engine::DBEngine engine;
  RecordingChannels channels;
  const auto tree = trees::loadFolderTree(tmp.path(), [&](const QString& p) {
    return engine::GetVersion(p, engine, channels);
  });
  expectSound(tree);
  EXPECT_EQ(texts(tree), (QStringList{tmp.path(), folder, kOddName + " [3.0]"}));
  EXPECT_EQ(tree.nodes[2].key, tmp.file(folder + "/" + kOddName));
  EXPECT_TRUE(channels.errors.isEmpty());
  RecordingChannels listing;
  engine::EnumerateDatabase(tree.nodes[2].key, engine, listing, [] {});
  ASSERT_FALSE(listing.output.isEmpty());
  EXPECT_EQ(listing.output.first(), tree.nodes[2].key + " [version=3.0]");
  EXPECT_TRUE(listing.output.last().endsWith(" table(s)"));
  EXPECT_TRUE(listing.errors.isEmpty());
}

TEST(FileSystemNames, SaveAsAndExportOfAnOddlyNamedFileKeepTheName) {
  for (int mode : {engine::kModeSaveAs, engine::kModeExport}) {
    TempFolder tmp;
    const QString path = tmp.copyIn(kJet3, kOddName);
    const QByteArray before = readAll(path);
    const QString dest = tmp.file(QString::fromUtf8("dest \xE2\x82\xAC\nfolder"));
    engine::DBEngine engine;
    RecordingChannels channels;
    engine::DatabaseUpgrade upgrade(engine, channels);
    ASSERT_TRUE(upgrade.UpgradeDatabase(engine::UpgradeRequest{path, mode, dest, 64}))
        << (channels.errorDetails.empty() ? "" : channels.errorDetails[0].description.toStdString());
    RecordingChannels probe;
    if (mode == engine::kModeSaveAs) {
      EXPECT_EQ(readAll(dest + "/" + kOddName), before);
      EXPECT_EQ(engine::GetVersion(path, engine, probe), "4.0");
      EXPECT_EQ(upgrade.lastOutcome().backupPath, dest + "/" + kOddName);
    } else {
      EXPECT_EQ(readAll(path), before);
      EXPECT_EQ(engine::GetVersion(dest + "/" + kOddName, engine, probe), "4.0");
    }
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden), QStringList{kOddName});
    EXPECT_EQ(QDir(dest).entryList(QDir::Files | QDir::Hidden), QStringList{kOddName});
  }
}

TEST(FileSystemNames, ANameThatIsNotUtf8GivesAnErrorNodeNotACrash) {
  TempFolder tmp;
  const QByteArray name = QFile::encodeName(tmp.path()) + "/caf\xE9 latin1.mdb";
  const int fd = ::open(name.constData(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  ::close(fd);
  engine::DBEngine engine;
  RecordingChannels channels;
  const auto tree = trees::loadFolderTree(tmp.path(), [&](const QString& p) {
    return engine::GetVersion(p, engine, channels);
  });
  expectSound(tree);
  ASSERT_EQ(tree.nodes.size(), 2u);
  EXPECT_TRUE(tree.nodes[1].text.endsWith(" latin1.mdb [error]")) << tree.nodes[1].text.toStdString();
  EXPECT_EQ(channels.errors.size(), 1);
  ::unlink(name.constData());  // the temporary folder's clean-up cannot name it either
}

TEST(FileSystemRemovals, FilesAndFoldersRemovedWhileTheTreeLoadsLeaveASoundTree) {
  TempFolder tmp;
  tmp.copyIn(kJet3, "a/first.mdb");
  tmp.copyIn(kJet3, "a/second.mdb");
  tmp.copyIn(kJet3, "b/third.mdb");
  tmp.copyIn(kJet3, "c/fourth.mdb");
  tmp.copyIn(kJet3, "last.mdb");
  engine::DBEngine engine;
  RecordingChannels channels;
  // Between listing and probing: once a/first.mdb is reached, its sibling,
  // a folder listed but not yet entered, and a file of the root go.
  const auto tree = trees::loadFolderTree(
      tmp.path(), [&](const QString& p) { return engine::GetVersion(p, engine, channels); },
      [&](const QString& path, int) {
        if (path.endsWith("first.mdb")) {
          QFile::remove(tmp.file("a/second.mdb"));
          QDir(tmp.file("b")).removeRecursively();
          QFile::remove(tmp.file("last.mdb"));
        }
        return false;
      });
  expectSound(tree);
  EXPECT_EQ(texts(tree), (QStringList{tmp.path(), "a", "first.mdb [3.0]", "second.mdb [error]", "b", "c",
                                      "fourth.mdb [3.0]", "last.mdb [error]"}));
  ASSERT_EQ(tree.unreadable.size(), 1u);
  EXPECT_EQ(tree.unreadable[0], tmp.file("b") + ": No such file or directory");
  EXPECT_EQ(channels.errors, (QStringList{"GetVersion: " + tmp.file("a/second.mdb"),
                                          "GetVersion: " + tmp.file("last.mdb")}));
}

TEST(FileSystemBatch, FilesGoneOrUnreadableAreReportedAndTheOthersUpgraded) {
  TempFolder tmp;
  openToAll(tmp);
  tmp.copyIn(kJet3, "one.mdb");
  tmp.copyIn(kJet3, "locked/two.mdb");
  tmp.copyIn(kJet3, "three.mdb");
  tmp.copyIn(kJet3, "gone.mdb");
  for (const char* f : {"one.mdb", "three.mdb", "gone.mdb", "locked/two.mdb"}) {
    ::chmod(QFile::encodeName(tmp.file(f)).constData(), 0666);
  }
  ::chmod(QFile::encodeName(tmp.path()).constData(), 0777);
  const auto tree = trees::loadFolderTree(tmp.path(), probeByName);
  std::vector<QString> keys;
  for (const auto& n : tree.nodes) {
    if (n.image == trees::NodeImage::File) keys.push_back(n.key);
  }
  ASSERT_EQ(keys.size(), 4u);
  QFile::remove(tmp.file("gone.mdb"));
  ::chmod(QFile::encodeName(tmp.file("locked")).constData(), 0);
  const int status = asUnprivileged([&] {
    engine::DBEngine engine;
    RecordingChannels channels;
    engine::DatabaseUpgrade upgrade(engine, channels);
    engine::BatchSettings settings{engine::kModeExport, [&] { return tmp.file("out"); }, 64};
    const int upgraded = engine::runBatch(keys, settings, upgrade);
    if (upgraded != 2) return 1;
    // Tree order: the sub-folder's file first.
    if (channels.errors != QStringList{"UpgradeDatabase: " + tmp.file("locked/two.mdb"),
                                       "UpgradeDatabase: " + tmp.file("gone.mdb")}) {
      return 2;
    }
    const QStringList made = QDir(tmp.file("out")).entryList(QDir::Files | QDir::Hidden);
    return made == QStringList{"one.mdb", "three.mdb"} ? 0 : 3;
  });
  ::chmod(QFile::encodeName(tmp.file("locked")).constData(), 0755);
  if (status == 77) GTEST_SKIP() << "running as root and unable to drop privileges";
  EXPECT_EQ(status, 0) << "1: wrong count, 2: errors not reported per file, 3: wrong outputs";
}

}  // namespace
