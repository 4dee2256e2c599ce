// Long values from hand-made LVAL pages: inline, one row, chains over pages
// (the last chunk cut to the stated length), and chains that loop.
#include <gtest/gtest.h>

#include <algorithm>

#include "hand_made.h"
#include "jet/error.h"
#include "jet/long_value.h"

namespace {

using hand_made::Bytes;
constexpr std::uint32_t kLval = 0x4C41564C;
const jet::JetVersion kV = jet::JetVersion::Jet4;

Bytes field(std::uint32_t lengthAndKind, std::uint32_t pointer, const Bytes& inlineData = {}) {
  Bytes f(12, 0);
  hand_made::put32(f, 0, lengthAndKind);
  hand_made::put32(f, 4, pointer);
  f.insert(f.end(), inlineData.begin(), inlineData.end());
  return f;
}

Bytes chainRow(std::uint32_t next, const std::string& chunk) {
  Bytes r(4 + chunk.size(), 0);
  hand_made::put32(r, 0, next);
  std::copy(chunk.begin(), chunk.end(), r.begin() + 4);
  return r;
}

std::string read(const jet::PageFile& file, const Bytes& f) {
  Bytes out;
  jet::readLongValue(file, f, file.where(3), out);
  return std::string(out.begin(), out.end());
}

TEST(LongValue, InlineDataFollowsTheHeader) {
  const auto file = hand_made::open(kV, {});
  EXPECT_EQ(read(*file, field(0x80000000u | 5, 0, {'h', 'e', 'l', 'l', 'o'})), "hello");
}

TEST(LongValue, SingleRowHoldsTheWholeValue) {
  Bytes page = hand_made::dataPage(kV, kLval);
  hand_made::addRow(page, kV, {'o', 'n', 'e', ' ', 'r', 'o', 'w'});
  const auto file = hand_made::open(kV, {page});
  EXPECT_EQ(read(*file, field(0x40000000u | 7, hand_made::pointer(1, 0))), "one row");
}

TEST(LongValue, ChainOverTwoPagesIsCutAtTheStatedLength) {
  Bytes first = hand_made::dataPage(kV, kLval), second = hand_made::dataPage(kV, kLval);
  hand_made::addRow(first, kV, chainRow(hand_made::pointer(2, 1), "Hello, "));
  hand_made::addRow(second, kV, chainRow(0, "unused"));
  hand_made::addRow(second, kV, chainRow(0, "world!trailing"));
  const auto file = hand_made::open(kV, {first, second});
  EXPECT_EQ(read(*file, field(13, hand_made::pointer(1, 0))), "Hello, world!");
}

TEST(LongValue, LengthUsesThirtyBits) {
  Bytes page = hand_made::dataPage(kV, kLval);
  hand_made::addRow(page, kV, chainRow(0, "abc"));
  const auto file = hand_made::open(kV, {page});
  // Bits 24-29 are length, not kind: a 16 MiB value cannot come from a 3-byte chain.
  EXPECT_THROW(read(*file, field(0x01000003u, hand_made::pointer(1, 0))), jet::Error);
}

TEST(LongValue, ChainThatLoopsIsDamageNamingThePage) {
  Bytes first = hand_made::dataPage(kV, kLval), second = hand_made::dataPage(kV, kLval);
  hand_made::addRow(first, kV, chainRow(hand_made::pointer(2, 0), "ab"));
  hand_made::addRow(second, kV, chainRow(hand_made::pointer(1, 0), "cd"));
  const auto file = hand_made::open(kV, {first, second});
  try {
    read(*file, field(100, hand_made::pointer(1, 0)));
    FAIL() << "a looping chain was read";
  } catch (const jet::Error& e) {
    EXPECT_EQ(e.number(), jet::kErrDamaged);
    EXPECT_NE(std::string(e.what()).find("page 1"), std::string::npos) << e.what();
  }
}

TEST(LongValue, PointerPastTheEndOfTheFileIsDamage) {
  const auto file = hand_made::open(kV, {});
  try {
    read(*file, field(0x40000000u | 4, hand_made::pointer(999, 0)));
    FAIL();
  } catch (const jet::Error& e) {
    EXPECT_EQ(e.number(), jet::kErrDamaged);
    EXPECT_NE(std::string(e.what()).find("page 999"), std::string::npos) << e.what();
  }
}

TEST(LongValue, PointerToATablePageIsDamage) {
  Bytes page = hand_made::dataPage(kV, 2);
  hand_made::addRow(page, kV, {'x'});
  const auto file = hand_made::open(kV, {page});
  EXPECT_THROW(read(*file, field(0x40000000u | 1, hand_made::pointer(1, 0))), jet::Error);
}

}  // namespace
