#include "jet/writer_collation.h"

#include <array>
#include <cassert>
#include <mutex>
#include <string_view>
#include <vector>

namespace jet::collation {
namespace {

std::string hexBytes(std::string_view hex) {
  std::string s(hex);
  if (s.size() % 2) s.insert(s.begin(), '0');  // the tables drop a leading zero
  std::string out;
  for (std::size_t i = 0; i + 1 < s.size(); i += 2) {
    out += static_cast<char>(std::stoi(s.substr(i, 2), nullptr, 16));
  }
  return out;
}

std::vector<std::string_view> fields(std::string_view line) {
  std::vector<std::string_view> out;
  std::size_t from = 1;
  while (true) {
    const std::size_t comma = line.find(',', from);
    out.push_back(line.substr(from, comma == std::string_view::npos ? std::string_view::npos : comma - from));
    if (comma == std::string_view::npos) break;
    from = comma + 1;
  }
  return out;
}

CharCode parse(std::string_view line) {
  CharCode c;
  const std::vector<std::string_view> f = fields(line);
  switch (line.empty() ? 'X' : line[0]) {
    case 'S':
    case 'G':  // significant: Jet 3 only, inline like simple
      c.kind = CharClass::kSimple;
      c.inlineBytes = hexBytes(f[0]);
      break;
    case 'I':
      c.kind = CharClass::kInternational;
      c.inlineBytes = hexBytes(f[0]);
      c.extraBytes = hexBytes(f.size() > 1 ? f[1] : "");
      break;
    case 'U':
      c.kind = CharClass::kUnprintable;
      c.unprintableBytes = hexBytes(f[0]);
      break;
    case 'P':
      c.kind = CharClass::kUnprintableModifier;
      c.modifier = static_cast<std::uint8_t>(hexBytes(f[0]).at(0));
      break;
    case 'Z':
      c.kind = CharClass::kInternationalCrazy;
      c.inlineBytes = hexBytes(f[0]);
      c.extraBytes = hexBytes(f.size() > 1 ? f[1] : "");
      c.crazyFlag = (f.size() > 2 && f[2] == "1") ? 0x02 : 0x03;
      break;
    default:
      c.kind = CharClass::kIgnored;
  }
  return c;
}

void load(const char* const* chunks, std::vector<CharCode>& out) {
  for (; *chunks != nullptr; ++chunks) {
    std::string_view text(*chunks);
    while (!text.empty()) {
      const std::size_t nl = text.find('\n');
      out.push_back(parse(text.substr(0, nl)));
      text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
    }
  }
}

// Surrogates are not in the tables; their inline codes follow from their value.
CharCode surrogate(char16_t c) {
  CharCode code;
  code.kind = CharClass::kSurrogate;
  int index;
  if (c < 0xDC00) {
    index = c - 10238;
  } else {
    const int offset = (c - 0xDC00) % 1024;
    const int base = offset < 8 ? 9992 : offset < 8 + 254 ? 9990 : offset < 8 + 2 * 254 ? 9988
                                          : offset < 8 + 3 * 254 ? 9986 : 9984;
    index = c - base;
  }
  code.inlineBytes = {static_cast<char>((index >> 8) & 0xFF), static_cast<char>(index & 0xFF)};
  code.extraBytes = "\x3F";
  return code;
}

// A code is one byte when some character's whole inline part is that byte,
// else a lead byte and the byte after it. Every accented ligature of the
// table has one accent code per code found this way.
void countPositions(std::vector<CharCode>& all) {
  std::array<bool, 256> single{};
  for (const CharCode& c : all) {
    if (c.inlineBytes.size() == 1) single[static_cast<std::uint8_t>(c.inlineBytes[0])] = true;
  }
  for (CharCode& c : all) {
    std::uint8_t n = 0;
    for (std::size_t i = 0; i < c.inlineBytes.size(); ++n) {
      i += single[static_cast<std::uint8_t>(c.inlineBytes[i])] ? 1 : 2;
    }
    c.positions = n;
  }
}

const std::vector<CharCode>& table() {
  static const std::vector<CharCode> codes = [] {
    std::vector<CharCode> base, ext, all;
    load(kGeneralLegacyBase, base);
    load(kGeneralLegacyExtended, ext);
    assert(base.size() == 256 && ext.size() == 0x10000 - 0x100 - 0x800);
    all.reserve(0x10000);
    all.insert(all.end(), base.begin(), base.end());
    std::size_t next = 0;
    for (std::uint32_t c = 0x100; c <= 0xFFFF; ++c) {
      if (c >= 0xD800 && c <= 0xDFFF) {
        all.push_back(surrogate(static_cast<char16_t>(c)));
      } else {
        all.push_back(next < ext.size() ? ext[next++] : CharCode{});
      }
    }
    countPositions(all);
    return all;
  }();
  return codes;
}

}  // namespace

const CharCode& codeOf(char16_t c) { return table()[c]; }

const CharCode& latinCodeOf(char16_t c) {
  static const std::vector<CharCode> base = [] {
    std::vector<CharCode> out;
    load(kGeneralLegacyBase, out);
    assert(out.size() == 256);
    return out;
  }();
  return base.at(c);
}

}  // namespace jet::collation
