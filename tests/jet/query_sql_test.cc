// SQL rebuilt from hand-made MSysQueries rows.
#include <gtest/gtest.h>

#include "jet/schema.h"

namespace {

jet::QueryRow row(std::uint8_t attribute, std::int16_t flag = 0, std::string name1 = "",
                  std::string name2 = "", std::string expression = "") {
  jet::QueryRow r;
  r.attribute = attribute;
  r.flag = flag;
  r.name1 = std::move(name1);
  r.name2 = std::move(name2);
  r.expression = std::move(expression);
  return r;
}

TEST(QuerySql, SelectWithJoinWhereAndDescendingOrder) {
  jet::Query q;
  q.rows = {row(1, 1), row(3, 0x02), row(5, 0, "Orders"), row(5, 0, "Customers", "C"),
            row(6, 0, "", "", "Orders.Id"), row(6, 0, "Who", "", "C.Name"),
            row(7, 2, "Orders", "C", "Orders.CustomerId = C.Id"), row(8, 0, "", "", "Orders.Id > 5"),
            row(11, 0, "D", "", "Orders.Id")};
  EXPECT_EQ(q.sql(),
            "SELECT DISTINCT Orders.Id, C.Name AS [Who]\n"
            "FROM [Orders] LEFT JOIN [Customers] AS [C] ON Orders.CustomerId = C.Id\n"
            "WHERE Orders.Id > 5\n"
            "ORDER BY Orders.Id DESC;");
}

TEST(QuerySql, ParametersComeFirstWithTheirTypes) {
  jet::Query q;
  q.rows = {row(1, 1), row(2, 8, "Start"), row(5, 0, "T"), row(8, 0, "", "", "D >= [Start]")};
  EXPECT_EQ(q.sql(), "PARAMETERS [Start] DateTime;\nSELECT *\nFROM [T]\nWHERE D >= [Start];");
}

TEST(QuerySql, TopAndAppendTarget) {
  jet::Query q;
  q.rows = {row(1, 3, "Archive"), row(3, 0x10, "5"), row(5, 0, "T"), row(6, 0, "", "", "A")};
  EXPECT_EQ(q.sql(), "INSERT INTO [Archive]\nSELECT TOP 5 A\nFROM [T];");
}

TEST(QuerySql, CrosstabSplitsValueHeadingAndRowColumns) {
  jet::Query q;
  q.rows = {row(1, 6), row(5, 0, "T"), row(6, 2, "", "", "T.Row"), row(6, 1, "", "", "T.Col"),
            row(6, 0, "", "", "Sum(T.V)"), row(9, 2, "", "", "T.Row"), row(9, 1, "", "", "T.Col")};
  EXPECT_EQ(q.sql(),
            "TRANSFORM Sum(T.V)\nSELECT T.Row\nFROM [T]\nGROUP BY T.Row\nPIVOT T.Col;");
}

}  // namespace

namespace {

TEST(QuerySql, DataDefinitionTextIsStoredWholeInTheTypeRow) {
  jet::Query q;
  q.rows = {row(1, 7, "", "", std::string("CREATE TABLE T (A CHAR);") + '\0')};
  EXPECT_EQ(q.sql(), "CREATE TABLE T (A CHAR);");
}

}  // namespace
