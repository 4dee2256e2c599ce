// Index keys our encoder makes, compared byte for byte with the leaf entries
// Access wrote in corpus files for the same values.
#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "jet/byte_reader.h"
#include "jet/database.h"
#include "jet/writer_keys.h"
#include "tests/corpus.h"
#include "tests/jet/writer_support.h"

namespace {

using namespace jet;
using namespace writer_test;

constexpr std::size_t kPage = 4096;

std::vector<std::uint8_t> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Every key (entry without its row pointer) on the leaf pages of one table.
std::set<ByteBuffer> leafKeys(const std::vector<std::uint8_t>& file, std::uint32_t tdefPage) {
  std::set<ByteBuffer> keys;
  for (std::size_t p = 1; (p + 1) * kPage <= file.size(); ++p) {
    const std::span<const std::uint8_t> bytes(file.data() + p * kPage, kPage);
    const ByteReader page(bytes, Where{"corpus", static_cast<std::int64_t>(p)});
    if (page.u8(0) != 0x04 || page.u32(4) != tdefPage) continue;
    const std::size_t prefix = page.u16(24);
    ByteBuffer first;
    std::size_t start = 0;
    for (std::size_t bit = 0; bit < (0x1E0 - 27) * 8; ++bit) {
      if (((page.u8(27 + bit / 8) >> (bit % 8)) & 1) == 0) continue;
      const auto stored = page.span(0x1E0 + start, bit - start);
      ByteBuffer entry;
      if (first.empty()) {
        entry.assign(stored.begin(), stored.end());
        first = entry;
      } else {
        entry.assign(first.begin(), first.begin() + static_cast<std::ptrdiff_t>(prefix));
        entry.insert(entry.end(), stored.begin(), stored.end());
      }
      entry.resize(entry.size() - 4);
      keys.insert(entry);
      start = bit;
    }
  }
  return keys;
}

// One column of a table as mdb-export prints it (nullopt for an empty field).
std::vector<std::optional<std::string>> exportColumn(const std::string& file, const std::string& table,
                                                     const std::string& column) {
  const Output r = run("mdb-export -e -Q -d '\\t' " + shellQuote(file) + " " + shellQuote(table));
  std::vector<std::optional<std::string>> out;
  std::stringstream lines(r.out);
  std::string line;
  std::getline(lines, line);
  std::vector<std::string> header;
  std::stringstream hs(line);
  std::string cell;
  while (std::getline(hs, cell, '\t')) header.push_back(cell);
  const auto at = std::find(header.begin(), header.end(), column) - header.begin();
  while (std::getline(lines, line)) {
    std::vector<std::string> cells;
    std::size_t from = 0;
    while (true) {
      const std::size_t tab = line.find('\t', from);
      cells.push_back(line.substr(from, tab == std::string::npos ? std::string::npos : tab - from));
      if (tab == std::string::npos) break;
      from = tab + 1;
    }
    if (static_cast<std::size_t>(at) >= cells.size() || cells[at].empty()) {
      out.push_back(std::nullopt);
    } else {
      out.push_back(cells[at]);
    }
  }
  return out;
}

struct TextIndex {
  const char* file;
  const char* table;
  const char* column;
};

class AccessTextKeys : public ::testing::TestWithParam<TextIndex> {};

TEST_P(AccessTextKeys, EveryValueEncodesToAKeyAccessWrote) {
  if (!haveTool("mdb-export")) GTEST_SKIP() << "mdbtools are not installed";
  const TextIndex& ix = GetParam();
  const std::string path = corpus::path(ix.file);
  const auto keys = leafKeys(readFile(path), Database::open(path)->tableDef(ix.table).definitionPage);
  ASSERT_FALSE(keys.empty());
  const auto values = exportColumn(path, ix.table, ix.column);
  ASSERT_FALSE(values.empty());
  std::size_t checked = 0;
  for (const auto& v : values) {
    ByteBuffer key;
    appendIndexKey(key, ColumnType::Text, v ? Value{*v} : Value{}, true, "test");
    EXPECT_TRUE(keys.count(key) == 1) << "no Access key for '" << (v ? *v : "<null>") << "'";
    ++checked;
  }
  EXPECT_EQ(checked, values.size());
}

INSTANTIATE_TEST_SUITE_P(
    Northwind, AccessTextKeys,
    ::testing::Values(TextIndex{"jet4-northwind-2000-kbfakt.mdb", "Customers", "CompanyName"},
                      TextIndex{"jet4-northwind-2000-kbfakt.mdb", "Customers", "City"},
                      TextIndex{"jet4-northwind-2000-kbfakt.mdb", "Customers", "Region"},
                      TextIndex{"jet4-northwind-2000-kbfakt.mdb", "Customers", "PostalCode"},
                      TextIndex{"jet4-northwind-2000-kbfakt.mdb", "Customers", "CustomerID"},
                      // 'ß' with a hyphen after it, and with an umlaut after it.
                      TextIndex{"jet4-northwind-2000-kbfakt.mdb", "Products", "ProductName"},
                      TextIndex{"jet4-northwind-2000-kbfakt.mdb", "Suppliers", "CompanyName"},
                      TextIndex{"jet4-psc-phillips-nwind.mdb", "Products", "ProductName"}));

TEST(IndexKeys, NumbersSortAsUnsignedBytes) {
  const std::vector<std::int32_t> values = {-2147483647 - 1, -70000, -1, 0, 1, 255, 256, 2147483647};
  ByteBuffer previous;
  for (std::int32_t v : values) {
    ByteBuffer key;
    appendIndexKey(key, ColumnType::Long, Value{v}, true, "test");
    EXPECT_LT(previous, key) << v;
    previous = key;
  }
  const std::vector<double> doubles = {-1e300, -2.5, -0.0001, 0.0, 0.0001, 2.5, 1e300};
  previous.clear();
  for (double v : doubles) {
    ByteBuffer key;
    appendIndexKey(key, ColumnType::Double, Value{v}, true, "test");
    EXPECT_LT(previous, key) << v;
    previous = key;
  }
}

TEST(IndexKeys, DescendingKeysReverseTheOrder) {
  ByteBuffer a, b;
  appendIndexKey(a, ColumnType::Text, Value{std::string("apple")}, false, "test");
  appendIndexKey(b, ColumnType::Text, Value{std::string("banana")}, false, "test");
  EXPECT_GT(a, b);
  ByteBuffer x, y;
  appendIndexKey(x, ColumnType::Integer, Value{std::int16_t{-5}}, false, "test");
  appendIndexKey(y, ColumnType::Integer, Value{std::int16_t{7}}, false, "test");
  EXPECT_GT(x, y);
}

TEST(IndexKeys, ParentIdKeyMatchesTheCatalogIndexOfJet) {
  // MSysObjects' ParentId 0x0F000000, as every Jet 4 corpus file stores it.
  ByteBuffer key;
  appendIndexKey(key, ColumnType::Long, Value{std::int32_t{0x0F000000}}, true, "test");
  EXPECT_EQ(key, (ByteBuffer{0x7F, 0x8F, 0x00, 0x00, 0x00}));
}

TEST(IndexKeys, CaseAndTrailingSpacesDoNotChangeATextKey) {
  ByteBuffer a, b;
  appendIndexKey(a, ColumnType::Text, Value{std::string("DataAccessPages")}, true, "test");
  appendIndexKey(b, ColumnType::Text, Value{std::string("dataaccesspages   ")}, true, "test");
  EXPECT_EQ(a, b);
  // As empty.mdb holds it for the container of that name.
  EXPECT_EQ(a, (ByteBuffer{0x7F, 0x4F, 0x4A, 0x6D, 0x4A, 0x4A, 0x4D, 0x4D, 0x51, 0x6B, 0x6B, 0x66,
                           0x4A, 0x55, 0x51, 0x6B, 0x01, 0x00}));
}

}  // namespace

namespace {

// 'ß' sorts as "ss": Access places the codes of what follows it as after two
// letters (see the Northwind entries above), so both spellings share a key.
TEST(IndexKeys, ALetterThatSortsAsTwoTakesTwoPositionsInTheTrailingCodes) {
  const auto key = [](const std::string& s) {
    ByteBuffer k;
    jet::appendIndexKey(k, jet::ColumnType::Text, jet::Value{s}, true, "test");
    return k;
  };
  EXPECT_EQ(key("Nu\xC3\x9F-Nougat"), key("Nuss-Nougat"));
  EXPECT_EQ(key("gro\xC3\x9Fm\xC3\xA4rkte"), key("grossm\xC3\xA4rkte"));
  EXPECT_NE(key("Nu\xC3\x9F-Nougat"), key("Nus-Nougat"));
}

}  // namespace
