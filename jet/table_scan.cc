#include "jet/table_scan.h"

#include "jet/error.h"
#include "jet/layout/data_page.h"
#include "jet/usage_map.h"

namespace jet {

namespace L = layout;

namespace {
// A moved row may be moved again; more hops than this means a loop.
constexpr int kMaxOverflowHops = 8;
}  // namespace

TableScan::TableScan(const PageFile& file, TableDef table, std::vector<bool> wanted)
    : file_(file),
      table_(std::move(table)),
      decoder_(file, table_, std::move(wanted)),
      pages_(readUsageMap(file, table_.ownedPagesMap)) {}

bool TableScan::nextSlot(RowSlot& slot) {
  for (;;) {
    if (page_ && slot_ < page_->rowCount()) {
      const unsigned i = slot_++;
      slot = page_->slot(i);
      rowPointer_ = (page_->number() << 8) | i;
      if (!slot.deleted) return true;
      continue;
    }
    page_.reset();
    if (pageIndex_ >= pages_.size()) return false;
    const std::uint32_t n = pages_[pageIndex_++];
    const PageBytes bytes = file_.page(n);
    // Freed pages keep their old bytes: only data pages of this table count.
    if (bytes->at(0) != L::kPageTypeData) continue;
    page_.emplace(file_, n);
    slot_ = 0;
    if (page_->owner() != table_.definitionPage) page_.reset();
  }
}

void TableScan::decodeMoved(const RowSlot& pointerRow, Row& row) {
  const ByteReader& r = page_->reader();
  r.need(pointerRow.start, 4, "overflow row pointer");
  std::uint32_t pointer = r.u32(pointerRow.start);
  for (int hop = 0; hop < kMaxOverflowHops; ++hop) {
    const DataPage target(file_, L::pageOfPointer(pointer));
    if (target.owner() != table_.definitionPage) {
      throw damaged(target.reader().where(), "overflow row of table '" + table_.name +
                                                 "' points to a page of another table");
    }
    const RowSlot moved = target.liveRow(L::rowOfPointer(pointer));
    if (!moved.overflow || moved.deleted) {
      dataPointer_ = pointer;
      movedPage_ = target.bytes();  // kept text may point into it until the next row
      decoder_.decode(target.reader(), moved.start, moved.end, row);
      return;
    }
    target.reader().need(moved.start, 4, "overflow row pointer");
    pointer = target.reader().u32(moved.start);
  }
  throw damaged(r.where(), "overflow row pointers of table '" + table_.name + "' loop");
}

bool TableScan::next(Row& row) {
  RowSlot slot;
  if (!nextSlot(slot)) return false;
  if (slot.overflow) {
    decodeMoved(slot, row);
  } else {
    dataPointer_ = rowPointer_;
    decoder_.decode(page_->reader(), slot.start, slot.end, row);
  }
  return true;
}

}  // namespace jet
