// PageFile: a database file opened read-only, read one page at a time.
// Page numbers are checked against the file's page count; encrypted pages are
// decrypted on the way in. A small cache keeps recently read pages; pages
// asked for in ascending order are read several at a time.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "jet/byte_reader.h"
#include "jet/header.h"

namespace jet {

using PageBytes = std::shared_ptr<const std::vector<std::uint8_t>>;

class PageFile {
 public:
  // Opens `path` read-only and reads its header; throws jet::Error.
  explicit PageFile(const std::string& path);
  // A database held in memory (fuzzing, tests); `name` stands for the path in errors.
  PageFile(std::vector<std::uint8_t> bytes, const std::string& name);
  ~PageFile();
  PageFile(const PageFile&) = delete;
  PageFile& operator=(const PageFile&) = delete;

  const std::string& path() const { return path_; }
  const DatabaseHeader& header() const { return header_; }
  std::size_t pageSize() const { return header_.pageSize; }
  std::uint32_t pageCount() const { return pageCount_; }
  std::uint64_t fileSize() const { return fileSize_; }

  // The bytes of page n (decrypted); throws damaged() when n is past the end.
  PageBytes page(std::uint32_t n) const;
  // A reader over page n that names the file and page in its errors.
  ByteReader reader(const PageBytes& bytes, std::uint32_t n) const {
    return ByteReader(*bytes, Where{path_, static_cast<std::int64_t>(n)});
  }
  Where where(std::int64_t page = -1) const { return Where{path_, page}; }

 private:
  // When the reads go forwards, reads page n and those after it that are
  // not cached, up to kAheadPages, with one call straight into their cache
  // buffers; false when n is to be read on its own.
  bool readAhead(std::uint32_t n) const;
  // A buffer for a page about to enter the cache: the evicted page's, when
  // no one holds it any more.
  std::shared_ptr<std::vector<std::uint8_t>> makeRoom() const;
  void decode(std::uint32_t n, std::vector<std::uint8_t>& bytes) const;
  PageBytes remember(std::uint32_t n, PageBytes bytes) const;
  void readHeader();
  void readInto(std::uint8_t* into, std::size_t length, std::uint64_t offset) const;

  std::string path_;
  int fd_ = -1;
  std::vector<std::uint8_t> memory_;  // the whole file, when opened from bytes
  std::uint64_t fileSize_ = 0;
  std::uint32_t pageCount_ = 0;
  DatabaseHeader header_;
  // LRU cache of decoded pages.
  static constexpr std::size_t kCachePages = 256;
  mutable std::list<std::uint32_t> lru_;
  mutable std::unordered_map<std::uint32_t,
                             std::pair<PageBytes, std::list<std::uint32_t>::iterator>>
      cache_;
  // Scans read pages in ascending order: those are read several at a time.
  static constexpr std::uint32_t kAheadPages = 32;
  mutable std::uint32_t lastLoaded_ = 0;
  mutable bool loadedAny_ = false;
};

}  // namespace jet
