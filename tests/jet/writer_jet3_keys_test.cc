// Jet 3 text keys (General 97): the key Access 97 stored for a system object
// name, case folding, trailing spaces, descending order, and the refusals.
#include <gtest/gtest.h>

#include "jet/error.h"
#include "jet/writer_jet3.h"
#include "jet/writer_keys.h"

namespace {

using namespace jet;

ByteBuffer key97(const std::string& text, bool ascending = true) {
  ByteBuffer k;
  appendGeneral97TextKey(k, text, 1252, ascending, "test");
  return k;
}

TEST(Jet3Keys, ASystemObjectNameGetsTheKeyAccess97Stored) {
  // MSysObjects' ParentIdName entry of "DataAccessPages" in an Access 97 file.
  const ByteBuffer expected = {0x64, 0x60, 0x77, 0x60, 0x60, 0x62, 0x62, 0x66,
                               0x76, 0x76, 0x73, 0x60, 0x68, 0x66, 0x76, 0x00};
  EXPECT_EQ(key97("DataAccessPages"), expected);
}

TEST(Jet3Keys, CaseAndTrailingSpacesDoNotChangeTheKey) {
  EXPECT_EQ(key97("MSysObjects"), key97("msysobjects"));
  EXPECT_EQ(key97("Name  "), key97("Name"));
  EXPECT_NE(key97("Name"), key97("Names"));
}

TEST(Jet3Keys, DescendingKeysAreTheAscendingBytesInverted) {
  const ByteBuffer up = key97("Order 12"), down = key97("Order 12", false);
  ASSERT_EQ(up.size(), down.size());
  for (std::size_t i = 0; i < up.size(); ++i) EXPECT_EQ(down[i], static_cast<std::uint8_t>(~up[i]));
}

TEST(Jet3Keys, IndexKeysOfTextSortLikeTheirWords) {
  ByteBuffer a, b;
  appendIndexKey(a, ColumnType::Text, Value{std::string("apple")}, true, "t", 3, 1252);
  appendIndexKey(b, ColumnType::Text, Value{std::string("Banana")}, true, "t", 3, 1252);
  EXPECT_LT(a, b);
}

TEST(Jet3Keys, AccentedLettersAndOtherCodePagesAreRefusedNotGuessed) {
  EXPECT_THROW(key97("caf\xC3\xA9"), Error);
  ByteBuffer k;
  EXPECT_THROW(appendGeneral97TextKey(k, "abc", 1251, true, "t"), Error);
}

}  // namespace
