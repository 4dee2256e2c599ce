#include "jet/writer_format.h"

#include "jet/layout/jet3_write.h"
#include "jet/layout/jet4_write.h"

namespace jet {
namespace {

WriteFormat jet4Format() {
  namespace L = layout::jet4;
  WriteFormat f;
  f.generation = 4;
  f.pageSize = L::kPageSize;
  f.dataRowCount = L::kDataRowCount;
  f.dataFirstSlot = L::kDataFirstSlot;
  f.maxRowSize = L::kMaxRowSize;
  f.mapRowSize = L::kMapRowSize;
  f.mapInlinePages = L::kMapInlinePages;
  f.mapReferenceSlots = L::kMapReferenceSlots;
  f.bitmapPagePages = L::kBitmapPagePages;
  f.idxOwner = L::kIdxOwner;
  f.idxPrevPage = L::kIdxPrevPage;
  f.idxNextPage = L::kIdxNextPage;
  f.idxTailPage = L::kIdxTailPage;
  f.idxPrefixLength = L::kIdxPrefixLength;
  f.idxPrefixWidth = 2;
  f.idxLevel = L::kIdxLevel;
  f.idxBitmap = L::kIdxBitmap;
  f.idxEntries = L::kIdxEntries;
  f.idxEntrySpace = L::kIdxEntrySpace;
  f.maxSingleLongValue = L::kMaxSingleLongValue;
  f.maxChainChunk = L::kMaxChainChunk;
  return f;
}

WriteFormat jet3Format() {
  namespace L = layout::jet3;
  WriteFormat f;
  f.generation = 3;
  f.pageSize = L::kPageSize;
  f.dataRowCount = L::kDataRowCount;
  f.dataFirstSlot = L::kDataFirstSlot;
  f.maxRowSize = L::kMaxRowSize;
  f.mapRowSize = L::kMapRowSize;
  f.mapInlinePages = L::kMapInlinePages;
  f.mapReferenceSlots = L::kMapReferenceSlots;
  f.bitmapPagePages = L::kBitmapPagePages;
  f.idxOwner = L::kIdxOwner;
  f.idxPrevPage = L::kIdxPrevPage;
  f.idxNextPage = L::kIdxNextPage;
  f.idxTailPage = L::kIdxTailPage;
  f.idxPrefixLength = L::kIdxPrefixLength;
  f.idxPrefixWidth = 1;
  f.idxLevel = L::kIdxLevel;
  f.idxBitmap = L::kIdxBitmap;
  f.idxEntries = L::kIdxEntries;
  f.idxEntrySpace = L::kIdxEntrySpace;
  f.maxSingleLongValue = L::kMaxSingleLongValue;
  f.maxChainChunk = L::kMaxChainChunk;
  return f;
}

}  // namespace

const WriteFormat& writeFormat(int generation) {
  static const WriteFormat j3 = jet3Format();
  static const WriteFormat j4 = jet4Format();
  return generation == 3 ? j3 : j4;
}

}  // namespace jet
