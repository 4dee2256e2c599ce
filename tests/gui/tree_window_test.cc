#include "tree_window_test.h"

#include <QCheckBox>
#include <QProcess>

#include "window_harness.h"

using namespace harness;

namespace {

// The example folder: a.mdb (Jet 2), b.MDB (Jet 3), c.txt, old/d.mdb (Jet 2).
void makeExample(Harness& h) {
  copyCorpus(kJet2, h.source() + "/a.mdb");
  copyCorpus(kJet3, h.source() + "/b.MDB");
  writeBytes(h.source() + "/c.txt", "text");
  copyCorpus(kJet2, h.source() + "/old/d.mdb");
}

}  // namespace

void TreeWindowTest::theFolderExampleListsSubFoldersFirstAndChecksVersionTwo() {
  Harness h;
  makeExample(h);
  h.writeSettings(h.source(), std::nullopt, "1", "4");
  QVERIFY(h.start());
  const QString s = h.source();
  // The start-up made the export folder inside the source: it is listed like any folder.
  QCOMPARE(h.outline(0), (QStringList{s, "  mdb_v40", "  old", "    d.mdb [2.0] *",
                                      "  a.mdb [2.0] *", "  b.MDB [3.0]"}));
  QCOMPARE(h.window->lbl_CheckedCount->text(), QString("2"));
  QCOMPARE(h.window->keyOf(h.window->node(0, 4)), s + "/old/d.mdb");
  for (int p = 1; p <= h.window->nodeCount(0); ++p) {
    QTreeWidgetItem* item = h.window->node(0, p);
    QVERIFY(!item->icon(0).isNull());
    if (item->childCount() > 0) QVERIFY(item->isExpanded());
  }
  const QImage folder = h.window->node(0, 1)->icon(0).pixmap(16).toImage();
  const QImage file = h.window->node(0, 4)->icon(0).pixmap(16).toImage();
  QVERIFY(folder != file);
  QVERIFY(h.window->Cmd_Upgrade->isEnabled());
}

void TreeWindowTest::emptyFoldersAndADirectoryNamedLikeADatabaseAreFolderNodes() {
  Harness h;
  QDir().mkpath(h.source() + "/empty");
  QDir().mkpath(h.source() + "/archive.mdb");
  copyCorpus(kJet3, h.source() + "/oldmdb");
  copyCorpus(kJet3, h.source() + "/sales.mdb.bak");
  copyCorpus(kJet3, h.source() + "/x.mdbx");
  h.writeSettings(h.source(), std::nullopt, "0", "4");
  QVERIFY(h.start());
  QCOMPARE(h.outline(0), (QStringList{h.source(), "  archive.mdb", "  empty", "  mdb_original",
                                      "  oldmdb [3.0]"}));
  QTreeWidgetItem* archive = h.window->nodeByKey(0, h.source() + "/archive.mdb");
  QVERIFY(archive->isExpanded());
  QCOMPARE(archive->childCount(), 0);
  const QImage folderIcon = h.window->node(0, 1)->icon(0).pixmap(16).toImage();
  QCOMPARE(archive->icon(0).pixmap(16).toImage(), folderIcon);
}

void TreeWindowTest::aRootWithATrailingSeparatorKeysItsChildrenWithOneSeparator() {
  Harness h;
  copyCorpus(kJet2, h.source() + "/a.mdb");
  h.writeSettings(h.source() + "/", std::nullopt, "1", "3");
  QVERIFY(h.start());
  QCOMPARE(h.window->keyOf(h.window->node(0, 1)), h.source() + "/");
  QVERIFY(h.window->nodeByKey(0, h.source() + "/a.mdb") != nullptr);
  // The destination takes the source verbatim: two separators in a row.
  QCOMPARE(h.window->Lbl_Folder(1)->text(), h.source() + "//mdb_v30");
}

