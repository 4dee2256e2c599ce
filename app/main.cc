#include <QApplication>

#include "window/frm_upgrade.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Jetlift");
  frm_Upgrade window;
  window.show();
  return app.exec();
}
