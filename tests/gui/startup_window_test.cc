#include "startup_window_test.h"

#include <QAction>
#include <QFileDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

#include "window_harness.h"

using namespace harness;

namespace {

QString settingsText(const Harness& h) {
  return QString::fromUtf8(bytesOf(h.data.path() + "/jetlift.ini"));
}

QStringList listItems(const QListWidget* list) {
  QStringList out;
  for (int r = 0; r < list->count(); ++r) {
    out << list->item(r)->text() + (list->item(r)->checkState() == Qt::Checked ? " *" : "");
  }
  return out;
}

QRect px(int left, int top, int width, int height) {
  auto p = [](int t) { return (t + 7) / 15; };
  return QRect(p(left), p(top), p(width), p(height));
}

}  // namespace

void StartupWindowTest::withoutSettingsTheDefaultsAreUsedMadeAndSaved() {
  const QString home = QDir::homePath();
  QDir(home + "/Orvak").removeRecursively();
  Harness h;
  QVERIFY(h.start());
  QCOMPARE(h.window->Lbl_Folder(0)->text(), home + "/Orvak");
  QCOMPARE(h.window->Lbl_Folder(1)->text(), home + "/Orvak/mdb_v30");
  QVERIFY(QFileInfo(home + "/Orvak/mdb_v30").isDir());
  QVERIFY(h.window->Opt_Method(1)->isChecked() && h.window->Opt_Jet(3)->isChecked());
  QCOMPARE(h.window->keyOf(h.window->node(0, 1)), home + "/Orvak");
  QCOMPARE(h.window->keyOf(h.window->node(1, 1)), home + "/Orvak/mdb_v30");
  QCOMPARE(h.window->lbl_CheckedCount->text(), QString("0"));
  h.window->close();
  const QString ini = settingsText(h);
  QVERIFY2(ini.startsWith("[general]"), qPrintable(ini));
  for (const QString& line : {"Source=" + home + "/Orvak", "Destination=" + home + "/Orvak/mdb_v30",
                              QString("Method=1"), QString("Jet=3")}) {
    QVERIFY2(ini.contains(line + "\r\n"), qPrintable(ini));
  }
  QDir(home + "/Orvak").removeRecursively();
}

void StartupWindowTest::storedValuesOutsideTheButtonsSelectNothingNew() {
  Harness h;
  h.writeSettings(h.source(), h.path("chosen"), "7", "0");
  QVERIFY(h.start());
  QVERIFY(h.window->Opt_Method(1)->isChecked());
  for (int v = 2; v <= 4; ++v) QVERIFY(!h.window->Opt_Jet(v)->isChecked());
  QCOMPARE(h.window->Lbl_Folder(1)->text(), h.path("chosen"));
  QVERIFY(QFileInfo(h.path("chosen")).isDir());
  h.window->close();
  QVERIFY(settingsText(h).contains("Method=1\r\n"));
  QVERIFY(settingsText(h).contains("Jet=0\r\n"));
  QVERIFY(settingsText(h).contains("Destination=" + h.path("chosen") + "\r\n"));
}

void StartupWindowTest::anEmptyOrNonNumericMethodSelectsSaveAsAndLoadsOnlyTheSource() {
  for (const QString& method : {QString(""), QString("abc")}) {
    Harness h;
    h.writeSettings(h.source(), std::nullopt, method, "4");
    QVERIFY(h.start());
    QVERIFY(h.window->Opt_Method(0)->isChecked());
    QCOMPARE(h.window->Lbl_Folder(1)->text(), h.source() + "/mdb_original");
    QVERIFY(h.window->nodeCount(0) > 0);
    QCOMPARE(h.window->nodeCount(1), 0);
    h.window->close();
    QVERIFY(settingsText(h).contains("Method=0\r\n"));
  }
}

void StartupWindowTest::theCaptionPadsTheRevisionAndTheVersionBoxDoesNot() {
  Harness h;
  h.writeSettings(h.source(), std::nullopt, "1", "4");
  QVERIFY(h.start());
  QCOMPARE(h.window->windowTitle(), QString("Jetlift ver 1.0.006 Jet ver: 4.0"));
  const QString before = h.window->Lbl_Folder(1)->text();
  h.window->mnu_Help(0)->trigger();
  QCOMPARE(h.boxes.texts(), QStringList{"Jetlift ver 1.0.6"});
  QCOMPARE(h.boxes.boxes[0].title, QString("Jetlift"));
  QCOMPARE(h.window->Lbl_Folder(1)->text(), before);
}

