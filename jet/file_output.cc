#include "jet/file_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>

namespace jet {
namespace {

FileOutput& realCalls() {
  static FileOutput calls;
  return calls;
}

std::atomic<FileOutput*> installed{nullptr};

}  // namespace

int FileOutput::open(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }

ssize_t FileOutput::write(int fd, const void* data, std::size_t size) {
  return ::write(fd, data, size);
}

ssize_t FileOutput::pwrite(int fd, const void* data, std::size_t size, off_t at) {
  return ::pwrite(fd, data, size, at);
}

int FileOutput::ftruncate(int fd, off_t size) { return ::ftruncate(fd, size); }

int FileOutput::fsync(int fd) { return ::fsync(fd); }

int FileOutput::startWriteback(int fd, off_t at, off_t length) {
  return ::sync_file_range(fd, at, length, SYNC_FILE_RANGE_WRITE);
}

int FileOutput::close(int fd) { return ::close(fd); }

int FileOutput::link(const char* from, const char* to) { return ::link(from, to); }

int FileOutput::rename(const char* from, const char* to) { return ::rename(from, to); }

int FileOutput::syncFolder(const char* folder) {
  const int fd = ::open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return -1;
  const int result = ::fsync(fd);
  ::close(fd);
  return result;
}

FileOutput& fileOutput() {
  FileOutput* calls = installed.load(std::memory_order_acquire);
  return calls != nullptr ? *calls : realCalls();
}

FileOutput* setFileOutput(FileOutput* calls) {
  return installed.exchange(calls, std::memory_order_acq_rel);
}

}  // namespace jet
