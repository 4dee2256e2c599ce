#include <algorithm>

#include "jet/error.h"
#include "jet/layout/jet3_write.h"
#include "jet/text.h"
#include "jet/writer_jet3.h"

namespace jet {

namespace L = layout::jet3;

namespace {
constexpr std::size_t kJumpSpan = 256;
}

ByteBuffer encodeJet3Text(const std::string& utf8, std::uint16_t codePage, const std::string& what) {
  const std::optional<std::string> bytes = encodeCodePage(utf8, codePage);
  if (!bytes) {
    throw unsupported(what, "the text holds a character that code page " + std::to_string(codePage) +
                                " cannot hold, so a file in that code page cannot keep it");
  }
  return ByteBuffer(bytes->begin(), bytes->end());
}

void assembleJet3Row(const RowShape& shape, const ByteBuffer& fixed,
                     const std::vector<ByteBuffer>& vars, const ByteBuffer& mask,
                     const std::string& table, std::uint32_t rowNumber, ByteBuffer& out) {
  // Made only for an error: most rows have none.
  const auto what = [&] {
    return rowNumber == 0 ? table : table + ", row " + std::to_string(rowNumber);
  };
  if (shape.columnCount > 255 || shape.varCount > 255) {
    throw unsupported(what(), "a Jet 3 row holds at most 255 columns");
  }
  out.clear();
  out.push_back(static_cast<std::uint8_t>(shape.columnCount));
  addBytes(out, fixed);
  if (shape.varCount == 0) {
    addBytes(out, mask);
  } else {
    std::size_t offsets[256];  // var 0 .. var n-1, then EOD (at most 255 + 1)
    std::size_t count = 0;
    for (const ByteBuffer& v : vars) {
      offsets[count++] = out.size();
      addBytes(out, v);
    }
    const std::size_t eod = out.size();
    offsets[count++] = eod;
    // The jump count depends on the final length, which depends on it.
    const std::size_t rest = count + 1 + mask.size();
    std::size_t jumps = 0;
    while ((eod + rest + jumps - 1) / kJumpSpan != jumps) {
      jumps = (eod + rest + jumps - 1) / kJumpSpan;
    }
    const std::size_t real = eod / kJumpSpan;
    if (jumps > real + 1) {
      throw unsupported(what(), "a Jet 3 row of this length cannot be laid out (its jump table would need two spare bytes)");
    }
    for (std::size_t i = count; i-- > 0;) out.push_back(static_cast<std::uint8_t>(offsets[i] % kJumpSpan));
    // Lowest address first: the spare byte, then boundary k = jumps-1 ... 0.
    const std::size_t tableAt = out.size();
    out.resize(tableAt + jumps, 0xFF);
    for (std::size_t k = 0; k < real; ++k) {
      std::size_t i = 0;
      while (offsets[i] < kJumpSpan * (k + 1)) ++i;
      out[tableAt + jumps - 1 - k] = static_cast<std::uint8_t>(i);
    }
    out.push_back(static_cast<std::uint8_t>(shape.varCount));
    addBytes(out, mask);
  }
  if (out.size() > L::kMaxRowSize) {
    throw unsupported(what(), "a row needs " + std::to_string(out.size()) + " bytes, more than the " +
                                  std::to_string(L::kMaxRowSize) + " a Jet 3 row may hold");
  }
}

}  // namespace jet
