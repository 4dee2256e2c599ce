#include "jet/text.h"

#include <iconv.h>

#include <cerrno>
#include <mutex>
#include <string_view>
#include <unordered_map>

namespace jet {
namespace {

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Windows-1252 0x80-0x9F; the rest of the code page is Latin-1.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

std::string iconvName(std::uint16_t codePage) {
  switch (codePage) {
    case 932: return "CP932";
    case 936: return "GBK";
    case 949: return "CP949";
    case 950: return "BIG5";
    case 874: return "CP874";
    default: return "CP" + std::to_string(codePage);
  }
}

// Converts with iconv; false when the conversion is not available or fails.
bool convert(const std::string& from, const std::string& to, std::string_view in,
             std::string& out, bool strict) {
  iconv_t cd = iconv_open(to.c_str(), from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out.clear();
  char* src = const_cast<char*>(in.data());
  std::size_t left = in.size();
  char buffer[1024];
  bool ok = true;
  while (left > 0) {
    char* dst = buffer;
    std::size_t room = sizeof buffer;
    const std::size_t r = iconv(cd, &src, &left, &dst, &room);
    out.append(buffer, static_cast<std::size_t>(dst - buffer));
    if (r == static_cast<std::size_t>(-1)) {
      if (errno == E2BIG) continue;
      if (strict) {
        ok = false;
        break;
      }
      out += "\xEF\xBF\xBD";  // U+FFFD for a byte the code page lacks
      ++src;
      --left;
    }
  }
  iconv_close(cd);
  return ok;
}

}  // namespace

bool equalsIgnoreCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::string decodeCodePage(std::span<const std::uint8_t> bytes, std::uint16_t codePage) {
  std::string out;
  if (codePage != 1252 && codePage != 0) {
    const std::string_view in(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (convert(iconvName(codePage), "UTF-8", in, out, false)) return out;
  }
  out.reserve(bytes.size());
  for (std::uint8_t b : bytes) {
    if (b < 0x80) {
      out += static_cast<char>(b);
    } else if (b < 0xA0) {
      appendUtf8(out, kCp1252High[b - 0x80]);
    } else {
      appendUtf8(out, b);
    }
  }
  return out;
}

std::optional<std::string> encodeCodePage(const std::string& utf8, std::uint16_t codePage) {
  std::string out;
  const std::string name = iconvName(codePage == 0 ? 1252 : codePage);
  if (!convert("UTF-8", name, utf8, out, true)) return std::nullopt;
  return out;
}

namespace {

// Appends UTF-16LE units [from, to) of `bytes` as UTF-8; `pending` carries a
// high surrogate across calls so pairs split between runs still join.
class Utf16Sink {
 public:
  explicit Utf16Sink(std::string& out) : out_(out) {}
  void unit(char16_t u) {
    if (high_ != 0) {
      if (u >= 0xDC00 && u <= 0xDFFF) {
        appendUtf8(out_, 0x10000 + ((static_cast<char32_t>(high_) - 0xD800) << 10) + (u - 0xDC00));
        high_ = 0;
        return;
      }
      appendUtf8(out_, 0xFFFD);
      high_ = 0;
    }
    if (u >= 0xD800 && u <= 0xDBFF) {
      high_ = u;
    } else if (u >= 0xDC00 && u <= 0xDFFF) {
      appendUtf8(out_, 0xFFFD);
    } else if (u < 0x80) {
      out_ += static_cast<char>(u);
    } else {
      appendUtf8(out_, u);
    }
  }
  void finish() {
    if (high_ != 0) appendUtf8(out_, 0xFFFD);
    high_ = 0;
  }

 private:
  std::string& out_;
  char16_t high_ = 0;
};

}  // namespace

std::string decodeUtf16(std::span<const std::uint8_t> bytes) {
  std::string out;
  out.reserve(bytes.size() / 2);
  Utf16Sink sink(out);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    sink.unit(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
  }
  sink.finish();
  return out;
}

std::string decodeJet4Text(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xFE) return decodeUtf16(bytes);
  // Compressed: runs of one-byte characters and of UTF-16 pairs, each 0x00 toggles.
  std::string out;
  out.reserve(bytes.size());
  Utf16Sink sink(out);
  bool compressed = true;
  std::size_t i = 2;
  while (i < bytes.size()) {
    if (bytes[i] == 0) {
      compressed = !compressed;
      ++i;
    } else if (compressed) {
      sink.unit(bytes[i]);
      ++i;
    } else {
      if (i + 1 >= bytes.size()) break;  // odd trailing byte
      sink.unit(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
      i += 2;
    }
  }
  sink.finish();
  return out;
}

std::string encodeUtf16(const std::string& utf8) {
  std::string out;
  std::string tmp;
  if (!convert("UTF-8", "UTF-16LE", utf8, tmp, false)) return out;
  return tmp;
}

}  // namespace jet
