#include "jet/prepared_rows.h"

#include <signal.h>

namespace jet {

PreparedRows::PreparedRows(RowCursor& source, RowPreparer& preparer, bool ownThread,
                           std::vector<PreparedBatch>& storage)
    : source_(source), preparer_(preparer), ownThread_(ownThread), batches_(storage) {
  batches_.resize(kBatches);
}

PreparedRows::~PreparedRows() {
  if (!reader_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  reader_.join();
}

PreparedBatch* PreparedRows::next() {
  if (current_ != nullptr) {
    if (current_->error) std::rethrow_exception(current_->error);
    if (current_->last) return nullptr;
  }
  if (!ownThread_) {
    current_ = &batches_[0];
    fill(*current_);
    return current_;
  }
  if (current_ != nullptr) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++consumed_;
    }
    changed_.notify_all();
  }
  if (!reader_.joinable()) start();
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return produced_ > consumed_; });
  current_ = &batches_[consumed_ % kBatches];
  return current_;
}

void PreparedRows::start() {
  // Signals go to the caller's thread, as they did before reading moved here.
  sigset_t all, previous;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, &previous);
  reader_ = std::thread([this] { produce(); });
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

void PreparedRows::produce() {
  for (std::size_t n = 0;; ++n) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [&] { return stop_ || n - consumed_ < kBatches; });
      if (stop_) return;
    }
    // The batch is free: the caller has moved past it.
    PreparedBatch& batch = batches_[n % kBatches];
    fill(batch);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++produced_;
    }
    changed_.notify_all();
    if (batch.last || batch.error) return;
  }
}

void PreparedRows::fill(PreparedBatch& batch) {
  batch.clear();
  try {
    while (batch.rows.size() < kBatchRows && batch.bytes() < kBatchBytes && !stop_) {
      if (!preparer_.prepareNext(source_, batch)) {
        batch.last = true;
        return;
      }
    }
  } catch (...) {
    batch.error = std::current_exception();
  }
}

}  // namespace jet
