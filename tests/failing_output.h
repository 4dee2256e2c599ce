// FailingOutput: file output calls that count every call and make the N-th
// fail (odd N with ENOSPC, even N with EIO), to prove that a write stopped at
// any point leaves every existing file as it was and nothing half-made.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "jet/file_output.h"

namespace fault_test {

enum class Call { Open, Write, Truncate, Flush, Close, Link, Rename, FolderFlush };

inline const char* callName(Call c) {
  switch (c) {
    case Call::Open: return "open";
    case Call::Write: return "write";
    case Call::Truncate: return "truncate";
    case Call::Flush: return "flush";
    case Call::Close: return "close";
    case Call::Link: return "link";
    case Call::Rename: return "rename";
    case Call::FolderFlush: return "folder flush";
  }
  return "?";
}

// The output's writing and flushing threads call in beside each other.
class FailingOutput : public jet::FileOutput {
 public:
  // The call to fail, counting from 1; 0 lets every call through.
  long failAt = 0;
  // When set, every write puts at most this many bytes (short writes).
  std::size_t shortWrites = 0;
  std::vector<Call> calls;        // every call seen, in order
  std::vector<std::string> paths;  // the file (or folder) of each call
  int failedErrno() const { return failAt % 2 == 1 ? ENOSPC : EIO; }
  // The kind of call that was failed, once it was.
  bool failed() const { return failAt > 0 && static_cast<long>(calls.size()) >= failAt; }
  Call failedCall() const { return calls.at(static_cast<std::size_t>(failAt - 1)); }
  const std::string& failedPath() const { return paths.at(static_cast<std::size_t>(failAt - 1)); }

  int open(const char* path, int flags, mode_t mode) override {
    if (fails(Call::Open, path)) return -1;
    const int fd = FileOutput::open(path, flags, mode);
    if (fd >= 0) named(fd, path);
    return fd;
  }
  ssize_t write(int fd, const void* data, std::size_t size) override {
    if (fails(Call::Write, fd)) return -1;
    return FileOutput::write(fd, data, shortened(size));
  }
  ssize_t pwrite(int fd, const void* data, std::size_t size, off_t at) override {
    if (fails(Call::Write, fd)) return -1;
    return FileOutput::pwrite(fd, data, shortened(size), at);
  }
  int ftruncate(int fd, off_t size) override {
    return fails(Call::Truncate, fd) ? -1 : FileOutput::ftruncate(fd, size);
  }
  int fsync(int fd) override { return fails(Call::Flush, fd) ? -1 : FileOutput::fsync(fd); }
  int close(int fd) override {
    // A failed close still releases the descriptor, as Linux does.
    if (fails(Call::Close, fd)) {
      const int saved = errno;
      ::close(fd);
      errno = saved;
      named(fd, nullptr);
      return -1;
    }
    named(fd, nullptr);
    return FileOutput::close(fd);
  }
  int link(const char* from, const char* to) override {
    return fails(Call::Link, to) ? -1 : FileOutput::link(from, to);
  }
  int rename(const char* from, const char* to) override {
    return fails(Call::Rename, to) ? -1 : FileOutput::rename(from, to);
  }
  int syncFolder(const char* folder) override {
    return fails(Call::FolderFlush, folder) ? -1 : FileOutput::syncFolder(folder);
  }

 private:
  bool fails(Call c, int fd) {
    std::string path;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const auto it = open_.find(fd);
      if (it != open_.end()) path = it->second;
    }
    return fails(c, path);
  }
  bool fails(Call c, const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls.push_back(c);
    paths.push_back(path);
    if (static_cast<long>(calls.size()) != failAt) return false;
    errno = failedErrno();
    return true;
  }
  // Records the file an open descriptor writes (nullptr: closed).
  void named(int fd, const char* path) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (path != nullptr) {
      open_[fd] = path;
    } else {
      open_.erase(fd);
    }
  }
  std::size_t shortened(std::size_t size) const {
    return shortWrites > 0 && size > shortWrites ? shortWrites : size;
  }
  std::map<int, std::string> open_;
  std::mutex mutex_;
};

// Puts `calls` in place for the lifetime of this object.
class Installed {
 public:
  explicit Installed(jet::FileOutput& calls) : previous_(jet::setFileOutput(&calls)) {}
  ~Installed() { jet::setFileOutput(previous_); }
  Installed(const Installed&) = delete;
  Installed& operator=(const Installed&) = delete;

 private:
  jet::FileOutput* previous_;
};

}  // namespace fault_test
