// The main window: every control where the design puts it, named, worded and
// ordered as the rest of the program and its users expect.
#include <QAction>
#include <QCheckBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QtTest>
#include <memory>
#include <optional>

#include "common/app_info.h"
#include "common/diagnostics.h"
#include "common/message_box_notifier.h"
#include "engine/db_engine.h"
#include "modal_guard.h"
#include "recording_notifier.h"
#include "window/frm_upgrade.h"
#include "window/image_list.h"

namespace {

// One control of the design: where it sits (twips, relative to its container) and what it says.
struct DesignControl {
  const char* name;
  const char* kind;
  const char* container;
  std::optional<QString> text;  // nullopt: set at start-up, not part of the design
  QString toolTip;
  int left, top, width, height;
};

const std::vector<DesignControl>& design() {
  static const std::vector<DesignControl> controls = {
      {"Label2", "QLabel", "client", "Source:", "", 240, 120, 495, 255},
      {"Lbl_Folder(0)", "QLabel", "client", std::nullopt, "", 855, 120, 3375, 255},
      {"Cmd_GetFolder(0)", "QPushButton", "client", "...", "Locate drive or folder with MDB files",
       4230, 120, 495, 255},
      {"Cmd_LoadTreeView(0)", "QPushButton", "client", "load", "re-load treeview ", 4725, 120, 495,
       255},
      {"lbl_CheckedCount", "QLabel", "client", std::nullopt, "", 5400, 120, 375, 255},
      {"lbl_Caption(1)", "QLabel", "client", "Destination:", "", 5880, 120, 855, 255},
      {"Lbl_Folder(1)", "QLabel", "client", std::nullopt, "", 6735, 120, 3615, 255},
      {"Cmd_GetFolder(1)", "QPushButton", "client", "...", "Locate destination drive or folder",
       10350, 120, 495, 255},
      {"Cmd_LoadTreeView(1)", "QPushButton", "client", "load", "re-load treeview ", 10845, 120, 495,
       255},
      {"tv_Files(0)", "QTreeWidget", "client", std::nullopt, "", 240, 480, 5535, 4215},
      {"tv_Files(1)", "QTreeWidget", "client", std::nullopt, "", 5880, 480, 5535, 4215},
      {"lst_Output", "QListWidget", "client", std::nullopt, "", 240, 4800, 11175, 1785},
      {"Pic_Footer", "QWidget", "client", std::nullopt, "", 0, 6735, 12105, 855},
      {"Frame1", "QGroupBox", "Pic_Footer", "Mode...", "", 120, 0, 2295, 735},
      {"Opt_Method(0)", "QRadioButton", "Frame1", "Save as", "", 240, 300, 975, 255},
      {"Opt_Method(1)", "QRadioButton", "Frame1", "Export", "", 1335, 300, 855, 255},
      {"Lbl_Help", "QLabel", "Pic_Footer", std::nullopt, "", 2415, 0, 3255, 735},
      {"Frame2", "QGroupBox", "Pic_Footer", "Version", "", 5880, 0, 2295, 735},
      {"Opt_Jet(2)", "QRadioButton", "Frame2", "2.0", "", 120, 360, 615, 195},
      {"Opt_Jet(3)", "QRadioButton", "Frame2", "3.0", "", 840, 360, 615, 195},
      {"Opt_Jet(4)", "QRadioButton", "Frame2", "4.0", "", 1560, 330, 615, 195},
      {"Cmd_Upgrade", "QPushButton", "Pic_Footer", "Upgrade", "", 9720, 360, 1095, 375},
      {"Cmd_Close", "QPushButton", "Pic_Footer", "Close", "", 10920, 360, 1095, 375},
      {"Chk_Trace", "QCheckBox", "client", "Trace", "", 2040, 8280, 855, 195},
      {"Chk_TreeView", "QCheckBox", "client", "TreeView", "", 3000, 8280, 975, 195},
      {"Label1", "QLabel", "client", "Files:", "", 4200, 8280, 495, 255},
      {"Cmd_Find", "QPushButton", "client", "...", "", 4800, 8280, 495, 255},
      {"Lst_Files", "QListWidget", "client", std::nullopt, "", 600, 8760, 2535, 255},
      {"Lbl_statusZ", "QLabel", "client", "", "", 600, 9120, 3255, 255},
  };
  return controls;
}

const QStringList kFocusOrder = {"Cmd_Find",         "Lst_Files",           "lst_Output",
                                 "tv_Files(0)",      "Chk_Trace",           "Chk_TreeView",
                                 "Cmd_GetFolder(0)", "Cmd_LoadTreeView(0)", "Cmd_LoadTreeView(1)",
                                 "Cmd_GetFolder(1)", "tv_Files(1)",         "Opt_Method(1)",
                                 "Opt_Method(0)",    "Cmd_Close",           "Cmd_Upgrade",
                                 "Opt_Jet(4)",       "Opt_Jet(3)",          "Opt_Jet(2)"};

QRect pixels(int left, int top, int width, int height) {
  return QRect(left / 15, top / 15, width / 15, height / 15);
}

QString textOf(QWidget* w) {
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
  return {};
}

}  // namespace

