// RecordingNotifier: stands in for the message boxes. It keeps every box's title
// and text and answers questions from a queue (OK when the queue is empty).
#pragma once

#include <QStringList>
#include <deque>
#include <vector>

#include "common/notifier.h"

class RecordingNotifier : public Notifier {
 public:
  struct Box {
    QString title;
    QString text;
    bool question = false;
  };

  void notice(const QString& title, const QString& text) override {
    boxes.push_back({title, text, false});
  }
  bool question(const QString& title, const QString& text) override {
    boxes.push_back({title, text, true});
    if (answers.empty()) return true;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  QStringList texts() const {
    QStringList out;
    for (const Box& b : boxes) out << b.text;
    return out;
  }

  std::vector<Box> boxes;
  std::deque<bool> answers;
};
