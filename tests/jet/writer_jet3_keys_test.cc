// Jet 3 text keys (General 97): every key of every index Access 97 built in
// the Jet 3 corpus files against our encoding of its row, the key of a
// system object name, case folding, trailing spaces, descending order, and
// the refusals.
#include <gtest/gtest.h>

#include <map>
#include <unordered_map>

#include "jet/database.h"
#include "jet/error.h"
#include "jet/index_pages.h"
#include "jet/page_file.h"
#include "jet/table_scan.h"
#include "jet/writer_jet3.h"
#include "jet/writer_keys.h"
#include "tests/corpus.h"

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

TEST(Jet3Keys, OtherCodePagesAreRefusedNotGuessed) {
  ByteBuffer k;
  EXPECT_THROW(appendGeneral97TextKey(k, "abc", 1251, true, "t"), Error);
}

TEST(Jet3Keys, AnAccentAddsItsCodeAfterThePlaceholdersOfTheLettersBeforeIt) {
  // Unaccented text ends in 0x00; accents add a nibble stream instead.
  EXPECT_EQ(key97("cafe").back(), 0x00);
  EXPECT_NE(key97("caf\xC3\xA9"), key97("cafe"));
  EXPECT_LT(key97("cafe"), key97("caf\xC3\xA9"));
  // The accent stream sorts after the letters: "cafes" still follows "café".
  EXPECT_LT(key97("caf\xC3\xA9"), key97("cafes"));
  // Case does not matter for accented letters either.
  EXPECT_EQ(key97("CAF\xC3\x89"), key97("caf\xC3\xA9"));
  // 'ß' counts as two letters before a later accent, like "ss".
  EXPECT_EQ(key97("gro\xC3\x9Fm\xC3\xA4rkte"), key97("grossm\xC3\xA4rkte"));
}

struct Compared {
  std::size_t files = 0, indexes = 0, entries = 0, textEntries = 0, accented = 0, skipped = 0;
};

bool hasAccent(const std::string& utf8) {
  for (unsigned char c : utf8) {
    if (c >= 0x80) return true;
  }
  return false;
}

// Every entry of every index of one file, re-made from its row. Text under
// another sort order than General (1033) is counted as skipped.
void compareFile(const std::string& name, Compared& total) {
  auto db = Database::open(corpus::path(name));
  ++total.files;
  for (const auto& e : db->objects()) {
    if (!e.isLocalTable()) continue;
    const TableDef def = db->tableDef(e);
    std::unordered_map<std::uint32_t, Row> rows;
    TableScan scan(db->file(), def);
    Row row;
    while (scan.next(row)) rows[scan.rowPointer()] = row;
    std::map<std::uint16_t, std::size_t> position;
    for (std::size_t c = 0; c < def.columns.size(); ++c) position[def.columns[c].number] = c;
    for (std::size_t i = 0; i < def.physicalIndexes.size(); ++i) {
      const PhysicalIndex& index = def.physicalIndexes[i];
      bool text = false, otherOrder = false;
      for (const IndexColumn& ic : index.columns) {
        const Column& c = def.columns.at(position.at(ic.columnNumber));
        if (c.type != ColumnType::Text && c.type != ColumnType::Memo) continue;
        text = true;
        otherOrder = otherOrder || c.sortOrder != 1033;
      }
      ++total.indexes;
      IndexWalker walker(db->file(), def, index);
      IndexPageEntry entry;
      while (walker.next(entry)) {
        if (otherOrder) {
          ++total.skipped;
          continue;
        }
        const auto found = rows.find(entry.rowPointer());
        ASSERT_NE(found, rows.end()) << name << ": " << def.name << " index " << i;
        ByteBuffer key;
        bool accent = false;
        for (const IndexColumn& ic : index.columns) {
          const std::size_t at = position.at(ic.columnNumber);
          const Value& v = found->second[at];
          if (const auto* s = std::get_if<std::string>(&v)) accent = accent || hasAccent(*s);
          appendIndexKey(key, def.columns[at].type, v, ic.ascending, "test", 3, 1252);
        }
        EXPECT_EQ(Bytes(key.begin(), key.end()), entry.key) << name << ": " << def.name << " index " << i;
        ++total.entries;
        if (text) ++total.textEntries;
        if (accent) ++total.accented;
      }
    }
  }
}

TEST(Jet3Keys, EveryKeyOfEveryJet3CorpusIndexIsTheOneAccess97Built) {
  Compared total;
  for (const auto& e : corpus::manifest()) {
    if (e.jetVersion != "jet3") continue;
    compareFile(e.name, total);
  }
  EXPECT_GE(total.files, 20u);
  EXPECT_GT(total.accented, 50u);
  std::cout << "compared " << total.entries << " entries of " << total.indexes << " indexes in "
            << total.files << " files (" << total.textEntries << " with text, " << total.accented
            << " with accented letters); " << total.skipped
            << " entries under another sort order skipped\n";
  RecordProperty("entries_compared", static_cast<int>(total.entries));
  RecordProperty("accented_entries", static_cast<int>(total.accented));
}

}  // namespace