void TreeWindowTest::userChecksChangeTheCountAndAReloadRestoresTheAutoChecks() {
  Harness h;
  makeExample(h);
  h.writeSettings(h.source(), std::nullopt, "0", "4");
  QVERIFY(h.start());
  const QStringList loaded = h.outline(0);
  h.window->lst_Output->clear();
  QTreeWidget* tree = h.tree(0);
  clickCheckBox(tree, h.window->nodeByKey(0, h.source() + "/a.mdb"));
  QCOMPARE(h.window->lbl_CheckedCount->text(), QString("1"));
  clickCheckBox(tree, h.window->nodeByKey(0, h.source() + "/old/d.mdb"));
  QCOMPARE(h.window->lbl_CheckedCount->text(), QString("0"));
  QVERIFY(!h.window->Cmd_Upgrade->isEnabled());
  clickCheckBox(tree, h.window->nodeByKey(0, h.source() + "/b.MDB"));
  QCOMPARE(h.window->lbl_CheckedCount->text(), QString("1"));
  QVERIFY(h.window->Cmd_Upgrade->isEnabled());
  QVERIFY2(h.output().isEmpty(),
           qPrintable(h.output().join("\n")));  // a check is no click on the node
  QTest::mouseClick(h.window->Cmd_LoadTreeView(0), Qt::LeftButton);
  QCOMPARE(h.outline(0), loaded);
  QCOMPARE(h.window->lbl_CheckedCount->text(), QString("2"));
}

void TreeWindowTest::checkingAFolderNodeNamedMdbCountsItAndChecksNoChildren() {
  Harness h;
  copyCorpus(kJet3, h.source() + "/mdb/a.mdb");
  copyCorpus(kJet3, h.source() + "/mdb/b.mdb");
  h.writeSettings(h.source(), std::nullopt, "0", "4");
  QVERIFY(h.start());
  QCOMPARE(h.window->lbl_CheckedCount->text(), QString("0"));
  QTreeWidgetItem* folder = h.window->nodeByKey(0, h.source() + "/mdb");
  clickCheckBox(h.tree(0), folder);
  QCOMPARE(folder->checkState(0), Qt::Checked);
  QCOMPARE(h.window->lbl_CheckedCount->text(), QString("1"));
  for (int c = 0; c < folder->childCount(); ++c)
    QCOMPARE(folder->child(c)->checkState(0), Qt::Unchecked);
}

void TreeWindowTest::loadingTheDestinationTreeLeavesTheCountLabel() {
  Harness h;
  copyCorpus(kJet2, h.source() + "/a.mdb");
  copyCorpus(kJet2, h.source() + "/mdb_v40/x.mdb");
  copyCorpus(kJet2, h.source() + "/mdb_v40/y.mdb");
  h.writeSettings(h.source(), std::nullopt, "1", "4");
  QVERIFY(h.start());
  QCOMPARE(h.window->lbl_CheckedCount->text(), QString("3"));  // a.mdb, mdb_v40/x.mdb, y.mdb
  QCOMPARE(h.window->nodeCount(1), 3);
  h.window->lbl_CheckedCount->setText("7");
  QTest::mouseClick(h.window->Cmd_LoadTreeView(1), Qt::LeftButton);
  QCOMPARE(h.window->lbl_CheckedCount->text(), QString("7"));
  QCOMPARE(h.outline(1), (QStringList{h.source() + "/mdb_v40", "  x.mdb [2.0]", "  y.mdb [2.0]"}));
}

void TreeWindowTest::aTreeLoadCanBeStoppedBetweenFilesAndRestoresTheCursor() {
  Harness h;
  for (const char* name : {"a.mdb", "b.mdb", "c.mdb"}) copyCorpus(kJet2, h.source() + "/" + name);
  h.writeSettings(h.source(), std::nullopt, "0", "4");
  QVERIFY(h.start());
  QCOMPARE(h.window->lbl_CheckedCount->text(), QString("3"));
  QVERIFY(h.progress.texts.contains(h.source() + "/b.mdb\n1 file(s) read"));
  h.progress.stopAfter = 1;
  h.progress.texts.clear();
  QList<Qt::CursorShape> cursors;
  h.progress.onStep = [&] {
    cursors << (QApplication::overrideCursor() ? QApplication::overrideCursor()->shape()
                                               : Qt::ArrowCursor);
  };
  QTest::mouseClick(h.window->Cmd_LoadTreeView(0), Qt::LeftButton);
  QCOMPARE(cursors, (QList<Qt::CursorShape>{Qt::WaitCursor, Qt::WaitCursor}));
  QCOMPARE(h.outline(0), (QStringList{h.source(), "  mdb_original", "  a.mdb [2.0] *"}));
  QCOMPARE(h.window->lbl_CheckedCount->text(), QString("1"));
  QCOMPARE(h.progress.begun, h.progress.ended);
  QVERIFY(QApplication::overrideCursor() == nullptr);
}

