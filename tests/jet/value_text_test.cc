// The canonical text forms of values used by dump, export and verification.
#include <gtest/gtest.h>

#include "jet/value_text.h"

namespace {

TEST(CurrencyText, HasFourDecimalsAndKeepsTheSignOfSmallNegatives) {
  EXPECT_EQ(jet::currencyText({123400}), "12.3400");
  EXPECT_EQ(jet::currencyText({-5}), "-0.0005");
  EXPECT_EQ(jet::currencyText({-123456789}), "-12345.6789");
  EXPECT_EQ(jet::currencyText({INT64_MIN}), "-922337203685477.5808");
}

TEST(DecimalText, PlacesThePointByScaleAndPadsLeadingZeros) {
  EXPECT_EQ(jet::decimalText({false, 0, 12345, 2}), "123.45");
  EXPECT_EQ(jet::decimalText({true, 0, 5, 3}), "-0.005");
  EXPECT_EQ(jet::decimalText({true, 0, 0, 2}), "0.00");
  EXPECT_EQ(jet::decimalText({false, 0, 7, 0}), "7");
  // 2^64 needs the high word.
  EXPECT_EQ(jet::decimalText({false, 1, 0, 0}), "18446744073709551616");
}

TEST(DateText, WholeSecondsHaveNoFraction) {
  EXPECT_EQ(jet::dateText(0.0), "1899-12-30T00:00:00");
  EXPECT_EQ(jet::dateText(36526.5), "2000-01-01T12:00:00");
}

TEST(DateText, MillisecondsAppearWhenNotWholeSeconds) {
  EXPECT_EQ(jet::dateText(36526.0 + 1.5 / 86400.0), "2000-01-01T00:00:01.500");
}

TEST(DateText, NegativeDatesUseTheAbsoluteFractionAsTimeOfDay) {
  // -1.25: one day before the epoch, at 06:00 (not 18:00 of the day before).
  EXPECT_EQ(jet::dateText(-1.25), "1899-12-29T06:00:00");
  EXPECT_EQ(jet::dateText(-0.5), "1899-12-30T12:00:00");
  EXPECT_EQ(jet::dateText(-657434.0), "0100-01-01T00:00:00");
}

TEST(DateText, RoundingToAFullDayMovesToTheNextDay) {
  EXPECT_EQ(jet::dateText(1.0 - 1e-10), "1899-12-31T00:00:00");
}

TEST(GuidText, FirstThreeGroupsAreLittleEndianAndHexIsUppercase) {
  jet::Guid g;
  for (int i = 0; i < 16; ++i) g.bytes[i] = static_cast<std::uint8_t>(0xA0 + i);
  EXPECT_EQ(jet::guidText(g), "{A3A2A1A0-A5A4-A7A6-A8A9-AAABACADAEAF}");
}

TEST(FloatText, IsTheShortestTextThatReadsBack) {
  EXPECT_EQ(jet::floatText(1.1f), "1.1");
  EXPECT_EQ(jet::doubleText(0.1), "0.1");
  EXPECT_EQ(jet::doubleText(1e300), "1e+300");
}

TEST(JsonValue, EncodesEachTypeAsDumpPromises) {
  auto json = [](const jet::Value& v) {
    std::string s;
    jet::appendValueJson(s, v);
    return s;
  };
  EXPECT_EQ(json(jet::Null{}), "null");
  EXPECT_EQ(json(true), "true");
  EXPECT_EQ(json(std::uint8_t{200}), "200");
  EXPECT_EQ(json(std::int16_t{-3}), "-3");
  EXPECT_EQ(json(jet::Currency{10000}), "\"1.0000\"");
  EXPECT_EQ(json(jet::Bytes{0x0A, 0xFF}), "\"0aff\"");
  EXPECT_EQ(json(std::string("a\"b\n")), "\"a\\\"b\\n\"");
  EXPECT_EQ(json(std::numeric_limits<double>::quiet_NaN()), "\"nan\"");
}

TEST(CsvField, QuotesOnlyWhenNeededAndDoublesQuotes) {
  std::string s;
  jet::appendCsvField(s, "plain");
  s += ',';
  jet::appendCsvField(s, "a,\"b\"");
  EXPECT_EQ(s, "plain,\"a,\"\"b\"\"\"");
}

}  // namespace
