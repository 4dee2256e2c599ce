#include "window/work_progress.h"

#include <QCoreApplication>
#include <QProgressDialog>

#include "common/app_info.h"

DialogProgress::DialogProgress(QWidget* owner) : owner_(owner) {}
DialogProgress::~DialogProgress() = default;

void DialogProgress::begin(const QString& title, int total, bool showAtOnce) {
  dialog_.reset();
  title_ = title;
  total_ = total;
  started_.start();
  if (showAtOnce) create();
}

void DialogProgress::create() {
  dialog_ = std::make_unique<QProgressDialog>(owner_);
  dialog_->setObjectName("progress");
  dialog_->setWindowTitle(QString(kAppTitle) + " - " + title_);
  dialog_->setWindowModality(Qt::WindowModal);  // the window waits, as it does without a dialog
  dialog_->setAutoClose(false);
  dialog_->setAutoReset(false);
  dialog_->setMinimumDuration(0);
  dialog_->setMinimumWidth(420);
  dialog_->setRange(0, total_);
  dialog_->setValue(0);
  dialog_->show();
}

bool DialogProgress::step(const QString& text, int done) {
  if (!dialog_ && started_.elapsed() >= kDelayMs) create();
  if (!dialog_) return false;
  dialog_->setLabelText(text);
  if (total_ > 0) dialog_->setValue(done);
  // Lets the dialog paint and its Cancel button be pressed between files.
  QCoreApplication::processEvents();
  return dialog_->wasCanceled();
}

void DialogProgress::end() { dialog_.reset(); }