void StartupWindowTest::theThreeWaysOfClosingSaveTheSameKeys() {
  QStringList saved;
  for (int way = 0; way < 3; ++way) {
    Harness h;
    h.writeSettings(h.source(), std::nullopt, "1", "4");
    QVERIFY(h.start());
    clickRadio(h.window->Opt_Jet(2));
    if (way == 0) h.window->close();
    if (way == 1) QTest::mouseClick(h.window->Cmd_Close, Qt::LeftButton);
    if (way == 2) h.window->mnu_file(1)->trigger();
    QVERIFY(!h.window->isVisible());
    saved << settingsText(h).replace(h.files.path(), "FILES");
  }
  QCOMPARE(saved[1], saved[0]);
  QCOMPARE(saved[2], saved[0]);
  QVERIFY2(saved[0].contains("Destination=FILES/src/mdb_v20\r\n") && saved[0].contains("Jet=2\r\n"),
           qPrintable(saved[0]));
}

void StartupWindowTest::closingWithAnUnwritableSettingsFolderSaysSoForEveryKey() {
  Harness h;
  h.writeSettings(h.source(), std::nullopt, "1", "4");
  QVERIFY(h.start());
  h.boxes.boxes.clear();
  // A plain file where the folder was: no write can succeed there, not even as root.
  QDir(h.data.path()).removeRecursively();
  writeBytes(h.data.path(), "in the way");
  h.window->close();
  QFile::remove(h.data.path());
  QDir().mkpath(h.data.path());
  QCOMPARE(h.boxes.texts(), QStringList(4, "Cannot save INI file"));
}

void StartupWindowTest::findFileListsOneFileWithItsVersionChecked() {
  Harness h;
  const QString a = copyCorpus(kJet2, h.path("pick/a.mdb"));
  h.writeSettings(h.source(), std::nullopt, "1", "4");
  QVERIFY(h.start());
  h.window->lst_Output->addItem("old line");
  h.picker.answer = QStringList{a};
  QTest::mouseClick(h.window->Cmd_Find, Qt::LeftButton);
  QCOMPARE(h.picker.titles, QStringList{"Find Orvak MDB files"});
  QCOMPARE(listItems(h.window->Lst_Files), QStringList{a + " [v2.0] *"});
  QVERIFY(h.output().isEmpty());  // a pick empties the output list
}

void StartupWindowTest::findFileListsSeveralInOrderAndAnUnderscoreLeavesUnchecked() {
  Harness h;
  const QString c = copyCorpus(kJet4, h.path("pick/c.mdb"));
  const QString a = copyCorpus(kJet2, h.path("pick/a.mdb"));
  const QString b = copyCorpus(kJet3, h.path("pick/b.mdb"));
  const QString u = copyCorpus(kJet2, h.path("old_data/u.mdb"));
  h.writeSettings(h.source(), std::nullopt, "1", "4");
  QVERIFY(h.start());
  h.picker.answer = QStringList{c, a, b, u};
  h.window->mnu_file(0)->trigger();
  QCOMPARE(listItems(h.window->Lst_Files),
           (QStringList{c + " [v4.0]", a + " [v2.0] *", b + " [v3.0]", u + " [v2.0]"}));
  QVERIFY(h.boxes.boxes.empty());
}

void StartupWindowTest::cancellingFindFileChangesNothing() {
  Harness h;
  const QString a = copyCorpus(kJet2, h.path("pick/a.mdb"));
  h.writeSettings(h.source(), std::nullopt, "1", "4");
  QVERIFY(h.start());
  h.picker.answer = QStringList{a};
  QTest::mouseClick(h.window->Cmd_Find, Qt::LeftButton);
  h.window->lst_Output->addItem("kept");
  h.picker.answer = std::nullopt;
  QTest::mouseClick(h.window->Cmd_Find, Qt::LeftButton);
  QCOMPARE(listItems(h.window->Lst_Files), QStringList{a + " [v2.0] *"});
  QCOMPARE(h.output(), QStringList{"kept"});
  QVERIFY(h.boxes.boxes.empty());
}

