#include "jet/writer_pages.h"

#include <cassert>
#include <cstring>
#include <map>

#include "jet/layout/jet4_write.h"
#include "jet/writer_output.h"

namespace jet {
namespace {
namespace L = layout::jet4;
}

RowPage::RowPage(std::size_t pageSize, std::uint32_t owner, const WriteFormat& format)
    : format_(&format), page_(pageSize), top_(pageSize) {
  reset(owner);
}

void RowPage::reset(std::uint32_t owner) {
  // Rows and slots overwrite their bytes; the gap between them is cleared in bytes().
  std::memset(page_.data(), 0, format_->dataFirstSlot);
  rows_ = 0;
  top_ = page_.size();
  putU8(page_, L::kPageType, L::kPageData);
  putU8(page_, L::kPageMark, L::kPageMarkValue);
  putU32(page_, L::kDataOwner, owner);
}

bool RowPage::fits(std::size_t length) const {
  if (rows_ >= L::kMaxRowsPerPage) return false;
  const std::size_t slotsEnd = format_->dataFirstSlot + 2 * (rows_ + 1);
  return top_ >= slotsEnd && top_ - slotsEnd >= length;
}

std::uint8_t RowPage::add(std::span<const std::uint8_t> row) {
  assert(fits(row.size()));
  top_ -= row.size();
  putBytes(page_, top_, row);
  putU16(page_, format_->dataFirstSlot + 2 * rows_, static_cast<std::uint16_t>(top_));
  return static_cast<std::uint8_t>(rows_++);
}

std::size_t RowPage::freeSpace() const { return top_ - (format_->dataFirstSlot + 2 * rows_); }

const ByteBuffer& RowPage::bytes() {
  const std::size_t slotsEnd = format_->dataFirstSlot + 2 * rows_;
  std::memset(page_.data() + slotsEnd, 0, top_ - slotsEnd);
  putU16(page_, L::kDataFreeSpace, static_cast<std::uint16_t>(freeSpace()));
  putU16(page_, format_->dataRowCount, static_cast<std::uint16_t>(rows_));
  return page_;
}

ByteBuffer makeUsageMap(PageOutput& out, const std::vector<std::uint32_t>& pages,
                        const WriteFormat& format) {
  ByteBuffer row(format.mapRowSize, 0);
  const std::size_t bitmapBytes = format.mapRowSize - L::kMapBitmap;
  // Jackcess and Access start inline windows on a multiple of 8.
  const std::uint32_t start = pages.empty() ? 0 : (pages.front() & ~7u);
  if (pages.empty() || pages.back() - start < bitmapBytes * 8) {
    putU8(row, L::kMapType, L::kMapInline);
    putU32(row, L::kMapStartPage, start);
    for (std::uint32_t p : pages) {
      const std::uint32_t bit = p - start;
      row[L::kMapBitmap + bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
    }
    return row;
  }
  putU8(row, L::kMapType, L::kMapReference);
  std::map<std::uint32_t, ByteBuffer> bitmaps;
  for (std::uint32_t p : pages) {
    const std::uint32_t slot = static_cast<std::uint32_t>(p / format.bitmapPagePages);
    assert(slot < format.mapReferenceSlots);
    ByteBuffer& b = bitmaps[slot];
    if (b.empty()) {
      b.assign(out.pageSize(), 0);
      putU8(b, L::kPageType, L::kPageUsageBitmap);
      putU8(b, L::kPageMark, L::kPageMarkValue);
    }
    const std::uint32_t bit = static_cast<std::uint32_t>(p % format.bitmapPagePages);
    b[L::kBitmapPageStart + bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
  }
  for (auto& [slot, bitmap] : bitmaps) {
    const std::uint32_t page = out.allocate();
    out.write(page, bitmap);
    putU32(row, L::kMapSlots + 4 * slot, page);
  }
  return row;
}

}  // namespace jet
