// databaseDifferences: equal databases have none, a source and its upgrade
// have none, and each kind of change is found and named.
#include "engine/database_verify.h"

#include <gtest/gtest.h>

#include <functional>

#include "../corpus.h"
#include "jet/compactor.h"
#include "jet/database_writer.h"
#include "jet/error.h"
#include "temp_folder.h"

namespace {

using namespace jet;

class Rows : public RowCursor {
 public:
  explicit Rows(std::vector<Row> rows) : rows_(std::move(rows)) {}
  bool next(Row& row) override {
    if (at_ >= rows_.size()) return false;
    row = rows_[at_++];
    return true;
  }

 private:
  std::vector<Row> rows_;
  std::size_t at_ = 0;
};

Column column(const std::string& name, ColumnType type, std::uint16_t number,
              std::uint16_t length = 0) {
  Column c;
  c.name = name;
  c.type = type;
  c.number = number;
  c.length = length;
  if (type == ColumnType::Text) c.extraFlags = 0x01;
  return c;
}

Property textProperty(const std::string& name, const std::string& value) {
  Property p;
  p.name = name;
  p.type = static_cast<std::uint8_t>(ColumnType::Text);
  p.value = Value{value};
  return p;
}

// Everything a small database holds; each test changes one part.
struct Parts {
  TableDef people;
  std::vector<Row> peopleRows;
  std::vector<PropertyMap> peopleProperties;
  TableDef orders;
  std::vector<Row> ordersRows;
  Query query;
  Relationship relationship;
  bool withRelationship = true;
  std::vector<PropertyMap> databaseProperties;
};

Parts baseParts() {
  Parts p;
  p.people.name = "People";
  p.people.definitionPage = 1001;
  p.people.columns = {column("Id", ColumnType::Long, 0), column("Name", ColumnType::Text, 1, 100)};
  PhysicalIndex pk;
  pk.columns = {{0, true}};
  pk.flags = kIndexUnique | kIndexRequired;
  p.people.physicalIndexes = {pk};
  Index primary;
  primary.name = "PrimaryKey";
  primary.kind = 1;
  p.people.indexes = {primary};
  p.peopleRows = {{Value{std::int32_t{1}}, Value{std::string("Ada")}},
                  {Value{std::int32_t{2}}, Value{std::string("Alan")}}};
  p.peopleProperties = {PropertyMap{"", {textProperty("Description", "Everyone")}}};
  p.orders.name = "Orders";
  p.orders.definitionPage = 1002;
  p.orders.columns = {column("OrderId", ColumnType::Long, 0),
                      column("PersonId", ColumnType::Long, 1)};
  p.ordersRows = {{Value{std::int32_t{10}}, Value{std::int32_t{1}}}};
  p.query.name = "Names";
  p.query.rows = {QueryRow{0, "", "", "", 0, {}},
                  QueryRow{1, "", "", "", 1, {}},
                  QueryRow{3, "", "", "", 0, {}},
                  QueryRow{5, "People", "", "", 0, {}},
                  QueryRow{6, "", "", "People.Name", 0, {}},
                  QueryRow{255, "", "", "", 0, {}}};
  p.relationship.name = "PeopleOrders";
  p.relationship.flags = 0x1000;
  p.relationship.table = "Orders";
  p.relationship.referencedTable = "People";
  p.relationship.columns = {"PersonId"};
  p.relationship.referencedColumns = {"Id"};
  p.databaseProperties = {PropertyMap{"", {textProperty("AccessVersion", "09.50")}}};
  return p;
}

std::string write(const TempFolder& tmp, const std::string& name, const Parts& p) {
  const std::string path = tmp.file(QString::fromStdString(name)).toStdString();
  WriterOptions options;
  options.creationDate = 40000;
  DatabaseWriter w(path, options);
  Rows people(p.peopleRows);
  w.addTable(p.people, people, TableObject{0, p.peopleProperties, 0, 0});
  Rows orders(p.ordersRows);
  w.addTable(p.orders, orders);
  w.addQuery(p.query);
  if (p.withRelationship) w.addRelationship(p.relationship);
  w.setDatabaseProperties(p.databaseProperties);
  w.finish();
  return path;
}

class Verify : public ::testing::Test {
 protected:
  TempFolder tmp;
  std::string base = write(tmp, "base.mdb", baseParts());

  // The differences between the base database and one with `change` made.
  std::vector<std::string> against(const std::function<void(Parts&)>& change) {
    Parts p = baseParts();
    change(p);
    return engine::databaseDifferences(base, write(tmp, "changed.mdb", p));
  }
};

std::string joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) out += l + "\n";
  return out;
}

TEST_F(Verify, TwoDatabasesWrittenAlikeAreEqual) {
  EXPECT_EQ(joined(against([](Parts&) {})), "");
  EXPECT_TRUE(engine::databaseDifferences(base, base).empty());
}

