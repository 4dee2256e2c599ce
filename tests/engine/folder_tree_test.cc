// Folder tree loading: node order, keys, texts, auto-checks and counts, on
// real folders with a probe that answers from the file name.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "temp_folder.h"
#include "trees/folder_tree.h"

namespace {

// Version by file name: names holding "v2" are Jet 2.0, "bad" cannot be opened.
QString probeByName(const QString& path) {
  if (path.contains("bad")) return "error";
  if (path.contains("v2")) return "2.0";
  return "3.0";
}

QStringList texts(const trees::FolderTree& tree) {
  QStringList out;
  for (const auto& n : tree.nodes) out << n.text + (n.checked ? " *" : "");
  return out;
}

TEST(FolderTree, SubFoldersComeFirstThenFilesAndVersionTwoFilesAreChecked) {
  TempFolder tmp;
  tmp.write("a_v2.mdb", "");
  tmp.write("b.MDB", "");
  tmp.write("c.txt", "");
  tmp.write("old/d_v2.mdb", "");
  const auto tree = trees::loadFolderTree(tmp.path(), probeByName);
  EXPECT_EQ(texts(tree), (QStringList{tmp.path(), "old", "d_v2.mdb [2.0] *", "a_v2.mdb [2.0] *",
                                      "b.MDB [3.0]"}));
  EXPECT_EQ(tree.loadCount, 2);
  EXPECT_EQ(tree.nodes[1].key, tmp.file("old"));
  EXPECT_EQ(tree.nodes[2].key, tmp.file("old/d_v2.mdb"));
  EXPECT_EQ(tree.nodes[2].parent, 1);
  EXPECT_EQ(tree.nodes[3].parent, 0);
  EXPECT_EQ(tree.nodes[3].image, trees::NodeImage::File);
  for (const auto& n : tree.nodes) {
    if (n.image == trees::NodeImage::Folder) {
      EXPECT_TRUE(n.expanded);
    }
  }
}

TEST(FolderTree, NamesSortWithoutRegardToCaseAndHiddenEntriesCount) {
  TempFolder tmp;
  tmp.write("Zeta.mdb", "");
  tmp.write("alpha.mdb", "");
  tmp.write(".hidden.mdb", "");
  tmp.write("oldmdb", "");
  tmp.write("x.mdbx", "");
  QDir().mkpath(tmp.file("archive.mdb"));
  QDir().mkpath(tmp.file("empty"));
  const auto tree = trees::loadFolderTree(tmp.path(), probeByName);
  EXPECT_EQ(texts(tree), (QStringList{tmp.path(), "archive.mdb", "empty", ".hidden.mdb [3.0]",
                                      "alpha.mdb [3.0]", "oldmdb [3.0]", "Zeta.mdb [3.0]"}));
  EXPECT_EQ(tree.nodes[1].image, trees::NodeImage::Folder);
}

TEST(FolderTree, RootWithTrailingSeparatorKeepsItAndChildrenGetOneSeparator) {
  TempFolder tmp;
  tmp.write("data/x.mdb", "");
  const auto tree = trees::loadFolderTree(tmp.path() + "/", probeByName);
  EXPECT_EQ(tree.nodes[0].key, tmp.path() + "/");
  EXPECT_EQ(tree.nodes[1].key, tmp.file("data"));
  EXPECT_EQ(tree.nodes[2].key, tmp.file("data/x.mdb"));
}

TEST(FolderTree, MissingRootGivesTheRootAlone) {
  const auto tree = trees::loadFolderTree("/nonexistent/jetlift/root", probeByName);
  ASSERT_EQ(tree.nodes.size(), 1u);
  EXPECT_EQ(tree.loadCount, 0);
}

TEST(FolderTree, ALinkCycleIsShownButNotFollowedTwice) {
  TempFolder tmp;
  tmp.write("a/b/x_v2.mdb", "");
  ASSERT_TRUE(QFile::link(tmp.file("a"), tmp.file("a/b/back")));
  const auto tree = trees::loadFolderTree(tmp.path(), probeByName);
  EXPECT_EQ(texts(tree), (QStringList{tmp.path(), "a", "b", "back", "x_v2.mdb [2.0] *"}));
}

TEST(FolderTree, ErrorFilesAreListedUncheckedAndCountsFollowTheKeys) {
  TempFolder tmp;
  tmp.write("bad.mdb", "");
  tmp.write("v2.mdb", "");
  QDir().mkpath(tmp.file("mdb"));
  auto tree = trees::loadFolderTree(tmp.path(), probeByName);
  EXPECT_EQ(texts(tree), (QStringList{tmp.path(), "mdb", "bad.mdb [error]", "v2.mdb [2.0] *"}));
  EXPECT_EQ(trees::countChecked(tree.nodes), 1);
  tree.nodes[1].checked = true;  // a folder named mdb counts like a database
  tree.nodes[0].checked = true;  // the root does not: its path does not end in mdb
  EXPECT_EQ(trees::countChecked(tree.nodes), 2);
}

TEST(FolderTree, ManyFilesAreNoLimit) {
  TempFolder tmp;
  for (int i = 0; i < 1200; ++i) tmp.write(QString("f%1_v2.mdb").arg(i, 4, 10, QChar('0')), "");
  const auto tree = trees::loadFolderTree(tmp.path(), probeByName);
  EXPECT_EQ(tree.loadCount, 1200);
  EXPECT_EQ(trees::countChecked(tree.nodes), 1200);
}

TEST(FolderTree, ProgressCanStopTheLoadBetweenFiles) {
  TempFolder tmp;
  for (int i = 0; i < 5; ++i) tmp.write(QString("f%1.mdb").arg(i), "");
  int probed = 0;
  const auto tree = trees::loadFolderTree(
      tmp.path(), [&](const QString&) { ++probed; return QString("3.0"); },
      [](const QString&, int done) { return done == 3; });
  EXPECT_EQ(probed, 3);
  EXPECT_EQ(tree.nodes.size(), 4u);
}

}  // namespace
