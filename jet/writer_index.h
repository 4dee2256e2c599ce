// Index B-trees for Jet 4: sorted entries (key + row pointer) to leaf pages,
// then node levels up to a single root, with prefix compression, entry-end
// bitmaps and prev/next links on every level.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/writer_bytes.h"

namespace jet {

class PageOutput;

struct IndexEntry {
  ByteBuffer key;        // encoded column keys
  std::uint32_t page;    // data page of the row
  std::uint8_t row;      // row number on that page
  bool operator<(const IndexEntry& o) const;
  bool sameKey(const IndexEntry& o) const { return key == o.key; }
};

struct WrittenIndex {
  std::uint32_t root = 0;
  std::vector<std::uint32_t> pages;  // every page of the tree, ascending
};

// Writes the tree for `entries` (sorted) of the table whose TDEF is `tdefPage`.
WrittenIndex writeIndexTree(PageOutput& out, std::uint32_t tdefPage,
                            const std::vector<IndexEntry>& entries);

}  // namespace jet
