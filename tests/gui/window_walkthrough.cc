// A walk through the real window as a new user takes it, under a real X
// server (Xvfb), with a picture of each step. Not a test: scripts/walkthrough.sh
// runs it to make the pictures in docs/. Message boxes and dialogs are the real ones.
//
// usage: window_walkthrough DEMO_FOLDER OUTPUT_FOLDER
// DEMO_FOLDER holds databases/ (the sample tree) and settings/jetlift.ini.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QProgressDialog>
#include <QPointer>
#include <QTimer>
#include <cstdio>

#include "window_harness.h"

using namespace harness;

namespace {

QString outFolder;

// The engine of the program, with a hook where a compaction begins (to picture the progress).
class DemoEngine : public engine::DBEngine {
 public:
  std::function<void()> beforeCompaction;
  void CompactDatabase(const std::string& src, const std::string& dst, long options) override {
    if (beforeCompaction) beforeCompaction();
    engine::DBEngine::CompactDatabase(src, dst, options);
  }
};

void settle(int ms = 250) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Grabs the X screen with ImageMagick, cut to the windows that are shown.
void shot(const QString& name) {
  settle();
  QRect area;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible() && w->windowType() != Qt::ToolTip) area |= w->frameGeometry();
  }
  area = area.intersected(QRect(0, 0, 1280, 1024));
  const QString file = outFolder + "/" + name + ".png";
  const QString crop =
      QString("%1x%2+%3+%4").arg(area.width()).arg(area.height()).arg(area.x()).arg(area.y());
  const int rc = QProcess::execute("import", {"-window", "root", "-crop", crop, "+repage", file});
  std::printf("%s %s (%d)\n", qPrintable(file), qPrintable(crop), rc);
}

// Runs `then` on the next modal window of type T as soon as it is shown.
template <class T>
void onModal(std::function<void(T*)> then) {
  auto* timer = new QTimer;
  timer->setInterval(100);
  QObject::connect(timer, &QTimer::timeout, [timer, then] {
    auto* modal = qobject_cast<T*>(QApplication::activeModalWidget());
    if (modal == nullptr || !modal->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    then(modal);
  });
  timer->start();
}

void pressOk(QMessageBox* box) { box->button(QMessageBox::Ok)->click(); }

// Answers every error report while a tree loads (one per file that cannot be
// read), picturing the first; runs until the returned timer is deleted.
QPointer<QTimer> answerReports(const QString& pictureOfFirst) {
  auto* timer = new QTimer;
  timer->setInterval(100);
  auto pictured = std::make_shared<bool>(pictureOfFirst.isEmpty());
  QObject::connect(timer, &QTimer::timeout, [pictured, pictureOfFirst] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return;
    if (!*pictured) shot(pictureOfFirst);
    *pictured = true;
    pressOk(box);
  });
  timer->start();
  return timer;
}

std::unique_ptr<frm_Upgrade> startWindow(const QString& data, DemoEngine& engine) {
  WindowServices s;
  s.dataFolder = data;
  s.engine = &engine;
  auto w = std::make_unique<frm_Upgrade>(s);
  w->move(0, 0);
  w->show();
  if (!QTest::qWaitFor([&] { return w->activated(); }, 20000)) {
    std::fprintf(stderr, "the window was not activated within 20 s\n");
  }
  w->activateWindow();
  return w;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Jetlift");
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  if (argc < 3) {
    std::fprintf(stderr, "usage: window_walkthrough DEMO_FOLDER OUTPUT_FOLDER\n");
    return 2;
  }
  const QString demo = QString::fromLocal8Bit(argv[1]);
  outFolder = QString::fromLocal8Bit(argv[2]);
  // What scripts/first-start.sh made, as on a first start: the sample tree and its settings.
  const QString source = demo + "/databases";
  const QString data = demo + "/settings";

  DemoEngine engine;
  // The damaged file and the text file named .mdb cannot be read: their error
  // reports come up while the tree loads.
  QPointer<QTimer> report = answerReports("00-error-report");
  auto w = startWindow(data, engine);
  delete report;
  shot("01-start");

  clickCheckBox(w->tv_Files(0), w->nodeByKey(0, source + "/contacts.mdb"));
  clickCheckBox(w->tv_Files(0), w->nodeByKey(0, source + "/archive/staff.mdb"));
  shot("02-checked");

  bool progressShown = false;
  engine.beforeCompaction = [&] {
    if (progressShown) return;
    progressShown = true;
    shot("04-progress");
  };
  onModal<QMessageBox>([&](QMessageBox* box) {
    shot("03-confirm");
    onModal<QMessageBox>([&](QMessageBox* result) {
      shot("05-result");
      // The trees load again, with the same two error reports.
      report = answerReports({});
      pressOk(result);
    });
    pressOk(box);
  });
  QTest::mouseClick(w->Cmd_Upgrade, Qt::LeftButton);
  delete report;
  engine.beforeCompaction = nullptr;
  shot("06-reloaded");

  QTreeWidgetItem* upgraded = w->nodeByKey(1, source + "/mdb_v40/contacts.mdb");
  if (upgraded != nullptr) clickNode(w->tv_Files(1), upgraded);
  shot("07-tables");

  w->resize(560, 380);
  shot("08-small");
  w->resize(1180, 760);
  shot("09-large");

  onModal<QFileDialog>([&](QFileDialog* dialog) {
    dialog->setDirectory(source);
    settle();
    shot("10-open-dialog");
    auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
    name->setText("\"sales.mdb\" \"contacts.mdb\" \"current.mdb\"");
    QTest::keyClick(name, Qt::Key_Return);
  });
  w->mnu_file(0)->trigger();
  shot("11-found");

  onModal<QMessageBox>([&](QMessageBox* box) {
    shot("12-version");
    pressOk(box);
  });
  w->mnu_Help(0)->trigger();

  // Close, and start again: the folders, the mode and the version come back from the settings.
  w->resize(807, 540);
  w->mnu_file(1)->trigger();
  w.reset();
  settle();
  report = answerReports({});
  w = startWindow(data, engine);
  delete report;
  shot("13-restarted");
  w->close();
  std::printf("%s", bytesOf(data + "/jetlift.ini").constData());
  return 0;
}
