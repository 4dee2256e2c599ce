#include "jet/text.h"

#include <iconv.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <cerrno>
#include <cstring>
#include <map>
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

constexpr std::uint64_t kEveryLow = 0x0101010101010101ull;
constexpr std::uint64_t kEveryHigh = 0x8080808080808080ull;

std::uint64_t word(const std::uint8_t* p) {
  std::uint64_t w;
  std::memcpy(&w, p, sizeof w);
  return w;
}

// ASCII, NUL included.
bool allAscii(const std::uint8_t* p, std::size_t n) {
  std::uint64_t any = 0;
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) any |= word(p + i);
  for (; i < n; ++i) any |= p[i];
  return (any & kEveryHigh) == 0;
}

// Opening an iconv descriptor costs far more than converting a short value,
// so each thread keeps the ones it opened (a failed open is kept too).
iconv_t descriptor(const std::string& from, const std::string& to) {
  struct Cache {
    std::map<std::pair<std::string, std::string>, iconv_t> open;
    ~Cache() {
      for (auto& [names, cd] : open) {
        if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
      }
    }
  };
  thread_local Cache cache;
  const auto key = std::make_pair(from, to);
  const auto it = cache.open.find(key);
  if (it != cache.open.end()) return it->second;
  const iconv_t cd = iconv_open(to.c_str(), from.c_str());
  cache.open.emplace(key, cd);
  return cd;
}

// Converts with iconv; false when the conversion is not available or fails.
bool convert(const std::string& from, const std::string& to, std::string_view in,
             std::string& out, bool strict) {
  const iconv_t cd = descriptor(from, to);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);  // a failed call may have left it mid-sequence
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
  if (ok) {
    // Shift states end with the text (stateful encodings only).
    char* dst = buffer;
    std::size_t room = sizeof buffer;
    if (iconv(cd, nullptr, nullptr, &dst, &room) != static_cast<std::size_t>(-1)) {
      out.append(buffer, static_cast<std::size_t>(dst - buffer));
    }
  }
  return ok;
}

}  // namespace

bool asciiCompatible(std::uint16_t codePage) {
  switch (codePage) {
    case 0: case 437: case 850: case 874: case 932: case 936: case 949: case 950:
      return true;
    default:
      return codePage >= 1250 && codePage <= 1258;
  }
}

std::size_t asciiRun(const std::uint8_t* p, std::size_t n) {
  std::size_t i = 0;
#if defined(__SSE2__)
  // Sixteen at a time: a set high bit or a zero byte ends the run.
  const __m128i zero = _mm_setzero_si128();
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    if (_mm_movemask_epi8(_mm_or_si128(v, _mm_cmpeq_epi8(v, zero))) != 0) break;
  }
#endif
  // Eight at a time: a zero byte borrows into its high bit, a high byte has it already.
  for (; i + 8 <= n; i += 8) {
    const std::uint64_t w = word(p + i);
    if (((w - kEveryLow) | w) & kEveryHigh) break;
  }
  while (i < n && p[i] != 0 && p[i] < 0x80) ++i;
  return i;
}

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
  decodeCodePage(bytes, codePage, out);
  return out;
}

void decodeCodePage(std::span<const std::uint8_t> bytes, std::uint16_t codePage, std::string& out) {
  if (asciiCompatible(codePage) && allAscii(bytes.data(), bytes.size())) {
    out.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return;
  }
  if (codePage != 1252 && codePage != 0) {
    const std::string_view in(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (convert(iconvName(codePage), "UTF-8", in, out, false)) return;
  }
  out.clear();
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
}

std::optional<std::string> encodeCodePage(const std::string& utf8, std::uint16_t codePage) {
  if (asciiCompatible(codePage) &&
      allAscii(reinterpret_cast<const std::uint8_t*>(utf8.data()), utf8.size())) {
    return utf8;
  }
  std::string out;
  const std::string name = iconvName(codePage == 0 ? 1252 : codePage);
  if (!convert("UTF-8", name, utf8, out, true)) return std::nullopt;
  return out;
}

bool encodeCodePage(std::string_view utf8, std::uint16_t codePage, std::vector<std::uint8_t>& out) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(utf8.data());
  if (asciiCompatible(codePage) && allAscii(p, utf8.size())) {
    out.assign(p, p + utf8.size());
    return true;
  }
  const std::optional<std::string> bytes = encodeCodePage(std::string(utf8), codePage);
  if (!bytes) return false;
  out.assign(bytes->begin(), bytes->end());
  return true;
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
  // No high surrogate waits for its partner, so units may bypass the sink.
  bool idle() const { return high_ == 0; }

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
  std::string out;
  decodeJet4Text(bytes, out);
  return out;
}

