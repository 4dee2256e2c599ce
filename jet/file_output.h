// FileOutput: the system calls through which every file the program writes
// passes (the compactor's pages, flushes and link into place, the upgrade's
// copies and renames). Tests install their own to make the N-th call fail;
// the cost is one indirect call per system call, never per byte.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace jet {

// Each member behaves like the POSIX call of its name: -1 with errno set on failure.
class FileOutput {
 public:
  virtual ~FileOutput() = default;
  // Opens (creates) a file for writing; `flags` as for open(2).
  virtual int open(const char* path, int flags, mode_t mode);
  virtual ssize_t write(int fd, const void* data, std::size_t size);
  virtual ssize_t pwrite(int fd, const void* data, std::size_t size, off_t at);
  virtual int ftruncate(int fd, off_t size);
  virtual int fsync(int fd);
  // Starts writing a range of the file out to the disk without waiting, so
  // that the final fsync has less left to do; only a hint (sync_file_range).
  virtual int startWriteback(int fd, off_t at, off_t length);
  virtual int close(int fd);
  virtual int link(const char* from, const char* to);
  virtual int rename(const char* from, const char* to);
  // Flushes a folder's entries (after a link or rename in it).
  virtual int syncFolder(const char* folder);
};

// The calls in use: the real ones unless a test installed others.
FileOutput& fileOutput();

// Installs `calls` for the whole process (nullptr: the real calls again) and
// returns the previous ones. Only for tests; not meant to change mid-write.
FileOutput* setFileOutput(FileOutput* calls);

}  // namespace jet