void TreeWindowTest::anEngineOfVersionTwoOrThreeLowersAndDisablesTheVersionButtons() {
  {
    Harness h;
    h.engine.version = "3.6";
    h.writeSettings(h.source(), std::nullopt, "1", "4");
    QVERIFY(h.start());
    QVERIFY(h.window->Opt_Jet(3)->isChecked());
    QVERIFY(!h.window->Opt_Jet(4)->isEnabled());
    QVERIFY(h.window->Opt_Jet(2)->isEnabled() && h.window->Opt_Jet(3)->isEnabled());
    QCOMPARE(h.window->Lbl_Folder(1)->text(), h.source() + "/mdb_v30");
    QVERIFY(QFileInfo(h.source() + "/mdb_v40").isDir());  // made before the refresh lowered it
    QVERIFY(!QFileInfo(h.source() + "/mdb_v30").exists());
    QCOMPARE(h.window->windowTitle(), QString("Jetlift ver 1.0.006 Jet ver: 3.6"));
  }
  {
    Harness h;
    h.engine.version = "2.5";
    h.writeSettings(h.source(), std::nullopt, "1", "3");
    QVERIFY(h.start());
    QVERIFY(h.window->Opt_Jet(2)->isChecked());
    QVERIFY(!h.window->Opt_Jet(3)->isEnabled() && !h.window->Opt_Jet(4)->isEnabled());
    QCOMPARE(h.window->Lbl_Folder(1)->text(), h.source() + "/mdb_v20");
  }
  {
    Harness h;
    h.engine.version = "2.0";
    h.writeSettings(h.source(), h.source() + "/kept", "1", "2");
    QVERIFY(h.start());
    QVERIFY(h.window->Opt_Jet(2)->isChecked());
    QVERIFY(!h.window->Opt_Jet(4)->isEnabled());
    QCOMPARE(h.window->Lbl_Folder(1)->text(), h.source() + "/mdb_v20");
  }
}

void TreeWindowTest::anEngineOfAnotherVersionLeavesTheVersionButtons() {
  Harness h;
  h.engine.version = "5.0";
  h.writeSettings(h.source(), std::nullopt, "1", "4");
  QVERIFY(h.start());
  QVERIFY(h.window->Opt_Jet(4)->isChecked());
  for (int v = 2; v <= 4; ++v) QVERIFY(h.window->Opt_Jet(v)->isEnabled());
}

void TreeWindowTest::theDestinationFollowsModeAndVersionAndIsDisabledInSaveAs() {
  Harness h;
  h.writeSettings(h.source(), std::nullopt, "1", "3");
  QVERIFY(h.start());
  frm_Upgrade& w = *h.window;
  QCOMPARE(w.Lbl_Folder(1)->text(), h.source() + "/mdb_v30");
  const int destinationNodes = w.nodeCount(1);
  clickRadio(w.Opt_Jet(4));
  QCOMPARE(w.Lbl_Folder(1)->text(), h.source() + "/mdb_v40");
  QCOMPARE(w.nodeCount(1), destinationNodes);
  QCOMPARE(w.keyOf(w.node(1, 1)), h.source() + "/mdb_v30");  // the tree is not reloaded
  QCOMPARE(w.Lbl_Help->text(),
           QString("Upgrade and export MDB files on left to to right folder (or drive)"));
  clickRadio(w.Opt_Method(0));
  QCOMPARE(w.Lbl_Folder(1)->text(), h.source() + "/mdb_original");
  QCOMPARE(
      w.Lbl_Help->text(),
      QString(
          "Upgrade MDB files on left and copy oexport to right folder (leaving original files)"));
  for (QWidget* c :
       {static_cast<QWidget*>(w.Cmd_GetFolder(1)), static_cast<QWidget*>(w.Lbl_Folder(1)),
        static_cast<QWidget*>(w.Cmd_LoadTreeView(1)), static_cast<QWidget*>(w.tv_Files(1))}) {
    QVERIFY2(!c->isEnabled(), qPrintable(c->objectName()));
  }
  clickRadio(w.Opt_Jet(2));
  QCOMPARE(w.Lbl_Folder(1)->text(), h.source() + "/mdb_original");
  clickRadio(w.Opt_Method(1));
  QCOMPARE(w.Lbl_Folder(1)->text(), h.source() + "/mdb_v20");
  QVERIFY(w.Cmd_GetFolder(1)->isEnabled() && w.tv_Files(1)->isEnabled());
}

