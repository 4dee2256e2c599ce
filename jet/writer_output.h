// PageOutput: the file a writer fills, page by page. Page numbers are handed
// out densely from 0; a page may be written any time after it was allocated,
// so definitions can be filled in once their contents are known. Pages are
// gathered in a window of consecutive page numbers and written a run at a
// time, not one system call per page.
//
// The writes themselves happen on a thread of their own, in the order they
// were asked for, so that copying pages into the file (much of a large
// compaction's time) overlaps with making the next ones. A failed write is
// reported by the next call to write() or by finish().
//
// Where the file system allows, aligned runs of a window's size go straight
// to the disk (O_DIRECT) instead of through the page cache: the copy into
// the cache and its writeback would take a core's time the compaction
// needs, and the result is flushed to the disk before it counts anyway.
// Shorter runs (pages filled in late, a small database) go through the
// cache, since each direct write waits for the disk.
//
// The file is flushed every few megabytes while it is written, not only at
// the end: on a virtual disk the flush is where the host writes its own
// cache out, which takes as long as much of the writing itself. Flushed
// beside the work, only the last megabytes are left for the final fsync.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "jet/error.h"
#include "jet/huge_pages.h"

namespace jet {

class PageOutput {
 public:
  // Creates or truncates `path`; throws writeFailed.
  PageOutput(const std::string& path, std::size_t pageSize, std::uint64_t maxFileSize);
  ~PageOutput();
  PageOutput(const PageOutput&) = delete;
  PageOutput& operator=(const PageOutput&) = delete;

  // Reserves `count` consecutive pages and returns the first one.
  std::uint32_t allocate(std::uint32_t count = 1);
  std::uint32_t pageCount() const { return pageCount_; }
  std::size_t pageSize() const { return pageSize_; }
  const std::string& path() const { return path_; }

  void write(std::uint32_t page, std::span<const std::uint8_t> bytes);
  // Flushes everything to the disk and closes the file.
  void finish();

 private:
  // Buffers start on a boundary any disk's direct writes accept.
  static constexpr std::size_t kDirectAlign = 4096;
  // Windows of megabytes start on a huge page, so that they can come in huge pages.
  static std::align_val_t alignFor(std::size_t bytes) {
    return std::align_val_t{bytes >= kHugePageBytes ? kHugePageBytes : kDirectAlign};
  }
  template <class T>
  struct AlignedAllocator {
    using value_type = T;
    AlignedAllocator() = default;
    template <class U>
    AlignedAllocator(const AlignedAllocator<U>&) {}
    T* allocate(std::size_t n) {
      void* p = ::operator new(n * sizeof(T), alignFor(n * sizeof(T)));
      adviseHugePages(p, n * sizeof(T));
      return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t n) { ::operator delete(p, alignFor(n * sizeof(T))); }
    // Grown bytes are left as they come: every byte written to the file is
    // copied in first, and clearing megabytes of windows would cost a pass.
    template <class U>
    void construct(U* p) noexcept {
      ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
      ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
    bool operator==(const AlignedAllocator&) const { return true; }
  };
  using Buffer = std::vector<std::uint8_t, AlignedAllocator<std::uint8_t>>;

  // Consecutive pages from `page` lying at `offset` of a job's bytes.
  struct Run {
    std::uint32_t page;
    std::size_t offset, length;
  };
  struct Job {
    Buffer bytes;
    std::vector<Run> runs;
  };
  void writeAt(std::uint32_t page, const std::uint8_t* bytes, std::size_t length);
  void flushWindow();
  void submit(Job job);
  void writeJobs();       // the writing thread
  void flushAsWritten();  // the flushing thread
  void stopWriting();
  void throwIfFailed();
  Error flushFailed(int error) const;  // errno of a failed fsync
  Buffer spareBuffer(std::size_t size);

  std::string path_;
  std::size_t pageSize_;
  std::uint64_t maxFileSize_;
  int fd_ = -1;
  // The same file opened for direct writes, or -1 where the file system
  // refuses them; used by the writing thread alone.
  int directFd_ = -1;
  std::uint32_t pageCount_ = 0;
  // Pages [windowFirst_, windowFirst_ + windowPages_) written since the last
  // flush. Windows start small, so that a small database takes little memory,
  // and grow: a large one then costs the disk and the writing thread fewer,
  // larger requests.
  static constexpr std::size_t kFirstWindowPages = 256, kMaxWindowPages = 1024;
  std::size_t windowPages_ = 0;
  Buffer window_;
  std::vector<bool> filled_;
  std::uint32_t windowFirst_ = 0;
  std::size_t windowUsed_ = 0;  // pages filled

  // Jobs waiting for the writing thread (a few windows at most), and the
  // buffers of done jobs, kept for the next ones: windows' apart from single
  // pages', so that a page written late never takes a window's megabytes or
  // leaves a window to start in fresh memory.
  static constexpr std::size_t kMaxQueued = 3;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Job> queue_;
  std::vector<Buffer> spare_, sparePages_;
  std::vector<Buffer>& poolFor(std::size_t bytes) {
    return bytes <= pageSize_ ? sparePages_ : spare_;
  }
  bool stop_ = false;     // end once the queue is empty
  bool abandon_ = false;  // drop what is still queued
  std::optional<Error> failed_;  // the first write or flush that failed
  std::thread writer_;

  // What the writing thread wrote is flushed on a thread of its own each
  // time this much more is written, one flush at a time.
  static constexpr std::size_t kFlushEvery = 8 << 20;
  std::size_t unflushed_ = 0;
  bool flushing_ = false;  // asked for or under way
  std::condition_variable flushWanted_;
  std::thread flusher_;
};

}  // namespace jet
