// The program: one window; closing it ends the program. The options exist for
// scripts only (screenshots, timed runs); a user starts the program without any.
#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include "window/frm_upgrade.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Jetlift");

  QCommandLineParser options;
  const QCommandLineOption screenshot("screenshot", "Save a picture of the window and exit.",
                                      "file");
  const QCommandLineOption quitAfter("quit-after", "Close the window after this many ms.", "ms");
  const QCommandLineOption dataFolder("data-folder", "Folder for settings, log and trace.",
                                      "folder");
  options.addOptions({screenshot, quitAfter, dataFolder});
  options.addHelpOption();
  options.process(app);

  WindowServices services;
  services.dataFolder = options.value(dataFolder);
  frm_Upgrade window(services);
  window.show();

  if (options.isSet(screenshot)) {
    // Long enough for the first paint; the window is not closed, so nothing is saved.
    const QString file = options.value(screenshot);
    QTimer::singleShot(300, &window, [&] { app.exit(window.grab().save(file) ? 0 : 1); });
  }
  if (options.isSet(quitAfter)) {
    QTimer::singleShot(options.value(quitAfter).toInt(), &window, [&] { window.close(); });
  }
  return app.exec();
}