void TreeWindowTest::exportWithNoVersionSelectedDerivesXXX() {
  Harness h;
  h.writeSettings(h.source(), h.source() + "/by-hand", "0", "abc");
  QVERIFY(h.start());
  QCOMPARE(h.window->Lbl_Folder(1)->text(), h.source() + "/mdb_original");
  for (int v = 2; v <= 4; ++v) QVERIFY(!h.window->Opt_Jet(v)->isChecked());
  clickRadio(h.window->Opt_Method(1));
  QCOMPARE(h.window->Lbl_Folder(1)->text(), h.source() + "/mdb_vXXX");
}

void TreeWindowTest::choosingAFolderMakesItAndReloadsOnlyThatTree() {
  Harness h;
  copyCorpus(kJet2, h.path("other.v2/a.mdb"));
  h.writeSettings(h.source(), std::nullopt, "1", "4");
  QVERIFY(h.start());
  const QString destination = h.window->Lbl_Folder(1)->text();
  const QStringList destinationTree = h.outline(1);
  h.chooser.answer = h.path("other.v2");
  QTest::mouseClick(h.window->Cmd_GetFolder(0), Qt::LeftButton);
  QCOMPARE(h.chooser.titles, QStringList{"Choose folder with MDB files folder"});
  QCOMPARE(h.chooser.starts, QStringList{h.source()});
  QCOMPARE(h.window->Lbl_Folder(0)->text(), h.path("other.v2"));
  QCOMPARE(h.outline(0), (QStringList{h.path("other.v2"), "  a.mdb [2.0] *"}));
  QCOMPARE(h.window->lbl_CheckedCount->text(), QString("1"));
  QCOMPARE(h.window->Lbl_Folder(1)->text(), destination);
  QCOMPARE(h.outline(1), destinationTree);

  h.chooser.answer = h.path("new.dest/sub.dir");
  QTest::mouseClick(h.window->Cmd_GetFolder(1), Qt::LeftButton);
  QVERIFY(QFileInfo(h.path("new.dest/sub.dir")).isDir());
  QCOMPARE(h.outline(1), QStringList{h.path("new.dest/sub.dir")});
  QVERIFY(h.output().contains("folder: " + h.path("new.dest") + " created"));
}

void TreeWindowTest::cancellingTheFolderChooserChangesNothing() {
  Harness h;
  copyCorpus(kJet2, h.source() + "/a.mdb");
  h.writeSettings(h.source(), std::nullopt, "1", "4");
  QVERIFY(h.start());
  clickCheckBox(h.tree(0), h.window->nodeByKey(0, h.source() + "/a.mdb"));
  const QStringList before = h.outline(0);
  h.chooser.answer = std::nullopt;
  QTest::mouseClick(h.window->Cmd_GetFolder(0), Qt::LeftButton);
  QCOMPARE(h.chooser.titles.size(), 1);
  QCOMPARE(h.window->Lbl_Folder(0)->text(), h.source());
  QCOMPARE(h.outline(0), before);
}

