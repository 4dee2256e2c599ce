// Index B-trees for Jet 4: sorted entries (key + row pointer) to leaf pages,
// then node levels up to a single root, with prefix compression, entry-end
// bitmaps and prev/next links on every level.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "jet/writer_bytes.h"
#include "jet/writer_format.h"

namespace jet {

class PageOutput;

struct IndexEntry {
  ByteBuffer key;          // encoded column keys
  std::uint32_t page = 0;  // data page of the row
  std::uint8_t row = 0;    // row number on that page
  bool nullKey = false;    // some key column is null (exempt from uniqueness)
  bool operator<(const IndexEntry& o) const;
};

// An entry as a source lends it: the key stays valid until the next call.
struct IndexEntryView {
  std::span<const std::uint8_t> key;
  std::uint32_t page = 0;
  std::uint8_t row = 0;
  bool nullKey = false;
};

class IndexEntrySource {
 public:
  virtual ~IndexEntrySource() = default;
  virtual bool next(IndexEntry& entry) = 0;
  // The next entry without a copy of its key where the source holds it.
  virtual bool nextView(IndexEntryView& view);

 private:
  IndexEntry lent_;  // what nextView lends when the source only copies
};

// Sorts entries in runs of at most `memoryBudget` bytes; full runs go to an
// unnamed temporary file in `folder` (beside the database being written) and
// are merged when read back, so memory stays bounded. Keys are packed in one
// buffer: a table's millions of entries cost no allocation each.
class IndexEntrySorter {
 public:
  IndexEntrySorter(std::size_t memoryBudget, std::string what, std::string folder = ".");
  ~IndexEntrySorter();
  IndexEntrySorter(const IndexEntrySorter&) = delete;
  IndexEntrySorter& operator=(const IndexEntrySorter&) = delete;

  // Makes room for about `entries` entries of `keyBytes` each, as far as
  // the budget and `share` of it go, so that a large table's keys need not
  // grow their buffers.
  void expect(std::size_t entries, std::size_t keyBytes, std::size_t share = SIZE_MAX);
  void add(const IndexEntry& entry) { add(entry.key, entry.page, entry.row, entry.nullKey); }
  void add(std::span<const std::uint8_t> key, std::uint32_t page, std::uint8_t row, bool nullKey);
  // Starts sorting the entries held in memory on a thread of its own, so
  // that it overlaps with writing another index; no add() after it.
  void sortAhead();
  // All entries in order; the sorter must outlive the source.
  std::unique_ptr<IndexEntrySource> sorted();
  std::size_t spilledRuns() const { return runs_.size(); }
  // What the entries held in memory take, as counted against the budget.
  std::size_t memoryUsed() const {
    return keys_.size() + (ordered_ ? pageRows_.size() * sizeof(std::uint32_t)
                                    : records_.size() * sizeof(Record));
  }
  // Writes the entries held in memory to disk as one sorted run.
  void spill();

  // An entry held in memory: its key lies in keys_ after a two-byte length
  // whose top bit marks a null key. The key's first bytes are repeated
  // big-endian in `head`, so most comparisons stay in the record. 16 bytes:
  // a large table's records are tens of megabytes, touched fresh.
  struct Record {
    std::uint64_t head;
    std::uint32_t keyAt;    // of the length
    std::uint32_t pageRow;  // page << 8 | row, ordered as the entries are
  };

 private:
  void growKeys(std::size_t adding);
  void sortMemory();
  void makeRecords();
  std::size_t entryCount() const { return ordered_ ? pageRows_.size() : records_.size(); }
  std::size_t budget_;
  std::string what_, folder_;
  ByteBuffer keys_;               // the run's keys, one after the other
  std::vector<Record> records_;
  // Entries often come in key order (a counter as the primary key). Until
  // one does not, the run needs no records: its keys are in order in keys_
  // and their rows here, four bytes an entry instead of a record's sixteen.
  bool ordered_ = true;
  std::vector<std::uint32_t> pageRows_;
  std::uint32_t lastKeyAt_ = 0;  // in keys_, of the last entry while ordered_
  // After sortMemory: records_ is sorted in [0, split_) and [split_, end),
  // merged as they are read; every key starts with `shared_` common bytes.
  std::size_t split_ = 0, shared_ = 0;
  std::thread sorting_;  // sortAhead's
  bool sortedAhead_ = false;
  std::FILE* file_ = nullptr;
  std::uint64_t fileSize_ = 0;
  ByteBuffer spillChunk_;  // what a spill writes next
  std::vector<std::pair<std::uint64_t, std::uint64_t>> runs_;  // offset, entries
};

struct WrittenIndex {
  std::uint32_t root = 0;
  std::vector<std::uint32_t> pages;  // every page of the tree, ascending
  std::uint32_t entries = 0, distinct = 0;
  bool duplicate = false;            // two entries with one non-null key
};

// Writes the tree for the sorted `entries` of the table whose TDEF is `tdefPage`.
WrittenIndex writeIndexTree(PageOutput& out, std::uint32_t tdefPage, IndexEntrySource& entries,
                            const WriteFormat& format = writeFormat(4));
WrittenIndex writeIndexTree(PageOutput& out, std::uint32_t tdefPage,
                            const std::vector<IndexEntry>& entries,
                            const WriteFormat& format = writeFormat(4));

}  // namespace jet