// A fresh window per test, its message boxes recorded; a modal dialog that
// would block fails the test instead.
class OpenWindow {
 protected:
  std::unique_ptr<ModalGuard> guard_;
  std::unique_ptr<QTemporaryDir> dir_;
  RecordingNotifier boxes_;
  std::unique_ptr<frm_Upgrade> window_;

  void openWindow() {
    guard_ = std::make_unique<ModalGuard>();
    dir_ = std::make_unique<QTemporaryDir>();
    boxes_ = RecordingNotifier();
    window_ = std::make_unique<frm_Upgrade>(WindowServices{&boxes_, dir_->path(), {}});
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  }
  void closeWindow() {
    window_.reset();
    dir_.reset();
    QVERIFY2(guard_->caught().isEmpty(), qPrintable(guard_->caught().join("; ")));
    guard_.reset();
  }
};

class ControlInventory : public QObject, OpenWindow {
  Q_OBJECT
 private:
  QWidget* control(const QString& name) { return window_->findChild<QWidget*>(name); }

 private slots:
  void init() { openWindow(); }
  void cleanup() { closeWindow(); }

  void everyControlHasItsNameKindAndContainer() {
    for (const DesignControl& c : design()) {
      QWidget* w = control(c.name);
      QVERIFY2(w != nullptr, c.name);
      QCOMPARE(QString(w->metaObject()->className()), QString(c.kind));
      QCOMPARE(w->parentWidget()->objectName(), QString(c.container));
    }
    QCOMPARE(window_->centralWidget()->objectName(), QString("client"));
  }

  void everyControlHasItsDesignTextAndToolTip() {
    for (const DesignControl& c : design()) {
      QWidget* w = control(c.name);
      QVERIFY2(w != nullptr, c.name);
      if (c.text) QCOMPARE(textOf(w), *c.text);
      QCOMPARE(w->toolTip(), c.toolTip);
    }
    // The design's help text is replaced by the start-up's refresh (mode "Export").
    QCOMPARE(window_->Lbl_Help->text(),
             QString("Upgrade and export MDB files on left to to right folder (or drive)"));
  }

  void everyControlSitsAtItsDesignPlaceInPixels() {
    QCOMPARE(window_->centralWidget()->size(), QSize(12105 / 15, 7590 / 15));
    // The layout moves these when the window first shows; their places are tested with it.
    const QStringList laidOut = {"lst_Output",          "tv_Files(0)",   "tv_Files(1)",
                                 "lbl_Caption(1)",      "Lbl_Folder(1)", "Cmd_GetFolder(1)",
                                 "Cmd_LoadTreeView(1)", "Cmd_Close",     "Cmd_Upgrade"};
    for (const DesignControl& c : design()) {
      QWidget* w = control(c.name);
      QVERIFY2(w != nullptr, c.name);
      const QRect design = pixels(c.left, c.top, c.width, c.height);
      if (laidOut.contains(c.name)) continue;
      QCOMPARE(w->geometry(), design);
    }
  }

  void theSecondRowIsRealButOutOfSightAtDesignSize() {
    for (const char* name :
         {"Chk_Trace", "Chk_TreeView", "Label1", "Cmd_Find", "Lst_Files", "Lbl_statusZ"}) {
      QWidget* w = control(name);
      QVERIFY(w->isVisible());
      QVERIFY2(w->visibleRegion().isEmpty(), name);
    }
    window_->resize(window_->width(), window_->height() + 200);
    QTRY_VERIFY(!window_->Cmd_Find->visibleRegion().isEmpty());
    QVERIFY(!window_->Lbl_statusZ->visibleRegion().isEmpty());
  }

