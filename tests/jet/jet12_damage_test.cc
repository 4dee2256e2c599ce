// Damaged copies of the Access 2.0 files: whatever is cut or changed, opening
// and reading every table ends in a jet::Error or a complete read, never in a
// crash, a foreign exception or a loop.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "jet12_support.h"

namespace {

using namespace jet12test;

std::string writeCopy(const std::string& tag, const std::vector<std::uint8_t>& bytes) {
  const std::string path = ::testing::TempDir() + "jet12_" + tag + ".mdb";
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

void putU32(std::vector<std::uint8_t>& raw, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) raw.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
}

// Where slot `slot` of page `page` starts (low 12 bits of its slot entry).
std::size_t rowStart(const std::vector<std::uint8_t>& raw, std::uint32_t page, unsigned slot) {
  const std::size_t entry = page * kPage + 0x14 + 2 * slot;
  return page * kPage + ((raw.at(entry) | (raw.at(entry + 1) << 8)) & 0x0FFF);
}

// The message of the error a full read of `bytes` ends in ("" when none).
std::string failureOf(const std::string& tag, const std::vector<std::uint8_t>& bytes) {
  const std::string path = writeCopy(tag, bytes);
  try {
    auto db = jet::Database::open(path);
    for (const auto& entry : db->tables()) {
      if (!entry.isLocalTable()) continue;
      auto cursor = db->rows(db->tableDef(entry));
      jet::Row row;
      while (cursor->next(row)) {
      }
    }
  } catch (const jet::Error& e) {
    EXPECT_EQ(e.number(), jet::kErrDamaged) << e.what();
    return e.what();
  }
  return "";
}

TEST(Jet12Damage, IntactCopiesReadCompletely) {
  for (const char* file : {kHor, kWizard, kCraze}) {
    EXPECT_EQ(readEverything(corpus::path(file)), 0) << file;
  }
}

TEST(Jet12Damage, TruncatedAtEveryPageBoundaryEndsInAnErrorOrACompleteRead) {
  for (const char* file : {kHor, kWizard, kCraze}) {
    SCOPED_TRACE(file);
    const auto raw = rawFile(file);
    const std::size_t pages = raw.size() / kPage;
    for (std::size_t keep = 1; keep < pages; ++keep) {
      const std::vector<std::uint8_t> cut(raw.begin(), raw.begin() + keep * kPage);
      const std::string path = writeCopy("cut", cut);
      const long rc = readEverything(path);
      // The catalog alone reaches past page 100 in every file.
      if (keep <= 100) {
        EXPECT_NE(rc, 0) << keep;
      }
      EXPECT_TRUE(rc == 0 || rc == jet::kErrDamaged || rc == jet::kErrNotADatabase) << keep;
    }
  }
}

TEST(Jet12Damage, FlippedBytesEndInAnErrorOrACompleteRead) {
  std::mt19937 random(20261206);
  for (const auto& [file, variants] : {std::pair{kHor, 150}, std::pair{kWizard, 150},
                                       std::pair{kCraze, 10}}) {
    SCOPED_TRACE(file);
    const auto raw = rawFile(file);
    int failures = 0;
    for (int variant = 0; variant < variants; ++variant) {
      auto bytes = raw;
      const int flips = 1 + static_cast<int>(random() % 16);
      for (int i = 0; i < flips; ++i) {
        const std::size_t at = random() % bytes.size();
        bytes[at] ^= static_cast<std::uint8_t>(1u << (random() % 8));
      }
      const long rc = readEverything(writeCopy("flip", bytes));
      EXPECT_TRUE(rc == 0 || rc == jet::kErrDamaged || rc == jet::kErrNotADatabase ||
                  rc == jet::kErrUnsupported)
          << variant << ": " << rc;
      failures += rc != 0;
    }
    // Flips in unused pages or values go unnoticed, but not all of them.
    EXPECT_GT(failures, 0);
  }
}

TEST(Jet12Damage, DataPageChainThatLoopsIsReported) {
  // M_Cursos (HOR TDEF 33) has data pages 36 to 41; make 41 point back to 36.
  auto raw = rawFile(kHor);
  putU32(raw, 41 * kPage + 0x0C, 36);
  EXPECT_NE(failureOf("loop", raw).find("loop"), std::string::npos);
}

TEST(Jet12Damage, DataPageOfAnotherTableInTheChainIsReported) {
  // Page 10 belongs to MSysColumns (TDEF 4), not to M_Cursos.
  auto raw = rawFile(kHor);
  putU32(raw, 36 * kPage + 0x0C, 10);
  EXPECT_NE(failureOf("foreign", raw).find("belongs to table 4"), std::string::npos);
}

TEST(Jet12Damage, LongValueChainThatLoopsIsReported) {
  // The first Employee photo starts at CRZ page 68 slot 0; point its chunk at itself.
  auto raw = rawFile(kCraze);
  putU32(raw, rowStart(raw, 68, 0) + 2, (68u << 8) | 0u);
  EXPECT_NE(failureOf("lvloop", raw).find("loops"), std::string::npos);
}

TEST(Jet12Damage, LongValueChunkOfAnotherValueIsReported) {
  auto raw = rawFile(kCraze);
  raw.at(rowStart(raw, 68, 0) + 6) ^= 0x01;  // the chunk's key
  EXPECT_NE(failureOf("lvkey", raw).find("another value"), std::string::npos);
}

TEST(Jet12Damage, RowOffsetsOutOfOrderAreReported) {
  // M_Cursos row 0 on page 36: make its first variable offset point past the row.
  auto raw = rawFile(kHor);
  const std::size_t start = rowStart(raw, 36, 0);
  const std::size_t length = raw.at(start) | (raw.at(start + 1) << 8);
  const std::size_t fixedCount = raw.at(start + 2);
  const std::size_t firstOffset = start + length - 2 - (fixedCount + 7) / 8;
  raw.at(firstOffset) = 0xFF;
  EXPECT_FALSE(failureOf("offsets", raw).empty());
}

}  // namespace
