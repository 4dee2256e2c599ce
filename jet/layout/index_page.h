// Index B-tree pages: node (0x03) and leaf (0x04) pages, their sibling links,
// the entry bitmap and where entries start.
#pragma once

#include <cstddef>
#include <cstdint>

namespace jet::layout {

inline constexpr std::uint8_t kPageTypeIndexNode = 0x03;
inline constexpr std::uint8_t kPageTypeIndexLeaf = 0x04;
inline constexpr std::size_t kIndexPageOwner = 4;  // u32: TDEF page

struct IndexPageLayout {
  std::size_t previousPage;  // u32
  std::size_t nextPage;      // u32
  std::size_t tailPage;      // u32: one more child after the last entry (nodes)
  std::size_t prefixLength;  // u8 (Jet 3) / u16 (Jet 4)
  std::size_t prefixBytes;
  std::size_t bitmap;        // entry-end bitmap
  std::size_t entries;       // first entry
};
inline constexpr IndexPageLayout kIndexPageJet3{8, 12, 16, 20, 1, 22, 0xF8};
inline constexpr IndexPageLayout kIndexPageJet4{12, 16, 20, 24, 2, 27, 0x1E0};
inline constexpr std::size_t kIndexRowPointer = 4;  // 3-byte big-endian page, row byte
inline constexpr std::size_t kIndexChildPointer = 4;  // u32 big-endian, node entries only

}  // namespace jet::layout
