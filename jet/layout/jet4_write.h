// Byte positions the Jet 4 writer fills in, page by page. Offsets on page 0
// are clear-text positions (the header mask is applied last).
#pragma once

#include <cstddef>
#include <cstdint>

namespace jet::layout::jet4 {

inline constexpr std::size_t kPageSize = 4096;

// Page types (byte 0 of a page).
inline constexpr std::uint8_t kPageDefinition = 0x00;
inline constexpr std::uint8_t kPageData = 0x01;
inline constexpr std::uint8_t kPageTableDef = 0x02;
inline constexpr std::uint8_t kPageIndexNode = 0x03;
inline constexpr std::uint8_t kPageIndexLeaf = 0x04;
inline constexpr std::uint8_t kPageUsageBitmap = 0x05;

// Page 0 (clear text; 0x18-0x97 is masked on disk).
inline constexpr std::size_t kDbGlobalMapRef = 0x18;   // [row:1][page:3], page 1 row 0
inline constexpr std::size_t kDbSecondMapRef = 0x1C;   // page 1 row 1
inline constexpr std::size_t kDbSystemTdefs = 0x20;    // 4 x u32: pages 2, 3, 4, 5
inline constexpr std::size_t kDbCodePage = 0x3C;       // u16
inline constexpr std::size_t kDbPassword = 0x42;       // 40 bytes, XOR the date mask
inline constexpr std::size_t kDbPasswordLength = 40;
inline constexpr std::size_t kDbEngineBuild = 0x6A;    // u32
inline constexpr std::size_t kDbSortOrder = 0x6E;      // u16 LCID, u8 id, u8 version
inline constexpr std::size_t kDbSortVersion = 0x71;    // u8: 0 = General (legacy) and the others seen
inline constexpr std::size_t kDbCreationDate = 0x72;   // f64
inline constexpr std::size_t kDbSidKeyWalk = 0x42;     // 80 bytes folded into the SID key
inline constexpr std::size_t kDbMarker = 0x98;         // u32 0x0654, clear text
inline constexpr std::size_t kDbVersionText = 0x9C;    // "4.0\0", clear text
inline constexpr std::size_t kDbCommitTable = 0xE00;   // 2-byte slots to the page end

// Data pages (also LVAL pages, usage-map holder pages and page 1).
inline constexpr std::size_t kDataFreeSpace = 2;   // u16
inline constexpr std::size_t kDataOwner = 4;       // u32 TDEF page, or "LVAL"
inline constexpr std::size_t kDataRowCount = 12;   // u16
inline constexpr std::size_t kDataFirstSlot = 14;  // u16 per row
inline constexpr std::size_t kMaxRowsPerPage = 255;
inline constexpr std::size_t kMaxRowSize = 4060;

// Every page: byte 0 the type, byte 1 this constant.
inline constexpr std::size_t kPageType = 0;
inline constexpr std::size_t kPageMark = 1;
inline constexpr std::uint8_t kPageMarkValue = 0x01;

// Usage-map rows: type, then (inline) start page and bitmap or
// (reference) one u32 bitmap page per slot.
inline constexpr std::size_t kMapType = 0;
inline constexpr std::size_t kMapStartPage = 1;
inline constexpr std::size_t kMapBitmap = 5;
inline constexpr std::size_t kMapSlots = 1;
inline constexpr std::uint8_t kMapInline = 0x00;
inline constexpr std::uint8_t kMapReference = 0x01;
inline constexpr std::size_t kMapRowSize = 69;         // type + start + 64 bytes
inline constexpr std::size_t kMapInlinePages = 512;
inline constexpr std::size_t kMapReferenceSlots = 17;
inline constexpr std::size_t kBitmapPageStart = 4;     // bitmap starts after 05 01 00 00
inline constexpr std::size_t kBitmapPagePages = (kPageSize - kBitmapPageStart) * 8;

// TDEF pages and the table header (offsets in the assembled definition).
inline constexpr std::size_t kTdefFreeSpace = 2;    // u16 per page
inline constexpr std::size_t kTdefNextPage = 4;     // u32 per page
inline constexpr std::size_t kTdefPageHeader = 8;   // repeated on continuation pages
inline constexpr std::size_t kTdefLength = 8;       // u32
inline constexpr std::size_t kTdefMagic = 12;       // u32 0x0659
inline constexpr std::size_t kTdefRowCount = 16;    // u32
inline constexpr std::size_t kTdefAutoNumber = 20;  // u32 last value handed out
inline constexpr std::size_t kTdefAutoFlag = 24;    // u8 1
inline constexpr std::size_t kTdefUserMark = 36;    // u32 0xFFFFFFFF in Access user tables
inline constexpr std::size_t kTdefTableType = 40;   // u8 0x4E user, 0x53 system
inline constexpr std::size_t kTdefMaxColumns = 41;  // u16
inline constexpr std::size_t kTdefVarColumns = 43;  // u16
inline constexpr std::size_t kTdefColumns = 45;     // u16
inline constexpr std::size_t kTdefLogicalIndexes = 47;  // u32
inline constexpr std::size_t kTdefRealIndexes = 51;     // u32
inline constexpr std::size_t kTdefOwnedMap = 55;        // ref
inline constexpr std::size_t kTdefFreeMap = 59;         // ref
inline constexpr std::size_t kTdefHeaderSize = 63;
inline constexpr std::uint32_t kTdefMagicValue = 0x0659;
inline constexpr std::uint8_t kTableUser = 0x4E;
inline constexpr std::uint8_t kTableSystem = 0x53;
inline constexpr std::size_t kRealIndexCounterSize = 12;

// Column descriptor (25 bytes).
inline constexpr std::size_t kColType = 0;
inline constexpr std::size_t kColMagic = 1;       // u32 0x0659
inline constexpr std::size_t kColNumber = 5;
inline constexpr std::size_t kColVarIndex = 7;
inline constexpr std::size_t kColPosition = 9;
inline constexpr std::size_t kColSortOrder = 11;  // u16 LCID; decimal: precision, scale
inline constexpr std::size_t kColSortVersion = 13;
inline constexpr std::size_t kColFlags = 15;
inline constexpr std::size_t kColExtraFlags = 16;
inline constexpr std::size_t kColFixedOffset = 21;
inline constexpr std::size_t kColLength = 23;
inline constexpr std::size_t kColumnSize = 25;

// Real index block (52 bytes) and logical index block (28 bytes).
inline constexpr std::size_t kRealMagic = 0;       // u32 0x0783
inline constexpr std::size_t kRealColumns = 4;     // 10 x (u16 column, u8 order)
inline constexpr std::size_t kRealMaxColumns = 10;
inline constexpr std::size_t kRealUsageMap = 34;
inline constexpr std::size_t kRealRootPage = 38;
inline constexpr std::size_t kRealFlags = 46;
inline constexpr std::size_t kRealIndexSize = 52;
inline constexpr std::uint32_t kRealMagicValue = 0x0783;
inline constexpr std::uint8_t kRealFlagAlways = 0x80;  // set by Jet 4 on every index
inline constexpr std::size_t kLogMagic = 0;        // u32 0x0659
inline constexpr std::size_t kLogNumber = 4;
inline constexpr std::size_t kLogRealIndex = 8;
inline constexpr std::size_t kLogRelatedType = 12;
inline constexpr std::size_t kLogRelatedIndex = 13;
inline constexpr std::size_t kLogRelatedTable = 17;
inline constexpr std::size_t kLogCascadeUpdates = 21;
inline constexpr std::size_t kLogCascadeDeletes = 22;
inline constexpr std::size_t kLogKind = 23;
inline constexpr std::size_t kLogicalIndexSize = 28;

// Index pages.
inline constexpr std::size_t kIdxFreeSpace = 2;
inline constexpr std::size_t kIdxOwner = 4;
inline constexpr std::size_t kIdxPrevPage = 12;
inline constexpr std::size_t kIdxNextPage = 16;
inline constexpr std::size_t kIdxTailPage = 20;
inline constexpr std::size_t kIdxPrefixLength = 24;  // u16
inline constexpr std::size_t kIdxLevel = 26;         // u8
inline constexpr std::size_t kIdxBitmap = 27;
inline constexpr std::size_t kIdxEntries = 0x1E0;
inline constexpr std::size_t kIdxEntrySpace = 3616;  // usable entry bytes per page

// Long values.
inline constexpr std::size_t kLongValueHeader = 12;
inline constexpr std::uint32_t kLongValueInline = 0x80000000u;
inline constexpr std::uint32_t kLongValueSingle = 0x40000000u;
inline constexpr std::size_t kMaxInlineLongValue = 64;
inline constexpr std::size_t kMaxSingleLongValue = 4076;  // one LVAL row
inline constexpr std::size_t kMaxChainChunk = 4072;      // LVAL row minus its next pointer

}  // namespace jet::layout::jet4
