#include "jet/page_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "jet/error.h"
#include "jet/layout/header.h"
#include "jet/rc4.h"

namespace jet {
namespace {

void readAt(int fd, std::uint8_t* into, std::size_t length, std::uint64_t offset,
            const std::string& path) {
  std::size_t done = 0;
  while (done < length) {
    const ssize_t got = ::pread(fd, into + done, length - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw cannotOpen(path, std::strerror(errno));
    if (got == 0) {
      std::fill(into + done, into + length, 0);  // the file shrank: the rest reads as zeros
      return;
    }
    done += static_cast<std::size_t>(got);
  }
}

}  // namespace

PageFile::PageFile(const std::string& path) : path_(path) {
  if (path.empty()) throw invalidPath(path, "the path is empty");
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) throw fileNotFound(path);
    throw cannotOpen(path, std::strerror(errno));
  }
  if (S_ISDIR(st.st_mode)) throw invalidPath(path, "it is a folder");
  if (!S_ISREG(st.st_mode)) throw notADatabase(path, "it is not a regular file");
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) throw cannotOpen(path, std::strerror(errno));
  try {
    struct stat opened {};
    if (::fstat(fd_, &opened) != 0) throw cannotOpen(path, std::strerror(errno));
    fileSize_ = static_cast<std::uint64_t>(opened.st_size);
    readHeader();
  } catch (...) {
    ::close(fd_);
    fd_ = -1;
    throw;
  }
}

PageFile::PageFile(std::vector<std::uint8_t> bytes, const std::string& name)
    : path_(name), memory_(std::move(bytes)) {
  fileSize_ = memory_.size();
  readHeader();
}

void PageFile::readHeader() {
  if (fileSize_ < layout::kMinFileSize) throw notADatabase(path_, "the file is too short");
  std::vector<std::uint8_t> first(layout::kMinFileSize);
  readInto(first.data(), first.size(), 0);
  header_ = parseHeader(first, path_);
  // A trailing partial page is read as if padded with zeros.
  const std::uint64_t pages = (fileSize_ + header_.pageSize - 1) / header_.pageSize;
  if (pages > 0xFFFFFFu) throw notADatabase(path_, "the file is too large for a Jet database");
  pageCount_ = static_cast<std::uint32_t>(pages);
}

// Reads `length` bytes at `offset`; what lies past the end of the file reads as zeros.
void PageFile::readInto(std::uint8_t* into, std::size_t length, std::uint64_t offset) const {
  if (fd_ >= 0) {
    readAt(fd_, into, length, offset, path_);
    return;
  }
  const std::size_t n =
      offset >= memory_.size() ? 0 : std::min<std::uint64_t>(length, memory_.size() - offset);
  if (n > 0) std::copy_n(memory_.begin() + static_cast<std::ptrdiff_t>(offset), n, into);
  std::fill(into + n, into + length, 0);
}

PageFile::~PageFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool PageFile::readAhead(std::uint32_t n, std::uint8_t* into) const {
  const std::size_t size = header_.pageSize;
  const bool inWindow = n >= aheadFirst_ && n - aheadFirst_ < aheadCount_;
  // A miss a little past the previous one: the reader is going forwards.
  const bool forwards = loadedAny_ && n > lastLoaded_ && n - lastLoaded_ <= 8;
  if (!inWindow && (fd_ < 0 || !forwards)) return false;
  if (!inWindow) {
    aheadCount_ = std::min(kAheadPages, pageCount_ - n);
    ahead_.resize(static_cast<std::size_t>(aheadCount_) * size);
    readInto(ahead_.data(), ahead_.size(), static_cast<std::uint64_t>(n) * size);
    aheadFirst_ = n;
  }
  std::copy_n(ahead_.begin() + static_cast<std::ptrdiff_t>((n - aheadFirst_) * size), size, into);
  return true;
}

PageBytes PageFile::load(std::uint32_t n, std::shared_ptr<std::vector<std::uint8_t>> bytes) const {
  if (bytes) {
    bytes->resize(header_.pageSize);  // every byte is read over
  } else {
    bytes = std::make_shared<std::vector<std::uint8_t>>(header_.pageSize, 0);
  }
  if (!readAhead(n, bytes->data())) {
    readInto(bytes->data(), bytes->size(), static_cast<std::uint64_t>(n) * header_.pageSize);
  }
  lastLoaded_ = n;
  loadedAny_ = true;
  if (n == 0 && !isJet12(header_.version)) {
    unmaskHeader(*bytes, header_.version);
  } else if (n != 0 && header_.databaseKey != 0) {
    decryptPage(*bytes, header_.databaseKey, n);
  }
  return bytes;
}

PageBytes PageFile::page(std::uint32_t n) const {
  if (n >= pageCount_) {
    throw damaged(where(n), "page number past the end of the file (" +
                                std::to_string(pageCount_) + " pages)");
  }
  if (auto it = cache_.find(n); it != cache_.end()) {
    lru_.splice(lru_.begin(), lru_, it->second.second);
    return it->second.first;
  }
  // The evicted page's buffer is reused when no one holds it any more.
  std::shared_ptr<std::vector<std::uint8_t>> spare;
  if (cache_.size() >= kCachePages) {
    const auto evicted = cache_.find(lru_.back());
    if (evicted->second.first.use_count() == 1) {
      spare = std::const_pointer_cast<std::vector<std::uint8_t>>(evicted->second.first);
    }
    cache_.erase(evicted);
    lru_.pop_back();
  }
  PageBytes bytes = load(n, std::move(spare));
  lru_.push_front(n);
  cache_.emplace(n, std::make_pair(bytes, lru_.begin()));
  return bytes;
}

}  // namespace jet
