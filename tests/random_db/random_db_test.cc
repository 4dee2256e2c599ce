// A fixed set of random databases, each compacted along every version path
// its content allows: `verify` finds every result equal to its source and the
// structure check passes on every file, source and result.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>

#include "jet/schema.h"
#include "tests/random_db/random_database.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kSeeds = 27;

class Folder {
 public:
  Folder() {
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '-');  // parameterised names hold a slash
    path_ = fs::temp_directory_path() / ("jetlift-random-db-" + std::to_string(::getpid()) + "-" + name);
    fs::create_directories(path_);
  }
  ~Folder() { fs::remove_all(path_); }
  std::string path() const { return path_.string(); }

 private:
  fs::path path_;
};

class RandomDatabase : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(RandomDatabase, EveryResultHoldsWhatItsSourceHolds) {
  Folder folder;
  const random_db::SeedResult r = random_db::checkSeed(GetParam(), folder.path());
  for (const auto& p : r.sourceProblems) ADD_FAILURE() << "seed " << r.seed << " source: " << p;
  ASSERT_TRUE(r.sourceProblems.empty());
  EXPECT_FALSE(r.paths.empty()) << "seed " << r.seed << " was compacted along no path";
  for (const auto& path : r.paths) {
    for (const auto& p : path.problems) {
      ADD_FAILURE() << "seed " << r.seed << " " << random_db::pathName(path.path) << ": " << p;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomDatabase, ::testing::Range<std::uint32_t>(1, kSeeds + 1));

TEST(RandomDatabases, TheFixedSeedsCoverEveryPathColumnTypeAndIndexKind) {
  std::map<std::string, int> perPath;
  std::map<jet::ColumnType, int> types;
  int descending = 0, unique = 0, multiColumn = 0, relationships = 0;
  for (std::uint32_t seed = 1; seed <= kSeeds; ++seed) {
    const auto db = random_db::generate(seed);
    relationships += static_cast<int>(db.relationships.size());
    for (const auto& p : random_db::versionPaths()) {
      if (p.from == db.writtenAt && p.to >= db.oldestTarget) ++perPath[random_db::pathName(p)];
    }
    for (const auto& t : db.tables) {
      for (const auto& c : t.def.columns) ++types[c.type];
      for (const auto& x : t.def.physicalIndexes) {
        unique += x.unique();
        multiColumn += x.columns.size() > 1;
        for (const auto& c : x.columns) descending += !c.ascending;
      }
    }
  }
  for (const auto& p : random_db::versionPaths()) {
    EXPECT_GT(perPath[random_db::pathName(p)], 2) << random_db::pathName(p);
  }
  for (jet::ColumnType t : {jet::ColumnType::Boolean, jet::ColumnType::Byte, jet::ColumnType::Integer,
                            jet::ColumnType::Long, jet::ColumnType::Currency, jet::ColumnType::Single,
                            jet::ColumnType::Double, jet::ColumnType::DateTime, jet::ColumnType::Binary,
                            jet::ColumnType::Text, jet::ColumnType::OLE, jet::ColumnType::Memo,
                            jet::ColumnType::Guid, jet::ColumnType::Decimal}) {
    EXPECT_GT(types[t], 0) << jet::columnTypeName(t);
  }
  EXPECT_GT(descending, 0);
  EXPECT_GT(unique, 0);
  EXPECT_GT(multiColumn, 0);
  EXPECT_GT(relationships, 0);
}

TEST(RandomDatabases, ASeedAlwaysMakesTheSameDatabase) {
  const auto a = random_db::generate(1234), b = random_db::generate(1234);
  ASSERT_EQ(a.tables.size(), b.tables.size());
  for (std::size_t t = 0; t < a.tables.size(); ++t) {
    EXPECT_EQ(a.tables[t].def.name, b.tables[t].def.name);
    EXPECT_EQ(a.tables[t].rows, b.tables[t].rows);
  }
  EXPECT_NE(random_db::generate(1235).tables.front().rows, a.tables.front().rows);
}

TEST(RandomDatabases, ContentForJet3HoldsNoDecimalAndNoTextOutsideItsCodePage) {
  int checked = 0;
  for (std::uint32_t seed = 1; seed <= kSeeds; ++seed) {
    const auto db = random_db::generate(seed);
    if (db.oldestTarget != 3) continue;
    ++checked;
    for (const auto& t : db.tables) {
      for (std::size_t c = 0; c < t.def.columns.size(); ++c) {
        EXPECT_NE(t.def.columns[c].type, jet::ColumnType::Decimal) << "seed " << seed;
        for (const auto& row : t.rows) {
          if (const auto* s = std::get_if<std::string>(&row[c])) {
            // Code page 1252 text is at most two UTF-8 bytes per character here, or the euro sign.
            for (std::size_t i = 0; i < s->size(); ++i) {
              const auto b = static_cast<unsigned char>((*s)[i]);
              EXPECT_TRUE(b < 0xE0 || s->compare(i, 3, "\xE2\x82\xAC") == 0) << "seed " << seed;
            }
          }
        }
      }
    }
  }
  EXPECT_GT(checked, 0);
}

TEST(RandomDatabases, ContentForJet2KeepsToWhatItsWriterHolds) {
  int checked = 0;
  for (std::uint32_t seed = 1; seed <= kSeeds; ++seed) {
    const auto db = random_db::generate(seed);
    if (db.oldestTarget != 2) continue;
    ++checked;
    for (const auto& r : db.relationships) {
      EXPECT_NE(r.flags & 2, 0) << "seed " << seed << " enforces " << r.name;
    }
    for (const auto& t : db.tables) {
      std::vector<bool> indexedText(t.def.columns.size(), false);
      for (const auto& x : t.def.physicalIndexes) {
        for (const auto& c : x.columns) {
          const jet::ColumnType type = t.def.columns[c.columnNumber].type;
          EXPECT_TRUE(type != jet::ColumnType::DateTime && type != jet::ColumnType::Double &&
                      type != jet::ColumnType::Single && type != jet::ColumnType::Currency)
              << "seed " << seed << " indexes a " << jet::columnTypeName(type);
          indexedText[c.columnNumber] = type == jet::ColumnType::Text;
        }
      }
      for (std::size_t c = 0; c < t.def.columns.size(); ++c) {
        EXPECT_NE(t.def.columns[c].type, jet::ColumnType::Guid) << "seed " << seed;
        EXPECT_NE(t.def.columns[c].type, jet::ColumnType::Decimal) << "seed " << seed;
        for (const auto& row : t.rows) {
          if (const auto* s = std::get_if<std::string>(&row[c])) {
            EXPECT_FALSE(s->empty()) << "seed " << seed;
            if (!indexedText[c]) continue;
            for (char ch : *s) {
              EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(ch)) ||
                          std::string(" #&'()/<>_").find(ch) != std::string::npos)
                  << "seed " << seed << " indexes the character " << int(ch);
            }
          }
          if (const auto* b = std::get_if<jet::Bytes>(&row[c])) {
            EXPECT_FALSE(b->empty()) << "seed " << seed;
          }
        }
      }
    }
  }
  EXPECT_GT(checked, 0);
}

}  // namespace
