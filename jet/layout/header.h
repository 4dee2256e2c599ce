// Page 0: where each generation keeps its identification and database facts.
// Jet 3/4 offsets are into the page after the masked region was decoded.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace jet::layout {

inline constexpr std::size_t kMinFileSize = 2048;

// Jet 3/4 ("Standard Jet DB" family).
inline constexpr std::size_t kMagicOffset = 0x04;  // 16 bytes of text
inline constexpr std::size_t kVersionOffset = 0x14;  // u8: 0 Jet 3, 1 Jet 4, >= 2 ACE
inline constexpr std::size_t kMaskOffset = 0x18;
inline constexpr std::size_t kMaskLengthJet3 = 126;
inline constexpr std::size_t kMaskLengthJet4 = 128;
inline constexpr std::array<std::uint8_t, 4> kMaskKey = {0xC7, 0xDA, 0x39, 0x6B};
inline constexpr std::size_t kSortOrderJet3 = 0x3A;  // u16 LCID
inline constexpr std::size_t kCodePage = 0x3C;       // u16
inline constexpr std::size_t kDatabaseKey = 0x3E;    // u32, non-zero: pages are encrypted
inline constexpr std::size_t kPassword = 0x42;       // 20 bytes (Jet 3), 40 bytes (Jet 4)
inline constexpr std::size_t kPasswordLengthJet3 = 20;
inline constexpr std::size_t kPasswordLengthJet4 = 40;
inline constexpr std::size_t kSortOrderJet4 = 0x6E;  // u16 LCID, version byte at 0x71
inline constexpr std::size_t kSortVersionJet4 = 0x71;
inline constexpr std::size_t kCreationDateJet4 = 0x72;  // f64

// Jet 1.x/2.0: no magic text; "Rich" and a version byte in the middle of page 0.
inline constexpr std::size_t kRichOffset = 0x406;
inline constexpr std::size_t kJet12VersionOffset = 0x40A;  // 7 = 1.0, 8 = 1.1, 9 = 2.0
inline constexpr std::size_t kJet12SortOrder = 0x412;      // u16 LCID (observed 0x0409)
inline constexpr std::size_t kJet12CodePage = 0x414;       // u16 (observed 1252)
inline constexpr std::uint8_t kJet12EncryptedMark[4] = {0x77, 0x2C, 0x53, 0x20};

}  // namespace jet::layout
