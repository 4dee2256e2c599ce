// Jet 1.x/2.0 pages, rows and catalog records: every byte position the
// Jet 1.x/2.0 reader uses, as learnt from Access 2.0 files (docs/jet2-format.md).
#pragma once

#include <cstddef>
#include <cstdint>

namespace jet::layout::jet12 {

inline constexpr std::size_t kPageSize = 2048;

// Byte 0 of a page.
inline constexpr std::uint8_t kPageTableDef = 0x05;
inline constexpr std::uint8_t kPageData = 0x06;
inline constexpr std::uint8_t kPageIndexNode = 0x03;
inline constexpr std::uint8_t kPageIndexLeaf = 0x04;

// Page 0 lists the definition pages of the engine's own tables (u32 each):
// long values, MSysObjects, MSysColumns, MSysIndexes, MSysACEs, MSysQueries.
inline constexpr std::size_t kPage0SystemTables = 0x418;
// The definition pages every known file has there.
inline constexpr std::uint32_t kLongValueTable = 2;  // owns every memo/OLE row
inline constexpr std::uint32_t kObjectsTable = 3;    // MSysObjects
inline constexpr std::uint32_t kColumnsTable = 4;    // MSysColumns
inline constexpr std::uint32_t kIndexesTable = 5;    // MSysIndexes

// Table-definition page (type 0x05).
inline constexpr std::size_t kTdefSelf = 0x04;       // u32: its own page number
inline constexpr std::size_t kTdefFirstData = 0x0C;  // u32: first data page, 0 = none
inline constexpr std::size_t kTdefLastData = 0x10;   // u32: last data page
inline constexpr std::size_t kTdefRowCount = 0x24;   // u32: rows as stored (may be stale)
inline constexpr std::size_t kTdefNextAuto = 0x28;   // u32: next counter value
inline constexpr std::size_t kTdefIndexes = 0x2C;    // 20 bytes per index, by Idxid
inline constexpr std::size_t kTdefIndexSize = 20;
inline constexpr std::size_t kTdefIndexRoot = 0;      // u32: root index page
inline constexpr std::size_t kTdefIndexEntries = 12;  // u32: entries
inline constexpr std::uint32_t kMaxIndexes = (kPageSize - kTdefIndexes) / kTdefIndexSize;

// Index pages (types 0x03, 0x04).
inline constexpr std::size_t kIndexOwner = 0x04;  // u32: owning table-definition page

// Data page (type 0x06).
inline constexpr std::size_t kDataOwner = 0x04;     // u32: owning table-definition page
inline constexpr std::size_t kDataRowCount = 0x08;  // u16: row slots
inline constexpr std::size_t kDataNext = 0x0C;      // u32: next data page of the table, 0 = last
inline constexpr std::size_t kDataSlots = 0x14;     // u16 per slot
inline constexpr std::uint16_t kSlotOffsetMask = 0x0FFF;
inline constexpr std::uint16_t kSlotLive = 0x1000;     // row present
inline constexpr std::uint16_t kSlotPointer = 0x2000;  // with Live: moved-here row; alone: pointer
inline constexpr std::size_t kMaxSlots = (kPageSize - kDataSlots) / 2;

// Row: u16 length, u8 fixed columns, u8 variable columns, then the fixed
// area; at the end, backwards: null mask (fixed columns only), the variable
// count again, one u8 offset per variable column plus the end offset.
inline constexpr std::size_t kRowLength = 0;
inline constexpr std::size_t kRowFixedCount = 2;
inline constexpr std::size_t kRowVarCount = 3;
inline constexpr std::size_t kRowFixedArea = 4;
inline constexpr std::size_t kRowMaxShortLength = 256;  // u8 offsets reach no further

// Row pointer (overflow rows, long values): u8 row, u24 page.
inline constexpr std::size_t kPointerRow = 0;
inline constexpr std::size_t kPointerPage = 1;

// A memo/OLE field in a row.
inline constexpr std::uint32_t kLongInlineBit = 0x80000000u;  // u32 at 0: data follows
inline constexpr std::size_t kLongHeader = 4;                  // inline data starts here
inline constexpr std::size_t kLongRefSize = 14;
inline constexpr std::size_t kLongRefLength = 0;   // u32
inline constexpr std::size_t kLongRefPointer = 4;  // row pointer
inline constexpr std::size_t kLongRefKey = 8;      // u32, repeated in every chunk row
// A chunk row on a page of table 2: u16 length, u32 next pointer, u32 key, data.
inline constexpr std::size_t kChunkNext = 2;
inline constexpr std::size_t kChunkKey = 6;
inline constexpr std::size_t kChunkData = 10;

// Hcolumn (MSysColumns, MSysIndexes key descriptors): u16 position code,
// i8 number (fixed: null-mask bit; variable: ~variable index), u8 size.
inline constexpr std::uint16_t kFixedPositionBase = 2005;  // + offset in the fixed area
inline constexpr std::uint16_t kVarPositionBase = 2000;    // - variable index
inline constexpr std::size_t kKeyDescriptorSize = 8;       // u32 Hcolumn, u32 flags
inline constexpr std::uint32_t kKeyDescending = 0x80000000u;

}  // namespace jet::layout::jet12
