// Value: one column value of one row, decoded from the file. Text is UTF-8
// whatever the file's encoding; binary and OLE values are the raw bytes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace jet {

struct Null {
  bool operator==(const Null&) const = default;
};
// Currency: the stored integer, value x 10 000 (four decimals, exact).
struct Currency {
  std::int64_t scaled = 0;
  bool operator==(const Currency&) const = default;
};
// Date/Time: an OLE Automation date (days since 1899-12-30; the fraction's
// absolute value is the time of day).
struct DateTime {
  double oaDate = 0;
  bool operator==(const DateTime&) const = default;
};
// Replication ID: the 16 bytes as stored (first three groups little-endian).
struct Guid {
  std::array<std::uint8_t, 16> bytes{};
  bool operator==(const Guid&) const = default;
};
// Decimal: sign, 96-bit magnitude (kept in 128 bits) and scale (digits after the point).
struct Decimal {
  bool negative = false;
  std::uint64_t high = 0, low = 0;
  std::uint8_t scale = 0;
  bool operator==(const Decimal&) const = default;
};
using Bytes = std::vector<std::uint8_t>;

using Value = std::variant<Null, bool, std::uint8_t, std::int16_t, std::int32_t, Currency, float,
                           double, DateTime, std::string, Bytes, Guid, Decimal>;

inline bool isNull(const Value& v) { return std::holds_alternative<Null>(v); }

// The string, or the bytes, a value is decoded into: the ones it held
// before, so that their storage is reused from row to row.
inline std::string& textIn(Value& v) {
  if (auto* s = std::get_if<std::string>(&v)) return *s;
  return v.emplace<std::string>();
}
inline Bytes& bytesIn(Value& v) {
  if (auto* b = std::get_if<Bytes>(&v)) return *b;
  return v.emplace<Bytes>();
}

using Row = std::vector<Value>;

}  // namespace jet
