#include "jet/writer_collation.h"

#include <array>
#include <cassert>
#include <memory>
#include <mutex>
#include <string_view>
#include <utility>
#include <vector>

namespace jet::collation {
namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return 0;
}

// The tables drop a leading zero, so an odd count starts with a half byte.
// Built in place: 63,000 lines are parsed whenever a compaction meets a
// character beyond Latin-1, so this stays free of temporaries.
std::string hexBytes(std::string_view hex) {
  std::string out;
  std::size_t i = 0;
  if (hex.size() % 2) {
    out.push_back(static_cast<char>(hexDigit(hex[0])));
    i = 1;
  }
  for (; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<char>(hexDigit(hex[i]) << 4 | hexDigit(hex[i + 1])));
  }
  return out;
}

// Up to three comma-separated fields after the line's class letter.
struct Fields {
  std::array<std::string_view, 3> at;
  std::size_t count = 0;
};

Fields fields(std::string_view line) {
  Fields out;
  std::size_t from = 1;
  while (out.count < out.at.size()) {
    const std::size_t comma = line.find(',', from);
    out.at[out.count++] =
        line.substr(from, comma == std::string_view::npos ? std::string_view::npos : comma - from);
    if (comma == std::string_view::npos) break;
    from = comma + 1;
  }
  return out;
}

CharCode parse(std::string_view line) {
  CharCode c;
  if (line.empty()) return c;
  const Fields f = fields(line);
  switch (line[0]) {
    case 'S':
    case 'G':  // significant: Jet 3 only, inline like simple
      c.kind = CharClass::kSimple;
      c.inlineBytes = hexBytes(f.at[0]);
      break;
    case 'I':
      c.kind = CharClass::kInternational;
      c.inlineBytes = hexBytes(f.at[0]);
      c.extraBytes = hexBytes(f.at[1]);
      break;
    case 'U':
      c.kind = CharClass::kUnprintable;
      c.unprintableBytes = hexBytes(f.at[0]);
      break;
    case 'P': {
      const std::string modifier = hexBytes(f.at[0]);
      c.kind = CharClass::kUnprintableModifier;
      c.modifier = modifier.empty() ? 0 : static_cast<std::uint8_t>(modifier[0]);
      break;
    }
    case 'Z':
      c.kind = CharClass::kInternationalCrazy;
      c.inlineBytes = hexBytes(f.at[0]);
      c.extraBytes = hexBytes(f.at[1]);
      c.crazyFlag = f.count > 2 && f.at[2] == "1" ? 0x02 : 0x03;
      break;
    default:
      c.kind = CharClass::kIgnored;
  }
  return c;
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

bool hasInlineBytes(std::string_view line) {
  return !line.empty() && (line[0] == 'S' || line[0] == 'G' || line[0] == 'I' || line[0] == 'Z');
}

constexpr std::size_t kBlock = 256;
using Block = std::array<CharCode, kBlock>;

// A place in a table's chunks: the text left in the current chunk, and the chunk.
struct LinePlace {
  std::string_view rest;
  const char* const* chunk = nullptr;
};

LinePlace startOf(const char* const* table) {
  return LinePlace{*table != nullptr ? std::string_view(*table) : std::string_view(), table};
}

// The line at `p` into `line`, and `p` past it (into the next chunk at a
// chunk's end); false past the table's last line.
bool nextLine(LinePlace& p, std::string_view& line) {
  while (p.rest.empty()) {
    if (*p.chunk == nullptr || *++p.chunk == nullptr) return false;
    p.rest = *p.chunk;
  }
  const std::size_t nl = p.rest.find('\n');
  line = p.rest.substr(0, nl);
  p.rest.remove_prefix(nl == std::string_view::npos ? p.rest.size() : nl + 1);
  return true;
}

// Where each block's lines start, and which bytes are some character's whole
// inline part. Parsing all 63,000 lines up front cost a small compaction most
// of its time, so blocks are parsed when used; and a place per block rather
// than per unit keeps this index to a few kilobytes.
struct Lines {
  std::array<LinePlace, 0x10000 / kBlock> block{};  // surrogates' stay empty
  std::array<bool, 256> single{};
};

const Lines& lines() {
  static const Lines all = [] {
    Lines out;
    std::uint32_t next = 0;
    for (const char* const* table : {kGeneralLegacyBase, kGeneralLegacyExtended}) {
      LinePlace p = startOf(table);
      for (;;) {
        if (next == 0xD800) next = 0xE000;
        const LinePlace at = p;
        std::string_view line;
        if (!nextLine(p, line)) break;
        if (next % kBlock == 0 && next < 0x10000) out.block[next / kBlock] = at;
        ++next;
        if (!hasInlineBytes(line)) continue;
        const std::string_view first = line.substr(1, line.find(',') - 1);
        if (!first.empty() && first.size() <= 2) {
          out.single[static_cast<std::uint8_t>(hexBytes(first)[0])] = true;
        }
      }
      assert(next == (table == kGeneralLegacyBase ? 0x100u : 0x10000u));
    }
    return out;
  }();
  return all;
}

// A code is one byte when some character's whole inline part is that byte,
// else a lead byte and the byte after it. Every accented ligature of the
// table has one accent code per code found this way.
std::uint8_t positionsOf(const std::string& inlineBytes, const std::array<bool, 256>& single) {
  std::uint8_t n = 0;
  for (std::size_t i = 0; i < inlineBytes.size(); ++n) {
    i += single[static_cast<std::uint8_t>(inlineBytes[i])] ? 1 : 2;
  }
  return n;
}

const CharCode& tableCode(char16_t c) {
  static std::array<std::once_flag, 0x10000 / kBlock> parsed;
  static std::array<std::unique_ptr<Block>, 0x10000 / kBlock> blocks;
  const std::size_t b = c / kBlock;
  std::call_once(parsed[b], [b] {
    const Lines& all = lines();
    auto block = std::make_unique<Block>();
    LinePlace place = all.block[b];
    for (std::size_t i = 0; i < kBlock; ++i) {
      const auto unit = static_cast<char16_t>(b * kBlock + i);
      CharCode& code = (*block)[i];
      if (unit >= 0xD800 && unit <= 0xDFFF) {
        code = surrogate(unit);
      } else {
        std::string_view line;
        nextLine(place, line);  // every unit beyond the surrogates has its line
        code = parse(line);
      }
      code.positions = positionsOf(code.inlineBytes, all.single);
    }
    blocks[b] = std::move(block);
  });
  return (*blocks[b])[c % kBlock];
}

}  // namespace

const CharCode& codeOf(char16_t c) { return tableCode(c); }

const CharCode& latinCodeOf(char16_t c) {
  static const std::vector<CharCode> base = [] {
    std::vector<CharCode> out;
    out.reserve(0x100);
    LinePlace p = startOf(kGeneralLegacyBase);
    for (std::string_view line; nextLine(p, line);) out.push_back(parse(line));
    assert(out.size() == 0x100);
    return out;
  }();
  return base.at(c);
}

}  // namespace jet::collation
