// The catalog table: where it starts and the fixed facts of its rows.
#pragma once

#include <cstdint>

namespace jet::layout {

inline constexpr std::uint32_t kCatalogTdefPage = 2;  // MSysObjects
inline constexpr std::uint32_t kIdPageMask = 0x00FFFFFFu;

}  // namespace jet::layout
