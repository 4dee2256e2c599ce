// Index B-trees for Jet 4: sorted entries (key + row pointer) to leaf pages,
// then node levels up to a single root, with prefix compression, entry-end
// bitmaps and prev/next links on every level.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "jet/writer_bytes.h"

namespace jet {

class PageOutput;

struct IndexEntry {
  ByteBuffer key;          // encoded column keys
  std::uint32_t page = 0;  // data page of the row
  std::uint8_t row = 0;    // row number on that page
  bool nullKey = false;    // some key column is null (exempt from uniqueness)
  bool operator<(const IndexEntry& o) const;
  bool sameKey(const IndexEntry& o) const { return key == o.key; }
};

class IndexEntrySource {
 public:
  virtual ~IndexEntrySource() = default;
  virtual bool next(IndexEntry& entry) = 0;
};

// Sorts entries in runs of at most `memoryBudget` bytes; full runs go to an
// unnamed temporary file in `folder` (beside the database being written) and
// are merged when read back, so memory stays bounded.
class IndexEntrySorter {
 public:
  IndexEntrySorter(std::size_t memoryBudget, std::string what, std::string folder = ".");
  ~IndexEntrySorter();
  IndexEntrySorter(const IndexEntrySorter&) = delete;
  IndexEntrySorter& operator=(const IndexEntrySorter&) = delete;

  void add(IndexEntry entry);
  // All entries in order; the sorter must outlive the source.
  std::unique_ptr<IndexEntrySource> sorted();
  std::size_t spilledRuns() const { return runs_.size(); }

 private:
  void spill();
  std::size_t budget_, used_ = 0;
  std::string what_, folder_;
  std::vector<IndexEntry> memory_;
  std::FILE* file_ = nullptr;
  std::uint64_t fileSize_ = 0;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> runs_;  // offset, entries
};

struct WrittenIndex {
  std::uint32_t root = 0;
  std::vector<std::uint32_t> pages;  // every page of the tree, ascending
  std::uint32_t entries = 0, distinct = 0;
  bool duplicate = false;            // two entries with one non-null key
};

// Writes the tree for the sorted `entries` of the table whose TDEF is `tdefPage`.
WrittenIndex writeIndexTree(PageOutput& out, std::uint32_t tdefPage, IndexEntrySource& entries);
WrittenIndex writeIndexTree(PageOutput& out, std::uint32_t tdefPage,
                            const std::vector<IndexEntry>& entries);

}  // namespace jet