void StartupWindowTest::aDamagedFileAmongSeveralGivesTwoReportsAndStopsTheListing() {
  Harness h;
  const QString a = copyCorpus(kJet3, h.path("pick/a.mdb"));
  const QString bad = h.path("pick/bad.mdb");
  writeBytes(bad, QByteArray(2048, '\x11'));
  const QString c = copyCorpus(kJet2, h.path("pick/c.mdb"));
  h.writeSettings(h.source(), std::nullopt, "1", "4");
  QVERIFY(h.start());
  h.boxes.boxes.clear();
  h.picker.answer = QStringList{a, bad, c};
  h.window->Cmd_Upgrade->setEnabled(true);  // a refresh would disable it again (nothing checked)
  QTest::mouseClick(h.window->Cmd_Find, Qt::LeftButton);
  QCOMPARE(listItems(h.window->Lst_Files), (QStringList{a + " [v3.0]", bad + " [verror]"}));
  QCOMPARE(h.boxes.boxes.size(), std::size_t{2});
  QVERIFY2(h.boxes.boxes[1].text.contains("find file"), qPrintable(h.boxes.boxes[1].text));
  QVERIFY(h.window->Cmd_Upgrade->isEnabled());  // the pick ended before the refresh
}

void StartupWindowTest::theFileMenuOpensTheDialogAndTheRealDialogReturnsTheFiles() {
  // The window's own dialog (no picker given), driven as a user would: type a name, press Return.
  QTemporaryDir data, files;
  RecordingNotifier boxes;
  TestEngine engine;
  TestProgress progress;
  const QString a = copyCorpus(kJet2, files.path() + "/pick/a.MDB");
  writeBytes(data.path() + "/jetlift.ini",
             ("[general]\r\nSource=" + files.path() + "/src\r\nMethod=1\r\nJet=4\r\n").toUtf8());
  WindowServices s;
  s.notifier = &boxes;
  s.dataFolder = data.path();
  s.engine = &engine;
  s.progress = &progress;
  frm_Upgrade w(s);
  w.show();
  QVERIFY(QTest::qWaitFor([&] { return w.activated(); }, 5000));
  QString title, filter;
  QTimer::singleShot(200, &w, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    title = dialog->windowTitle();
    filter = dialog->selectedNameFilter();
    dialog->setDirectory(files.path() + "/pick");
    auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
    name->setText("a.MDB");
    QTest::keyClick(name, Qt::Key_Return);
  });
  w.mnu_file(0)->trigger();
  QCOMPARE(title, QString("Find Orvak MDB files"));
  QCOMPARE(filter, QString(kMdbFilter));
  QCOMPARE(listItems(w.Lst_Files), QStringList{a + " [v2.0] *"});
  // The filter takes ".mdb" in any letter case.
  const QRegularExpression any(QRegularExpression::wildcardToRegularExpression("*.[Mm][Dd][Bb]"));
  QVERIFY(any.match("x.mdb").hasMatch() && any.match("X.MDB").hasMatch() &&
          any.match("y.mDb").hasMatch());
  QVERIFY(!any.match("x.mdbx").hasMatch());
}