  void theFooterStaysDockedToTheBottomAtAnySize() {
    window_->resize(1000, 700);
    QTRY_COMPARE(window_->centralWidget()->width(), 1000);
    const QWidget* client = window_->centralWidget();
    QCOMPARE(window_->Pic_Footer->geometry(),
             QRect(0, client->height() - 855 / 15, client->width(), 855 / 15));
    QCOMPARE(window_->Cmd_Close->y(), 360 / 15);
    QCOMPARE(window_->Cmd_Close->size(), QSize(1095 / 15, 375 / 15));
  }

  void displayFieldsUseTheWindowColoursAndTheHelpIsLightYellow() {
    for (QLabel* l : {window_->Lbl_Folder(0), window_->Lbl_Folder(1), window_->lbl_CheckedCount}) {
      QVERIFY(l->autoFillBackground());
      QCOMPARE(l->palette().color(l->backgroundRole()), l->palette().color(QPalette::Base));
      QCOMPARE(l->palette().color(l->foregroundRole()), l->palette().color(QPalette::Text));
    }
    QLabel* help = window_->Lbl_Help;
    QVERIFY(help->autoFillBackground());
    QCOMPARE(help->palette().color(help->backgroundRole()), QColor(255, 255, 192));
    QCOMPARE(help->palette().color(help->foregroundRole()), help->palette().color(QPalette::Text));
  }

  void checkBoxesAndOptionsStartAsDesigned() {
    QVERIFY(!window_->Chk_Trace->isChecked());
    QVERIFY(window_->Chk_TreeView->isChecked());
    QVERIFY(window_->tv_Files(0)->property("checkBoxes").toBool());
    QVERIFY(!window_->tv_Files(1)->property("checkBoxes").toBool());
    QVERIFY(window_->Opt_Method(1)->isChecked());
    QVERIFY(!window_->Opt_Method(0)->isChecked());
  }

  void theMenusHoldTheirItemsWithoutShortcuts() {
    const QList<QAction*> bar = window_->menuBar()->actions();
    QCOMPARE(bar.size(), 2);
    QCOMPARE(bar[0]->text(), QString("&File"));
    QCOMPARE(bar[0]->menu()->objectName(), QString("m_file"));
    QCOMPARE(bar[1]->text(), QString("&Help"));
    QCOMPARE(bar[1]->menu()->objectName(), QString("m_Help"));
    const QList<QAction*> file = bar[0]->menu()->actions();
    QCOMPARE(file.size(), 2);
    QCOMPARE(file[0]->objectName(), QString("mnu_file(0)"));
    QCOMPARE(file[0]->text(), QString("&Open..."));
    QCOMPARE(file[1]->objectName(), QString("mnu_file(1)"));
    QCOMPARE(file[1]->text(), QString("E&xit"));
    const QList<QAction*> help = bar[1]->menu()->actions();
    QCOMPARE(help.size(), 1);
    QCOMPARE(help[0]->objectName(), QString("mnu_Help(0)"));
    QCOMPARE(help[0]->text(), QString("&Version"));
    for (QAction* a : file + help) QVERIFY(a->shortcut().isEmpty());
  }

  void theFocusChainFollowsTheDesignOrder() {
    QStringList seen;
    QWidget* w = window_->Cmd_Find;
    do {
      if (w->window() == window_.get() && (w->focusPolicy() & Qt::TabFocus) &&
          !w->objectName().isEmpty() && !w->objectName().startsWith("qt_"))
        seen << w->objectName();
      w = w->nextInFocusChain();
    } while (w != window_->Cmd_Find);
    QCOMPARE(seen, kFocusOrder);
  }

