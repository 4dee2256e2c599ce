// ModalGuard: a safety net for window tests. Every 50 ms it closes whatever modal
// window is open and remembers its title and text, so a stray message box fails
// the test that opened it instead of hanging the whole run.
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

class ModalGuard {
 public:
  ModalGuard() {
    timer_.setInterval(50);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal == nullptr) return;
      QString text = modal->windowTitle();
      if (auto* box = qobject_cast<QMessageBox*>(modal)) text += ": " + box->text();
      caught_ << text;
      modal->close();
    });
    timer_.start();
  }
  const QStringList& caught() const { return caught_; }

 private:
  QTimer timer_;
  QStringList caught_;
};