void decodeJet4Text(std::span<const std::uint8_t> bytes, std::string& out) {
  out.clear();
  if (bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xFE) {
    out.reserve(bytes.size() / 2);
    Utf16Sink sink(out);
    std::size_t i = 0;
    while (i + 1 < bytes.size()) {
      // Runs of ASCII units go in whole.
      std::size_t j = i;
      while (j + 1 < bytes.size() && bytes[j + 1] == 0 && bytes[j] != 0 && bytes[j] < 0x80 &&
             sink.idle()) {
        j += 2;
      }
      if (j > i) {
        const std::size_t from = out.size();
        out.resize(from + (j - i) / 2);
        for (std::size_t k = i, at = from; k < j; k += 2) out[at++] = static_cast<char>(bytes[k]);
        i = j;
        continue;
      }
      sink.unit(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
      i += 2;
    }
    sink.finish();
    return;
  }
  // Compressed: runs of one-byte characters and of UTF-16 pairs, each 0x00 toggles.
  out.reserve(bytes.size());
  Utf16Sink sink(out);
  bool compressed = true;
  std::size_t i = 2;
  while (i < bytes.size()) {
    if (bytes[i] == 0) {
      compressed = !compressed;
      ++i;
    } else if (compressed) {
      // One-byte characters below 0x80 are their own UTF-8.
      const std::size_t j = i + asciiRun(bytes.data() + i, bytes.size() - i);
      if (j > i && sink.idle()) {
        out.append(reinterpret_cast<const char*>(bytes.data() + i), j - i);
        i = j;
        continue;
      }
      sink.unit(bytes[i]);
      ++i;
    } else {
      if (i + 1 >= bytes.size()) break;  // odd trailing byte
      sink.unit(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
      i += 2;
    }
  }
  sink.finish();
}

void decodeJet4Units(std::span<const std::uint8_t> bytes, std::u16string& out) {
  out.clear();
  const std::size_t n = bytes.size();
  if (n < 2 || bytes[0] != 0xFF || bytes[1] != 0xFE) {
    out.resize(n / 2);
    for (std::size_t i = 0; i < n / 2; ++i) {
      out[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    }
  } else {
    out.reserve(n);
    bool compressed = true;
    std::size_t i = 2;
    while (i < n) {
      if (bytes[i] == 0) {
        compressed = !compressed;
        ++i;
      } else if (compressed) {
        out.push_back(bytes[i++]);
      } else {
        if (i + 1 >= n) break;  // odd trailing byte
        out.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
        i += 2;
      }
    }
  }
  // Only whole surrogate pairs survive UTF-8.
  for (std::size_t i = 0; i < out.size(); ++i) {
    const char16_t u = out[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < out.size() && out[i + 1] >= 0xDC00 &&
        out[i + 1] <= 0xDFFF) {
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      out[i] = 0xFFFD;
    }
  }
}

void utf8ToUtf16(std::string_view utf8, std::u16string& out) {
  out.resize(utf8.size());  // never more units than bytes
  const auto* p = reinterpret_cast<const std::uint8_t*>(utf8.data());
  const std::size_t n = utf8.size();
  std::size_t i = 0, at = 0;
  const auto continuation = [&](std::size_t k) { return k < n && (p[k] & 0xC0) == 0x80; };
  while (i < n) {
    const std::uint8_t b = p[i];
    if (b < 0x80) {
      out[at++] = b;
      ++i;
      continue;
    }
    char32_t c = 0xFFFD;
    std::size_t used = 1;
    if (b >= 0xC2 && b <= 0xDF && continuation(i + 1)) {
      c = ((b & 0x1Fu) << 6) | (p[i + 1] & 0x3Fu);
      used = 2;
    } else if (b >= 0xE0 && b <= 0xEF && continuation(i + 1) && continuation(i + 2)) {
      c = ((b & 0x0Fu) << 12) | ((p[i + 1] & 0x3Fu) << 6) | (p[i + 2] & 0x3Fu);
      used = 3;
      if (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;  // overlong or a surrogate
    } else if (b >= 0xF0 && b <= 0xF4 && continuation(i + 1) && continuation(i + 2) &&
               continuation(i + 3)) {
      c = ((b & 0x07u) << 18) | ((p[i + 1] & 0x3Fu) << 12) | ((p[i + 2] & 0x3Fu) << 6) |
          (p[i + 3] & 0x3Fu);
      used = 4;
      if (c < 0x10000 || c > 0x10FFFF) c = 0xFFFD;
    }
    i += used;
    if (c >= 0x10000) {
      c -= 0x10000;
      out[at++] = static_cast<char16_t>(0xD800 + (c >> 10));
      out[at++] = static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out[at++] = static_cast<char16_t>(c);
    }
  }
  out.resize(at);
}

std::string encodeUtf16(const std::string& utf8) {
  std::u16string units;
  utf8ToUtf16(utf8, units);
  std::string out(2 * units.size(), '\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    out[2 * i] = static_cast<char>(units[i] & 0xFF);
    out[2 * i + 1] = static_cast<char>(units[i] >> 8);
  }
  return out;
}

}  // namespace jet
