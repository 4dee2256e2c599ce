// Index entries go by key, then by row. An empty Binary value's key is the
// start byte alone, a prefix of every other key, so it must come first
// whatever its row: ordering whole entry bytes would put it after longer
// keys whose data starts with bytes below its row pointer.
#include <gtest/gtest.h>

#include "jet/check.h"
#include "jet/database.h"
#include "jet/database_writer.h"
#include "jet/index_pages.h"
#include "tests/jet/writer_support.h"

namespace {

using namespace jet;
using namespace writer_test;

TEST(IndexOrder, AnEmptyBinaryKeyComesFirstAndPassesTheCheckWhateverItsRow) {
  Scratch dir;
  const std::string path = dir.file("empty-binary.mdb");
  TableDef t;
  t.name = "Blobs";
  t.columns = {column("B", ColumnType::Binary, 0, 255)};
  PhysicalIndex p;
  p.columns = {{0, true}};
  t.physicalIndexes = {p};
  Index i;
  i.name = "B";
  t.indexes = {i};
  // The empty value is on a later row than a key starting 00 00 01, below
  // the page bytes of any data row pointer.
  std::vector<Row> rows = {Row{Value{Bytes{0, 0, 1}}}, Row{Value{Bytes{}}}, Row{Value{Bytes{5}}}};
  {
    DatabaseWriter w(path);
    Rows cursor(rows);
    w.addTable(t, cursor);
    w.finish();
  }
  const CheckReport r = checkDatabase(path);
  EXPECT_TRUE(r.ok()) << (r.problems.empty() ? "" : r.problems.front());
  auto db = Database::open(path);
  const TableDef def = db->tableDef("Blobs");
  IndexWalker walker(db->file(), def, def.physicalIndexes[0]);
  IndexPageEntry e;
  ASSERT_TRUE(walker.next(e));
  EXPECT_EQ(e.key, Bytes{0x7F});
  ASSERT_TRUE(walker.next(e));
  EXPECT_GT(e.key.size(), 1u);
}

}  // namespace
