// Damaged files: truncation, page numbers past the end, loops in chains and
// random bytes. Each is an error (3049 naming the page), never a crash or hang.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "../corpus.h"
#include "fuzz/read_all.h"
#include "hand_made.h"
#include "jet/compactor.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/layout/tdef.h"

namespace {

using hand_made::Bytes;

Bytes fileBytes(const std::string& name) {
  std::ifstream in(corpus::path(name), std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// Reads every table; returns the first error's number, or 0 when all read.
long readEverything(Bytes bytes) {
  try {
    const auto db = jet::Database::open(std::move(bytes), "damaged.mdb");
    for (const auto& t : db->tables()) {
      if (!t.isLocalTable()) continue;
      const auto rows = db->rows(db->tableDef(t));
      jet::Row row;
      while (rows->next(row)) {
      }
    }
    return 0;
  } catch (const jet::Error& e) {
    return e.number();
  }
}

std::string errorText(Bytes bytes) {
  try {
    jet::Database::open(std::move(bytes), "damaged.mdb");
  } catch (const jet::Error& e) {
    return std::to_string(e.number()) + " " + e.what();
  }
  return "no error";
}

const char* const kJet4File = "jet4-northwind-2000-kbfakt.mdb";
const char* const kJet3File = "jet3-mdbtestdata-nwind.mdb";

TEST(Damage, TruncatedFileIsDamagedNotEmpty) {
  for (const char* name : {kJet4File, kJet3File}) {
    SCOPED_TRACE(name);
    Bytes b = fileBytes(name);
    ASSERT_GT(b.size(), 100000u);
    b.resize(b.size() / 3);
    EXPECT_EQ(readEverything(b), jet::kErrDamaged);
  }
}

TEST(Damage, EveryTruncationPointGivesAnErrorOrAFullRead) {
  const Bytes whole = fileBytes(kJet3File);
  for (std::size_t size = 2048; size < whole.size(); size += 2048 * 7 + 13) {
    const Bytes part(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
    const long number = readEverything(part);
    EXPECT_TRUE(number == 0 || number == jet::kErrDamaged) << size << ": " << number;
  }
}

TEST(Damage, CatalogUsageMapPastTheEndNamesThePage) {
  Bytes b = fileBytes(kJet4File);
  const std::size_t page2 = 2 * 4096;
  // Owned-pages map of MSysObjects now points to row 0 of page 0xFFFFFF.
  hand_made::put32(b, page2 + jet::layout::kTdefJet4.ownedPagesMap, 0xFFFFFF00u);
  const std::string text = errorText(b);
  EXPECT_EQ(text.substr(0, 4), "3049") << text;
  EXPECT_NE(text.find("page 16777215"), std::string::npos) << text;
}

TEST(Damage, TableDefinitionChainThatLoopsIsAnError) {
  Bytes b = fileBytes(kJet3File);
  hand_made::put32(b, 2 * 2048 + jet::layout::kTdefNextPage, 2);  // page 2 continues on itself
  const std::string text = errorText(b);
  EXPECT_EQ(text.substr(0, 4), "3049") << text;
  EXPECT_NE(text.find("returns to page 2"), std::string::npos) << text;
}

TEST(Damage, AbsurdColumnCountIsRefusedBeforeAnyAllocation) {
  Bytes b = fileBytes(kJet4File);
  hand_made::put16(b, 2 * 4096 + jet::layout::kTdefJet4.columnCount, 0xFFFF);
  const std::string text = errorText(b);
  EXPECT_EQ(text.substr(0, 4), "3049") << text;
  EXPECT_NE(text.find("columns"), std::string::npos) << text;
}

TEST(Damage, RandomPagesBehindAValidHeaderNeverCrash) {
  std::mt19937 random(12345);
  for (int round = 0; round < 200; ++round) {
    const jet::JetVersion v = round % 2 ? jet::JetVersion::Jet4 : jet::JetVersion::Jet3;
    Bytes b = hand_made::headerPage(v);
    const std::size_t pages = 1 + random() % 6;
    for (std::size_t i = 0; i < pages * jet::pageSizeOf(v); ++i) {
      b.push_back(static_cast<std::uint8_t>(random()));
    }
    // Make page 2 look like a TDEF so the reader goes beyond the first check.
    if (b.size() > 2 * jet::pageSizeOf(v)) b[2 * jet::pageSizeOf(v)] = 0x02;
    try {
      jet_fuzz::readAll(b);
    } catch (const jet::Error& e) {
      EXPECT_TRUE(e.number() == jet::kErrDamaged || e.number() == jet::kErrNotADatabase ||
                  e.number() == jet::kErrPassword)
          << e.what();
    }
  }
}

// Found by the long byte-flip run: with one byte changed, an index of
// MSysModules2 names column 1792. Reading passes (nothing reads that index),
// the compaction refuses it, and its error must name the file, not the table.
TEST(Damage, CompactingAnIndexOverAMissingColumnNamesTheSourceFile) {
  namespace fs = std::filesystem;
  Bytes b = fileBytes("jet3-psc-lockwood-test.mdb");
  constexpr std::size_t kAt = 43208;  // low byte of that index's first column number
  ASSERT_GT(b.size(), kAt);
  ASSERT_EQ(b[kAt], 4) << "the corpus file changed";
  b[kAt] = 126;
  const fs::path dir = fs::temp_directory_path() / ("jetlift-damage-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string source = (dir / "lockwood-flipped.mdb").string();
  std::ofstream(source, std::ios::binary)
      .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
  EXPECT_EQ(readEverything(b), 0);
  try {
    jet::compactDatabase(source, (dir / "out.mdb").string(), jet::kCompactJet40);
    ADD_FAILURE() << "the compaction took an index over a missing column";
  } catch (const jet::Error& e) {
    EXPECT_EQ(e.number(), jet::kErrDamaged);
    EXPECT_NE(std::string(e.what()).find(source), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("MSysModules2"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(fs::exists(dir / "out.mdb"));
  fs::remove_all(dir);
}

}  // namespace
