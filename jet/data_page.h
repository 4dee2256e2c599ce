// DataPage: a read-only view of one data page (table rows or LVAL rows).
// Every row it hands out lies inside the page, after the slot table;
// deleted and overflow slots are reported as such, never followed blindly.
#pragma once

#include <cstddef>
#include <cstdint>

#include "jet/byte_reader.h"
#include "jet/format.h"
#include "jet/page_file.h"

namespace jet {

struct RowSlot {
  std::size_t start = 0;  // first byte of the row in the page
  std::size_t end = 0;    // one past its last byte
  bool deleted = false;
  bool overflow = false;  // the row's first 4 bytes point to where it really is
};

class DataPage {
 public:
  // Loads page `number`; throws damaged() unless it is a data page.
  DataPage(const PageFile& file, std::uint32_t number);

  std::uint32_t number() const { return number_; }
  std::uint32_t owner() const { return owner_; }
  unsigned rowCount() const { return rowCount_; }
  const ByteReader& reader() const { return reader_; }
  // The page's bytes, for spans that must outlive this view.
  const PageBytes& bytes() const { return bytes_; }
  // Slot `i` (< rowCount()), bounds and order checked for live rows.
  RowSlot slot(unsigned i) const;
  // The live row `i`, for pointers that must name a real row (usage maps, LVAL rows).
  RowSlot liveRow(unsigned i) const;

 private:
  void placeRow(unsigned i, std::uint16_t raw, RowSlot& s) const;

  PageBytes bytes_;
  ByteReader reader_;
  std::uint32_t number_;
  std::uint32_t owner_ = 0;
  unsigned rowCount_ = 0;
  std::size_t firstSlot_ = 0;
};

}  // namespace jet
