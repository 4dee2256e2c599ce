// PageOutput: the file a writer fills, page by page. Page numbers are handed
// out densely from 0; a page may be written any time after it was allocated,
// so definitions can be filled in once their contents are known.
#pragma once

#include <cstdint>
#include <span>
#include <string>

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
  std::string path_;
  std::size_t pageSize_;
  std::uint64_t maxFileSize_;
  int fd_ = -1;
  std::uint32_t pageCount_ = 0;
};

}  // namespace jet
