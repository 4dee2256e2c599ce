// IndexWalker: the entries of one physical index in key order, read from its
// B-tree pages (node pages descend through each child in turn, then the tail
// child; leaves yield their entries). Keys are the raw encoded bytes; a page
// visited twice, a page of another table or keys out of order are damage.
#pragma once

#include <cstdint>
#include <unordered_set>
#include <vector>

#include "jet/page_file.h"
#include "jet/schema.h"
#include "jet/value.h"

namespace jet {

struct IndexPageEntry {
  Bytes key;                 // encoded key bytes (flag byte per column, then the value code)
  std::uint32_t page = 0;    // the row the entry points to
  std::uint8_t row = 0;
  std::uint32_t rowPointer() const { return (page << 8) | row; }
};

class IndexWalker {
 public:
  IndexWalker(const PageFile& file, const TableDef& table, const PhysicalIndex& index);
  // The next entry in key order; false after the last.
  bool next(IndexPageEntry& entry);

 private:
  struct Level {
    std::vector<std::uint32_t> children;  // node page: child pages, in order
    std::size_t at = 0;
  };
  void enter(std::uint32_t page);
  void readEntries(std::uint32_t page, bool leaf, std::vector<IndexPageEntry>& entries,
                   std::vector<std::uint32_t>& children);

  const PageFile& file_;
  std::uint32_t tablePage_;
  std::vector<Level> stack_;
  std::vector<IndexPageEntry> leaf_;
  std::size_t leafAt_ = 0;
  std::unordered_set<std::uint32_t> visited_;
  Bytes lastKey_;
  bool haveLast_ = false;
};

}  // namespace jet
