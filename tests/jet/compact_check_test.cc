// jet::checkDatabase over compacted files: a whole result passes, and a
// result damaged at a named byte fails with that page in the report.
#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "jet/check.h"
#include "jet/compactor.h"
#include "jet/database.h"
#include "jet/usage_map.h"
#include "tests/corpus.h"
#include "tests/jet/writer_support.h"

namespace {

using namespace jet;
using writer_test::Scratch;

constexpr std::size_t kPage = 4096;

std::string compacted(const Scratch& dir, const std::string& name) {
  const std::string out = dir.file("result.mdb");
  compactDatabase(corpus::path(name), out, kCompactJet40);
  return out;
}

void poke(const std::string& path, std::uint64_t offset, std::uint8_t value) {
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(static_cast<std::streamoff>(offset));
  f.put(static_cast<char>(value));
}

std::uint8_t peek(const std::string& path, std::uint64_t offset) {
  std::ifstream f(path, std::ios::binary);
  f.seekg(static_cast<std::streamoff>(offset));
  return static_cast<std::uint8_t>(f.get());
}

std::string joined(const CheckReport& r) {
  std::string s;
  for (const auto& p : r.problems) s += p + "\n";
  return s;
}

// The first table of the result with rows and an index, as the reader sees it.
TableDef indexedTable(const std::string& path) {
  auto db = Database::open(path);
  for (const auto& e : db->objects()) {
    if (!e.isLocalTable() || e.name.rfind("MSys", 0) == 0) continue;
    TableDef def = db->tableDef(e);
    if (def.rowCount > 3 && !def.physicalIndexes.empty()) return def;
  }
  ADD_FAILURE() << "no indexed table with rows in " << path;
  return {};
}

std::uint32_t firstDataPage(const std::string& path, const TableDef& def) {
  auto db = Database::open(path);
  const auto pages = readUsageMap(db->file(), def.ownedPagesMap);
  return pages.empty() ? 0 : pages.front();
}

class CompactedCorpusFile : public ::testing::TestWithParam<const char*> {};

TEST_P(CompactedCorpusFile, PassesTheCheckWithEveryRowIndexed) {
  Scratch dir;
  const std::string out = compacted(dir, GetParam());
  const CheckReport r = checkDatabase(out);
  EXPECT_TRUE(r.ok()) << joined(r);
  EXPECT_GT(r.rows, 0u);
  EXPECT_GT(r.indexEntries, 0u);
  EXPECT_EQ(r.unverifiedKeys, 0u);
}

INSTANTIATE_TEST_SUITE_P(Corpus, CompactedCorpusFile,
                         ::testing::Values("jet3-mdbtestdata-nwind.mdb",
                                           "jet2-sighor-hor_udep-vb3app.mdb",
                                           "jet4-jackcess-delTest-access2000.mdb"));

TEST(CompactCheck, ARowSlotPointingOutsideItsPageIsReportedWithThePage) {
  Scratch dir;
  const std::string out = compacted(dir, "jet3-mdbtestdata-nwind.mdb");
  const std::uint32_t page = firstDataPage(out, indexedTable(out));
  ASSERT_GT(page, 0u);
  // Slot 0's offset (page byte 14) raised past the page's end.
  poke(out, page * kPage + 15, 0x1F);
  poke(out, page * kPage + 14, 0xF0);
  const CheckReport r = checkDatabase(out);
  EXPECT_FALSE(r.ok());
  EXPECT_NE(joined(r).find("page " + std::to_string(page)), std::string::npos) << joined(r);
}

TEST(CompactCheck, AChangedIndexKeyByteIsReportedWithTheIndexPage) {
  Scratch dir;
  const std::string out = compacted(dir, "jet3-mdbtestdata-nwind.mdb");
  const TableDef def = indexedTable(out);
  const std::uint32_t root = def.physicalIndexes.front().rootPage;
  // The second byte of the first entry: the first byte of its key's value.
  const std::uint64_t at = root * kPage + 0x1E0 + 1;
  poke(out, at, static_cast<std::uint8_t>(peek(out, at) ^ 0x40));
  const CheckReport r = checkDatabase(out);
  EXPECT_FALSE(r.ok());
  const std::string text = joined(r);
  EXPECT_TRUE(text.find("page " + std::to_string(root)) != std::string::npos ||
              text.find("of table '" + def.name + "'") != std::string::npos)
      << text;
}

TEST(CompactCheck, APageDroppedFromItsTablesUsageMapIsReported) {
  Scratch dir;
  const std::string out = compacted(dir, "jet3-mdbtestdata-nwind.mdb");
  const TableDef def = indexedTable(out);
  const std::uint32_t page = firstDataPage(out, def);
  // A wrong owner in the page header: the page claims another table.
  poke(out, page * kPage + 4, static_cast<std::uint8_t>(peek(out, page * kPage + 4) ^ 0x01));
  const CheckReport r = checkDatabase(out);
  EXPECT_FALSE(r.ok());
  EXPECT_NE(joined(r).find("page " + std::to_string(page)), std::string::npos) << joined(r);
}

TEST(CompactCheck, TheCommandExitsOneForADamagedFileAndNamesThePage) {
  Scratch dir;
  const std::string out = compacted(dir, "jet3-mdbtestdata-nwind.mdb");
  const std::uint32_t page = firstDataPage(out, indexedTable(out));
  const auto whole =
      writer_test::run(writer_test::cliCommand("check " + writer_test::shellQuote(out)));
  EXPECT_EQ(WEXITSTATUS(whole.status), 0) << whole.out;
  poke(out, page * kPage + 15, 0x1F);
  poke(out, page * kPage + 14, 0xF0);
  const auto damaged =
      writer_test::run(writer_test::cliCommand("check " + writer_test::shellQuote(out)));
  EXPECT_EQ(WEXITSTATUS(damaged.status), 1);
  EXPECT_NE(damaged.out.find("page " + std::to_string(page)), std::string::npos) << damaged.out;
  const auto usage = writer_test::run(writer_test::cliCommand("check"));
  EXPECT_EQ(WEXITSTATUS(usage.status), 2);
}

}  // namespace

namespace {

TEST(CompactCheck, TheWritersKeysEqualTheOnesAccessBuiltInEveryJet4CorpusFile) {
  std::size_t files = 0, entries = 0;
  for (const auto& e : corpus::manifest()) {
    if (e.jetVersion != "jet4") continue;
    CheckReport r;
    try {
      r = checkDatabase(corpus::path(e.name));
    } catch (const Error& err) {
      continue;  // password-protected: nothing to compare
    }
    ++files;
    entries += r.indexEntries;
    std::size_t differing = 0;
    for (const auto& p : r.problems) {
      if (p.find("is not the key of its values") != std::string::npos) ++differing;
    }
    EXPECT_EQ(differing, 0u) << e.name << "\n" << joined(r);
  }
  EXPECT_GT(files, 40u);
  RecordProperty("index_entries_compared", static_cast<int>(entries));
}

}  // namespace
