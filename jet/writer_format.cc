#include "jet/writer_format.h"

#include "jet/layout/jet3_write.h"
#include "jet/layout/jet4_write.h"

namespace jet {

// The two layout headers name their constants alike, and a namespace cannot
// be a template argument: one list serves both.
#define JETLIFT_WRITE_FORMAT(L, gen, prefixWidth)                                             \
  WriteFormat {                                                                               \
    .generation = (gen), .pageSize = L::kPageSize, .dataRowCount = L::kDataRowCount,          \
    .dataFirstSlot = L::kDataFirstSlot, .maxRowSize = L::kMaxRowSize,                         \
    .mapRowSize = L::kMapRowSize, .mapInlinePages = L::kMapInlinePages,                       \
    .mapReferenceSlots = L::kMapReferenceSlots, .bitmapPagePages = L::kBitmapPagePages,       \
    .idxOwner = L::kIdxOwner, .idxPrevPage = L::kIdxPrevPage, .idxNextPage = L::kIdxNextPage, \
    .idxTailPage = L::kIdxTailPage, .idxPrefixLength = L::kIdxPrefixLength,                   \
    .idxPrefixWidth = (prefixWidth), .idxLevel = L::kIdxLevel, .idxBitmap = L::kIdxBitmap,    \
    .idxEntries = L::kIdxEntries, .idxEntrySpace = L::kIdxEntrySpace,                         \
    .maxSingleLongValue = L::kMaxSingleLongValue, .maxChainChunk = L::kMaxChainChunk,         \
  }

const WriteFormat& writeFormat(int generation) {
  // The index prefix length is a u8 in Jet 3 and a u16 in Jet 4.
  static const WriteFormat j3 = JETLIFT_WRITE_FORMAT(layout::jet3, 3, 1);
  static const WriteFormat j4 = JETLIFT_WRITE_FORMAT(layout::jet4, 4, 2);
  return generation == 3 ? j3 : j4;
}

#undef JETLIFT_WRITE_FORMAT

}  // namespace jet
