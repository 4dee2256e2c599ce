// Jet 4 text compression and code-page text, from hand-made bytes.
#include <gtest/gtest.h>

#include <string>

#include "jet/text.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::u16string unitsOf(const std::string& utf8) {
  std::u16string out;
  jet::utf8ToUtf16(utf8, out);
  return out;
}

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

TEST(Jet4Text, UnitsAreThoseOfTheDecodedText) {
  const std::vector<Bytes> values = {
      {},
      {0xFF, 0xFE},
      {0xFF, 0xFE, 'A', 'b', 'c'},
      {0xFF, 0xFE, 'a', 'b', 0x00, 0xAC, 0x20, 0x00, 'z', 0xE9},
      {0xFF, 0xFE, 'x', 0x00, 0x41, 0x00, 0x42},       // odd trailing byte
      {0xFF, 0xFE, 0x00, 0x3D, 0xD8, 0x00, 0xDE},       // a surrogate pair
      {0xFF, 0xFE, 0x00, 0x3D, 0xD8, 0x00, 'q'},        // a high surrogate, then one-byte text
      {0x00, 0xD8, 'a', 0},                             // lone high surrogate
      {0x00, 0xDC, 0x00, 0xD8},                         // lone low, then lone high at the end
      {'h', 0, 'i', 0, 0x3D, 0xD8, 0x00, 0xDE, 0x00, 0x00, 'z'},
  };
  for (const Bytes& b : values) {
    std::u16string units;
    jet::decodeJet4Units(b, units);
    EXPECT_EQ(units, unitsOf(jet::decodeJet4Text(b))) << "value of " << b.size() << " bytes";
  }
}

TEST(Utf8ToUtf16, CharactersOfEveryLengthBecomeTheirUnits) {
  EXPECT_EQ(unitsOf("A\x7F"), u"A\x7F");
  EXPECT_EQ(unitsOf("\xC3\xA9\xCE\xA9"), u"\u00E9\u03A9");
  EXPECT_EQ(unitsOf("\xE2\x82\xAC\xEF\xBF\xBF"), u"\u20AC\uFFFF");
  EXPECT_EQ(unitsOf("\xF0\x9F\x98\x80"), u"\U0001F600");
  EXPECT_EQ(unitsOf(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
  EXPECT_EQ(jet::encodeUtf16("\xF0\x9F\x98\x80z"), std::string("\x3D\xD8\x00\xDE" "z\0", 6));
}

TEST(Utf8ToUtf16, BytesThatAreNotUtf8BecomeReplacementCharacters) {
  EXPECT_EQ(unitsOf("a\xFF" "b"), u"a\uFFFD" "b");
  EXPECT_EQ(unitsOf("\xC0\x80"), u"\uFFFD\uFFFD");       // overlong NUL
  EXPECT_EQ(unitsOf("\xED\xA0\x80"), u"\uFFFD");         // an encoded surrogate
  EXPECT_EQ(unitsOf("\xE2\x82"), u"\uFFFD\uFFFD");       // cut short
  EXPECT_EQ(unitsOf("\xF4\x90\x80\x80"), u"\uFFFD");    // past U+10FFFF
  EXPECT_EQ(unitsOf("\x80z"), u"\uFFFD" "z");              // a stray continuation byte
}

TEST(AsciiRun, EndsAtTheFirstNulOrHighByteWhereverItIs) {
  for (std::size_t length = 0; length < 40; ++length) {
    for (std::size_t stop = 0; stop <= length; ++stop) {
      for (const std::uint8_t bad : {std::uint8_t{0x00}, std::uint8_t{0x80}, std::uint8_t{0xFF}}) {
        Bytes b(length, 'a');
        if (stop < length) b[stop] = bad;
        EXPECT_EQ(jet::asciiRun(b.data(), b.size()), stop) << length << " " << stop;
      }
    }
  }
}

TEST(CodePageText, AConverterServesManyValuesInARow) {
  // One converter per code page is kept: values after a failed one still convert.
  EXPECT_FALSE(jet::encodeCodePage("\xE6\x97\xA5", 1250).has_value());
  for (int i = 0; i < 500; ++i) {
    const std::string text = "\xC5\xA0koda " + std::to_string(i);  // "Škoda"
    const auto bytes = jet::encodeCodePage(text, 1250);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(static_cast<std::uint8_t>((*bytes)[0]), 0x8A);
    const Bytes raw(bytes->begin(), bytes->end());
    EXPECT_EQ(jet::decodeCodePage(raw, 1250), text);
  }
}

TEST(CodePageText, AsciiTextIsTheSameInEveryCodePage) {
  const Bytes b = {'P', 'l', 'a', 'i', 'n', ' ', '~', 0x7F};
  for (const std::uint16_t cp : {1250, 1251, 1252, 932, 936, 949, 950, 874}) {
    EXPECT_EQ(jet::decodeCodePage(b, cp), "Plain ~\x7F") << cp;
    EXPECT_EQ(jet::encodeCodePage("Plain ~\x7F", cp), std::optional<std::string>("Plain ~\x7F")) << cp;
  }
}

}  // namespace
