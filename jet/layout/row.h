// A row on a data page: column count, fixed area, variable data, the
// variable-offset table and the null mask, one value per generation.
#pragma once

#include <cstddef>
#include <cstdint>

namespace jet::layout {

struct RowLayout {
  std::size_t countBytes;   // width of the column count, the variable count and offsets
};
inline constexpr RowLayout kRowJet3{1};
inline constexpr RowLayout kRowJet4{2};
inline constexpr std::size_t kJet3JumpSpan = 256;  // one jump byte per 256 bytes of row
inline constexpr std::uint8_t kJet3DummyJump = 0xFF;

inline constexpr std::size_t kGuidSize = 16;
inline constexpr std::size_t kDecimalSize = 17;  // sign byte, four u32 words, high first

}  // namespace jet::layout
