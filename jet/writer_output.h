// PageOutput: the file a writer fills, page by page. Page numbers are handed
// out densely from 0; a page may be written any time after it was allocated,
// so definitions can be filled in once their contents are known. Pages are
// gathered in a window of consecutive page numbers and written a run at a
// time, not one system call per page.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

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
  void writeAt(std::uint32_t page, const std::uint8_t* bytes, std::size_t length);
  void flushWindow();

  std::string path_;
  std::size_t pageSize_;
  std::uint64_t maxFileSize_;
  int fd_ = -1;
  std::uint32_t pageCount_ = 0;
  // Pages [windowFirst_, windowFirst_ + kWindowPages) written since the last flush.
  static constexpr std::size_t kWindowPages = 256;
  std::vector<std::uint8_t> window_;
  std::vector<bool> filled_;
  std::uint32_t windowFirst_ = 0;
  std::size_t windowUsed_ = 0;  // pages filled
};

}  // namespace jet
