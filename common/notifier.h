// Notifier: every message box of the program goes through one of these, so
// tests can record the texts and give the answers instead of a user.
#pragma once

#include <QString>

class Notifier {
 public:
  virtual ~Notifier() = default;
  // A notice or error report: the text with an OK button only.
  virtual void notice(const QString& title, const QString& text) = 0;
  // The one question: OK and Cancel, a question icon; true for OK.
  virtual bool question(const QString& title, const QString& text) = 0;
};
