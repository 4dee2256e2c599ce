// The common services, tested without a window: one QtTest class per area.
#include <QApplication>
#include <QtTest>

#include "diagnostics_test.h"
#include "module1_test.h"
#include "settings_test.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  int failures = 0;
  {
    DiagnosticsTest t;
    failures += QTest::qExec(&t, argc, argv);
  }
  {
    Module1Test t;
    failures += QTest::qExec(&t, argc, argv);
  }
  {
    SettingsTest t;
    failures += QTest::qExec(&t, argc, argv);
  }
  return failures;
}
