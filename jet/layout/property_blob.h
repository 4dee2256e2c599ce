// Property blobs (LvProp): signature, chunks, value entries.
#pragma once

#include <cstddef>
#include <cstdint>

namespace jet::layout {

inline constexpr std::size_t kPropSignatureSize = 4;  // "KKD\0" or "MR2\0"
inline constexpr std::size_t kPropChunkLength = 0;    // u32, includes the 6-byte chunk header
inline constexpr std::size_t kPropChunkType = 4;      // u16
inline constexpr std::size_t kPropChunkBody = 6;
inline constexpr std::uint16_t kPropChunkNames = 0x80;
inline constexpr std::uint16_t kPropChunkOwnMap = 0x00;
inline constexpr std::uint16_t kPropChunkSubMap = 0x01;
inline constexpr std::size_t kPropEntryLength = 0;   // u16, includes itself
inline constexpr std::size_t kPropEntryDdl = 2;      // u8
inline constexpr std::size_t kPropEntryType = 3;     // u8
inline constexpr std::size_t kPropEntryName = 4;     // u16 index into the name list
inline constexpr std::size_t kPropEntryValueLength = 6;  // u16
inline constexpr std::size_t kPropEntryValue = 8;

}  // namespace jet::layout
