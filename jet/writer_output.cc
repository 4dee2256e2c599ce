#include "jet/writer_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <cstring>

#include "jet/error.h"
#include "jet/file_output.h"

namespace jet {

PageOutput::PageOutput(const std::string& path, std::size_t pageSize, std::uint64_t maxFileSize)
    : path_(path), pageSize_(pageSize), maxFileSize_(maxFileSize) {
  fd_ = fileOutput().open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd_ < 0) throw writeFailed(path, std::strerror(errno));
}

PageOutput::~PageOutput() {
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
    writeAt(page, bytes.data(), bytes.size());  // an early page filled in late (definitions)
    return;
  }
  if (page >= windowFirst_ + kWindowPages) {
    flushWindow();
    windowFirst_ = page;
  }
  if (window_.empty()) {
    window_.assign(kWindowPages * pageSize_, 0);
    filled_.assign(kWindowPages, false);
  }
  const std::size_t slot = page - windowFirst_;
  std::memcpy(window_.data() + slot * pageSize_, bytes.data(), pageSize_);
  if (!filled_[slot]) ++windowUsed_;
  filled_[slot] = true;
}

// Writes each run of filled pages with one call.
void PageOutput::flushWindow() {
  std::size_t slot = 0;
  while (windowUsed_ > 0 && slot < kWindowPages) {
    if (!filled_[slot]) {
      ++slot;
      continue;
    }
    std::size_t end = slot;
    while (end < kWindowPages && filled_[end]) {
      filled_[end] = false;
      --windowUsed_;
      ++end;
    }
    writeAt(windowFirst_ + static_cast<std::uint32_t>(slot), window_.data() + slot * pageSize_,
            (end - slot) * pageSize_);
    const off_t at = static_cast<off_t>(windowFirst_ + slot) * static_cast<off_t>(pageSize_);
    fileOutput().startWriteback(fd_, at, static_cast<off_t>((end - slot) * pageSize_));
    slot = end;
  }
}

void PageOutput::writeAt(std::uint32_t page, const std::uint8_t* bytes, std::size_t length) {
  const off_t at = static_cast<off_t>(page) * static_cast<off_t>(pageSize_);
  std::size_t done = 0;
  while (done < length) {
    const ssize_t n = fileOutput().pwrite(fd_, bytes + done, length - done, at + static_cast<off_t>(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      const std::uint32_t failed = page + static_cast<std::uint32_t>(done / pageSize_);
      throw writeFailed(path_, std::string("page ") + std::to_string(failed) + ": " +
                                   std::strerror(errno));
    }
    done += static_cast<std::size_t>(n);
  }
}

void PageOutput::finish() {
  if (fd_ < 0) return;
  flushWindow();
  const off_t size = static_cast<off_t>(pageCount_) * static_cast<off_t>(pageSize_);
  FileOutput& calls = fileOutput();
  if (calls.ftruncate(fd_, size) != 0) throw writeFailed(path_, std::strerror(errno));
  if (calls.fsync(fd_) != 0) throw writeFailed(path_, std::string("flushing: ") + std::strerror(errno));
  const int fd = fd_;
  fd_ = -1;
  if (calls.close(fd) != 0) throw writeFailed(path_, std::string("closing: ") + std::strerror(errno));
}

}  // namespace jet
