// ByteSink: little-endian writes into a growing or fixed buffer, the writer's
// counterpart of ByteReader. Positions past the end of a fixed page are our
// own mistakes, so they are asserted, not reported as file damage.
#pragma once

#include <cassert>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

namespace jet {

using ByteBuffer = std::vector<std::uint8_t>;

inline void putU8(std::span<std::uint8_t> b, std::size_t at, std::uint8_t v) {
  assert(at < b.size());
  b[at] = v;
}
inline void putU16(std::span<std::uint8_t> b, std::size_t at, std::uint16_t v) {
  assert(at + 2 <= b.size());
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void putU24(std::span<std::uint8_t> b, std::size_t at, std::uint32_t v) {
  assert(at + 3 <= b.size());
  for (int i = 0; i < 3; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void putU32(std::span<std::uint8_t> b, std::size_t at, std::uint32_t v) {
  assert(at + 4 <= b.size());
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void putU64(std::span<std::uint8_t> b, std::size_t at, std::uint64_t v) {
  assert(at + 8 <= b.size());
  for (int i = 0; i < 8; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void putF64(std::span<std::uint8_t> b, std::size_t at, double v) {
  std::uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  putU64(b, at, bits);
}
inline void putBytes(std::span<std::uint8_t> b, std::size_t at, std::span<const std::uint8_t> v) {
  assert(at + v.size() <= b.size());
  if (!v.empty()) std::memcpy(b.data() + at, v.data(), v.size());
}

// Appending counterparts.
inline void addU8(ByteBuffer& b, std::uint8_t v) { b.push_back(v); }
inline void addU16(ByteBuffer& b, std::uint16_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void addU32(ByteBuffer& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
inline void addU64(ByteBuffer& b, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
inline void addF64(ByteBuffer& b, double v) {
  std::uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  addU64(b, bits);
}
inline void addBytes(ByteBuffer& b, std::span<const std::uint8_t> v) {
  b.insert(b.end(), v.begin(), v.end());
}
inline void addString(ByteBuffer& b, const std::string& s) {
  b.insert(b.end(), s.begin(), s.end());
}

// A row pointer as usage-map references and long values store it: [row:1][page:3].
inline std::uint32_t rowRef(std::uint32_t page, std::uint8_t row) { return (page << 8) | row; }

}  // namespace jet
