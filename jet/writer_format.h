// What differs between the generations the writer produces, for the code
// shared by both (pages, maps, index trees, rows). Byte positions that only
// one generation has stay in jet/layout/jet3_write.h and jet4_write.h.
#pragma once

#include <cstddef>
#include <cstdint>

namespace jet {

struct WriteFormat {
  int generation = 4;  // 3: Jet 3 (Access 95/97), 4: Jet 4
  std::size_t pageSize = 0;
  std::size_t dataRowCount = 0, dataFirstSlot = 0, maxRowSize = 0;
  std::size_t mapRowSize = 0, mapInlinePages = 0, mapReferenceSlots = 0, bitmapPagePages = 0;
  std::size_t idxOwner = 0, idxPrevPage = 0, idxNextPage = 0, idxTailPage = 0;
  std::size_t idxPrefixLength = 0, idxPrefixWidth = 0, idxLevel = 0, idxBitmap = 0;
  std::size_t idxEntries = 0, idxEntrySpace = 0;
  std::size_t maxSingleLongValue = 0, maxChainChunk = 0;
};

// The facts of generation 3 or 4 (anything else is taken as 4).
const WriteFormat& writeFormat(int generation);

}  // namespace jet
