#include "jet/sample_database.h"

#include <unistd.h>

#include <cstdio>

#include "jet/compactor.h"
#include "jet/database_writer.h"
#include "jet/error.h"

namespace jet {
namespace {

Column column(const std::string& name, ColumnType type, std::uint16_t number,
              std::uint16_t length = 0, std::uint8_t flags = kColumnNullable) {
  Column c;
  c.name = name;
  c.type = type;
  c.number = number;
  c.length = length;
  c.flags = flags;
  if (type == ColumnType::Text || type == ColumnType::Memo) c.extraFlags = 0x01;
  return c;
}

PhysicalIndex primaryKeyOn(std::uint16_t columnNumber) {
  PhysicalIndex p;
  p.columns.push_back(IndexColumn{columnNumber, true});
  p.flags = kIndexUnique | kIndexRequired;
  return p;
}

Index primaryKeyIndex() {
  Index i;
  i.name = "PrimaryKey";
  i.kind = 1;
  return i;
}

class GeneratedRows : public RowCursor {
 public:
  GeneratedRows(int count, Row (*make)(int)) : count_(count), make_(make) {}
  bool next(Row& row) override {
    if (at_ >= count_) return false;
    row = make_(at_++);
    return true;
  }

 private:
  int count_;
  Row (*make_)(int);
  int at_ = 0;
};

const char* const kNames[] = {"Ana Lima", "Björn Åström", "Chloé Martin", "Dmitri Ivanov",
                              "Elif Kaya", "François Dubois", "Grace O'Neil", "Hiro Tanaka"};
const char* const kCities[] = {"Lisboa", "Göteborg", "Paris", "Moskva", "Zürich", "Lyon",
                               "Dublin", "Porto"};

Row customer(int i) {
  Row r;
  r.push_back(std::int32_t{i + 1});
  r.push_back(std::string(kNames[i % 8]) + (i >= 8 ? " " + std::to_string(i / 8 + 1) : ""));
  r.push_back(std::string(kCities[i % 8]));
  r.push_back(DateTime{36526.0 + i * 17.25});  // from 2000-01-01, a quarter day apart
  r.push_back(Currency{static_cast<std::int64_t>((i * 1234567) % 9000000) - 1000000});
  r.push_back(bool{i % 3 != 0});
  r.push_back(i % 4 == 0 ? Value{Null{}}
                         : Value{std::string("Customer since the ") + std::to_string(1990 + i % 20) +
                                 "s; prefers invoices by post."});
  return r;
}

Row order(int i) {
  Row r;
  r.push_back(std::int32_t{i + 1});
  r.push_back(std::int32_t{i % 25 + 1});
  r.push_back(std::int16_t(static_cast<std::int16_t>(1 + i % 12)));
  r.push_back(double{19.95 + (i % 7) * 3.5});
  r.push_back(std::uint8_t(static_cast<std::uint8_t>(i % 5)));
  return r;
}

}  // namespace

void writeSampleDatabase(const std::string& path, JetVersion version, int customers) {
  const bool direct = version == JetVersion::Jet4;
  const std::string jet4Path = direct ? path : path + ".jet4-" + std::to_string(::getpid()) + ".tmp";
  try {
    DatabaseWriter writer(jet4Path);
    TableDef c;
    c.name = "Customers";
    c.columns = {column("CustomerID", ColumnType::Long, 0, 0, kColumnFixed | kColumnAutoLong),
                 column("Name", ColumnType::Text, 1, 100),
                 column("City", ColumnType::Text, 2, 60),
                 column("Since", ColumnType::DateTime, 3, 0, kColumnFixed | kColumnNullable),
                 column("Balance", ColumnType::Currency, 4, 0, kColumnFixed | kColumnNullable),
                 column("Active", ColumnType::Boolean, 5, 0, kColumnFixed),
                 column("Notes", ColumnType::Memo, 6)};
    c.physicalIndexes = {primaryKeyOn(0)};
    c.indexes = {primaryKeyIndex()};
    c.nextAutoNumber = static_cast<std::uint32_t>(customers);
    GeneratedRows customerRows(customers, customer);
    writer.addTable(c, customerRows);
    TableDef o;
    o.name = "Orders";
    o.columns = {column("OrderID", ColumnType::Long, 0, 0, kColumnFixed | kColumnAutoLong),
                 column("CustomerID", ColumnType::Long, 1, 0, kColumnFixed | kColumnNullable),
                 column("Quantity", ColumnType::Integer, 2, 0, kColumnFixed | kColumnNullable),
                 column("Price", ColumnType::Double, 3, 0, kColumnFixed | kColumnNullable),
                 column("Priority", ColumnType::Byte, 4, 0, kColumnFixed | kColumnNullable)};
    o.physicalIndexes = {primaryKeyOn(0)};
    o.indexes = {primaryKeyIndex()};
    o.nextAutoNumber = static_cast<std::uint32_t>(customers * 3);
    GeneratedRows orderRows(customers * 3, order);
    writer.addTable(o, orderRows);
    writer.finish();
    if (!direct) {
      compactDatabase(jet4Path, path,
                      version == JetVersion::Jet3 ? kCompactJet30 : kCompactJet20);
      std::remove(jet4Path.c_str());
    }
  } catch (...) {
    if (!direct) std::remove(jet4Path.c_str());
    throw;
  }
}

}  // namespace jet
