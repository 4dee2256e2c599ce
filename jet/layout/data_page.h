// Data pages (table rows and long-value rows): header fields and the row
// slot table. Rows are packed from the end of the page downwards.
#pragma once

#include <cstddef>
#include <cstdint>

namespace jet::layout {

inline constexpr std::uint8_t kPageTypeData = 0x01;
inline constexpr std::size_t kDataPageOwner = 4;  // u32: TDEF page, or "LVAL"
inline constexpr std::uint32_t kLongValueOwner = 0x4C41564C;  // "LVAL" little-endian

struct DataPageLayout {
  std::size_t rowCount;   // u16: number of row slots
  std::size_t firstSlot;  // u16 per row: where the row starts in the page
};
inline constexpr DataPageLayout kDataPageJet3{0x08, 0x0a};
inline constexpr DataPageLayout kDataPageJet4{0x0c, 0x0e};

inline constexpr std::uint16_t kSlotOffsetMask = 0x1FFF;
inline constexpr std::uint16_t kSlotDeleted = 0x8000;
inline constexpr std::uint16_t kSlotOverflow = 0x4000;  // row holds a pointer to the real row
inline constexpr std::size_t kMaxRowsPerPage = 255;

// A row pointer: u32 with the row number in the low byte, the page above it.
inline constexpr std::uint32_t rowOfPointer(std::uint32_t p) { return p & 0xFFu; }
inline constexpr std::uint32_t pageOfPointer(std::uint32_t p) { return p >> 8; }

}  // namespace jet::layout
