#include "jet/value_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace jet {

namespace {

constexpr char kHex[] = "0123456789abcdef";
constexpr char kHexUpper[] = "0123456789ABCDEF";

template <typename T>
void appendNumber(std::string& out, T value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

// Days since 1970-01-01 to a proleptic Gregorian date (eras of 400 years).
void civilFromDays(std::int64_t z, std::int64_t& year, unsigned& month, unsigned& day) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = doy - (153 * mp + 2) / 5 + 1;
  month = mp < 10 ? mp + 3 : mp - 9;
  year = static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2 ? 1 : 0);
}

// At least `width` decimal digits, zero-padded.
void appendDigits(std::string& out, unsigned value, int width) {
  char buffer[12];
  int n = 0;
  do {
    buffer[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0 && n < 12);
  while (n < width) buffer[n++] = '0';
  while (n > 0) out += buffer[--n];
}

void appendBytesHex(std::string& out, const Bytes& bytes) {
  out.reserve(out.size() + 2 * bytes.size());
  for (std::uint8_t b : bytes) {
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
}

void appendGuid(std::string& out, const Guid& g) {
  // First three groups are little-endian in storage.
  static constexpr int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  out += '{';
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) out += '-';
    const std::uint8_t b = g.bytes[kOrder[i]];
    out += kHexUpper[b >> 4];
    out += kHexUpper[b & 15];
  }
  out += '}';
}

}  // namespace

std::string currencyText(Currency c) {
  const bool negative = c.scaled < 0;
  const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(c.scaled)
                                           : static_cast<std::uint64_t>(c.scaled);
  std::string out = negative ? "-" : "";
  appendNumber(out, magnitude / 10000);
  out += '.';
  appendDigits(out, static_cast<unsigned>(magnitude % 10000), 4);
  return out;
}

std::string decimalText(const Decimal& d) {
  unsigned __int128 m = (static_cast<unsigned __int128>(d.high) << 64) | d.low;
  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(m % 10)));
    m /= 10;
  } while (m != 0);
  if (digits.size() <= d.scale) digits.insert(0, d.scale + 1 - digits.size(), '0');
  if (d.scale > 0) digits.insert(digits.size() - d.scale, ".");
  const bool zero = d.high == 0 && d.low == 0;
  return (d.negative && !zero ? "-" : "") + digits;
}

std::string dateText(double oaDate) {
  if (!std::isfinite(oaDate) || std::fabs(oaDate) > 3e6) return doubleText(oaDate);
  const double whole = std::trunc(oaDate);
  auto days = static_cast<std::int64_t>(whole);
  auto ms = static_cast<std::int64_t>(std::llround(std::fabs(oaDate - whole) * 86400000.0));
  if (ms >= 86400000) {
    ms -= 86400000;
    ++days;
  }
  std::int64_t year;
  unsigned month, day;
  civilFromDays(days - 25569, year, month, day);
  // Fixed-width digits by hand: this runs once per date of every exported row.
  std::string out;
  out.reserve(24);
  if (year < 0) {
    out += '-';
    year = -year;
  }
  appendDigits(out, static_cast<unsigned>(year), 4);
  out += '-';
  appendDigits(out, month, 2);
  out += '-';
  appendDigits(out, day, 2);
  out += 'T';
  const auto seconds = static_cast<unsigned>(ms / 1000);
  appendDigits(out, seconds / 3600, 2);
  out += ':';
  appendDigits(out, seconds / 60 % 60, 2);
  out += ':';
  appendDigits(out, seconds % 60, 2);
  if (ms % 1000 != 0) {
    out += '.';
    appendDigits(out, static_cast<unsigned>(ms % 1000), 3);
  }
  return out;
}

std::string guidText(const Guid& g) {
  std::string out;
  appendGuid(out, g);
  return out;
}

std::string floatText(float f) {
  std::string out;
  appendNumber(out, f);
  return out;
}

std::string doubleText(double d) {
  std::string out;
  appendNumber(out, d);
  return out;
}

void appendValueText(std::string& out, const Value& v) {
  struct Visitor {
    std::string& out;
    void operator()(const Null&) const {}
    void operator()(bool b) const { out += b ? "true" : "false"; }
    void operator()(std::uint8_t x) const { appendNumber(out, static_cast<unsigned>(x)); }
    void operator()(std::int16_t x) const { appendNumber(out, x); }
    void operator()(std::int32_t x) const { appendNumber(out, x); }
    void operator()(Currency c) const { out += currencyText(c); }
    void operator()(float f) const { appendNumber(out, f); }
    void operator()(double d) const { appendNumber(out, d); }
    void operator()(DateTime d) const { out += dateText(d.oaDate); }
    void operator()(const std::string& s) const { out += s; }
    void operator()(const Bytes& b) const { appendBytesHex(out, b); }
    void operator()(const Guid& g) const { appendGuid(out, g); }
    void operator()(const Decimal& d) const { out += decimalText(d); }
  };
  std::visit(Visitor{out}, v);
}

std::string valueText(const Value& v) {
  std::string out;
  appendValueText(out, v);
  return out;
}

void appendJsonString(std::string& out, std::string_view text) {
  out += '"';
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          out += "\\u00";
          out += kHex[c >> 4];
          out += kHex[c & 15];
        } else {
          out += ch;
        }
    }
  }
  out += '"';
}

void appendValueJson(std::string& out, const Value& v) {
  if (isNull(v)) {
    out += "null";
    return;
  }
  const bool bare = std::holds_alternative<bool>(v) || std::holds_alternative<std::uint8_t>(v) ||
                    std::holds_alternative<std::int16_t>(v) ||
                    std::holds_alternative<std::int32_t>(v);
  const bool real = std::holds_alternative<float>(v) || std::holds_alternative<double>(v);
  if (bare) {
    appendValueText(out, v);
  } else if (real) {
    const double d = std::holds_alternative<float>(v) ? std::get<float>(v) : std::get<double>(v);
    // JSON has no NaN or infinity: those go as strings.
    if (std::isfinite(d)) {
      appendValueText(out, v);
    } else {
      appendJsonString(out, valueText(v));
    }
  } else if (const auto* s = std::get_if<std::string>(&v)) {
    appendJsonString(out, *s);
  } else {
    appendJsonString(out, valueText(v));
  }
}

void appendCsvField(std::string& out, std::string_view text) {
  bool quote = false;
  for (const char c : text) {
    if (c == ',' || c == '"' || c == '\r' || c == '\n') {
      quote = true;
      break;
    }
  }
  if (!quote) {
    out.append(text.data(), text.size());
    return;
  }
  out += '"';
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

}  // namespace jet
