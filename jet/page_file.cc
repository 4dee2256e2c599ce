#include "jet/page_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
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

std::shared_ptr<std::vector<std::uint8_t>> PageFile::makeRoom() const {
  std::shared_ptr<std::vector<std::uint8_t>> spare;
  if (cache_.size() >= kCachePages) {
    const auto evicted = cache_.find(lru_.back());
    if (evicted->second.first.use_count() == 1) {
      spare = std::const_pointer_cast<std::vector<std::uint8_t>>(evicted->second.first);
    }
    cache_.erase(evicted);
    lru_.pop_back();
  }
  if (spare) {
    spare->resize(header_.pageSize);  // every byte is read over
  } else {
    spare = std::make_shared<std::vector<std::uint8_t>>(header_.pageSize, 0);
  }
  return spare;
}

void PageFile::decode(std::uint32_t n, std::vector<std::uint8_t>& bytes) const {
  if (n == 0 && !isJet12(header_.version)) {
    unmaskHeader(bytes, header_.version);
  } else if (n != 0 && header_.databaseKey != 0) {
    decryptPage(bytes, header_.databaseKey, n);
  }
}

PageBytes PageFile::remember(std::uint32_t n, PageBytes bytes) const {
  lru_.push_front(n);
  cache_.emplace(n, std::make_pair(bytes, lru_.begin()));
  return bytes;
}

bool PageFile::readAhead(std::uint32_t n) const {
  // A miss a little past the previous one: the reader is going forwards.
  const bool forwards = loadedAny_ && n > lastLoaded_ && n - lastLoaded_ <= 8;
  if (fd_ < 0 || !forwards) return false;
  std::uint32_t count = 1;
  while (count < kAheadPages && n + count < pageCount_ && cache_.count(n + count) == 0) ++count;
  std::vector<std::shared_ptr<std::vector<std::uint8_t>>> buffers;
  buffers.reserve(count);
  std::vector<iovec> parts(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    buffers.push_back(makeRoom());
    parts[i] = iovec{buffers.back()->data(), header_.pageSize};
  }
  const std::uint64_t offset = static_cast<std::uint64_t>(n) * header_.pageSize;
  const std::size_t length = static_cast<std::size_t>(count) * header_.pageSize;
  std::size_t done = 0;
  while (done < length) {
    // Skip the parts already filled.
    std::size_t skip = done / header_.pageSize, within = done % header_.pageSize;
    iovec first = parts[skip];
    parts[skip].iov_base = static_cast<std::uint8_t*>(first.iov_base) + within;
    parts[skip].iov_len = first.iov_len - within;
    const ssize_t got = ::preadv(fd_, parts.data() + skip, static_cast<int>(count - skip),
                                 static_cast<off_t>(offset + done));
    parts[skip] = first;
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw cannotOpen(path_, std::strerror(errno));
    if (got == 0) break;  // the file shrank: the rest reads as zeros
    done += static_cast<std::size_t>(got);
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    std::vector<std::uint8_t>& b = *buffers[i];
    const std::size_t at = static_cast<std::size_t>(i) * header_.pageSize;
    if (done < at + header_.pageSize) {
      const std::size_t from = done > at ? done - at : 0;
      std::fill(b.begin() + static_cast<std::ptrdiff_t>(from), b.end(), 0);
    }
    decode(n + i, b);
    remember(n + i, std::move(buffers[i]));
  }
  lastLoaded_ = n + count - 1;
  loadedAny_ = true;
  return true;
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
  if (readAhead(n)) {
    const auto it = cache_.find(n);
    lru_.splice(lru_.begin(), lru_, it->second.second);
    return it->second.first;
  }
  std::shared_ptr<std::vector<std::uint8_t>> bytes = makeRoom();
  readInto(bytes->data(), bytes->size(), static_cast<std::uint64_t>(n) * header_.pageSize);
  lastLoaded_ = n;
  loadedAny_ = true;
  decode(n, *bytes);
  return remember(n, std::move(bytes));
}

}  // namespace jet
