// ByteReader: a bounded little-endian view of bytes that knows where they came
// from. Every read is checked; a read past the end is damage of that page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

#include "jet/error.h"

namespace jet {

class ByteReader {
 public:
  ByteReader(std::span<const std::uint8_t> bytes, Where where)
      : bytes_(bytes), where_(std::move(where)) {}

  std::size_t size() const { return bytes_.size(); }
  const Where& where() const { return where_; }
  std::span<const std::uint8_t> bytes() const { return bytes_; }

  bool has(std::size_t offset, std::size_t length) const {
    return offset <= bytes_.size() && length <= bytes_.size() - offset;
  }
  void need(std::size_t offset, std::size_t length, const char* what = "field") const {
    if (!has(offset, length)) [[unlikely]] outOfRange(offset, what);
  }

  std::uint8_t u8(std::size_t offset) const {
    need(offset, 1);
    return bytes_[offset];
  }
  std::uint16_t u16(std::size_t offset) const {
    need(offset, 2);
    return static_cast<std::uint16_t>(bytes_[offset] | (bytes_[offset + 1] << 8));
  }
  std::uint32_t u24(std::size_t offset) const {
    need(offset, 3);
    return static_cast<std::uint32_t>(bytes_[offset]) |
           (static_cast<std::uint32_t>(bytes_[offset + 1]) << 8) |
           (static_cast<std::uint32_t>(bytes_[offset + 2]) << 16);
  }
  std::uint32_t u32(std::size_t offset) const {
    need(offset, 4);
    return static_cast<std::uint32_t>(bytes_[offset]) |
           (static_cast<std::uint32_t>(bytes_[offset + 1]) << 8) |
           (static_cast<std::uint32_t>(bytes_[offset + 2]) << 16) |
           (static_cast<std::uint32_t>(bytes_[offset + 3]) << 24);
  }
  std::int16_t i16(std::size_t offset) const { return static_cast<std::int16_t>(u16(offset)); }
  std::int32_t i32(std::size_t offset) const { return static_cast<std::int32_t>(u32(offset)); }
  std::uint64_t u64(std::size_t offset) const {
    return static_cast<std::uint64_t>(u32(offset)) |
           (static_cast<std::uint64_t>(u32(offset + 4)) << 32);
  }
  std::int64_t i64(std::size_t offset) const { return static_cast<std::int64_t>(u64(offset)); }
  float f32(std::size_t offset) const {
    const std::uint32_t bits = u32(offset);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  double f64(std::size_t offset) const {
    const std::uint64_t bits = u64(offset);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  std::span<const std::uint8_t> span(std::size_t offset, std::size_t length) const {
    need(offset, length, "range");
    return bytes_.subspan(offset, length);
  }
  ByteReader sub(std::size_t offset, std::size_t length) const {
    return ByteReader(span(offset, length), where_);
  }

 private:
  // Out of line, so that need() stays small enough to inline in every read.
  [[noreturn, gnu::cold, gnu::noinline]] void outOfRange(std::size_t offset,
                                                         const char* what) const {
    throw damaged(where_, std::string(what) + " at offset " + std::to_string(offset) +
                              " runs past the end (" + std::to_string(bytes_.size()) + " bytes)");
  }

  std::span<const std::uint8_t> bytes_;
  Where where_;
};

}  // namespace jet
