// Reading the Access 2.0 files of the corpus: catalog, definitions, rows,
// long values. No other reader opens these files, so every expectation is
// tied to the file itself: text must occur in the raw bytes, counts must agree
// with the definition pages and indexes, numbers were decoded by hand from
// the row bytes (layout in docs/jet2-format.md) with a throwaway script.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "jet12_support.h"
#include "jet/text.h"

namespace {

using namespace jet12test;

std::string cp1252(const std::string& utf8) { return *jet::encodeCodePage(utf8, 1252); }

std::vector<std::string> userTables(const jet::Database& db) {
  std::vector<std::string> out;
  for (const auto& e : db.tables()) {
    if (e.isLocalTable() && e.attributes() == 0) out.push_back(e.name);
  }
  return out;
}

struct FileTables {
  const char* file;
  std::vector<std::string> tables;  // catalog order
  std::vector<std::uint32_t> rows;  // live rows of each
};

// Names: the MSysObjects rows of Type 1 and Flags 0, read by hand; the test
// also finds each in the raw bytes. Counts: the TDEF row counts at 0x24
// (checked against the raw page below), except where noted.
const std::vector<FileTables> kFiles = {
    {kHor,
     {"M_Aulas", "M_Cursos", "M_DatosGenerales", "M_Horario", "M_Profesores", "R_ProfesorCurso",
      "S_AulaOcupada", "S_CursosHModificado", "T_AulaLibre", "T_AulaOcupada", "T_Dias",
      "T_HorarioParaImprimir", "T_Horas", "T_PreHorario"},
     {15, 165, 21, 295, 70, 84, 0, 82, 7, 0, 7, 41, 12, 73}},
    {kWizard,
     {"NLY_AttrTypeConstants", "NLY_ObjectProperties", "NLY_Options", "USysAddIns"},
     {219, 400, 28, 9}},
    {kCraze,
     {"Craze Info", "Employee Addresses", "Employee", "Orders Detail", "Product Type", "Product",
      "Supplier", "Customer", "Credit", "Orders"},
     {1, 15, 15, 2997, 8, 115, 7, 77, 322, 2001}},
};

TEST(Jet12Catalog, EveryFileListsItsUserTablesInCatalogOrder) {
  for (const auto& f : kFiles) {
    SCOPED_TRACE(f.file);
    const auto raw = rawFile(f.file);
    auto db = jet::Database::open(corpus::path(f.file));
    EXPECT_EQ(db->versionText(), "2.0");
    EXPECT_EQ(userTables(*db), f.tables);
    for (const auto& name : f.tables) EXPECT_TRUE(rawContains(raw, name)) << name;
  }
}

TEST(Jet12Catalog, SystemTablesAreMarkedAndUserTablesHaveNoAttributes) {
  auto db = jet::Database::open(corpus::path(kCraze));
  for (const char* name : {"MSysObjects", "MSysColumns", "MSysIndexes", "MSysACEs", "MSysQueries",
                           "MSysRelationships", "MSysMacros", "MSysModules"}) {
    SCOPED_TRACE(name);
    const auto& e = db->tableEntry(name);
    EXPECT_EQ(e.attributes() & 0x80000002, 0x80000002) << e.flags;
  }
  EXPECT_EQ(db->tableEntry("Orders").attributes(), 0);
  // Ids of local tables are their definition pages (MSysObjects of page 3 is Id 3).
  EXPECT_EQ(db->tableEntry("MSysObjects").id, 3);
  EXPECT_EQ(db->tableEntry("MSysColumns").id, 4);
}

TEST(Jet12Catalog, MovedCatalogRowsAppearOnceThroughTheirPointers) {
  // HOR page 9 slot 1 points to page 111 slot 2 (the MSysColumns row) and
  // slot 13 to page 68 slot 20 (the Scripts container), see the format notes.
  auto db = jet::Database::open(corpus::path(kHor));
  std::map<std::string, int> seen;
  for (const auto& e : db->objects()) ++seen[e.name];
  EXPECT_EQ(seen["MSysColumns"], 1);
  EXPECT_EQ(seen["Scripts"], 1);
  for (const auto& [name, count] : seen) EXPECT_EQ(count, 1) << name;
}

TEST(Jet12Catalog, MSysDbPropertiesSayAccessVersion2) {
  // The KKD blob at CRZ file offset 67933 names AccessVersion with value "02.00".
  for (const char* file : {kHor, kWizard, kCraze}) {
    SCOPED_TRACE(file);
    auto db = jet::Database::open(corpus::path(file));
    const auto def = db->tableDef("MSysObjects");
    const std::size_t name = columnIndex(def, "Name"), prop = columnIndex(def, "LvProp");
    ASSERT_LT(prop, def.columns.size());
    bool found = false;
    for (const auto& row : allRows(*db, def)) {
      if (show(row[name]) != "MSysDb") continue;
      const auto& blob = std::get<jet::Bytes>(row[prop]);
      EXPECT_TRUE(rawContains(blob, std::string("KKD\0", 4)));
      EXPECT_TRUE(rawContains(blob, "AccessVersion"));
      EXPECT_TRUE(rawContains(blob, "02.00"));
      found = true;
    }
    EXPECT_TRUE(found);
  }
}

struct ColumnFact {
  const char* name;
  jet::ColumnType type;
  int length;  // -1: not checked
};

void expectColumns(const char* file, const char* table, const std::vector<ColumnFact>& want) {
  SCOPED_TRACE(std::string(file) + " " + table);
  const auto raw = rawFile(file);
  auto db = jet::Database::open(corpus::path(file));
  const auto def = db->tableDef(table);
  ASSERT_EQ(def.columns.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(def.columns[i].name, want[i].name);
    EXPECT_EQ(def.columns[i].type, want[i].type) << want[i].name;
    if (want[i].length >= 0) {
      EXPECT_EQ(def.columns[i].length, want[i].length) << want[i].name;
    }
    EXPECT_TRUE(rawContains(raw, cp1252(want[i].name))) << want[i].name;
  }
}

using T = jet::ColumnType;

// Types and sizes are the Coltyp byte and the Hcolumn size byte of each
// table's MSysColumns rows, read by hand; order is their PresentationOrder.
TEST(Jet12Schema, ColumnsCarryTheNamesTypesAndSizesOfMSysColumns) {
  expectColumns(kHor, "M_Cursos",
                {{"ID", T::Long, 4}, {"Nombre", T::Text, 50}, {"Sigla", T::Text, 4},
                 {"Ciclo", T::Double, 8}, {"Creditos", T::Integer, 2}, {"Programa", T::Text, 10},
                 {"H", T::Text, 2}, {"Vacantes", T::Integer, 2}, {"Activo", T::Boolean, -1},
                 {"Laboratorio", T::Boolean, -1}, {"PI", T::Boolean, -1}, {"PS", T::Boolean, -1},
                 {"PC", T::Boolean, -1}, {"PE", T::Boolean, -1},
                 {"ProfesorVisitante", T::Boolean, -1}});
  expectColumns(kHor, "M_Aulas",
                {{"ID", T::Long, 4}, {"Nombre", T::Text, 50}, {"Capacidad", T::Byte, 1},
                 {"Propiedades", T::Integer, 2}, {"Especial", T::Boolean, -1},
                 {"Bloqueada", T::Boolean, -1}});
  expectColumns(kWizard, "USysAddIns",
                {{"PropertyName", T::Text, 50}, {"Val1", T::Memo, -1}, {"Val2", T::Memo, -1},
                 {"Val3", T::Memo, -1}, {"Val4", T::Memo, -1}, {"Val5", T::Memo, -1},
                 {"Val6", T::Memo, -1}, {"Val7", T::Memo, -1}, {"Val8", T::Memo, -1},
                 {"Val9", T::OLE, -1}});
  expectColumns(kCraze, "Employee",
                {{"Employee ID", T::Long, 4}, {"Last Name", T::Text, 20},
                 {"First Name", T::Text, 10}, {"Position", T::Text, 30},
                 {"Birth Date", T::DateTime, 8}, {"Hire Date", T::DateTime, 8},
                 {"Home Phone", T::Text, 20}, {"Extension", T::Text, 4}, {"Photo", T::OLE, -1},
                 {"Notes", T::Memo, -1}, {"Reports To", T::Long, 4}, {"Salary", T::Currency, 8},
                 {"SSN", T::Text, 12}, {"Emergency Contact First Name", T::Text, 20},
                 {"Emergency Contact Last Name", T::Text, 20},
                 {"Emergency Contact Relationship", T::Text, 20},
                 {"Emergency Contact Phone", T::Text, 20}});
  expectColumns(kCraze, "Orders",
                {{"Order ID", T::Long, 4}, {"Order Amount", T::Currency, 8},
                 {"Customer ID", T::Long, 4}, {"Employee ID", T::Long, 4},
                 {"Order Date", T::DateTime, 8}, {"Required Date", T::DateTime, 8},
                 {"Ship Date", T::DateTime, 8}, {"Ship Via", T::Text, 20},
                 {"Shipped", T::Boolean, -1}, {"PO#", T::Text, 50},
                 {"Payment Received", T::Boolean, -1}});
}

TEST(Jet12Schema, CounterAndRequiredFlagsFollowMSysColumns) {
  auto db = jet::Database::open(corpus::path(kCraze));
  const auto orders = db->tableDef("Orders");
  EXPECT_TRUE(orders.column("Order ID")->autoNumber());
  EXPECT_FALSE(orders.column("Customer ID")->autoNumber());
  auto hor = jet::Database::open(corpus::path(kHor));
  const auto cursos = hor->tableDef("M_Cursos");
  EXPECT_TRUE(cursos.column("ID")->autoNumber());
  // The counter at TDEF 0x28 is one past the highest ID (165 rows, IDs 1-165).
  EXPECT_EQ(cursos.nextAutoNumber, 165u);
}

// The catalog row of each table (CbFixed, CFixed, CVar) counts deleted
// columns too, so it bounds what the definition uses.
TEST(Jet12Schema, DefinitionsFitTheCatalogRowsColumnCounts) {
  for (const auto& f : kFiles) {
    SCOPED_TRACE(f.file);
    auto db = jet::Database::open(corpus::path(f.file));
    const auto objects = db->tableDef("MSysObjects");
    const std::size_t name = columnIndex(objects, "Name"), cb = columnIndex(objects, "CbFixed"),
                      cf = columnIndex(objects, "CFixed"), cv = columnIndex(objects, "CVar");
    std::map<std::string, jet::Row> rows;
    for (auto& row : allRows(*db, objects)) rows[show(row[name])] = row;
    for (const auto& table : f.tables) {
      SCOPED_TRACE(table);
      const auto def = db->tableDef(table);
      const auto& row = rows.at(table);
      const int fixedBytes = std::stoi(show(row[cb]));
      const int fixedCount = std::stoi(show(row[cf])), varCount = std::stoi(show(row[cv]));
      for (const auto& c : def.columns) {
        if (c.fixed()) {
          EXPECT_LT(c.number, fixedCount) << c.name;
          EXPECT_LE(4 + c.fixedOffset + (c.type == T::Boolean ? 0 : c.length), fixedBytes)
              << c.name;
        } else {
          EXPECT_LT(c.varIndex, varCount) << c.name;
        }
      }
    }
  }
}

TEST(Jet12Rows, EveryTableHasTheRowsItsDefinitionPageCounts) {
  for (const auto& f : kFiles) {
    SCOPED_TRACE(f.file);
    const auto raw = rawFile(f.file);
    auto db = jet::Database::open(corpus::path(f.file));
    for (std::size_t i = 0; i < f.tables.size(); ++i) {
      SCOPED_TRACE(f.tables[i]);
      const auto def = db->tableDef(f.tables[i]);
      const std::uint32_t stored = rawU32(raw, def.definitionPage * kPage + 0x24);
      EXPECT_EQ(def.rowCount, stored);
      EXPECT_EQ(allRows(*db, def).size(), f.rows[i]);
      if (f.tables[i] != "Employee Addresses") {
        EXPECT_EQ(f.rows[i], stored);
      }
    }
  }
}

TEST(Jet12Rows, StaleRowCountIsNotTrustedOverTheRows) {
  // Employee Addresses stores 45 rows, but its first two data pages hold only
  // deleted slots: one address per employee, Employee IDs 1-15 like Employee.
  auto db = jet::Database::open(corpus::path(kCraze));
  const auto addresses = db->tableDef("Employee Addresses");
  EXPECT_EQ(addresses.rowCount, 45u);
  std::set<std::string> ids;
  for (const auto& row : allRows(*db, addresses)) ids.insert(show(row[0]));
  std::set<std::string> employees;
  for (const auto& row : allRows(*db, db->tableDef("Employee"))) employees.insert(show(row[0]));
  EXPECT_EQ(ids.size(), 15u);
  EXPECT_EQ(ids, employees);
}

struct Sample {
  const char* file;
  const char* table;
  const char* column;
  const char* first;
  const char* last;
};

// First and last rows in storage order. Text values are also searched in the
// raw bytes; numbers were decoded by hand (currency as value x 10000, dates as
// day numbers: 35035 = 1995-12-02).
const Sample kSamples[] = {
    {kHor, "M_Aulas", "ID", "32", "46"},
    {kHor, "M_Aulas", "Nombre", "11", "39b"},
    {kHor, "M_Aulas", "Capacidad", "102", "48"},
    {kHor, "M_Aulas", "Propiedades", "19", "16"},
    {kHor, "M_Aulas", "Especial", "true", "false"},
    {kHor, "M_Cursos", "ID", "1", "165"},
    {kHor, "M_Cursos", "Nombre", "Complementos de Algebra", "Comunicaciones y Redes Informáticas"},
    {kHor, "M_Cursos", "Ciclo", "1", "0"},
    {kHor, "M_Cursos", "H", "4", "<null>"},
    {kHor, "M_Cursos", "Vacantes", "110", "0"},
    {kHor, "M_Cursos", "PI", "true", "false"},
    {kHor, "M_DatosGenerales", "IDClase", "0", "4"},
    {kHor, "M_DatosGenerales", "Elemento", "EDIFICIOS", "En el año:semestre"},
    {kHor, "M_DatosGenerales", "Descripcion", "Nombre de los edificios de la Universidad.", "98-I"},
    {kHor, "M_Horario", "Dia", "L", "M"},
    {kHor, "M_Horario", "IDCurso", "59", "4"},
    {kHor, "M_Profesores", "Nombre", "VERGARA, ANA MARIA", "PROFESOR ESTANDAR"},
    {kHor, "M_Profesores", "Oficina", "<null>", "<null>"},
    {kHor, "R_ProfesorCurso", "IDProfesor", "13", "34"},
    {kHor, "S_CursosHModificado", "NuevoH", "4", "2"},
    {kHor, "T_AulaLibre", "Z", "-71", "-41"},
    {kHor, "T_Dias", "DiaLargo", "LUNES", "DOMINGO"},
    {kHor, "T_HorarioParaImprimir", "24b", "TC1", "<null>"},
    {kHor, "T_Horas", "Hora", "7", "6"},
    {kHor, "T_PreHorario", "H", "1", "8"},
    {kWizard, "NLY_AttrTypeConstants", "ObjectText", "DB_FIXEDFIELD", "NLY_MACRO"},
    {kWizard, "NLY_AttrTypeConstants", "ObjectIndex", "1", "16384"},
    {kWizard, "NLY_ObjectProperties", "PropertyName", "Attributes", "ShowToolbar"},
    {kWizard, "NLY_ObjectProperties", "OrdinalPosition", "6", "<null>"},
    {kWizard, "NLY_Options", "Value", "<null>", "<Current Database>"},
    {kWizard, "NLY_Options", "Default", "true", "false"},
    {kWizard, "USysAddIns", "PropertyName", "AddInVersion", "Logo"},
    {kWizard, "USysAddIns", "Val1", "2.02.LP", "<null>"},
    {kCraze, "Craze Info", "Craze Name", "Craze Mountain Bikes", "Craze Mountain Bikes"},
    {kCraze, "Employee Addresses", "City", "Port Moody", "Strasbourg"},
    {kCraze, "Employee", "Last Name", "Davolio", "Pereira"},
    {kCraze, "Employee", "Birth Date", "17875", "24085"},
    {kCraze, "Employee", "Salary", "400000000", "450000000"},
    {kCraze, "Employee", "Reports To", "2", "<null>"},
    {kCraze, "Orders Detail", "Order ID", "1", "3000"},
    {kCraze, "Orders Detail", "Unit Price", "419000", "29398500"},
    {kCraze, "Product Type", "Product Type Name", "Competition", "Saddles"},
    {kCraze, "Product", "Product Name", "Descent", "Vesper Gelflex Ladies Saddle"},
    {kCraze, "Product", "Price (SRP)", "29398500", "360000"},
    {kCraze, "Supplier", "City", "Bend", "Montréal"},
    {kCraze, "Customer", "Customer Name", "City Cyclists", "La Bomba de Bicicleta"},
    {kCraze, "Customer", "Last Year's Sales", "200452725", "167451250"},
    {kCraze, "Credit", "Amount", "-3289500", "-9653700"},
    {kCraze, "Orders", "Order ID", "1", "3001"},
    {kCraze, "Orders", "Order Date", "35035", "35552"},
    {kCraze, "Orders", "Shipped", "true", "false"},
    {kCraze, "Orders", "PO#", "<null>", "6307"},
};

bool looksLikeText(const std::string& s) {
  return s != "<null>" && s != "true" && s != "false" &&
         s.find_first_not_of("-0123456789") != std::string::npos;
}

TEST(Jet12Rows, FirstAndLastRowsHoldTheValuesInTheBytes) {
  std::map<std::string, std::vector<std::uint8_t>> raws;
  for (const auto& s : kSamples) {
    SCOPED_TRACE(std::string(s.table) + "." + s.column);
    auto db = jet::Database::open(corpus::path(s.file));
    const auto def = db->tableDef(s.table);
    const std::size_t c = columnIndex(def, s.column);
    ASSERT_LT(c, def.columns.size());
    const auto rows = allRows(*db, def);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(show(rows.front()[c]), s.first);
    EXPECT_EQ(show(rows.back()[c]), s.last);
    auto& raw = raws[s.file];
    if (raw.empty()) raw = rawFile(s.file);
    for (const std::string v : {s.first, s.last}) {
      if (looksLikeText(v)) {
        EXPECT_TRUE(rawContains(raw, cp1252(v))) << v;
      }
    }
  }
}

TEST(Jet12Rows, TextIsDecodedFromCodePage1252) {
  const auto raw = rawFile(kCraze);
  EXPECT_TRUE(rawContains(raw, "Montr\xE9" "al"));
  EXPECT_TRUE(rawContains(raw, "Craze\x92s line"));
  auto db = jet::Database::open(corpus::path(kCraze));
  const auto types = db->tableDef("Product Type");
  const auto rows = allRows(*db, types);
  const std::string description = show(rows.front()[columnIndex(types, "Description")]);
  EXPECT_NE(description.find("Craze\u2019s line"), std::string::npos);
}

TEST(Jet12LongValues, MemoTextComesWholeFromItsChunks) {
  const auto raw = rawFile(kCraze);
  auto db = jet::Database::open(corpus::path(kCraze));
  const auto def = db->tableDef("Employee");
  const auto rows = allRows(*db, def);
  const std::string notes = show(rows.front()[columnIndex(def, "Notes")]);
  // 175 bytes according to the reference in the row (af 00 00 00 ...).
  EXPECT_EQ(notes.size(), 175u);
  EXPECT_EQ(notes.rfind("Education includes a BA in Psychology from Colorado State University", 0),
            0u);
  EXPECT_TRUE(rawContains(raw, notes));
}

TEST(Jet12LongValues, MemoStoredInlineInTheRowIsRead) {
  // USysAddIns' AddInVersion row keeps "2.02.LP" in the row after 00 00 00 80.
  const auto raw = rawFile(kWizard);
  ASSERT_TRUE(rawContains(raw, std::string("\x00\x00\x00\x80" "2.02.LP", 11)));
  auto db = jet::Database::open(corpus::path(kWizard));
  const auto def = db->tableDef("USysAddIns");
  const auto rows = allRows(*db, def);
  EXPECT_EQ(std::get<std::string>(rows.front()[columnIndex(def, "Val1")]), "2.02.LP");
}

// The pictures are OLE objects wrapping a Windows bitmap whose own header
// gives its size: the value must hold the whole bitmap, and with `trailer`
// the bitmap must end the value but for the object's trailer.
void expectWholeBitmap(const jet::Bytes& ole, bool trailer) {
  ASSERT_GT(ole.size(), 2u);
  EXPECT_EQ(ole[0], 0x15);
  EXPECT_EQ(ole[1], 0x1C);
  const std::string bm = "BM";
  const auto at = std::search(ole.begin(), ole.end(), bm.begin(), bm.end());
  ASSERT_NE(at, ole.end());
  const std::size_t offset = at - ole.begin();
  ASSERT_LE(offset + 6, ole.size());
  const std::size_t bitmap = ole[offset + 2] | (ole[offset + 3] << 8) | (ole[offset + 4] << 16) |
                             (std::size_t(ole[offset + 5]) << 24);
  EXPECT_LE(offset + bitmap, ole.size());
  if (trailer) {
    EXPECT_GT(offset + bitmap + 200, ole.size());
  }
}

TEST(Jet12LongValues, OlePicturesComeWholeFromTheirChunks) {
  auto db = jet::Database::open(corpus::path(kCraze));
  const auto employee = db->tableDef("Employee");
  const auto rows = allRows(*db, employee);
  const std::size_t photo = columnIndex(employee, "Photo");
  // 21662 bytes according to the row's reference (9e 54 00 00), in 11 chunks.
  EXPECT_EQ(std::get<jet::Bytes>(rows.front()[photo]).size(), 21662u);
  for (const auto& row : rows) expectWholeBitmap(std::get<jet::Bytes>(row[photo]), true);
  const auto types = db->tableDef("Product Type");
  for (const auto& row : allRows(*db, types)) {
    // These carry a second, presentation copy after the native bitmap.
    expectWholeBitmap(std::get<jet::Bytes>(row[columnIndex(types, "Picture")]), false);
  }
}

TEST(Jet12Indexes, IndexesNameTheirKeyColumnsAndRoots) {
  const auto raw = rawFile(kCraze);
  auto db = jet::Database::open(corpus::path(kCraze));
  const auto detail = db->tableDef("Orders Detail");
  ASSERT_EQ(detail.indexes.size(), 1u);
  const auto& pk = detail.indexes[0];
  EXPECT_EQ(pk.name, "PrimaryKey");
  EXPECT_TRUE(pk.primary());
  const auto& physical = detail.physicalIndexes.at(pk.physicalIndex);
  ASSERT_EQ(physical.columns.size(), 2u);
  EXPECT_EQ(physical.columns[0].columnNumber, detail.column("Order ID")->number);
  EXPECT_EQ(physical.columns[1].columnNumber, detail.column("Product ID")->number);
  EXPECT_EQ(physical.flags & jet::kIndexUnique, jet::kIndexUnique);
  // Root page and entries: the first 20-byte entry at TDEF 0x2C.
  EXPECT_EQ(physical.rootPage, rawU32(raw, detail.definitionPage * kPage + 0x2C));
  EXPECT_EQ(physical.entryCount, 2997u);

  const auto modules = db->tableDef("MSysModules");
  ASSERT_EQ(modules.physicalIndexes.size(), 1u);
  const auto& keys = modules.physicalIndexes[0].columns;
  ASSERT_EQ(keys.size(), 3u);
  EXPECT_TRUE(keys[0].ascending);
  EXPECT_FALSE(keys[2].ascending);  // Version, flagged 0x80000000 in Rgkeyd
}

TEST(Jet12Catalog, QueriesAndRelationshipsNameObjectsThatExist) {
  auto db = jet::Database::open(corpus::path(kHor));
  std::set<std::int32_t> queryIds;
  for (const auto& e : db->objects()) {
    if (e.type == jet::kObjectQuery) queryIds.insert(e.id);
  }
  EXPECT_EQ(queryIds.size(), 14u);  // the Type 5 rows of HOR page 9 and after
  const auto queries = db->tableDef("MSysQueries");
  const auto queryRows = allRows(*db, queries);
  EXPECT_EQ(queryRows.size(), queries.rowCount);
  std::set<std::int32_t> used;
  for (const auto& row : queryRows) {
    const auto id = std::get<std::int32_t>(row[columnIndex(queries, "ObjectId")]);
    EXPECT_TRUE(queryIds.count(id)) << id;
    used.insert(id);
  }
  EXPECT_EQ(used, queryIds);

  const auto relationships = db->tableDef("MSysRelationships");
  const auto rows = allRows(*db, relationships);
  EXPECT_EQ(rows.size(), 8u);
  for (const auto& row : rows) {
    for (const auto& [table, column] : {std::pair{"szObject", "szColumn"},
                                        std::pair{"szReferencedObject", "szReferencedColumn"}}) {
      const std::string t = show(row[columnIndex(relationships, table)]);
      const std::string c = show(row[columnIndex(relationships, column)]);
      EXPECT_NE(db->tableDef(t).column(c), nullptr) << t << "." << c;
    }
  }
}

TEST(Jet12Objects, RelationshipsComeFromMSysRelationships) {
  // HOR holds Reference ... Reference9 (8 rows, one column pair each).
  const auto raw = rawFile(kHor);
  auto db = jet::Database::open(corpus::path(kHor));
  const auto relationships = db->relationships();
  ASSERT_EQ(relationships.size(), 8u);
  for (const auto& r : relationships) {
    SCOPED_TRACE(r.name);
    EXPECT_TRUE(rawContains(raw, r.name));
    ASSERT_EQ(r.columns.size(), 1u);
    ASSERT_EQ(r.referencedColumns.size(), 1u);
    EXPECT_NE(db->tableDef(r.table).column(r.columns[0]), nullptr);
    EXPECT_NE(db->tableDef(r.referencedTable).column(r.referencedColumns[0]), nullptr);
  }
  EXPECT_EQ(relationships[0].table, "R_ProfesorCurso");
  EXPECT_EQ(relationships[0].referencedTable, "M_Profesores");
}

TEST(Jet12Objects, QueriesAreRebuiltFromTheirMSysQueriesRows) {
  // The WHERE expression of C_CursosPorPartir is stored as text in the file.
  const auto raw = rawFile(kHor);
  ASSERT_TRUE(rawContains(raw, "((M_Cursos.Vacantes>145))"));
  auto db = jet::Database::open(corpus::path(kHor));
  const auto queries = db->queries();
  EXPECT_EQ(queries.size(), 14u);
  bool found = false;
  for (const auto& q : queries) {
    if (q.name != "C_CursosPorPartir") continue;
    found = true;
    const std::string sql = q.sql();
    EXPECT_NE(sql.find("M_Cursos.Vacantes>145"), std::string::npos) << sql;
    EXPECT_NE(sql.find("FROM [M_Cursos]"), std::string::npos) << sql;
  }
  EXPECT_TRUE(found);
}

TEST(Jet12Objects, DatabasePropertiesNameTheAccessVersion) {
  for (const char* file : {kHor, kWizard, kCraze}) {
    SCOPED_TRACE(file);
    auto db = jet::Database::open(corpus::path(file));
    std::string version;
    for (const auto& map : db->databaseProperties()) {
      for (const auto& p : map.properties) {
        if (p.name == "AccessVersion") version = show(p.value);
      }
    }
    EXPECT_EQ(version, "02.00");
  }
}

TEST(Jet12Objects, ColumnPropertiesOfATableAreRead) {
  // Orders' KKD blob names "Order Date" as a column map (CRZ, visible in the bytes).
  auto db = jet::Database::open(corpus::path(kCraze));
  std::set<std::string> maps;
  for (const auto& map : db->properties(db->tableEntry("Orders"))) maps.insert(map.name);
  EXPECT_TRUE(maps.count("Order Date"));
}

}  // namespace
