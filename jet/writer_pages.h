// Page builders of the writer: a data-type page (table rows, long values,
// usage-map rows) filled from the end downwards, and usage maps for a set of
// pages. Both only make bytes; PageOutput puts them in the file.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "jet/writer_bytes.h"
#include "jet/writer_format.h"

namespace jet {

class PageOutput;

// One page of rows: header, slot table growing upwards, rows growing down.
// Only bytes the page ends up with are written: the header when it is
// (re)started, the gap between slots and rows when its bytes are taken.
class RowPage {
 public:
  RowPage(std::size_t pageSize, std::uint32_t owner, const WriteFormat& format = writeFormat(4));
  // Empties the page for reuse, as if newly made for `owner`.
  void reset(std::uint32_t owner);
  // Whether a row of `length` bytes still fits (slot included, 255 rows at most).
  bool fits(std::size_t length) const;
  // Adds the row and returns its row number; the caller checked fits().
  std::uint8_t add(std::span<const std::uint8_t> row);
  std::size_t rowCount() const { return rows_; }
  std::size_t freeSpace() const;
  const ByteBuffer& bytes();

 private:
  const WriteFormat* format_;
  ByteBuffer page_;
  std::size_t rows_ = 0;
  std::size_t top_;  // where the last row starts
};

// A usage-map row for the sorted, distinct `pages`: inline when they fit in
// one 512-page window, else a reference map whose bitmap pages are allocated
// from `out` and written at once.
ByteBuffer makeUsageMap(PageOutput& out, const std::vector<std::uint32_t>& pages,
                        const WriteFormat& format = writeFormat(4));

}  // namespace jet
