// Table definition (TDEF) pages: where each field of the logical definition
// buffer lies, one value per generation. Offsets are into the buffer made of
// the first page whole and every continuation page from its byte 8 on.
#pragma once

#include <cstddef>
#include <cstdint>

namespace jet::layout {

inline constexpr std::uint8_t kPageTypeTdef = 0x02;
inline constexpr std::size_t kTdefNextPage = 4;         // u32: continuation page, 0 = last
inline constexpr std::size_t kTdefContinuationData = 8;  // continuation bytes start here

struct TdefLayout {
  std::size_t rowCount;          // u32
  std::size_t autoNumber;        // u32: last value handed out
  std::size_t tableType;         // u8: 'N' user, 'S' system
  std::size_t maxColumnNumber;   // u16
  std::size_t variableColumns;   // u16
  std::size_t columnCount;       // u16
  std::size_t logicalIndexes;    // u32
  std::size_t physicalIndexes;   // u32
  std::size_t ownedPagesMap;     // 4: row pointer to the owned-pages usage map
  std::size_t freePagesMap;      // 4
  std::size_t variablePart;      // start of the per-index, column, name blocks
  std::size_t indexCountEntry;   // bytes per physical-index row-count entry
  std::size_t nameLengthBytes;   // 1 (Jet 3) or 2 (Jet 4)
};
inline constexpr TdefLayout kTdefJet3{12, 16, 20, 21, 23, 25, 27, 31, 35, 39, 43, 8, 1};
inline constexpr TdefLayout kTdefJet4{16, 20, 40, 41, 43, 45, 47, 51, 55, 59, 63, 12, 2};

// One column entry of the definition.
struct ColumnEntryLayout {
  std::size_t size;
  std::size_t type;         // u8
  std::size_t number;       // u16: bit in the null mask
  std::size_t varIndex;     // u16: entry in the variable-offset table
  std::size_t sortOrder;    // u16 text LCID; Jet 4 numeric: precision here, scale next
  std::size_t codePage;     // u16 (Jet 3 text); 0 = none in this generation
  std::size_t flags;        // u8
  std::size_t extraFlags;   // u8 (Jet 4); 0 = none
  std::size_t fixedOffset;  // u16
  std::size_t length;       // u16
};
inline constexpr ColumnEntryLayout kColumnJet3{18, 0, 1, 3, 9, 11, 13, 0, 14, 16};
inline constexpr ColumnEntryLayout kColumnJet4{25, 0, 5, 7, 11, 0, 15, 16, 21, 23};
inline constexpr std::size_t kColumnJet4Precision = 11;
inline constexpr std::size_t kColumnJet4Scale = 12;

// One physical index (the B-tree and its key columns).
struct PhysicalIndexLayout {
  std::size_t size;
  std::size_t keyColumns;  // 10 x (u16 column number, u8 flags)
  std::size_t usageMap;    // 4: row pointer
  std::size_t rootPage;    // u32
  std::size_t flags;       // u8
};
inline constexpr PhysicalIndexLayout kPhysicalIndexJet3{39, 0, 30, 34, 38};
inline constexpr PhysicalIndexLayout kPhysicalIndexJet4{52, 4, 34, 38, 46};
inline constexpr std::size_t kIndexKeySlots = 10;
inline constexpr std::size_t kIndexKeySlotSize = 3;
inline constexpr std::uint16_t kIndexKeyUnused = 0xFFFF;
inline constexpr std::uint8_t kIndexKeyAscending = 0x01;

// One logical (named) index.
struct LogicalIndexLayout {
  std::size_t size;
  std::size_t number;         // u32
  std::size_t physicalIndex;  // u32
  std::size_t relatedIndex;   // i32, -1 none
  std::size_t relatedTable;   // u32: TDEF page of the other table
  std::size_t cascadeUpdates;  // u8
  std::size_t cascadeDeletes;  // u8
  std::size_t kind;            // u8: 0 plain, 1 primary key, 2 foreign key
};
inline constexpr LogicalIndexLayout kLogicalIndexJet3{20, 0, 4, 9, 13, 17, 18, 19};
inline constexpr LogicalIndexLayout kLogicalIndexJet4{28, 4, 8, 13, 17, 21, 22, 23};

}  // namespace jet::layout