TEST_F(Verify, AChangedValueIsNamedByTableRowAndColumn) {
  EXPECT_EQ(joined(against([](Parts& p) { p.peopleRows[1][1] = Value{std::string("Alan T")}; })),
            "table 'People' row 2 column 'Name' is 'Alan' against 'Alan T'\n");
}

TEST_F(Verify, AMissingRowIsFound) {
  EXPECT_EQ(joined(against([](Parts& p) { p.peopleRows.pop_back(); })),
            "table 'People' ends after 1 rows in the second database\n");
}

TEST_F(Verify, AMissingTableIsFound) {
  const auto d = against([](Parts& p) { p.orders.name = "Invoices"; });
  const std::string text = joined(d);
  EXPECT_NE(text.find("table 'Invoices' is only in the second database"), std::string::npos)
      << text;
  EXPECT_NE(text.find("table 'Orders' is only in the first database"), std::string::npos) << text;
}

TEST_F(Verify, ColumnTypesAndTextLengthsAreCompared) {
  EXPECT_EQ(joined(against([](Parts& p) { p.people.columns[1].length = 60; })),
            "table 'People' column 2 'Name' holds 50 characters against 30\n");
  const std::string type = joined(against([](Parts& p) {
    p.orders.columns[1].type = ColumnType::Integer;
    p.ordersRows[0][1] = Value{std::int16_t{1}};
  }));
  EXPECT_NE(type.find("table 'Orders' column 2 is 'PersonId' (Long) against 'PersonId' (Integer)"),
            std::string::npos)
      << type;
}

TEST_F(Verify, IndexRulesAreCompared) {
  EXPECT_EQ(joined(against([](Parts& p) { p.people.physicalIndexes[0].flags = kIndexRequired; })),
            "table 'People' index 'PrimaryKey' is (Id) primary unique required against (Id) "
            "primary required\n");
}

TEST_F(Verify, QueriesAreComparedByTheirSql) {
  const std::string text =
      joined(against([](Parts& p) { p.query.rows[4].expression = "People.Id"; }));
  EXPECT_NE(text.find("query 'Names' reads 'SELECT People.Name"), std::string::npos) << text;
}

TEST_F(Verify, AMissingRelationshipIsFound) {
  EXPECT_EQ(joined(against([](Parts& p) { p.withRelationship = false; })),
            "relationship 'PeopleOrders' is only in the first database\n");
}

TEST_F(Verify, TableAndDatabasePropertiesAreCompared) {
  EXPECT_EQ(joined(against([](Parts& p) {
              p.peopleProperties[0].properties[0].value = Value{std::string("Some")};
            })),
            "table 'People' property 'Description' is 'Everyone' against 'Some'\n");
  EXPECT_EQ(joined(against([](Parts& p) { p.databaseProperties[0].properties.clear(); })),
            "the database property 'AccessVersion' is only in the first database\n");
}

TEST_F(Verify, TheLimitBoundsTheList) {
  Parts p = baseParts();
  p.orders.name = "Invoices";
  p.withRelationship = false;
  p.peopleRows[0][1] = Value{std::string("Ada L")};
  const std::string changed = write(tmp, "changed.mdb", p);
  EXPECT_GE(engine::databaseDifferences(base, changed).size(), 4u);
  EXPECT_EQ(engine::databaseDifferences(base, changed, 2).size(), 2u);
}

TEST_F(Verify, AnUnreadableFileIsAnErrorNotADifference) {
  tmp.write("text.mdb", "plain text");
  try {
    engine::databaseDifferences(base, tmp.file("text.mdb").toStdString());
    FAIL() << "no error";
  } catch (const jet::Error& e) {
    EXPECT_EQ(e.number(), 3343);
  }
}

// Jet 2 and Jet 3 files and their Jet 4 upgrades: text lengths in characters
// and bytes, fixed and variable storage, and all the rest compare equal.
TEST(VerifyUpgrades, ASourceAndItsUpgradeAreEqual) {
  for (const char* name :
       {"jet2-sighor-hor_udep-vb3app.mdb", "jet3-jackcess-test-access97.mdb",
        "jet3-jackcess-indexTest-access97.mdb", "jet3-jackcess-queryTest-access97.mdb"}) {
    TempFolder tmp;
    const std::string source = corpus::path(name);
    const std::string upgraded = tmp.file("up.mdb").toStdString();
    jet::compactDatabase(source, upgraded, jet::kCompactJet40);
    EXPECT_EQ(joined(engine::databaseDifferences(source, upgraded)), "") << name;
  }
}

TEST(VerifyUpgrades, DifferentCorpusFilesAreDifferent) {
  const auto d = engine::databaseDifferences(corpus::path("jet3-jackcess-test-access97.mdb"),
                                             corpus::path("jet3-jackcess-test2-access97.mdb"));
  EXPECT_FALSE(d.empty());
}

}  // namespace