void TreeWindowTest::clickingADatabaseListsItsPlainTables() {
  Harness h;
  const QString db = copyCorpus(kJet3, h.source() + "/b.mdb");
  h.writeSettings(h.source(), std::nullopt, "0", "4");
  QVERIFY(h.start());
  h.window->lst_Output->addItem("old line");
  clickNode(h.tree(0), h.window->nodeByKey(0, db));
  // The independent reader names the user tables; the listing must name the same.
  QProcess tables;
  tables.start("mdb-tables", {"-1", db});
  QVERIFY(tables.waitForFinished(20000));
  QStringList expected =
      QString::fromUtf8(tables.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
  QVERIFY(!expected.isEmpty());
  const QStringList out = h.output();
  QCOMPARE(out.first(), db + " [version=3.0]");
  QCOMPARE(out.last(), QString::number(out.size() - 2) + " table(s)");
  QStringList listed = out.mid(1, out.size() - 2);
  listed.sort();
  expected.sort();
  QCOMPARE(listed, expected);
}

void TreeWindowTest::clickingAFolderNodeSaysItIsNoDatabase() {
  Harness h;
  QDir().mkpath(h.source() + "/sub");
  h.writeSettings(h.source(), std::nullopt, "0", "4");
  QVERIFY(h.start());
  clickNode(h.tree(0), h.window->node(0, 1));
  QCOMPARE(h.output(), QStringList{h.source() + " [not MDB file]"});
  clickNode(h.tree(0), h.window->nodeByKey(0, h.source() + "/sub"));
  QCOMPARE(h.output(), QStringList{h.source() + "/sub [not MDB file]"});
  QVERIFY(h.boxes.boxes.empty());
}

void TreeWindowTest::clickingAFolderNamedMdbReportsTheErrorAndLeavesTheListEmpty() {
  Harness h;
  QDir().mkpath(h.source() + "/mdb");
  h.writeSettings(h.source(), std::nullopt, "0", "4");
  QVERIFY(h.start());
  h.window->lst_Output->addItem("old line");
  clickNode(h.tree(0), h.window->nodeByKey(0, h.source() + "/mdb"));
  QVERIFY(h.output().isEmpty());
  QCOMPARE(h.boxes.boxes.size(), std::size_t{1});
  QVERIFY2(h.boxes.boxes[0].text.contains("EnumerateDatabase: " + h.source() + "/mdb"),
           qPrintable(h.boxes.boxes[0].text));
}

void TreeWindowTest::theTreeViewBoxAndTheFileListOnlyRefreshTheControls() {
  Harness h;
  copyCorpus(kJet2, h.source() + "/a.mdb");
  h.writeSettings(h.source(), std::nullopt, "1", "4");
  QVERIFY(h.start());
  h.window->lbl_CheckedCount->setText("9");
  h.window->Cmd_Upgrade->setEnabled(false);
  h.window->Chk_TreeView->click();
  QVERIFY(!h.window->Chk_TreeView->isChecked());
  QVERIFY(h.window->Cmd_Upgrade->isEnabled());  // refreshed
  QCOMPARE(h.window->lbl_CheckedCount->text(), QString("9"));
  h.picker.answer = QStringList{h.source() + "/a.mdb"};
  QTest::mouseClick(h.window->Cmd_Find, Qt::LeftButton);
  h.window->Cmd_Upgrade->setEnabled(false);
  h.window->Lst_Files->item(0)->setCheckState(Qt::Unchecked);
  QVERIFY(h.window->Cmd_Upgrade->isEnabled());
  QCOMPARE(h.window->lbl_CheckedCount->text(), QString("9"));
}

void TreeWindowTest::aCheckByKeyboardIsAUserToggleAndTheNextClickStillLists() {
  Harness h;
  const QString a = copyCorpus(kJet3, h.source() + "/a.mdb");
  h.writeSettings(h.source(), std::nullopt, "0", "4");
  QVERIFY(h.start());
  QTreeWidgetItem* item = h.window->nodeByKey(0, a);
  h.tree(0)->setCurrentItem(item);
  h.tree(0)->setFocus();
  QTest::keyClick(h.tree(0), Qt::Key_Space);
  QCOMPARE(item->checkState(0), Qt::Checked);
  QCOMPARE(h.window->lbl_CheckedCount->text(), QString("1"));
  QVERIFY(h.window->Cmd_Upgrade->isEnabled());
  QTest::qWait(20);
  h.window->lst_Output->clear();
  clickNode(h.tree(0), item);
  QCOMPARE(h.output().value(0), a + " [version=3.0]");
}

void TreeWindowTest::browseForFolderStartsAtTheCurrentDirectoryForAnEmptyFolder() {
  RecordingNotifier boxes;
  TestFolderChooser chooser;
  QString folder;
  QVERIFY(!BrowseForFolder(chooser, nullptr, folder, "folder with MDB files", boxes));
  QCOMPARE(folder, QDir::currentPath());  // written back, though the user cancelled
  QCOMPARE(chooser.starts, QStringList{QDir::currentPath()});
  chooser.answer = "/x/y";
  QVERIFY(BrowseForFolder(chooser, nullptr, folder, "folder with MDB files", boxes));
  QCOMPARE(folder, QString("/x/y"));
  QVERIFY(boxes.boxes.empty());
}
