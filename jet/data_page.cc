#include "jet/data_page.h"

#include "jet/error.h"
#include "jet/layout/data_page.h"

namespace jet {

namespace L = layout;

namespace {

const L::DataPageLayout& dataPageLayout(JetVersion v) {
  return v == JetVersion::Jet4 ? L::kDataPageJet4 : L::kDataPageJet3;
}

}  // namespace

DataPage::DataPage(const PageFile& file, std::uint32_t number)
    : bytes_(file.page(number)), reader_(file.reader(bytes_, number)), number_(number) {
  if (reader_.u8(0) != L::kPageTypeData) throw damaged(reader_.where(), "not a data page");
  const L::DataPageLayout& lay = dataPageLayout(file.header().version);
  owner_ = reader_.u32(L::kDataPageOwner);
  rowCount_ = reader_.u16(lay.rowCount);
  firstSlot_ = lay.firstSlot;
  if (rowCount_ > L::kMaxRowsPerPage || firstSlot_ + 2 * rowCount_ > reader_.size()) {
    throw damaged(reader_.where(), "row count " + std::to_string(rowCount_) + " too large");
  }
}

RowSlot DataPage::slot(unsigned i) const {
  if (i >= rowCount_) {
    throw damaged(reader_.where(), "row " + std::to_string(i) + " does not exist (" +
                                       std::to_string(rowCount_) + " rows)");
  }
  const std::uint16_t raw = reader_.u16(firstSlot_ + 2 * i);
  RowSlot s;
  s.deleted = (raw & L::kSlotDeleted) != 0;
  s.overflow = (raw & L::kSlotOverflow) != 0;
  if (!s.deleted) placeRow(i, raw, s);
  return s;
}

RowSlot DataPage::liveRow(unsigned i) const {
  RowSlot s = slot(i);
  // Overflow targets carry the deleted bit so that scans skip them; their bytes are valid.
  if (s.deleted) placeRow(i, reader_.u16(firstSlot_ + 2 * i), s);
  return s;
}

void DataPage::placeRow(unsigned i, std::uint16_t raw, RowSlot& s) const {
  s.start = raw & L::kSlotOffsetMask;
  s.end = i == 0 ? reader_.size() : (reader_.u16(firstSlot_ + 2 * (i - 1)) & L::kSlotOffsetMask);
  const std::size_t slotsEnd = firstSlot_ + 2 * rowCount_;
  if (s.start < slotsEnd || s.start > s.end || s.end > reader_.size()) {
    throw damaged(reader_.where(), "row " + std::to_string(i) + " lies outside the page (" +
                                       std::to_string(s.start) + ".." + std::to_string(s.end) +
                                       ")");
  }
}

}  // namespace jet
