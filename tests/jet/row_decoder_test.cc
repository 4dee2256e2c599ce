// Rows decoded from hand-made bytes: null masks, fixed and variable columns,
// Jet 3 jump tables, and the value encodings with tricky edges.
#include <gtest/gtest.h>

#include "hand_made.h"
#include "jet/byte_reader.h"
#include "jet/error.h"
#include "jet/row_decoder.h"
#include "jet/value_text.h"

namespace {

using hand_made::Bytes;
using jet::ColumnType;

jet::Column fixedColumn(ColumnType type, std::uint16_t number, std::uint16_t offset) {
  jet::Column c;
  c.name = "f" + std::to_string(number);
  c.type = type;
  c.number = number;
  c.fixedOffset = offset;
  c.flags = jet::kColumnFixed;
  c.length = static_cast<std::uint16_t>(jet::fixedSizeOf(type));
  return c;
}

jet::Column variableColumn(ColumnType type, std::uint16_t number, std::uint16_t varIndex) {
  jet::Column c;
  c.name = "v" + std::to_string(number);
  c.type = type;
  c.number = number;
  c.varIndex = varIndex;
  return c;
}

// A Jet 4 row: column count, fixed bytes, variable values, offsets (backwards), count, mask.
Bytes jet4Row(unsigned columns, const Bytes& fixed, const std::vector<Bytes>& values,
              std::uint32_t presentBits) {
  Bytes row = {static_cast<std::uint8_t>(columns), static_cast<std::uint8_t>(columns >> 8)};
  row.insert(row.end(), fixed.begin(), fixed.end());
  std::vector<std::uint16_t> offsets;
  for (const auto& v : values) {
    offsets.push_back(static_cast<std::uint16_t>(row.size()));
    row.insert(row.end(), v.begin(), v.end());
  }
  offsets.push_back(static_cast<std::uint16_t>(row.size()));
  for (std::size_t i = offsets.size(); i-- > 0;) {
    row.push_back(static_cast<std::uint8_t>(offsets[i]));
    row.push_back(static_cast<std::uint8_t>(offsets[i] >> 8));
  }
  row.push_back(static_cast<std::uint8_t>(values.size()));
  row.push_back(0);
  for (unsigned i = 0; i < (columns + 7) / 8; ++i) row.push_back(static_cast<std::uint8_t>(presentBits >> (8 * i)));
  return row;
}

jet::Row decode(const jet::PageFile& file, const jet::TableDef& def, const Bytes& row) {
  jet::RowDecoder decoder(file, def);
  const jet::ByteReader r(row, file.where(1));
  jet::Row out;
  decoder.decode(r, 0, row.size(), out);
  return out;
}

jet::TableDef table(std::vector<jet::Column> columns) {
  jet::TableDef def;
  def.name = "T";
  def.definitionPage = 2;
  for (const auto& c : columns) {
    if (!c.fixed()) ++def.variableColumnCount;
  }
  def.columns = std::move(columns);
  return def;
}

TEST(Jet4Row, FixedVariableBooleanAndNullColumnsDecode) {
  const auto file = hand_made::open(jet::JetVersion::Jet4, {});
  const jet::TableDef def = table({fixedColumn(ColumnType::Long, 0, 0),
                                   variableColumn(ColumnType::Text, 1, 0),
                                   fixedColumn(ColumnType::Boolean, 2, 0),
                                   fixedColumn(ColumnType::Currency, 3, 4),
                                   variableColumn(ColumnType::Text, 4, 1)});
  Bytes fixed = {0x39, 0x30, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  // Columns 0..3 present (bit 2 is the Boolean's value: true); column 4 null.
  const jet::Row row = decode(*file, def, jet4Row(5, fixed, {{0xFF, 0xFE, 'h', 'i'}, {}}, 0x0F));
  ASSERT_EQ(row.size(), 5u);
  EXPECT_EQ(std::get<std::int32_t>(row[0]), 12345);
  EXPECT_EQ(std::get<std::string>(row[1]), "hi");
  EXPECT_EQ(std::get<bool>(row[2]), true);
  EXPECT_EQ(jet::currencyText(std::get<jet::Currency>(row[3])), "-0.0001");
  EXPECT_TRUE(jet::isNull(row[4]));
}

TEST(Jet4Row, ColumnsAddedAfterTheRowWasWrittenAreNull) {
  const auto file = hand_made::open(jet::JetVersion::Jet4, {});
  const jet::TableDef def = table({fixedColumn(ColumnType::Long, 0, 0),
                                   fixedColumn(ColumnType::Boolean, 9, 0),
                                   variableColumn(ColumnType::Text, 10, 0)});
  const jet::Row row = decode(*file, def, jet4Row(1, {1, 0, 0, 0}, {}, 0x01));
  EXPECT_EQ(std::get<std::int32_t>(row[0]), 1);
  EXPECT_EQ(std::get<bool>(row[1]), false);
  EXPECT_TRUE(jet::isNull(row[2]));
}

TEST(Jet4Row, DecimalDateAndGuidDecode) {
  const auto file = hand_made::open(jet::JetVersion::Jet4, {});
  jet::Column dec = fixedColumn(ColumnType::Decimal, 0, 0);
  dec.scale = 2;
  const jet::TableDef def = table({dec, fixedColumn(ColumnType::DateTime, 1, 17),
                                   fixedColumn(ColumnType::Guid, 2, 25)});
  Bytes fixed(17 + 8 + 16, 0);
  fixed[0] = 0x80;  // negative
  hand_made::put32(fixed, 13, 12345);  // least significant word comes last
  const double date = -1.25;
  std::memcpy(&fixed[17], &date, 8);
  for (int i = 0; i < 16; ++i) fixed[25 + i] = static_cast<std::uint8_t>(i);
  const jet::Row row = decode(*file, def, jet4Row(3, fixed, {}, 0x07));
  EXPECT_EQ(jet::decimalText(std::get<jet::Decimal>(row[0])), "-123.45");
  EXPECT_EQ(jet::dateText(std::get<jet::DateTime>(row[1]).oaDate), "1899-12-29T06:00:00");
  EXPECT_EQ(jet::guidText(std::get<jet::Guid>(row[2])), "{03020100-0504-0706-0809-0A0B0C0D0E0F}");
}

TEST(Jet4Row, OffsetPastTheRowIsDamage) {
  const auto file = hand_made::open(jet::JetVersion::Jet4, {});
  const jet::TableDef def = table({variableColumn(ColumnType::Text, 0, 0)});
  Bytes row = jet4Row(1, {}, {{'a', 0}}, 0x01);
  row[row.size() - 5] = 0x7F;  // the end-of-data offset, now far beyond the row
  try {
    decode(*file, def, row);
    FAIL() << "decoded a row whose offsets leave it";
  } catch (const jet::Error& e) {
    EXPECT_EQ(e.number(), jet::kErrDamaged);
    EXPECT_NE(std::string(e.what()).find("page 1"), std::string::npos) << e.what();
  }
}

// A Jet 3 row: count byte, data, offsets (backwards), jump bytes, count, mask.
Bytes jet3Row(const std::vector<Bytes>& values, const std::vector<std::uint8_t>& jumps) {
  Bytes row = {static_cast<std::uint8_t>(values.size())};
  std::vector<std::size_t> offsets;
  for (const auto& v : values) {
    offsets.push_back(row.size());
    row.insert(row.end(), v.begin(), v.end());
  }
  offsets.push_back(row.size());
  for (std::size_t i = offsets.size(); i-- > 0;) row.push_back(static_cast<std::uint8_t>(offsets[i]));
  for (std::size_t j = jumps.size(); j-- > 0;) row.push_back(jumps[j]);
  row.push_back(static_cast<std::uint8_t>(values.size()));
  row.push_back(0xFF);  // every column present
  return row;
}

TEST(Jet3Row, JumpTableCarriesOffsetsPast256) {
  const auto file = hand_made::open(jet::JetVersion::Jet3, {});
  const jet::TableDef def = table({variableColumn(ColumnType::Text, 0, 0),
                                   variableColumn(ColumnType::Text, 1, 1)});
  // Data ends at 301: the end-of-data entry (index 2) is the first at or past 256.
  const Bytes row = jet3Row({Bytes(200, 'a'), Bytes(100, 'b')}, {2});
  ASSERT_EQ(row.size(), 307u);
  const jet::Row out = decode(*file, def, row);
  EXPECT_EQ(std::get<std::string>(out[0]), std::string(200, 'a'));
  EXPECT_EQ(std::get<std::string>(out[1]), std::string(100, 'b'));
}

TEST(Jet3Row, DummyJumpByteIsIgnoredWhenTheDataStaysBelow256) {
  const auto file = hand_made::open(jet::JetVersion::Jet3, {});
  const jet::TableDef def = table({variableColumn(ColumnType::Text, 0, 0),
                                   variableColumn(ColumnType::Text, 1, 1)});
  // 253 bytes of data; the offset table pushes the row past 256, so one dummy jump byte.
  const Bytes row = jet3Row({Bytes(250, 'x'), Bytes(2, 'y')}, {0xFF});
  ASSERT_EQ(row.size(), 259u);
  const jet::Row out = decode(*file, def, row);
  EXPECT_EQ(std::get<std::string>(out[0]), std::string(250, 'x'));
  EXPECT_EQ(std::get<std::string>(out[1]), "yy");
}

TEST(Jet3Row, TextUsesTheColumnsCodePage) {
  const auto file = hand_made::open(jet::JetVersion::Jet3, {});
  jet::Column c = variableColumn(ColumnType::Text, 0, 0);
  c.codePage = 1251;
  const jet::TableDef def = table({c});
  const jet::Row out = decode(*file, def, jet3Row({{0xC4, 0xE0}}, {}));
  EXPECT_EQ(std::get<std::string>(out[0]), "\xD0\x94\xD0\xB0");  // "Да"
}

}  // namespace
