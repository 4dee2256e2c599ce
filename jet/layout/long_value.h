// Long values (Memo, OLE): the 12-byte field in the row and the LVAL rows.
#pragma once

#include <cstddef>
#include <cstdint>

namespace jet::layout {

inline constexpr std::size_t kLongValueHeader = 12;
inline constexpr std::size_t kLongValueLength = 0;   // u32: low 30 bits length, top 2 kind
inline constexpr std::size_t kLongValuePointer = 4;  // u32 row pointer to the first LVAL row
inline constexpr std::uint32_t kLongValueLengthMask = 0x3FFFFFFFu;
inline constexpr std::uint32_t kLongValueKindMask = 0xC0000000u;
inline constexpr std::uint32_t kLongValueInline = 0x80000000u;
inline constexpr std::uint32_t kLongValueSingleRow = 0x40000000u;
inline constexpr std::uint32_t kLongValueChain = 0x00000000u;
inline constexpr std::size_t kLongValueNextRow = 0;  // u32 row pointer in each chain row
inline constexpr std::size_t kLongValueChunk = 4;    // chain row data starts here

}  // namespace jet::layout
