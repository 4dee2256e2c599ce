#include "jet/usage_map.h"

#include "jet/data_page.h"
#include "jet/error.h"
#include "jet/layout/data_page.h"
#include "jet/layout/usage_map.h"

namespace jet {

namespace L = layout;

namespace {

// Appends the pages whose bits are set; `first` is the page of bit 0.
void addBits(const ByteReader& r, std::size_t from, std::size_t to, std::uint64_t first,
             const PageFile& file, std::vector<std::uint32_t>& pages) {
  for (std::size_t i = from; i < to; ++i) {
    const std::uint8_t bits = r.u8(i);
    if (bits == 0) continue;
    for (unsigned b = 0; b < 8; ++b) {
      if ((bits & (1u << b)) == 0) continue;
      const std::uint64_t page = first + (i - from) * 8 + b;
      if (page >= file.pageCount()) {
        throw damaged(r.where(), "usage map names page " + std::to_string(page) +
                                     " past the end of the file");
      }
      pages.push_back(static_cast<std::uint32_t>(page));
    }
  }
}

void readReferenceMap(const PageFile& file, const ByteReader& row, std::size_t start,
                      std::size_t end, std::vector<std::uint32_t>& pages) {
  const std::uint64_t perPage = (file.pageSize() - L::kUsageMapPageBitmap) * 8;
  for (std::size_t k = 0; start + L::kReferenceMapPages + 4 * k + 4 <= end; ++k) {
    const std::uint32_t mapPage = row.u32(start + L::kReferenceMapPages + 4 * k);
    if (mapPage == 0) continue;
    const PageBytes bytes = file.page(mapPage);
    const ByteReader map = file.reader(bytes, mapPage);
    if (map.u8(0) != L::kPageTypeUsageMap) throw damaged(map.where(), "not a usage map page");
    addBits(map, L::kUsageMapPageBitmap, map.size(), perPage * k, file, pages);
  }
}

}  // namespace

std::vector<std::uint32_t> readUsageMap(const PageFile& file, std::uint32_t rowPointer) {
  std::vector<std::uint32_t> pages;
  const DataPage page(file, L::pageOfPointer(rowPointer));
  const RowSlot row = page.liveRow(L::rowOfPointer(rowPointer));
  const ByteReader& r = page.reader();
  if (row.end == row.start) throw damaged(r.where(), "usage map row is empty");
  const std::uint8_t type = r.u8(row.start + L::kUsageMapType);
  if (type == L::kUsageMapInline) {
    const std::uint32_t first = r.u32(row.start + L::kInlineMapFirstPage);
    addBits(r, row.start + L::kInlineMapBitmap, row.end, first, file, pages);
  } else if (type == L::kUsageMapReference) {
    readReferenceMap(file, r, row.start, row.end, pages);
  } else {
    throw damaged(r.where(), "unknown usage map type " + std::to_string(type));
  }
  return pages;
}

}  // namespace jet
