// Byte positions the Jet 3 writer fills in (Access 95/97 layout). Offsets on
// page 0 are clear-text positions (the 126-byte header mask is applied last).
#pragma once

#include <cstddef>
#include <cstdint>

namespace jet::layout::jet3 {

inline constexpr std::size_t kPageSize = 2048;

// Page 0.
inline constexpr std::size_t kDbGlobalMapRef = 0x18;
inline constexpr std::size_t kDbSecondMapRef = 0x1C;
inline constexpr std::size_t kDbSystemTdefs = 0x20;    // 4 x u32: pages 2, 3, 4, 5
inline constexpr std::size_t kDbUnknownOne = 0x38;     // u16 1 in Access 97 files
inline constexpr std::size_t kDbSortOrder = 0x3A;      // u16 LCID
inline constexpr std::size_t kDbCodePage = 0x3C;       // u16
inline constexpr std::size_t kDbEngineBuild = 0x56;    // u16
inline constexpr std::size_t kDbCommitTable = 0x600;   // 2-byte slots to the page end
inline constexpr std::uint16_t kEngineBuild = 0x251E;  // Jet 3.5, as the corpus files carry

// Data pages.
inline constexpr std::size_t kDataRowCount = 8;
inline constexpr std::size_t kDataFirstSlot = 10;
inline constexpr std::size_t kMaxRowSize = 2012;

// Usage maps.
inline constexpr std::size_t kMapRowSize = 133;  // type + start + 128 bytes
inline constexpr std::size_t kMapInlinePages = 1024;
inline constexpr std::size_t kMapReferenceSlots = 33;
inline constexpr std::size_t kBitmapPagePages = (kPageSize - 4) * 8;

// TDEF (offsets in the assembled definition).
inline constexpr std::size_t kTdefSignature = 2;     // "VC" on every page
inline constexpr std::size_t kTdefNextPage = 4;
inline constexpr std::size_t kTdefPageHeader = 8;
inline constexpr std::size_t kTdefLength = 8;
inline constexpr std::size_t kTdefRowCount = 12;
inline constexpr std::size_t kTdefAutoNumber = 16;
inline constexpr std::size_t kTdefTableType = 20;
inline constexpr std::size_t kTdefMaxColumns = 21;
inline constexpr std::size_t kTdefVarColumns = 23;
inline constexpr std::size_t kTdefColumns = 25;
inline constexpr std::size_t kTdefLogicalIndexes = 27;
inline constexpr std::size_t kTdefRealIndexes = 31;
inline constexpr std::size_t kTdefOwnedMap = 35;
inline constexpr std::size_t kTdefFreeMap = 39;
inline constexpr std::size_t kTdefHeaderSize = 43;
inline constexpr std::size_t kRealIndexCounterSize = 8;

// Column descriptor (18 bytes).
inline constexpr std::size_t kColType = 0;
inline constexpr std::size_t kColNumber = 1;
inline constexpr std::size_t kColVarIndex = 3;
inline constexpr std::size_t kColPosition = 5;
inline constexpr std::size_t kColUnknownOne = 7;   // u16 1 in every Access 97 column
inline constexpr std::size_t kColSortOrder = 9;    // u16 LCID
inline constexpr std::size_t kColCodePage = 11;    // u16
inline constexpr std::size_t kColFlags = 13;
inline constexpr std::size_t kColFixedOffset = 14;
inline constexpr std::size_t kColLength = 16;
inline constexpr std::size_t kColumnSize = 18;

// Real index block (39 bytes) and logical index block (20 bytes).
inline constexpr std::size_t kRealColumns = 0;
inline constexpr std::size_t kRealUsageMap = 30;
inline constexpr std::size_t kRealRootPage = 34;
inline constexpr std::size_t kRealFlags = 38;
inline constexpr std::size_t kRealIndexSize = 39;
inline constexpr std::size_t kLogNumber = 0;
inline constexpr std::size_t kLogRealIndex = 4;
inline constexpr std::size_t kLogRelatedType = 8;
inline constexpr std::size_t kLogRelatedIndex = 9;
inline constexpr std::size_t kLogRelatedTable = 13;
inline constexpr std::size_t kLogCascadeUpdates = 17;
inline constexpr std::size_t kLogCascadeDeletes = 18;
inline constexpr std::size_t kLogKind = 19;
inline constexpr std::size_t kLogicalIndexSize = 20;

// Index pages.
inline constexpr std::size_t kIdxOwner = 4;
inline constexpr std::size_t kIdxPrevPage = 8;
inline constexpr std::size_t kIdxNextPage = 12;
inline constexpr std::size_t kIdxTailPage = 16;
inline constexpr std::size_t kIdxPrefixLength = 20;  // u8
inline constexpr std::size_t kIdxLevel = 21;
inline constexpr std::size_t kIdxBitmap = 22;
inline constexpr std::size_t kIdxEntries = 0xF8;
inline constexpr std::size_t kIdxEntrySpace = 1800;

// Long values.
inline constexpr std::size_t kMaxSingleLongValue = 2032;
inline constexpr std::size_t kMaxChainChunk = 2028;

}  // namespace jet::layout::jet3
