// WorkProgress: what a tree load or a batch run shows while it goes on, and
// the user's way to stop it between files. DialogProgress shows a
// QProgressDialog, made only once the work has taken a moment (or at once).
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <memory>

class QProgressDialog;
class QWidget;

class WorkProgress {
 public:
  virtual ~WorkProgress() = default;
  // `total` steps, or 0 when the number is not known in advance.
  virtual void begin(const QString& title, int total, bool showAtOnce) = 0;
  // Before each file, with what is shown for it; true: the user asked to stop.
  virtual bool step(const QString& text, int done) = 0;
  virtual void end() = 0;
};

class DialogProgress : public WorkProgress {
 public:
  static constexpr int kDelayMs = 500;

  explicit DialogProgress(QWidget* owner);
  ~DialogProgress() override;

  void begin(const QString& title, int total, bool showAtOnce) override;
  bool step(const QString& text, int done) override;
  void end() override;

  // The dialog while it is shown, else null.
  QProgressDialog* dialog() const { return dialog_.get(); }

 private:
  void create();

  QWidget* owner_;
  std::unique_ptr<QProgressDialog> dialog_;
  QElapsedTimer started_;
  QString title_;
  int total_ = 0;
};

// Ends the progress on every path out of the work.
class ProgressRun {
 public:
  ProgressRun(WorkProgress& progress, const QString& title, int total, bool showAtOnce)
      : progress_(progress) {
    progress_.begin(title, total, showAtOnce);
  }
  ~ProgressRun() { progress_.end(); }
  ProgressRun(const ProgressRun&) = delete;
  ProgressRun& operator=(const ProgressRun&) = delete;

 private:
  WorkProgress& progress_;
};
