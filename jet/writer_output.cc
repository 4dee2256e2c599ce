#include "jet/writer_output.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstring>

#include "jet/file_output.h"

namespace jet {

PageOutput::PageOutput(const std::string& path, std::size_t pageSize, std::uint64_t maxFileSize)
    : path_(path), pageSize_(pageSize), maxFileSize_(maxFileSize) {
  fd_ = fileOutput().open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd_ < 0) throw writeFailed(path, std::strerror(errno));
  // Only a faster way to the same file: when it cannot be had, the first one serves.
  directFd_ = ::open(path.c_str(), O_WRONLY | O_DIRECT | O_CLOEXEC);
}

PageOutput::~PageOutput() {
  {
    // Not finished: a failure is on its way up, and what is queued need not be written.
    std::lock_guard<std::mutex> lock(mutex_);
    abandon_ = true;
  }
  stopWriting();
  if (directFd_ >= 0) ::close(directFd_);
  if (fd_ >= 0) fileOutput().close(fd_);
}

std::uint32_t PageOutput::allocate(std::uint32_t count) {
  const std::uint64_t after = (static_cast<std::uint64_t>(pageCount_) + count) * pageSize_;
  if (after > maxFileSize_) {
    throw writeFailed(path_, "the database would grow past " + std::to_string(maxFileSize_) +
                                 " bytes, the largest file of this version");
  }
  const std::uint32_t first = pageCount_;
  pageCount_ += count;
  return first;
}

void PageOutput::write(std::uint32_t page, std::span<const std::uint8_t> bytes) {
  assert(page < pageCount_ && bytes.size() == pageSize_);
  if (page < windowFirst_) {
    // An early page filled in late (definitions): queued behind the windows
    // before it, which may hold an older copy of it.
    Job job{spareBuffer(pageSize_), {Run{page, 0, pageSize_}}};
    std::memcpy(job.bytes.data(), bytes.data(), pageSize_);
    submit(std::move(job));
    return;
  }
  if (page >= windowFirst_ + windowPages_) {
    flushWindow();
    windowFirst_ = page;
  }
  if (window_.empty()) {
    windowPages_ = std::clamp(2 * windowPages_, kFirstWindowPages, kMaxWindowPages);
    window_ = spareBuffer(windowPages_ * pageSize_);
    filled_.assign(windowPages_, false);
  }
  const std::size_t slot = page - windowFirst_;
  std::memcpy(window_.data() + slot * pageSize_, bytes.data(), pageSize_);
  if (!filled_[slot]) ++windowUsed_;
  filled_[slot] = true;
}

// Hands each run of filled pages to the writing thread, one call per run.
void PageOutput::flushWindow() {
  if (windowUsed_ == 0) return;
  Job job;
  std::size_t slot = 0;
  while (windowUsed_ > 0 && slot < windowPages_) {
    if (!filled_[slot]) {
      ++slot;
      continue;
    }
    std::size_t end = slot;
    while (end < windowPages_ && filled_[end]) {
      filled_[end] = false;
      --windowUsed_;
      ++end;
    }
    job.runs.push_back(
        Run{windowFirst_ + static_cast<std::uint32_t>(slot), slot * pageSize_, (end - slot) * pageSize_});
    slot = end;
  }
  job.bytes = std::move(window_);
  window_.clear();
  submit(std::move(job));
}

PageOutput::Buffer PageOutput::spareBuffer(std::size_t size) {
  Buffer b;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Buffer>& spare = poolFor(size);
    if (!spare.empty()) {
      b = std::move(spare.back());
      spare.pop_back();
    }
  }
  // Every byte that is written was copied in first, so old contents do not
  // matter, and a buffer too small for a grown window is not copied over.
  if (b.size() < size) {
    b.clear();
    b.resize(size);
  }
  return b;
}

void PageOutput::submit(Job job) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (failed_) throw *failed_;
  if (!writer_.joinable()) {
    // Signals go to the other threads, as they did before the writes moved here.
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &previous);
    writer_ = std::thread([this] { writeJobs(); });
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  }
  changed_.wait(lock, [&] { return queue_.size() < kMaxQueued || failed_; });
  if (failed_) throw *failed_;
  queue_.push_back(std::move(job));
  changed_.notify_all();
}

