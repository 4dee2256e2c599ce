// Usage maps: a row naming a set of pages, inline (a bitmap) or by
// reference (a list of bitmap pages).
#pragma once

#include <cstddef>
#include <cstdint>

namespace jet::layout {

inline constexpr std::uint8_t kUsageMapInline = 0x00;
inline constexpr std::uint8_t kUsageMapReference = 0x01;
inline constexpr std::size_t kUsageMapType = 0;        // u8
inline constexpr std::size_t kInlineMapFirstPage = 1;  // u32
inline constexpr std::size_t kInlineMapBitmap = 5;
inline constexpr std::size_t kReferenceMapPages = 1;   // u32 per bitmap page, 0 = none
inline constexpr std::uint8_t kPageTypeUsageMap = 0x05;
inline constexpr std::size_t kUsageMapPageBitmap = 4;

}  // namespace jet::layout
