// TableScan: the rows of one Jet 3/4 table in storage order: the owned pages
// of its usage map in ascending order, each page's slots in order. Deleted
// rows are skipped, overflow pointers followed (with a hop limit).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "jet/data_page.h"
#include "jet/database.h"
#include "jet/row_decoder.h"

namespace jet {

class TableScan : public RowCursor {
 public:
  TableScan(const PageFile& file, TableDef table, std::vector<bool> wanted = {});
  bool next(Row& row) override;
  bool keepStoredText(const std::vector<bool>& columns) override {
    return decoder_.keepStored(columns);
  }
  std::span<const std::uint8_t> storedText(std::size_t column) const override {
    return decoder_.stored(column);
  }
  bool storedTextIsAscii() const override { return decoder_.storedAsAscii(); }
  // Row pointer (page << 8 | row) of the slot the last row came from.
  std::uint32_t rowPointer() const { return rowPointer_; }
  // Where the last row's bytes lie: the slot itself, or the target of its overflow pointer.
  std::uint32_t dataPointer() const { return dataPointer_; }

 private:
  bool nextSlot(RowSlot& slot);
  void decodeMoved(const RowSlot& pointerRow, Row& row);

  const PageFile& file_;
  const TableDef table_;
  RowDecoder decoder_;
  std::vector<std::uint32_t> pages_;
  std::size_t pageIndex_ = 0;
  std::optional<DataPage> page_;
  PageBytes movedPage_;  // the page of the last row, when it was moved
  unsigned slot_ = 0;
  std::uint32_t rowPointer_ = 0;
  std::uint32_t dataPointer_ = 0;
};

}  // namespace jet