  void theFocusStartsOnTheFindButtonAndTabMovesOn() {
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    QCOMPARE(QApplication::focusWidget(), window_->Cmd_Find);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), window_->Lst_Files);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), window_->lst_Output);
  }

  void anOptionGroupIsOneTabStopAtItsSelectedButton() {
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    window_->Opt_Jet(3)->setChecked(true);
    window_->Cmd_Upgrade->setEnabled(true);  // off while nothing is checked, and then no tab stop
    window_->tv_Files(1)->setFocus();
    QStringList stops;
    for (int i = 0; i < 5; ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      stops << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(stops,
             QStringList({"Opt_Method(1)", "Cmd_Close", "Cmd_Upgrade", "Opt_Jet(3)", "Cmd_Find"}));
    stops.clear();
    for (int i = 0; i < 3; ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
      stops << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(stops, QStringList({"Opt_Jet(3)", "Cmd_Upgrade", "Cmd_Close"}));
  }

  void theCaptionNamesTheProgramAndEngineVersions() {
    QCOMPARE(window_->windowTitle(), QString("Jetlift ver 1.0.006 Jet ver: 4.0"));
    QCOMPARE(windowCaption("3.6", 1234), QString("Jetlift ver 1.0.1234 Jet ver: 3.6"));
    QCOMPARE(versionBoxText(), QString("Jetlift ver 1.0.6"));
  }

  void theImageListHoldsAFolderAndAPage() {
    auto* images = window_->findChild<ImageList*>("ImageList1");
    QVERIFY(images != nullptr);
    QCOMPARE(images->keys(), QStringList({"folder", "file"}));
    const QImage folder = images->image("folder").toImage();
    const QImage file = images->image("file").toImage();
    QCOMPARE(folder.size(), QSize(16, 16));
    QCOMPARE(file.size(), QSize(16, 16));
    QCOMPARE(folder.pixelColor(8, 9), QColor(255, 255, 0));
    QCOMPARE(file.pixelColor(6, 11), QColor(255, 255, 255));
    QCOMPARE(folder.pixelColor(0, 0).alpha(), 0);
    QCOMPARE(file.pixelColor(15, 0).alpha(), 0);
    QVERIFY(images->image("nothing").isNull());
  }

  void theFileDialogDefaultsToMdb() {
    auto* dialog = window_->findChild<QFileDialog*>("CommonDialog1");
    QVERIFY(dialog != nullptr);
    QCOMPARE(dialog->defaultSuffix(), QString("MDB"));
    QVERIFY(!dialog->isVisible());
  }
};

// The window's own events: version box, closing, and the diagnostics it wires.
class WindowEvents : public QObject, OpenWindow {
  Q_OBJECT
 private slots:
  void init() { openWindow(); }
  void cleanup() { closeWindow(); }

  void theVersionBoxShowsTitleAndPlainVersion() {
    window_->findChild<QAction*>("mnu_Help(0)")->trigger();
    QCOMPARE(boxes_.boxes.size(), std::size_t(1));
    QCOMPARE(boxes_.boxes[0].title, QString("Jetlift"));
    QCOMPARE(boxes_.boxes[0].text, QString("Jetlift ver 1.0.6"));
    QVERIFY(!boxes_.boxes[0].question);
    QVERIFY(window_->isVisible());
  }

  void exitInTheFileMenuClosesTheWindow() {
    window_->findChild<QAction*>("mnu_file(1)")->trigger();
    QVERIFY(!window_->isVisible());
  }

  void theCloseButtonClosesTheWindow() {
    QTest::mouseClick(window_->Cmd_Close, Qt::LeftButton);
    QVERIFY(!window_->isVisible());
  }

  void outputLinesGoToTheOutputList() {
    window_->diagnostics().AddOutput("first");
    window_->diagnostics().AddOutput("second");
    QCOMPARE(window_->lst_Output->count(), 2);
    QCOMPARE(window_->lst_Output->item(1)->text(), QString("second"));
  }

  void theTraceCheckBoxSwitchesTheTraceFile() {
    Diagnostics& d = window_->diagnostics();
    d.ClassTrace("quiet");
    QVERIFY(!QFile::exists(d.traceFilePath()));
    window_->Chk_Trace->setCheckState(Qt::PartiallyChecked);  // greyed counts as checked
    d.ClassTrace("loud");
    QFile trace(d.traceFilePath());
    QVERIFY(trace.open(QIODevice::ReadOnly));
    QVERIFY(trace.readAll().endsWith(":loud\r\n"));
    QCOMPARE(d.TraceCount(), 2);
  }

  void aReportListsTheEnginesErrors() {
    try {
      engine::DBEngine::instance().Workspaces(0).OpenDatabase(
          (dir_->path() + "/none.mdb").toStdString());
      QFAIL("a missing file opened");
    } catch (const engine::EngineError& e) {
      window_->diagnostics().ClassError("UpgradeDatabase: none.mdb", currentErrorOf(e));
    }
    QCOMPARE(boxes_.boxes.size(), std::size_t(1));
    const engine::Errors& errors = engine::DBEngine::instance().Errors();
    QVERIFY(errors.Count() >= 1);
    const QString last = QString::fromStdString(errors.Item(errors.Count() - 1).Description) +
                         " [" + QString::number(errors.Item(errors.Count() - 1).Number) + "]";
    QVERIFY2(boxes_.boxes[0].text.endsWith("\r\n" + last), qPrintable(boxes_.boxes[0].text));
    QVERIFY(boxes_.boxes[0].text.contains("\r\nUpgradeDatabase: none.mdb\r\nError="));
  }
};

// Start-up reads the four settings into the window; every way of closing writes them back.
class StartAndClose : public QObject {
  Q_OBJECT
 private:
  std::unique_ptr<ModalGuard> guard_;
  std::unique_ptr<QTemporaryDir> dir_;
  RecordingNotifier boxes_;
  QString folder_;

  std::unique_ptr<frm_Upgrade> start() {
    auto w = std::make_unique<frm_Upgrade>(WindowServices{&boxes_, folder_, {}});
    w->show();
    if (!QTest::qWaitForWindowExposed(w.get())) return nullptr;
    return w;
  }
  QString ini() const { return folder_ + "/jetlift.ini"; }
  void writeIni(const QByteArray& bytes) {
    QFile f(ini());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  QByteArray iniBytes() const {
    QFile f(ini());
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
  }

 private slots:
  void init() {
    guard_ = std::make_unique<ModalGuard>();
    dir_ = std::make_unique<QTemporaryDir>();
    folder_ = dir_->path();
    boxes_ = RecordingNotifier();
  }
  void cleanup() {
    dir_.reset();
    QVERIFY2(guard_->caught().isEmpty(), qPrintable(guard_->caught().join("; ")));
    guard_.reset();
  }

  void withNoSettingsFileTheDefaultsShowAndClosingWritesThem() {
    auto w = start();
    QVERIFY(w);
    QCOMPARE(w->Lbl_Folder(0)->text(), QDir::homePath() + "/Orvak");
    QVERIFY(w->Opt_Method(1)->isChecked());
    QVERIFY(w->Opt_Jet(3)->isChecked());
    const QString destination = w->Lbl_Folder(1)->text();
    QVERIFY(!QFile::exists(ini()));
    w->close();
    QCOMPARE(iniBytes(), ("[general]\r\nSource=" + QDir::homePath() +
                          "/Orvak\r\nDestination=" + destination + "\r\nMethod=1\r\nJet=3\r\n")
                             .toLocal8Bit());
    QVERIFY(boxes_.boxes.empty());
  }

  void storedSettingsAreReadIntoTheWindow() {
    writeIni("[general]\r\nSource=/data\r\nDestination=/elsewhere\r\nMethod=0\r\nJet=4\r\n");
    auto w = start();
    QVERIFY(w);
    QCOMPARE(w->Lbl_Folder(0)->text(), QString("/data"));
    QVERIFY(w->Opt_Method(0)->isChecked());
    QVERIFY(!w->Opt_Method(1)->isChecked());
    QVERIFY(w->Opt_Jet(4)->isChecked());
  }

  void aMethodOfSevenKeepsExportAndAJetWithoutNumberSelectsNone() {
    writeIni("[general]\r\nMethod=7\r\nJet=abc\r\n");
    auto w = start();
    QVERIFY(w);
    QVERIFY(w->Opt_Method(1)->isChecked());
    for (int i : {2, 3, 4}) QVERIFY(!w->Opt_Jet(i)->isChecked());
    w->close();
    QVERIFY(iniBytes().contains("\r\nMethod=1\r\n"));
    QVERIFY(iniBytes().contains("\r\nJet=0\r\n"));
  }

  void anEmptyFolderIsSavedAsNullAndComesBackEmpty() {
    auto w = start();
    QVERIFY(w);
    w->Lbl_Folder(0)->setText("");
    w->close();
    QVERIFY(iniBytes().contains("\r\nSource=null\r\n"));
    w = start();
    QVERIFY(w);
    QCOMPARE(w->Lbl_Folder(0)->text(), QString(""));
  }

  void theThreeWaysOfClosingSaveTheSameKeys() {
    QList<QByteArray> saved;
    for (int way = 0; way < 3; ++way) {
      QFile::remove(ini());
      auto w = start();
      QVERIFY(w);
      w->Lbl_Folder(0)->setText("/chosen");
      w->Opt_Jet(2)->setChecked(true);
      if (way == 0) w->close();  // the close box
      if (way == 1) QTest::mouseClick(w->Cmd_Close, Qt::LeftButton);
      if (way == 2) w->findChild<QAction*>("mnu_file(1)")->trigger();
      QVERIFY(!w->isVisible());
      saved << iniBytes();
    }
    QVERIFY(saved[0].contains("Source=/chosen\r\n"));
    QVERIFY(saved[0].contains("Jet=2\r\n"));
    QCOMPARE(saved[1], saved[0]);
    QCOMPARE(saved[2], saved[0]);
  }

  void anUnwritableFolderSaysCannotSaveFourTimesAndStillCloses() {
    QFile blocker(dir_->path() + "/file");
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    folder_ = dir_->path() + "/file";  // a folder below a file cannot be made, not even by root
    auto w = start();
    QVERIFY(w);
    w->close();
    QVERIFY(!w->isVisible());
    QCOMPARE(boxes_.texts(), QStringList(4, "Cannot save INI file"));
  }

  void theVersionBoxChangesNothing() {
    writeIni("[general]\r\nSource=/data\r\nMethod=0\r\nJet=4\r\n");
    auto w = start();
    QVERIFY(w);
    w->findChild<QAction*>("mnu_Help(0)")->trigger();
    QCOMPARE(w->Lbl_Folder(0)->text(), QString("/data"));
    QVERIFY(w->Opt_Method(0)->isChecked());
    QVERIFY(w->Opt_Jet(4)->isChecked());
    QCOMPARE(boxes_.texts(), QStringList({"Jetlift ver 1.0.6"}));
  }
};

// The real message boxes: inspected and answered from a timer while they are open.
class MessageBoxes : public QObject {
  Q_OBJECT
 private:
  struct Seen {
    QString title, text;
    QMessageBox::StandardButtons buttons;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
  };
  // Answers the next box with `answer` and tells what it looked like.
  static void answerNextBox(Seen& seen, QMessageBox::StandardButton answer) {
    QTimer::singleShot(0, [&seen, answer] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      seen = {box->windowTitle(), box->text(), box->standardButtons(), box->icon()};
      if (QAbstractButton* b = box->button(answer)) {
        b->click();
      } else {
        box->close();
      }
    });
  }

 private slots:
  void aNoticeHasTheTitleItsLinesAndOkOnly() {
    ModalGuard guard;  // should the box not be answered, it is still closed
    MessageBoxNotifier boxes;
    Seen seen;
    answerNextBox(seen, QMessageBox::Ok);
    boxes.notice("Jetlift", "first\r\nsecond");
    QCOMPARE(seen.title, QString("Jetlift"));
    QCOMPARE(seen.text, QString("first\nsecond"));
    QCOMPARE(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
  }

  void theQuestionHasOkCancelAndAQuestionIcon() {
    ModalGuard guard;
    MessageBoxNotifier boxes;
    Seen seen;
    answerNextBox(seen, QMessageBox::Ok);
    QVERIFY(boxes.question("Jetlift", "Upgrade 2 MDB files to /d ?"));
    QCOMPARE(seen.buttons, QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(seen.icon, QMessageBox::Question);
    answerNextBox(seen, QMessageBox::Cancel);
    QVERIFY(!boxes.question("Jetlift", "Upgrade 2 MDB files to /d ?"));
  }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  int failures = 0;
  {
    ControlInventory t;
    failures += QTest::qExec(&t, argc, argv);
  }
  {
    WindowEvents t;
    failures += QTest::qExec(&t, argc, argv);
  }
  {
    StartAndClose t;
    failures += QTest::qExec(&t, argc, argv);
  }
  {
    MessageBoxes t;
    failures += QTest::qExec(&t, argc, argv);
  }
  return failures;
}

#include "window_test.moc"
