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
  const off_t at = static_cast<off_t>(page) * static_cast<off_t>(pageSize_);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = fileOutput().pwrite(fd_, bytes.data() + done, bytes.size() - done,
                                          at + static_cast<off_t>(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw writeFailed(path_, std::string("page ") + std::to_string(page) + ": " +
                                   std::strerror(errno));
    }
    done += static_cast<std::size_t>(n);
  }
}

void PageOutput::finish() {
  if (fd_ < 0) return;
  const off_t size = static_cast<off_t>(pageCount_) * static_cast<off_t>(pageSize_);
  FileOutput& calls = fileOutput();
  if (calls.ftruncate(fd_, size) != 0) throw writeFailed(path_, std::strerror(errno));
  if (calls.fsync(fd_) != 0) throw writeFailed(path_, std::string("flushing: ") + std::strerror(errno));
  const int fd = fd_;
  fd_ = -1;
  if (calls.close(fd) != 0) throw writeFailed(path_, std::string("closing: ") + std::strerror(errno));
}

}  // namespace jet