void StartupWindowTest::theLayoutAtDesignSizeIsTheWorkedExample() {
  Harness h;
  h.writeSettings(h.source(), std::nullopt, "1", "4");
  QVERIFY(h.start());
  frm_Upgrade& w = *h.window;
  QCOMPARE(w.centralWidget()->size(), QSize(807, 506));
  QCOMPARE(w.lst_Output->geometry(), px(120, 4830, 11865, 1785));
  QCOMPARE(w.tv_Files(0)->geometry(), px(120, 480, 5872, 4230));
  QCOMPARE(w.tv_Files(1)->geometry(), px(6112, 480, 5872, 4230));
  QCOMPARE(w.lbl_Caption(1)->x(), px(6112, 0, 0, 0).x());
  QCOMPARE(w.Lbl_Folder(1)->x(), px(6967, 0, 0, 0).x());
  QCOMPARE(w.Cmd_GetFolder(1)->x(), px(10582, 0, 0, 0).x());
  QCOMPARE(w.Cmd_LoadTreeView(1)->x(), px(11077, 0, 0, 0).x());
  const int outer = w.frameGeometry().width() * 15;
  QCOMPARE(w.Cmd_Close->x(), px(outer - 1095 - 240, 0, 0, 0).x());
  QCOMPARE(w.Cmd_Upgrade->x(), px(outer - 1095 - 240 - 1095 - 120, 0, 0, 0).x());
  // The source side and the footer's frames keep their design places.
  QCOMPARE(w.Lbl_Folder(0)->geometry(), px(855, 120, 3375, 255));
  QCOMPARE(w.Frame2->geometry(), px(5880, 0, 2295, 735));
}

void StartupWindowTest::theLayoutOfLargeAndSmallWindowsNeverGoesNegativeOrOverflows() {
  Harness h;
  h.writeSettings(h.source(), std::nullopt, "1", "4");
  QVERIFY(h.start());
  frm_Upgrade& w = *h.window;
  w.resize(2600, 2500);  // beyond 34102 x 35527 twips
  QTRY_COMPARE(w.centralWidget()->width(), 2600);
  const int cw = w.centralWidget()->width() * 15;
  QCOMPARE(w.lst_Output->geometry(), px(120, w.Pic_Footer->y() * 15 - 1785 - 120, cw - 240, 1785));
  QCOMPARE(w.tv_Files(0)->width(), px(0, 0, (cw - 360) / 2, 0).width());
  QCOMPARE(w.Cmd_Close->x(), px(w.frameGeometry().width() * 15 - 1095 - 240, 0, 0, 0).x());
  QVERIFY(h.errorBoxes().isEmpty());

  // Narrow: client width 420 twips gives trees of (420 - 360) / 2 = 30; 300 gives 0, never less.
  w.resize(28, 600);
  if (w.centralWidget()->width() == 28) {
    QCOMPARE(w.tv_Files(0)->width(), 2);
    QCOMPARE(w.tv_Files(1)->x(), px(30 + 120 + 120, 0, 0, 0).x());
    w.resize(20, 600);
    QTRY_COMPARE(w.centralWidget()->width(), 20);
    QCOMPARE(w.tv_Files(0)->width(), 0);
    QCOMPARE(w.tv_Files(1)->x(), 240 / 15);
    QCOMPARE(w.Cmd_Upgrade->x(), 0);  // Close and Upgrade are pushed to the left edge, not past it
  } else {
    QWARN("the window cannot be made that narrow here");
  }

  w.resize(w.width(), 100);  // footer top far above 2505 twips
  QTRY_COMPARE(w.centralWidget()->height(), 100 - w.menuBar()->height());
  QCOMPARE(w.lst_Output->y(), 0);
  QCOMPARE(w.tv_Files(0)->height(), 0);
  QVERIFY(h.errorBoxes().isEmpty());
}

void StartupWindowTest::runningTheLayoutTwiceChangesNothing() {
  Harness h;
  h.writeSettings(h.source(), std::nullopt, "1", "4");
  QVERIFY(h.start());
  frm_Upgrade& w = *h.window;
  w.resize(1000, 640);
  QTRY_COMPARE(w.centralWidget()->width(), 1000);
  QList<QRect> first;
  const QList<QWidget*> moved = {w.lst_Output,          w.tv_Files(0),   w.tv_Files(1),
                                 w.lbl_Caption(1),      w.Lbl_Folder(1), w.Cmd_GetFolder(1),
                                 w.Cmd_LoadTreeView(1), w.Cmd_Close,     w.Cmd_Upgrade};
  for (QWidget* c : moved) first << c->geometry();
  QVERIFY(QMetaObject::invokeMethod(&w, [&] {
    QResizeEvent again(w.centralWidget()->size(), w.centralWidget()->size());
    QApplication::sendEvent(w.centralWidget(), &again);
  }));
  QList<QRect> second;
  for (QWidget* c : moved) second << c->geometry();
  QCOMPARE(second, first);
}
