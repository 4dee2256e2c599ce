// Databases the writer makes, read back by mdbtools and mdb-reader.
#include <gtest/gtest.h>

#include "jet/database_writer.h"
#include "tests/jet/writer_support.h"

namespace {

using namespace jet;
using namespace writer_test;

TableDef peopleTable() {
  TableDef t;
  t.name = "People";
  t.columns = {column("Id", ColumnType::Long, 0, 0, kColumnAutoLong),
               column("Name", ColumnType::Text, 1, 100),
               column("Born", ColumnType::DateTime, 2),
               column("Active", ColumnType::Boolean, 3),
               column("Notes", ColumnType::Memo, 4)};
  return t;
}

std::vector<Row> peopleRows() {
  return {
      {Value{std::int32_t{1}}, Value{std::string("Ada")}, Value{DateTime{12345.5}}, Value{true},
       Value{std::string("first")}},
      {Value{std::int32_t{2}}, Value{std::string("Grace")}, Value{}, Value{false}, Value{}},
      {Value{std::int32_t{3}}, Value{std::string("Zoë Müller")}, Value{DateTime{40000.25}},
       Value{true}, Value{std::string(5000, 'x')}},
  };
}

std::string writeSmall(const Scratch& dir) {
  const std::string path = dir.file("small.mdb");
  DatabaseWriter w(path);
  Rows rows(peopleRows());
  w.addTable(peopleTable(), rows);
  w.finish();
  return path;
}

TEST(WriterOracle, MdbtoolsSeesAJet4FileWithTheUserTable) {
  if (!haveTool("mdb-ver")) GTEST_SKIP() << "mdbtools are not installed";
  Scratch dir;
  const std::string path = writeSmall(dir);
  EXPECT_EQ(run("mdb-ver " + shellQuote(path)).out, "JET4\n");
  EXPECT_EQ(run("mdb-tables -1 " + shellQuote(path)).out, "People\n");
}

TEST(WriterOracle, MdbExportReadsEveryValueBack) {
  if (!haveTool("mdb-export")) GTEST_SKIP() << "mdbtools are not installed";
  Scratch dir;
  const std::string path = writeSmall(dir);
  const Output r = run("mdb-export -T '%Y-%m-%d %H:%M:%S' " + shellQuote(path) + " People");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(r.out ==
            "Id,Name,Born,Active,Notes\n"
            "1,\"Ada\",\"1933-10-18 12:00:00\",1,\"first\"\n"
            "2,\"Grace\",,0,\n"
            "3,\"Zoë Müller\",\"2009-07-06 06:00:00\",1,\"" + std::string(5000, 'x') + "\"\n")
      << r.out.substr(0, 300);
}

}  // namespace
