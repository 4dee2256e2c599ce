// The Jet 3 system tables a compaction to 3.0 writes have the columns and
// indexes Access 97 gave them in its own files.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "jet/compactor.h"
#include "jet/database.h"
#include "tests/corpus.h"
#include "tests/jet/writer_support.h"

namespace {

using namespace jet;

// Columns by name with type, number, flags and length; indexes with their
// columns and flags; sorted, so descriptor order does not matter.
std::vector<std::string> shape(const TableDef& t) {
  std::vector<std::string> out;
  for (const Column& c : t.columns) {
    std::ostringstream s;
    s << "column " << c.name << " type " << static_cast<int>(c.type) << " number " << c.number
      << " flags " << static_cast<int>(c.flags) << " length " << c.length;
    out.push_back(s.str());
  }
  for (const Index& i : t.indexes) {
    std::ostringstream s;
    s << "index " << i.name << " kind " << static_cast<int>(i.kind);
    if (i.physicalIndex < t.physicalIndexes.size()) {
      const PhysicalIndex& p = t.physicalIndexes[i.physicalIndex];
      s << " flags " << static_cast<int>(p.flags) << " columns";
      for (const IndexColumn& c : p.columns) s << " " << c.columnNumber << (c.ascending ? "+" : "-");
    }
    out.push_back(s.str());
  }
  std::sort(out.begin(), out.end());
  return out;
}

class Jet3System : public ::testing::TestWithParam<const char*> {};

TEST_P(Jet3System, SystemTablesMatchTheOnesAccess97Made) {
  writer_test::Scratch dir;
  const std::string access97 = corpus::path("jet3-jackcess-test-access97.mdb");
  const std::string dst = dir.file("j3.mdb");
  compactDatabase(corpus::path(GetParam()), dst, kCompactJet30);
  auto made = Database::open(access97), ours = Database::open(dst);
  for (const char* name : {"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships"}) {
    EXPECT_EQ(shape(ours->tableDef(name)), shape(made->tableDef(name))) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(Sources, Jet3System,
                         ::testing::Values("jet3-jackcess-indexTest-access97.mdb",
                                           "jet4-jackcess-test-access2003.mdb"));

}  // namespace
