// Jet 4 text compression and code-page text, from hand-made bytes.
#include <gtest/gtest.h>

#include "jet/text.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(Jet4Text, CompressedRunIsOneBytePerCharacter) {
  const Bytes b = {0xFF, 0xFE, 'A', 'b', 'c'};
  EXPECT_EQ(jet::decodeJet4Text(b), "Abc");
}

TEST(Jet4Text, ZeroByteSwitchesBetweenCompressedAndUtf16Runs) {
  // "ab", then U+20AC as UTF-16, then back to one-byte "z".
  const Bytes b = {0xFF, 0xFE, 'a', 'b', 0x00, 0xAC, 0x20, 0x00, 'z'};
  EXPECT_EQ(jet::decodeJet4Text(b), "ab\xE2\x82\xAC" "z");
}

TEST(Jet4Text, UncompressedValueIsPlainUtf16WithSurrogatePairs) {
  const Bytes b = {'h', 0, 'i', 0, 0x3D, 0xD8, 0x00, 0xDE};  // "hi" U+1F600
  EXPECT_EQ(jet::decodeJet4Text(b), "hi\xF0\x9F\x98\x80");
}

TEST(Jet4Text, OddTrailingByteInUtf16RunIsDropped) {
  const Bytes b = {0xFF, 0xFE, 'x', 0x00, 0x41, 0x00, 0x42};
  EXPECT_EQ(jet::decodeJet4Text(b), "xA");
}

TEST(Jet4Text, LoneSurrogateBecomesReplacementCharacter) {
  const Bytes b = {0x00, 0xD8, 'a', 0};
  EXPECT_EQ(jet::decodeJet4Text(b), "\xEF\xBF\xBD" "a");
}

TEST(CodePageText, Windows1252HighBytesMapToTheirCharacters) {
  const Bytes b = {0x80, 0xE9, 0x9F};
  EXPECT_EQ(jet::decodeCodePage(b, 1252), "\xE2\x82\xAC\xC3\xA9\xC5\xB8");
}

TEST(CodePageText, DoubleByteCodePageIsDecodedWithItsConverter) {
  const Bytes b = {0x93, 0xFA, 0x96, 0x7B};  // "日本" in Shift-JIS
  EXPECT_EQ(jet::decodeCodePage(b, 932), "\xE6\x97\xA5\xE6\x9C\xAC");
}

}  // namespace
