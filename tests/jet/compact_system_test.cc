// The system tables of a compacted database against those of Jet 4 files
// made by Access and by Jet: the same tables with the same columns (name,
// type, length, flags), the same indexes, and the catalog rows every Jet 4
// database holds. The byte-level comparison of an empty database is the
// writer's own test (writer_system_test.cc); this one covers what a
// compaction of real, full sources adds to those tables.
#include <gtest/gtest.h>

#include <set>

#include "jet/compactor.h"
#include "jet/database.h"
#include "jet/text.h"
#include "tests/corpus.h"
#include "tests/jet/writer_support.h"

namespace {

using namespace jet;
using writer_test::Scratch;

const char* const kSystemTables[] = {"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships"};

std::string describeColumns(const TableDef& def) {
  std::string s;
  for (const auto& c : def.columns) {
    s += c.name + ":" + columnTypeName(c.type) + ":" + std::to_string(c.length) + ":" +
         std::to_string(c.flags & (kColumnFixed | kColumnNullable | kColumnAutoLong)) + " ";
  }
  return s;
}

std::string describeIndexes(const TableDef& def) {
  std::set<std::string> out;
  for (const auto& i : def.indexes) {
    std::string s = i.name + ":" + std::to_string(i.kind) + ":";
    if (i.physicalIndex < def.physicalIndexes.size()) {
      const auto& p = def.physicalIndexes[i.physicalIndex];
      s += std::to_string(p.flags) + ":";
      for (const auto& c : p.columns) {
        for (const auto& col : def.columns) {
          if (col.number == c.columnNumber) s += col.name + (c.ascending ? "+" : "-");
        }
      }
    }
    out.insert(s);
  }
  std::string s;
  for (const auto& x : out) s += x + " ";
  return s;
}

// Names of the catalog's fixed objects (containers, the database, system tables).
std::set<std::string> fixedObjects(const Database& db) {
  std::set<std::string> out;
  for (const auto& e : db.objects()) {
    if (e.type == kObjectContainer || e.type == kObjectDatabase ||
        (e.isLocalTable() && e.name.rfind("MSys", 0) == 0 && e.name != "MSysAccessObjects")) {
      out.insert(std::to_string(e.type) + ":" + e.name);
    }
  }
  return out;
}

// A source made by Access is held against an Access-made file, one made by
// Jet alone (a VB3 data file) against a Jet-made one: Access adds its own
// containers (Forms, Reports, DataAccessPages, ...) when it opens a file.
struct Pair {
  const char* source;     // compacted
  const char* reference;  // made by Access or Jet
};

class CompactedSystemTables : public ::testing::TestWithParam<Pair> {};

TEST_P(CompactedSystemTables, HaveTheColumnsAndIndexesAccessWrites) {
  Scratch dir;
  const std::string out = dir.file("result.mdb");
  compactDatabase(corpus::path(GetParam().source), out, kCompactJet40);
  auto ours = Database::open(out);
  auto theirs = Database::open(corpus::path(GetParam().reference));
  for (const char* name : kSystemTables) {
    const TableDef a = ours->tableDef(name), b = theirs->tableDef(name);
    EXPECT_EQ(describeColumns(a), describeColumns(b)) << name;
    EXPECT_EQ(describeIndexes(a), describeIndexes(b)) << name;
    EXPECT_TRUE(a.systemTable) << name;
  }
}

TEST_P(CompactedSystemTables, HoldTheCatalogRowsEveryJet4DatabaseHas) {
  Scratch dir;
  const std::string out = dir.file("result.mdb");
  compactDatabase(corpus::path(GetParam().source), out, kCompactJet40);
  auto ours = Database::open(out);
  auto theirs = Database::open(corpus::path(GetParam().reference));
  const auto mine = fixedObjects(*ours);
  for (const auto& o : fixedObjects(*theirs)) EXPECT_TRUE(mine.count(o)) << "missing " << o;
  // Fixed ids the engine relies on.
  for (const auto& e : ours->objects()) {
    if (e.type == kObjectDatabase && e.name == "MSysDb") {
      EXPECT_EQ(e.id, 0x10000000) << "MSysDb";
    }
    if (e.type == kObjectContainer && e.name == "Tables") {
      EXPECT_EQ(e.id, 0x0F000001) << "Tables";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Corpus, CompactedSystemTables,
    ::testing::Values(Pair{"jet3-mdbtestdata-nwind.mdb", "jet4-jackcess-empty-template.mdb"},
                      Pair{"jet2-sighor-hor_udep-vb3app.mdb", "jet4-jackcess-adox.mdb"},
                      Pair{"jet3-mdbtestdata-nwind.mdb", "jet4-jackcess-adox.mdb"}));

}  // namespace