void PageOutput::writeJobs() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return stop_ || !queue_.empty(); });
    if (queue_.empty()) return;  // stopped, nothing left
    Job job = std::move(queue_.front());
    queue_.pop_front();
    const bool skip = failed_.has_value() || abandon_;
    lock.unlock();
    std::optional<Error> error;
    if (!skip) {
      try {
        for (const Run& r : job.runs) writeAt(r.page, job.bytes.data() + r.offset, r.length);
      } catch (const Error& e) {
        error = e;
      }
    }
    lock.lock();
    if (error && !failed_) failed_ = std::move(error);
    poolFor(job.bytes.size()).push_back(std::move(job.bytes));
    changed_.notify_all();
    for (const Run& r : job.runs) unflushed_ += r.length;
    if (unflushed_ >= kFlushEvery && !flushing_ && !skip) {
      unflushed_ = 0;
      flushing_ = true;
      if (!flusher_.joinable()) flusher_ = std::thread([this] { flushAsWritten(); });
      flushWanted_.notify_one();
    }
  }
}

// Flushes what is written so far while later pages are still being made, so
// that the disk's flush overlaps with the work instead of all coming at the end.
void PageOutput::flushAsWritten() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    flushWanted_.wait(lock, [&] { return flushing_ || stop_; });
    if (!flushing_) return;
    const bool skip = failed_.has_value() || abandon_;
    lock.unlock();
    const int result = skip ? 0 : fileOutput().fsync(fd_);
    const int error = errno;
    lock.lock();
    flushing_ = false;
    // Reported once: a later fsync of the same file may not see this error again.
    if (result != 0 && !failed_) {
      failed_ = flushFailed(error);
      changed_.notify_all();  // a maker waiting for room stops
    }
  }
}

// Waits until every queued job is written (or dropped after a failure) and
// any flush under way is done, and ends the threads.
void PageOutput::stopWriting() {
  if (!writer_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  writer_.join();
  flushWanted_.notify_all();
  if (flusher_.joinable()) flusher_.join();
}

Error PageOutput::flushFailed(int error) const {
  return writeFailed(path_, std::string("flushing: ") + std::strerror(error));
}

void PageOutput::throwIfFailed() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (failed_) throw *failed_;
}

void PageOutput::writeAt(std::uint32_t page, const std::uint8_t* bytes, std::size_t length) {
  const off_t at = static_cast<off_t>(page) * static_cast<off_t>(pageSize_);
  const auto aligned = [](std::uint64_t v) { return v % kDirectAlign == 0; };
  // A direct write waits for the disk: worth it for a window's megabytes,
  // not for a page or a few, which the cache takes at once and the final
  // fsync writes out together.
  const bool large = length >= kFirstWindowPages * pageSize_;
  std::size_t done = 0;
  while (done < length) {
    const off_t where = at + static_cast<off_t>(done);
    const std::size_t left = length - done;
    const bool direct = directFd_ >= 0 && large &&
                        aligned(reinterpret_cast<std::uintptr_t>(bytes + done)) &&
                        aligned(static_cast<std::uint64_t>(where)) && aligned(left);
    const ssize_t n = fileOutput().pwrite(direct ? directFd_ : fd_, bytes + done, left, where);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (direct && errno == EINVAL) {
        // The file system takes no direct writes after all (or not these): the cache serves.
        ::close(directFd_);
        directFd_ = -1;
        continue;
      }
      const std::uint32_t failed = page + static_cast<std::uint32_t>(done / pageSize_);
      throw writeFailed(path_, std::string("page ") + std::to_string(failed) + ": " +
                                   std::strerror(errno));
    }
    // Cached writes start out to the disk at once, so that the final fsync has little left.
    if (!direct) fileOutput().startWriteback(fd_, where, static_cast<off_t>(n));
    done += static_cast<std::size_t>(n);
  }
}

void PageOutput::finish() {
  if (fd_ < 0) return;
  flushWindow();
  stopWriting();
  throwIfFailed();
  if (directFd_ >= 0) ::close(directFd_);  // its writes are on the disk already
  directFd_ = -1;
  const off_t size = static_cast<off_t>(pageCount_) * static_cast<off_t>(pageSize_);
  FileOutput& calls = fileOutput();
  if (calls.ftruncate(fd_, size) != 0) throw writeFailed(path_, std::strerror(errno));
  if (calls.fsync(fd_) != 0) throw flushFailed(errno);
  const int fd = fd_;
  fd_ = -1;
  if (calls.close(fd) != 0) throw writeFailed(path_, std::string("closing: ") + std::strerror(errno));
}

}  // namespace jet
