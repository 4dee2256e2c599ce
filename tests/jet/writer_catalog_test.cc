// Properties, queries and relationships the writer stores, as mdbtools and
// mdb-reader see them.
#include <gtest/gtest.h>

#include "jet/database_writer.h"
#include "tests/jet/writer_checker.h"
#include "tests/jet/writer_support.h"

namespace {

using namespace jet;
using namespace writer_test;

Property property(const std::string& name, ColumnType type, Value v) {
  Property p;
  p.name = name;
  p.type = static_cast<std::uint8_t>(type);
  p.value = std::move(v);
  return p;
}

TableDef people() {
  TableDef t;
  t.name = "People";
  t.definitionPage = 1001;  // the caller's own id for this table
  t.columns = {column("Id", ColumnType::Long, 0, 0, kColumnAutoLong), column("Name", ColumnType::Text, 1, 100)};
  PhysicalIndex pk;
  pk.columns = {{0, true}};
  pk.flags = kIndexUnique | kIndexRequired;
  t.physicalIndexes = {pk};
  Index primary;
  primary.name = "PrimaryKey";
  primary.kind = 1;
  Index referenced;
  referenced.name = ".rB";
  referenced.number = 1;
  referenced.kind = 2;
  referenced.relatedIndex = 1;
  referenced.relatedTable = 1002;
  t.indexes = {primary, referenced};
  return t;
}

TableDef orders() {
  TableDef t;
  t.name = "Orders";
  t.definitionPage = 1002;
  t.columns = {column("OrderId", ColumnType::Long, 0), column("PersonId", ColumnType::Long, 1)};
  PhysicalIndex pk, fk;
  pk.columns = {{0, true}};
  pk.flags = kIndexUnique | kIndexRequired;
  fk.columns = {{1, true}};
  t.physicalIndexes = {pk, fk};
  Index primary;
  primary.name = "PrimaryKey";
  primary.kind = 1;
  Index foreign;
  foreign.name = "PeopleOrders";
  foreign.number = 1;
  foreign.physicalIndex = 1;
  foreign.kind = 2;
  foreign.relatedIndex = 1;
  foreign.relatedTable = 1001;
  foreign.cascadeDeletes = 1;
  t.indexes = {primary, foreign};
  return t;
}

struct Written {
  std::string path;
  std::uint32_t people = 0, orders = 0;
};

Written writeCatalog(const Scratch& dir) {
  Written out;
  out.path = dir.file("catalog.mdb");
  DatabaseWriter w(out.path);
  TableObject object;
  object.properties = {PropertyMap{"", {property("Description", ColumnType::Text, Value{std::string("Everyone")})}},
                       PropertyMap{"Name", {property("Caption", ColumnType::Text, Value{std::string("Full name")}),
                                            property("Required", ColumnType::Boolean, Value{true})}}};
  Rows people1({{Value{std::int32_t{1}}, Value{std::string("Ada")}}, {Value{std::int32_t{2}}, Value{std::string("Alan")}}});
  out.people = w.addTable(people(), people1, object);
  Rows orders1({{Value{std::int32_t{10}}, Value{std::int32_t{1}}}, {Value{std::int32_t{11}}, Value{std::int32_t{2}}}});
  out.orders = w.addTable(orders(), orders1);
  Query q;
  q.name = "Names";
  q.rows = {QueryRow{0, "", "", "", 0, {}}, QueryRow{1, "", "", "", 1, {}},
            QueryRow{3, "", "", "", 0, {}}, QueryRow{5, "People", "", "", 0, {}},
            QueryRow{6, "", "", "People.Name", 0, {}}, QueryRow{255, "", "", "", 0, {}}};
  w.addQuery(q);
  Relationship r;
  r.name = "PeopleOrders";
  r.flags = 0x1000;
  r.table = "Orders";
  r.referencedTable = "People";
  r.columns = {"PersonId"};
  r.referencedColumns = {"Id"};
  w.addRelationship(r);
  w.setDatabaseProperties({PropertyMap{"", {property("AccessVersion", ColumnType::Text, Value{std::string("09.50")})}}});
  w.finish();
  return out;
}

TEST(WriterCatalog, TableAndColumnPropertiesReadBackInMdbProp) {
  if (!haveTool("mdb-prop")) GTEST_SKIP() << "mdbtools are not installed";
  Scratch dir;
  const Written w = writeCatalog(dir);
  const Output table = run("mdb-prop " + shellQuote(w.path) + " People");
  EXPECT_NE(table.out.find("Description: Everyone"), std::string::npos) << table.out;
  const std::size_t columnMap = table.out.find("name: Name\n");
  ASSERT_NE(columnMap, std::string::npos) << table.out;
  EXPECT_NE(table.out.find("\tCaption: Full name\n", columnMap), std::string::npos) << table.out;
  EXPECT_NE(table.out.find("\tRequired: yes\n", columnMap), std::string::npos) << table.out;
  const Output db = run("mdb-prop " + shellQuote(w.path) + " MSysDb");
  EXPECT_NE(db.out.find("AccessVersion: 09.50"), std::string::npos) << db.out;
}

TEST(WriterCatalog, AQueryIsRebuiltAsSqlByMdbQueries) {
  if (!haveTool("mdb-queries")) GTEST_SKIP() << "mdbtools are not installed";
  Scratch dir;
  const Written w = writeCatalog(dir);
  EXPECT_EQ(run("mdb-queries -L -1 " + shellQuote(w.path)).out, "Names\n");
  const Output sql = run("mdb-queries " + shellQuote(w.path) + " Names");
  EXPECT_NE(sql.out.find("SELECT People.Name FROM [People]"), std::string::npos) << sql.out;
}

TEST(WriterCatalog, ARelationshipIsStoredWithItsColumnPairs) {
  SKIP_WITHOUT_MDBTOOLS();
  Scratch dir;
  const Written w = writeCatalog(dir);
  const Output rel = run("mdb-export " + shellQuote(w.path) + " MSysRelationships");
  EXPECT_EQ(rel.out,
            "szRelationship,grbit,ccolumn,icolumn,szObject,szColumn,szReferencedObject,szReferencedColumn\n"
            "\"PeopleOrders\",4096,1,0,\"Orders\",\"PersonId\",\"People\",\"Id\"\n");
  const Output objects = run("mdb-export " + shellQuote(w.path) + " MSysObjects | cut -d, -f3,4");
  EXPECT_NE(objects.out.find("\"PeopleOrders\",8"), std::string::npos) << objects.out;
  EXPECT_NE(objects.out.find("\"Names\",5"), std::string::npos) << objects.out;
}

TEST(WriterCatalog, ForeignKeyIndexesNameEachOthersTable) {
  Scratch dir;
  const Written w = writeCatalog(dir);
  std::ifstream in(w.path, std::ios::binary);
  std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)), {});
  const auto logicalOf = [&](std::uint32_t tdef, std::size_t k) {
    const jet::ByteReader d(std::span<const std::uint8_t>(file.data() + tdef * 4096, 4096), jet::Where{w.path, tdef});
    const std::uint16_t columns = d.u16(45);
    const std::uint32_t real = d.u32(51);
    std::size_t at = 63 + 12 * real + 25 * columns;
    for (std::uint16_t c = 0; c < columns; ++c) at += 2 + d.u16(at);
    return d.sub(at + 52 * real + 28 * k, 28);
  };
  const jet::ByteReader onOrders = logicalOf(w.orders, 1);
  EXPECT_EQ(onOrders.u8(12), 2) << "Orders is the foreign side";
  EXPECT_EQ(onOrders.u32(17), w.people);
  EXPECT_EQ(onOrders.u8(22), 1) << "cascade deletes";
  EXPECT_EQ(onOrders.u8(23), 2);
  const jet::ByteReader onPeople = logicalOf(w.people, 1);
  EXPECT_EQ(onPeople.u8(12), 1) << "People is the primary side";
  EXPECT_EQ(onPeople.u32(17), w.orders);
  FileCheck check(w.path);
  for (std::uint32_t t : {2u, 3u, 4u, 5u, w.people, w.orders}) check.checkTable(t);
  check.checkAllPagesOwned();
}

TEST(WriterCatalog, MdbReaderListsOnlyTheUserTables) {
  SKIP_WITHOUT_MDB_READER();
  Scratch dir;
  const Written w = writeCatalog(dir);
  const auto lines = mdbReaderLines(w.path);
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[0], "table People 2");
  EXPECT_EQ(lines[4], "table Orders 2");
}

}  // namespace
