#include "upgrade_window_test.h"

#include <QAbstractButton>
#include <QProgressDialog>

#include "window_harness.h"

using namespace harness;

namespace {

QStringList filesIn(const QString& folder) {
  return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

void pressUpgrade(Harness& h) { QTest::mouseClick(h.window->Cmd_Upgrade, Qt::LeftButton); }

void check(Harness& h, const QString& key) {
  QTreeWidgetItem* item = h.window->nodeByKey(0, key);
  QVERIFY2(item != nullptr, qPrintable(key));
  if (item->checkState(0) != Qt::Checked) clickCheckBox(h.tree(0), item);
}

QStringList questions(const Harness& h) {
  QStringList out;
  for (const auto& b : h.boxes.boxes) {
    if (b.question) out << b.text;
  }
  return out;
}

}  // namespace

void UpgradeWindowTest::theQuestionNamesCountAndDestinationInBothModes() {
  Harness h;
  copyCorpus(kJet2, h.source() + "/a.mdb");
  copyCorpus(kJet2, h.source() + "/b.mdb");
  h.writeSettings(h.source(), std::nullopt, "1", "4");
  QVERIFY(h.start());
  h.boxes.answers = {false, false};
  pressUpgrade(h);
  clickRadio(h.window->Opt_Method(0));
  pressUpgrade(h);
  QCOMPARE(questions(h),
           (QStringList{"Upgrade and export 2 MDB files to " + h.source() + "/mdb_v40 ?",
                        "Upgrade 2 MDB files to " + h.source() + "/mdb_original ?"}));
  QCOMPARE(h.boxes.boxes[0].title, QString("Jetlift"));
}

void UpgradeWindowTest::nothingCheckedOnlySaysSelectMdbFiles() {
  Harness h;
  copyCorpus(kJet3, h.source() + "/a.mdb");
  h.writeSettings(h.source(), std::nullopt, "1", "4");
  QVERIFY(h.start());
  const int begun = h.progress.begun;
  h.window->Cmd_Upgrade->setEnabled(
      true);  // disabled with nothing checked; the handler still says why
  pressUpgrade(h);
  QCOMPARE(h.boxes.texts(), QStringList{"select MDB files"});
  QVERIFY(!h.boxes.boxes[0].question);
  QCOMPARE(h.progress.begun, begun);  // no reload
  QVERIFY(h.engine.compacted.isEmpty());
}

void UpgradeWindowTest::cancelAtTheQuestionChangesNothing() {
  Harness h;
  const QString a = copyCorpus(kJet2, h.source() + "/a.mdb");
  const QByteArray before = bytesOf(a);
  h.writeSettings(h.source(), std::nullopt, "0", "4");
  QVERIFY(h.start());
  clickCheckBox(h.tree(0), h.window->nodeByKey(0, a));
  clickCheckBox(h.tree(0), h.window->nodeByKey(0, a));
  const QStringList tree = h.outline(0);
  h.window->lst_Output->clear();
  const int begun = h.progress.begun;
  h.boxes.answers = {false};
  pressUpgrade(h);
  QCOMPARE(h.boxes.boxes.size(), std::size_t{1});
  QCOMPARE(bytesOf(a), before);
  QVERIFY(filesIn(h.source() + "/mdb_original").isEmpty());
  QVERIFY(h.engine.compacted.isEmpty());
  QVERIFY2(h.output().isEmpty(), qPrintable(h.output().join("\n")));
  QCOMPARE(h.outline(0), tree);
  QCOMPARE(h.progress.begun, begun);
}

void UpgradeWindowTest::threeFilesOneCurrentOneFailingGiveOneUpgraded() {
  Harness h;
  const QString a = copyCorpus(kJet2, h.source() + "/a.mdb");
  const QString b = copyCorpus(kJet4, h.source() + "/b.mdb");
  const QString c = copyCorpus(kJet3, h.source() + "/c.mdb");
  h.engine.failCompactionOf = "/c.mdb";
  h.writeSettings(h.source(), std::nullopt, "1", "4");
  QVERIFY(h.start());
  const QByteArray aBefore = bytesOf(a);
  check(h, b);
  check(h, c);
  h.boxes.boxes.clear();
  pressUpgrade(h);
  const QStringList texts = h.boxes.texts();
  QCOMPARE(texts.size(), 3);  // question, one error report, the count
  QVERIFY2(texts[1].contains("UpgradeDatabase: " + c), qPrintable(texts[1]));
  QCOMPARE(texts[2], QString("1 file(s) upgraded"));
  const QStringList out = h.output();
  QVERIFY(out.contains(b + " - already v4.0"));
  QCOMPARE(out.last(), QString("1 file(s) upgraded"));
  QCOMPARE(bytesOf(a), aBefore);  // export leaves the source
  QCOMPARE(filesIn(h.source() + "/mdb_v40"), QStringList{"a.mdb"});
  // Both trees reloaded: the new file with its new version, checks as a fresh load sets them.
  QCOMPARE(h.outline(1), (QStringList{h.source() + "/mdb_v40", "  a.mdb [4.0]"}));
  QVERIFY(h.outline(0).contains("    a.mdb [4.0]"));
  QVERIFY(h.outline(0).contains("  a.mdb [2.0] *"));
  QVERIFY(h.outline(0).contains("  b.mdb [4.0]"));
  QCOMPARE(h.window->lbl_CheckedCount->text(), QString("1"));
}

void UpgradeWindowTest::theNameTestPassesCapitalsAndNamesWithoutADotButNotBackups() {
  Harness h;
  copyCorpus(kJet2, h.source() + "/X.MDB");
  copyCorpus(kJet2, h.source() + "/oldmdb");
  copyCorpus(kJet2, h.source() + "/y.mdb.bak");
  h.writeSettings(h.source(), std::nullopt, "1", "4");
  QVERIFY(h.start());
  QCOMPARE(h.window->lbl_CheckedCount->text(), QString("2"));
  QVERIFY(h.window->nodeByKey(0, h.source() + "/y.mdb.bak") == nullptr);
  pressUpgrade(h);
  QCOMPARE(h.boxes.texts().last(), QString("2 file(s) upgraded"));
  const QString dest = h.source() + "/mdb_v40";
  QVERIFY(QFileInfo(dest + "/oldmdb").isFile());  // a file, never a folder of that name
  QVERIFY(QFileInfo(dest + "/X.MDB").isFile());
  QVERIFY(h.outline(1).contains("  oldmdb [4.0]"));
  QVERIFY(h.outline(1).contains("  X.MDB [4.0]"));
}

void UpgradeWindowTest::saveAsKeepsTheOriginalUnderAFreeBackupName() {
  Harness h;
  const QString a = copyCorpus(kJet2, h.source() + "/sales.mdb");
  const QByteArray original = bytesOf(a);
  writeBytes(h.source() + "/mdb_original/sales.mdb", "an older backup");
  h.writeSettings(h.source(), std::nullopt, "0", "4");
  QVERIFY(h.start());
  pressUpgrade(h);
  QCOMPARE(h.boxes.texts().last(), QString("1 file(s) upgraded"));
  const QString backup = h.source() + "/mdb_original/sales_A.mdb";
  QCOMPARE(bytesOf(backup), original);
  QCOMPARE(bytesOf(h.source() + "/mdb_original/sales.mdb"), QByteArray("an older backup"));
  QCOMPARE(filesIn(h.source()), QStringList{"sales.mdb"});  // no temporary file left beside it
  QVERIFY(h.outline(0).contains("  sales.mdb [4.0]"));
  // The backup folder lies inside the source: the kept original is listed, at version 2, checked.
  QVERIFY(h.outline(0).contains("    sales_A.mdb [2.0] *"));
  QCOMPARE(h.window->lbl_CheckedCount->text(), QString("1"));
  bool named = false;
  for (const QString& line : h.output())
    named = named || (line.startsWith(a + " upgraded to v4.0 [64]") && line.contains(backup));
  QVERIFY2(named, qPrintable(h.output().join("\n")));
  // Both trees are reloaded, in Save as too: the destination tree shows the kept original.
  QCOMPARE(h.outline(1), (QStringList{h.source() + "/mdb_original", "  sales.mdb [error]",
                                      "  sales_A.mdb [2.0]"}));
}

void UpgradeWindowTest::exportReplacesAnExistingFileOnlyWhenComplete() {
  Harness h;
  copyCorpus(kJet3, h.source() + "/a.mdb");
  writeBytes(h.source() + "/mdb_v40/a.mdb", "an old export");
  h.writeSettings(h.source(), std::nullopt, "1", "4");
  QVERIFY(h.start());
  check(h, h.source() + "/a.mdb");
  pressUpgrade(h);
  QCOMPARE(h.boxes.texts().last(), QString("1 file(s) upgraded"));
  QCOMPARE(filesIn(h.source() + "/mdb_v40"), QStringList{"a.mdb"});
  QVERIFY(h.outline(1).contains("  a.mdb [4.0]"));

  // A failing compaction leaves the file that was there.
  writeBytes(h.source() + "/mdb_v40/a.mdb", "an old export");
  h.engine.failCompactionOf = "/a.mdb";
  check(h, h.source() + "/a.mdb");
  pressUpgrade(h);
  QCOMPARE(h.boxes.texts().last(), QString("0 file(s) upgraded"));
  QCOMPARE(bytesOf(h.source() + "/mdb_v40/a.mdb"), QByteArray("an old export"));
  QCOMPARE(filesIn(h.source() + "/mdb_v40"), QStringList{"a.mdb"});
}

void UpgradeWindowTest::foldersWithPointsAreMadeLikeAnyOther() {
  Harness h;
  const QString src = h.path("data.v1/old.files");
  copyCorpus(kJet2, src + "/a.mdb");
  h.writeSettings(src, std::nullopt, "1", "3");
  QVERIFY(h.start());
  QVERIFY(QFileInfo(src + "/mdb_v30").isDir());
  QDir(src + "/mdb_v30").removeRecursively();  // the upgrade makes it again
  clickRadio(h.window->Opt_Jet(4));
  pressUpgrade(h);
  QCOMPARE(h.boxes.texts().last(), QString("1 file(s) upgraded"));
  QVERIFY(QFileInfo(src + "/mdb_v40/a.mdb").isFile());
}

void UpgradeWindowTest::aCheckedFolderNodeNamedMdbIsHandedOnAndFails() {
  Harness h;
  QDir().mkpath(h.source() + "/mdb");
  h.writeSettings(h.source(), std::nullopt, "1", "4");
  QVERIFY(h.start());
  check(h, h.source() + "/mdb");
  QVERIFY(h.window->Cmd_Upgrade->isEnabled());
  pressUpgrade(h);
  const QStringList texts = h.boxes.texts();
  QCOMPARE(texts.first(), "Upgrade and export 1 MDB files to " + h.source() + "/mdb_v40 ?");
  QVERIFY(texts.size() == 3 && texts[1].contains("UpgradeDatabase: " + h.source() + "/mdb"));
  QCOMPARE(texts.last(), QString("0 file(s) upgraded"));
}

void UpgradeWindowTest::aFailingCompactionInSaveAsLeavesTheSourceByteIdentical() {
  Harness h;
  const QString a = copyCorpus(kJet2, h.source() + "/a.mdb");
  const QByteArray original = bytesOf(a);
  h.engine.failCompactionOf = "a.mdb";
  h.writeSettings(h.source(), std::nullopt, "0", "4");
  QVERIFY(h.start());
  pressUpgrade(h);
  QCOMPARE(h.engine.compacted.size(), 1);
  QCOMPARE(bytesOf(a), original);
  QCOMPARE(bytesOf(h.source() + "/mdb_original/a.mdb"), original);
  QCOMPARE(filesIn(h.source()), QStringList{"a.mdb"});
  QCOMPARE(h.boxes.texts().last(), QString("0 file(s) upgraded"));
  QVERIFY(h.errorBoxes().size() == 1 && h.errorBoxes()[0].contains("UpgradeDatabase: " + a));
  QVERIFY(h.outline(0).contains("  a.mdb [2.0] *"));
}

void UpgradeWindowTest::stoppingTheRunKeepsWhatIsDoneAndReloadsTheTrees() {
  Harness h;
  QStringList paths;
  for (const char* name : {"a.mdb", "b.mdb", "c.mdb"})
    paths << copyCorpus(kJet2, h.source() + "/" + name);
  h.writeSettings(h.source(), std::nullopt, "1", "4");
  QVERIFY(h.start());
  h.progress.texts.clear();
  h.progress.stopAfter = 1;
  pressUpgrade(h);
  QCOMPARE(h.progress.texts.first(), paths[0] + "\n0 of 3 file(s) done");
  QCOMPARE(h.engine.compacted, QStringList{paths[0]});
  QCOMPARE(h.boxes.texts().last(), QString("1 file(s) upgraded"));
  QCOMPARE(h.output().last(), QString("1 file(s) upgraded"));
  QCOMPARE(filesIn(h.source() + "/mdb_v40"), QStringList{"a.mdb"});
  QCOMPARE(h.outline(1), (QStringList{h.source() + "/mdb_v40", "  a.mdb [4.0]"}));
  QCOMPARE(h.progress.begun, h.progress.ended);
}

void UpgradeWindowTest::theProgressDialogShowsTheFileAndItsCancelStopsTheRun() {
  Harness h;
  h.realProgress = true;
  const QString a = copyCorpus(kJet2, h.source() + "/a.mdb");
  copyCorpus(kJet2, h.source() + "/b.mdb");
  h.writeSettings(h.source(), std::nullopt, "1", "4");
  QVERIFY(h.start());
  QString shown;
  bool visible = false;
  h.engine.beforeCompaction = [&](const QString&) {
    auto* dialog = h.window->findChild<QProgressDialog*>("progress");
    if (dialog == nullptr) return;
    visible = dialog->isVisible();
    shown = dialog->labelText();
    for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>()) {
      if (b->text().contains("Cancel")) b->click();
    }
  };
  pressUpgrade(h);
  QVERIFY(visible);
  QCOMPARE(shown, a + "\n0 of 2 file(s) done");
  QCOMPARE(h.engine.compacted, QStringList{a});
  QCOMPARE(h.boxes.texts().last(), QString("1 file(s) upgraded"));
  QVERIFY(h.window->findChild<QProgressDialog*>("progress") == nullptr);
  QVERIFY(QApplication::activeModalWidget() == nullptr);
}
