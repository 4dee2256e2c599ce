// BatchQueue: batches made on a thread of their own, a ring of them ahead of
// the thread that takes them, taken in the order they were made. The making
// thread ends after a batch that says it is the last or holds an error, or
// when the queue is stopped; it takes no signals, which stay with the
// program's other threads.
#pragma once

#include <signal.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace jet {

// `storage` resized to a ring of `count` batches. Its owner keeps it from
// one queue to the next, so that the batches' buffers are made only once.
template <class Batch>
std::vector<Batch>& ringIn(std::vector<Batch>& storage, std::size_t count) {
  storage.resize(count);
  return storage;
}

// Batch: anything with `last` and `error` members.
template <class Batch>
class BatchQueue {
 public:
  // `fill` makes a batch in place, on the queue's thread; it should end early
  // once stopping() is true.
  BatchQueue(std::span<Batch> ring, std::function<void(Batch&)> fill)
      : ring_(ring), fill_(std::move(fill)) {}
  ~BatchQueue() { stop(); }
  BatchQueue(const BatchQueue&) = delete;
  BatchQueue& operator=(const BatchQueue&) = delete;

  // The next batch, the caller's until the next call, which hands it back to
  // be made anew. The first call starts the thread.
  Batch& next() {
    if (!thread_.joinable()) start();
    std::unique_lock<std::mutex> lock(mutex_);
    if (taken_) {
      ++consumed_;
      if (producerWaits_ && free() >= batchesPerWake()) changed_.notify_all();
    }
    if (produced_ == consumed_) {
      takerWaits_ = true;
      changed_.wait(lock, [&] {
        const std::size_t ready = produced_ - consumed_;
        return ready >= takerWake() || (ready > 0 && ended_);
      });
      takerWaits_ = false;
    }
    taken_ = true;
    return ring_[consumed_ % ring_.size()];
  }
  bool started() const { return thread_.joinable(); }
  bool stopping() const { return stop_; }
  // Ends the thread without waiting for what it would still make.
  void stop() {
    if (!thread_.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }

 private:
  void start() {
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &previous);
    thread_ = std::thread([this] { produce(); });
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  }
  void produce() {
    for (std::size_t n = 0;; ++n) {
      {
        std::unique_lock<std::mutex> lock(mutex_);
        if (free() == 0) {
          producerWaits_ = true;
          changed_.wait(lock, [&] { return stop_ || free() >= batchesPerWake(); });
          producerWaits_ = false;
        }
        if (stop_) return;
      }
      // The batch is free: the taker has moved past it.
      Batch& batch = ring_[n % ring_.size()];
      fill_(batch);
      const bool end = batch.last || batch.error;
      std::lock_guard<std::mutex> lock(mutex_);
      ++produced_;
      ended_ = end;
      if (takerWaits_ && (produced_ - consumed_ >= takerWake() || end)) changed_.notify_all();
      if (end) return;
    }
  }
  // A side that had to wait is woken once half the ring is there for it, not
  // for every batch: each wake costs both threads a switch. The maker finds
  // half the ring free while the taker still has the other half to go on
  // with; the taker, at the start, is woken for the first batch, so that a
  // small table's rows need not wait for half a ring of them.
  std::size_t batchesPerWake() const { return std::max<std::size_t>(1, ring_.size() / 2); }
  std::size_t takerWake() const { return produced_ < ring_.size() ? 1 : batchesPerWake(); }
  std::size_t free() const { return ring_.size() - (produced_ - consumed_); }

  std::span<Batch> ring_;
  std::function<void(Batch&)> fill_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t produced_ = 0, consumed_ = 0;          // batches, counted from the first
  bool producerWaits_ = false, takerWaits_ = false;  // in changed_.wait
  bool ended_ = false;                               // the last batch is made
  bool taken_ = false;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace jet
