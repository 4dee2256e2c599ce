// MessageBoxNotifier: the Notifier of the running program, with modal QMessageBoxes.
#pragma once

#include "common/notifier.h"

class QWidget;

class MessageBoxNotifier : public Notifier {
 public:
  explicit MessageBoxNotifier(QWidget* parent = nullptr) : parent_(parent) {}
  void notice(const QString& title, const QString& text) override;
  bool question(const QString& title, const QString& text) override;

 private:
  QWidget* parent_;
};
