#include "common/message_box_notifier.h"

#include <QMessageBox>

namespace {

// Reports are composed with CR LF; a box shows a bare CR as a blank or a box glyph.
QString forDisplay(QString text) { return text.replace("\r\n", "\n"); }

}  // namespace

void MessageBoxNotifier::notice(const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, title, forDisplay(text), QMessageBox::Ok, parent_);
  box.exec();
}

bool MessageBoxNotifier::question(const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::Question, title, forDisplay(text),
                  QMessageBox::Ok | QMessageBox::Cancel, parent_);
  return box.exec() == QMessageBox::Ok;
}
