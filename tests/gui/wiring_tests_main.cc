// The window wired to the logic, tested through the real window, headless.
// HOME points into the build, so default folders never touch the user's own.
#include <QApplication>
#include <QDir>
#include <QtTest>

#include "startup_window_test.h"
#include "tree_window_test.h"
#include "upgrade_window_test.h"

int main(int argc, char** argv) {
  const QString home = QDir::currentPath() + "/wiring_home";
  QDir().mkpath(home);
  qputenv("HOME", home.toLocal8Bit());
  QApplication app(argc, argv);
  QApplication::setApplicationName("Jetlift");
  int failures = 0;
  {
    TreeWindowTest t;
    failures += QTest::qExec(&t, argc, argv);
  }
  {
    UpgradeWindowTest t;
    failures += QTest::qExec(&t, argc, argv);
  }
  {
    StartupWindowTest t;
    failures += QTest::qExec(&t, argc, argv);
  }
  return failures;
}
