// Compaction to Jet 2.0 (code 16): the result passes the check, our reader
// calls it "2.0" and sees every value of the source, its structure is the one
// of the Access-made Jet 2.0 files, and the other readers refuse it exactly as
// they refuse those. What Jet 2.0 cannot hold (or the corpus does not show)
// makes the compaction fail naming where, leaving no destination behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "jet/check.h"
#include "jet/compactor.h"
#include "jet/database.h"
#include "jet/database_writer.h"
#include "jet/error.h"
#include "jet/value_text.h"
#include "tests/corpus.h"
#include "tests/jet/writer_support.h"

namespace {

using namespace jet;
using writer_test::dumpWithoutVersion;
using writer_test::Scratch;
using writer_test::shellQuote;

const char* const kAccessMade[] = {"jet2-sighor-hor_udep-vb3app.mdb",
                                   "jet2-access20-dbstructwizard-wzstruc2.mda",
                                   "jet2-crystalreports-craze-sample.mdb"};

std::vector<std::uint8_t> fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

class ToJet2 : public ::testing::TestWithParam<const char*> {};

TEST_P(ToJet2, TheCheckPassesAndOurReaderSeesEveryValueInA20File) {
  Scratch dir;
  const std::string src = corpus::path(GetParam()), dst = dir.file("j2.mdb");
  compactDatabase(src, dst, kCompactJet20);
  const auto db = Database::open(dst);
  EXPECT_EQ(db->versionText(), "2.0");
  const CheckReport report = checkDatabase(dst);
  EXPECT_TRUE(report.ok()) << (report.problems.empty() ? "" : report.problems.front());
  EXPECT_EQ(report.unverifiedKeys, 0u);
  EXPECT_EQ(dumpWithoutVersion(dst), dumpWithoutVersion(src));
}

// What a reader prints for a file, with the file's name taken out.
std::string refusalOf(const std::string& command, const std::string& file) {
  std::string out = writer_test::run(command + " " + shellQuote(file)).out;
  for (std::size_t at; (at = out.find(file)) != std::string::npos;)
    out.replace(at, file.size(), "FILE");
  return out;
}

TEST_P(ToJet2, MdbtoolsAndMdbReaderRefuseItAsTheyRefuseAccessMadeJet2Files) {
  Scratch dir;
  const std::string dst = dir.file("j2.mdb");
  compactDatabase(corpus::path(GetParam()), dst, kCompactJet20);
  if (writer_test::haveTool("mdb-ver")) {
    const auto ours = writer_test::run("mdb-ver " + shellQuote(dst));
    EXPECT_NE(WEXITSTATUS(ours.status), 0);
    for (const char* made : kAccessMade) {
      EXPECT_EQ(refusalOf("mdb-ver", dst), refusalOf("mdb-ver", corpus::path(made))) << made;
    }
    EXPECT_NE(refusalOf("mdb-ver", dst).find("unable to open file"), std::string::npos);
  }
  const std::string script = writer_test::mdbReaderScript();
  if (!script.empty()) {
    const std::string node = "node " + shellQuote(script);
    const std::string ours = refusalOf(node, dst);
    EXPECT_NE(ours.find("Wrong page type. Expected 0 but received 1"), std::string::npos) << ours;
    for (const char* made : kAccessMade) {
      const std::string theirs = refusalOf(node, corpus::path(made));
      EXPECT_NE(theirs.find("Wrong page type. Expected 0 but received 1"), std::string::npos)
          << made;
    }
  }
}

// Every corpus file whose contents Jet 2.0 can hold (see the refusals below
// for the others).
INSTANTIATE_TEST_SUITE_P(
    Corpus, ToJet2,
    ::testing::Values(
        "jet2-access20-dbstructwizard-wzstruc2.mda", "jet2-crystalreports-craze-sample.mdb",
        "jet2-sighor-hor_udep-vb3app.mdb", "jet3-jackcess-compIndexTest-access97.mdb", "jet3-jackcess-delColTest-access97.mdb",
        "jet3-jackcess-delTest-access97.mdb", "jet3-jackcess-encrypt-db97-enc.mdb",
        "jet3-jackcess-overflowTest-access97.mdb", "jet3-jackcess-queryTest-access97.mdb",
        "jet3-mission-contourbl-copy.mdb", "jet3-mission-contourbl.mdb",
        "jet3-mission-contourcdu.mdb", "jet3-opf-access97.mdb", "jet3-pecl-mdbtools-test.mdb",
        "jet3-psc-automailer-data.mdb", "jet3-psc-lockwood-test.mdb",
        "jet3-psc-maclucas-northwind-small.mdb", "jet3-psc-webserver-db.mdb",
        "jet3-vb6-biblio-dblist.mdb", "jet3-mission-system.mdw", "jet4-jackcess-adox.mdb",
        "jet4-jackcess-emptyJet4.mdb"));

TEST(Jet2RoundTrip, TwoToFourToThreeToTwoKeepsEveryValue) {
  for (const char* source :
       {"jet2-crystalreports-craze-sample.mdb", "jet2-access20-dbstructwizard-wzstruc2.mda",
        "jet2-sighor-hor_udep-vb3app.mdb"}) {
    Scratch dir;
    const std::string four = dir.file("4.mdb"), three = dir.file("3.mdb"), two = dir.file("2.mdb");
    compactDatabase(corpus::path(source), four, kCompactJet40);
    compactDatabase(four, three, kCompactJet30);
    compactDatabase(three, two, kCompactJet20);
    EXPECT_EQ(Database::open(two)->versionText(), "2.0");
    EXPECT_TRUE(checkDatabase(two).ok()) << source;
    EXPECT_EQ(dumpWithoutVersion(two), dumpWithoutVersion(corpus::path(source))) << source;
  }
}

// The encoder against Access: the check re-encodes every index entry of the
// Access-made files from its row and compares it with the key Access stored.
TEST(Jet2Keys, EveryKeyOfTheAccessMadeFilesIsTheOneOurEncoderMakes) {
  for (const char* made : kAccessMade) {
    const CheckReport r = checkDatabase(corpus::path(made));
    EXPECT_TRUE(r.ok()) << made << ": " << (r.problems.empty() ? "" : r.problems.front());
    EXPECT_GT(r.indexEntries, 1000u) << made;
    // The timetable file's accented names and Double keys included.
    EXPECT_EQ(r.unverifiedKeys, 0u) << made;
  }
}

// --- structure, compared with the Access-made files -----------------------

class Jet2Structure : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::make_unique<Scratch>();
    ours_ = dir_->file("ours.mdb");
    compactDatabase(corpus::path("jet3-psc-maclucas-northwind-small.mdb"), ours_, kCompactJet20);
  }
  std::unique_ptr<Scratch> dir_;
  std::string ours_;
};

TEST_F(Jet2Structure, PageZeroHoldsTheBytesEveryAccessMadeFileHolds) {
  const auto ours = fileBytes(ours_);
  ASSERT_GE(ours.size(), 2048u * 9);
  EXPECT_EQ(ours.size() % 2048, 0u);
  for (const char* made : kAccessMade) {
    const auto theirs = fileBytes(corpus::path(made));
    EXPECT_EQ(ours[0], theirs[0]) << made;
    EXPECT_TRUE(std::equal(ours.begin() + 0x400, ours.begin() + 0x800, theirs.begin() + 0x400))
        << made;
    // Page 1: its type and nothing else.
    EXPECT_EQ(ours[2048], theirs[2048]) << made;
    EXPECT_TRUE(std::all_of(ours.begin() + 2049, ours.begin() + 4096,
                            [](std::uint8_t b) { return b == 0; }));
  }
}

TEST_F(Jet2Structure, TheSystemDefinitionPagesAndPageTypesAreAccesss) {
  const auto ours = fileBytes(ours_);
  const auto theirs = fileBytes(corpus::path("jet2-access20-dbstructwizard-wzstruc2.mda"));
  for (std::size_t p = 2; p <= 8; ++p) {
    const std::size_t at = p * 2048;
    EXPECT_EQ(ours[at], 0x05) << p;
    // Type, own page number and the system mark as Access writes them.
    EXPECT_TRUE(std::equal(ours.begin() + at + 4, ours.begin() + at + 12, theirs.begin() + at + 4))
        << p;
    // As many indexes as Access's, each with a root.
    for (std::size_t k = 0; k < 3; ++k) {
      const std::size_t e = at + 0x2C + 20 * k;
      EXPECT_EQ(ours[e] != 0, theirs[e] != 0) << "page " << p << " index " << k;
    }
  }
  for (std::size_t p = 2; p < ours.size() / 2048; ++p) {
    const std::uint8_t t = ours[p * 2048];
    EXPECT_TRUE(t == 0x03 || t == 0x04 || t == 0x05 || t == 0x06 || t == 0x08)
        << "page " << p << " type " << int(t);
    EXPECT_EQ(ours[p * 2048 + 1], 0) << p;
  }
}

// Rows of a catalog table as text, keeping the named columns.
std::vector<std::string> rowsOf(const Database& db, const std::string& table,
                                std::vector<std::string> columns,
                                const std::function<bool(const Row&, const TableDef&)>& keep) {
  const TableDef def = db.tableDef(table);
  std::vector<std::size_t> at;
  for (const std::string& c : columns) {
    for (std::size_t i = 0; i < def.columns.size(); ++i) {
      if (def.columns[i].name == c) at.push_back(i);
    }
  }
  EXPECT_EQ(at.size(), columns.size()) << table;
  std::vector<std::string> out;
  auto cursor = db.rows(def);
  Row row;
  while (cursor->next(row)) {
    if (!keep(row, def)) continue;
    std::string line;
    for (std::size_t i : at) {
      std::string v;
      appendValueJson(v, row[i]);
      line += v + " ";
    }
    out.push_back(line);
  }
  return out;
}

std::int64_t number(const Value& v) {
  if (const auto* x = std::get_if<std::int32_t>(&v)) return *x;
  if (const auto* x = std::get_if<std::int16_t>(&v)) return *x;
  if (const auto* x = std::get_if<std::uint8_t>(&v)) return *x;
  return -1;
}

bool catalogTable(const Row& row, const TableDef&) {
  const auto id = number(row[0]);
  return id >= 3 && id <= 8;
}

TEST_F(Jet2Structure, CatalogTablesHaveAccesssColumnsAndIndexes) {
  const auto ours = Database::open(ours_);
  for (const char* made : kAccessMade) {
    const auto theirs = Database::open(corpus::path(made));
    const std::vector<std::string> columns = {
        "ObjectId", "Name",       "Hcolumn", "Coltyp",      "FAutoincrement",   "FDisallowNull",
        "CodePage", "LanguageId", "Country", "FRestricted", "PresentationOrder"};
    EXPECT_EQ(rowsOf(*ours, "MSysColumns", columns, catalogTable),
              rowsOf(*theirs, "MSysColumns", columns, catalogTable))
        << made;
    const std::vector<std::string> indexes = {"ObjectId",        "Name",      "Idxid",
                                              "Operation",       "Rgkeyd",    "Rglocale",
                                              "FUnique",         "FPrimary",  "FDisallowAnyNull",
                                              "FExcludeAllNull", "FClustered"};
    EXPECT_EQ(rowsOf(*ours, "MSysIndexes", indexes, catalogTable),
              rowsOf(*theirs, "MSysIndexes", indexes, catalogTable))
        << made;
  }
}

// Per kind of key (text or not) in the other tables' MSysIndexes rows, the
// locale bytes before the last two (which vary in Access's rows).
std::map<bool, std::set<Bytes>> localesByKind(const Database& db) {
  const TableDef def = db.tableDef("MSysIndexes");
  std::size_t id = 0, operation = 0, keyd = 0, locale = 0;
  for (std::size_t i = 0; i < def.columns.size(); ++i) {
    const std::string& n = def.columns[i].name;
    if (n == "ObjectId") id = i;
    if (n == "Operation") operation = i;
    if (n == "Rgkeyd") keyd = i;
    if (n == "Rglocale") locale = i;
  }
  std::map<bool, std::set<Bytes>> out;
  auto cursor = db.rows(def);
  Row row;
  while (cursor->next(row)) {
    if (number(row[id]) <= 8 || number(row[operation]) != 0) continue;
    const Bytes& k = std::get<Bytes>(row[keyd]);
    const Bytes& l = std::get<Bytes>(row[locale]);
    for (std::size_t at = 0; at + 8 <= k.size() && at + 8 <= l.size(); at += 8) {
      const bool text = k[at + 4] == static_cast<std::uint8_t>(ColumnType::Text);
      out[text].insert(Bytes(l.begin() + at, l.begin() + at + 6));
    }
  }
  return out;
}

TEST_F(Jet2Structure, UserIndexRowsNameTheLocaleOnTextKeysOnlyAsAccesssDo) {
  const auto ours = localesByKind(*Database::open(ours_));
  ASSERT_EQ(ours.size(), 2u);  // text and other keys
  for (const char* made : kAccessMade) {
    EXPECT_EQ(ours, localesByKind(*Database::open(corpus::path(made)))) << made;
  }
}

TEST_F(Jet2Structure, SystemObjectsAreTheOnesAccessMade) {
  const auto ours = Database::open(ours_);
  const auto jetOwn = [](const Row& row, const TableDef&) {
    const auto id = number(row[0]);
    return (id >= 3 && id <= 8) || id == kTablesContainerId || id == kDatabasesContainerId ||
           id == kRelationshipsContainerId || id == kMSysDbId;
  };
  const std::vector<std::string> columns = {"Id",    "ParentId",   "Name",      "Type",
                                            "Flags", "CbFixed",    "CFixed",    "CVar",
                                            "Owner", "DateCreate", "DateUpdate"};
  auto sorted = [](std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
  };
  const auto mine = sorted(rowsOf(*ours, "MSysObjects", columns, jetOwn));
  EXPECT_EQ(mine.size(), 10u);
  for (const char* made : kAccessMade) {
    const auto theirs = Database::open(corpus::path(made));
    EXPECT_EQ(mine, sorted(rowsOf(*theirs, "MSysObjects", columns, jetOwn))) << made;
  }
}

// --- refusals -------------------------------------------------------------

std::string refusal(const std::string& source) {
  return writer_test::compactionRefusal(source, kCompactJet20);
}

void expectAll(const std::string& m, std::initializer_list<const char*> parts) {
  for (const char* p : parts)
    EXPECT_NE(m.find(p), std::string::npos) << "'" << p << "' missing in: " << m;
}

TEST(Jet2Refusals, AGuidColumnFailsNamingTableAndColumn) {
  expectAll(refusal("jet3-jackcess-test-access97.mdb"),
            {"table 'Table4'", "column 'data'", "no Guid type"});
}

TEST(Jet2Refusals, AccessTwoThousandsType17FailsNamingTheColumn) {
  expectAll(refusal("jet4-northwind-2000-kbfakt.mdb"),
            {"table 'MSysAccessObjects'", "column 'Data'", "Jet 2.0 has no"});
}

// The relationship rows of MSysIndexes (Operation 1 on the many side, 2 on
// the one side), tables named instead of numbered, locales without their
// last two bytes (they vary in Access's rows).
std::vector<std::string> relationshipRowsOf(const Database& db) {
  std::map<std::int64_t, std::string> names;
  for (const auto& e : db.objects()) names[e.id] = e.name;
  const TableDef def = db.tableDef("MSysIndexes");
  std::vector<std::string> out;
  auto cursor = db.rows(def);
  Row row;
  while (cursor->next(row)) {
    std::string line;
    bool relationship = false;
    for (std::size_t i = 0; i < def.columns.size() && i < row.size(); ++i) {
      const std::string& c = def.columns[i].name;
      if (c == "Operation") relationship = number(row[i]) != 0;
      Value v = row[i];
      if (c == "ObjectId" || c == "ObjectIdReference") {
        if (!isNull(v)) v = Value{names[number(v)]};
      } else if (c == "Rglocale" || c == "RglocaleReference") {
        if (!isNull(v)) {
          Bytes b = std::get<Bytes>(v);
          b.resize(b.size() >= 2 ? b.size() - 2 : 0);
          v = Value{b};
        }
      }
      std::string text;
      appendValueJson(text, v);
      line += c + "=" + text + " ";
    }
    if (relationship) out.push_back(line);
  }
  return out;
}

TEST(Jet2Relationships, EnforcedOnesGetTheIndexRowsAccessWrote) {
  Scratch dir;
  const std::string made = corpus::path("jet2-sighor-hor_udep-vb3app.mdb");
  const std::string two = dir.file("2.mdb"), four = dir.file("4.mdb"), three = dir.file("3.mdb"),
                    again = dir.file("2-again.mdb");
  compactDatabase(made, two, kCompactJet20);
  // Through Jet 4 and Jet 3, whose relationships are kept another way.
  compactDatabase(made, four, kCompactJet40);
  compactDatabase(four, three, kCompactJet30);
  compactDatabase(three, again, kCompactJet20);
  const auto theirs = relationshipRowsOf(*Database::open(made));
  ASSERT_EQ(theirs.size(), 16u);  // eight relationships, two rows each
  EXPECT_EQ(relationshipRowsOf(*Database::open(two)), theirs);
  EXPECT_EQ(relationshipRowsOf(*Database::open(again)), theirs);
  for (const std::string& f : {two, again}) {
    const CheckReport r = checkDatabase(f);
    EXPECT_TRUE(r.ok()) << f << ": " << (r.problems.empty() ? "" : r.problems.front());
  }
}

TEST(Jet2Refusals, AnEnforcedRelationshipFailsNamingIt) {
  expectAll(refusal("jet3-jackcess-indexTest-access97.mdb"),
            {"relationship 'Table3Table1'", "only with cascading updates and deletes",
             "enforced relationship cannot be written"});
}

TEST(Jet2Refusals, ARowLongerThan256BytesFailsNamingTableAndRow) {
  expectAll(refusal("jet3-jackcess-test2-access97.mdb"),
            {"table 'MSP_PROJECTS'", "row 1", "longer than 256 bytes"});
}

TEST(Jet2Refusals, AZeroLengthTextFailsNamingTableColumnAndRow) {
  expectAll(refusal("jet3-mission-initcontourcdu.mdb"),
            {"table 'Configuration'", "row 1", "column 'Second Receipt Line'", "zero-length"});
}

TEST(Jet2Refusals, AnotherCodePageFails) {
  expectAll(refusal("jet4-address-database1.mdb"), {"code page 1252, not 932"});
}

TEST(Jet2Refusals, AnIndexedCharacterNoAccessKeyShowsFailsNamingTableColumnAndRow) {
  expectAll(refusal("jet4-oledb-excel-db.mdb"),
            {"table 'MSysAccessStorage'", "row 16", "column 'Name'", "character 0x03",
             "no corpus file shows"});
}

// Hand-made tables through the writer itself.
WriterOptions jet2() {
  WriterOptions o;
  o.generation = 2;
  return o;
}

// Writes one table at Jet 2.0, checks the file and reads every row back as
// it was written; gives the check's report.
CheckReport writeCheckedJet2(const std::string& path, const TableDef& t,
                             const std::vector<Row>& rows) {
  {
    DatabaseWriter w(path, jet2());
    writer_test::Rows cursor(rows);
    w.addTable(t, cursor);
    w.finish();
  }
  const CheckReport r = checkDatabase(path);
  EXPECT_TRUE(r.ok()) << (r.problems.empty() ? "" : r.problems.front());
  EXPECT_EQ(r.unverifiedKeys, 0u);
  auto db = Database::open(path);
  auto cursor = db->rows(db->tableDef(t.name));
  Row row;
  std::size_t k = 0;
  while (cursor->next(row)) {
    if (k >= rows.size()) break;
    EXPECT_EQ(row, rows[k]) << "row " << k;
    ++k;
  }
  EXPECT_EQ(k, rows.size());
  EXPECT_FALSE(cursor->next(row)) << "rows beyond those written";
  return r;
}

std::string writeRefusal(const TableDef& t, const std::vector<Row>& rows,
                         WriterOptions o = jet2()) {
  Scratch dir;
  try {
    DatabaseWriter w(dir.file("x.mdb"), o);
    writer_test::Rows cursor(rows);
    w.addTable(t, cursor);
    w.finish();
  } catch (const Error& e) {
    return e.what();
  }
  ADD_FAILURE() << "table '" << t.name << "' was written";
  return "";
}

// One indexed column, ascending.
TableDef indexedTable(const std::string& name, ColumnType type) {
  TableDef t;
  t.name = name;
  t.columns = {writer_test::column("K", type, 0, type == ColumnType::Text ? 50 : 0)};
  PhysicalIndex p;
  p.columns = {{0, true}};
  t.physicalIndexes = {p};
  Index i;
  i.name = "K";
  t.indexes = {i};
  return t;
}

TEST(Jet2Refusals, AnIndexedAccentNoAccessKeyShowsFailsNamingTableColumnAndRow) {
  // u-umlaut (0xFC): the corpus keys show acute accents and n-tilde only.
  expectAll(writeRefusal(indexedTable("Names", ColumnType::Text),
                         {Row{Value{std::string("Pe\xC3\xB1" "a")}},
                          Row{Value{std::string("M\xC3\xBCller")}}}),
            {"table 'Names'", "row 2", "column 'K'", "character 0xFC", "no corpus file shows"});
}

TEST(Jet2Refusals, AnIndexedDoubleThatIsNotPositiveFailsNamingTableColumnAndRow) {
  expectAll(writeRefusal(indexedTable("Hours", ColumnType::Double),
                         {Row{Value{2.5}}, Row{Value{-1.0}}}),
            {"table 'Hours'", "row 2", "column 'K'", "only ascending, positive ones"});
  expectAll(writeRefusal(indexedTable("Hours", ColumnType::Double), {Row{Value{0.0}}}),
            {"row 1", "Double of 0"});
}

TEST(Jet2Refusals, AnIndexedDateFailsNamingTheColumn) {
  expectAll(writeRefusal(indexedTable("Days", ColumnType::DateTime),
                         {Row{Value{DateTime{36526.0}}}}),
            {"table 'Days'", "column 'K'", "no Jet 2.0 file shows an index key of type"});
}

// The characters and the accent stream the timetable file's keys show, in a
// file of ours: it reads back and its keys pass the check's order and
// re-encoding.
TEST(Jet2Writer, AccentedTextAndPositiveDoubleKeysReadBackAndCheck) {
  Scratch dir;
  const std::string path = dir.file("accents.mdb");
  TableDef t = indexedTable("Courses", ColumnType::Text);
  t.columns.push_back(writer_test::column("Hours", ColumnType::Double, 1));
  PhysicalIndex byHours;
  byHours.columns = {{1, true}};
  t.physicalIndexes.push_back(byHours);
  Index h;
  h.name = "Hours";
  h.number = 1;
  h.physicalIndex = 1;
  t.indexes.push_back(h);
  const char* names[] = {"Topograf\xC3\xAD" "a", "Historia del Per\xC3\xBA",
                         "Administraci\xC3\xB3n", "Dise\xC3\xB1o, Metal\xC3\xBArgico",
                         "Mec\xC3\xA1nica - Est\xC3\xA1tica", "LLAVE, A.", "Nota: N\xC3\x90"};
  std::vector<Row> rows;
  for (std::size_t i = 0; i < std::size(names); ++i)
    rows.push_back(Row{Value{std::string(names[i])}, Value{0.5 + static_cast<double>(i)}});
  writeCheckedJet2(path, t, rows);
}

TEST(Jet2Refusals, AnEnforcedRelationshipOverTextFailsNamingItAndTheColumn) {
  Scratch dir;
  TableDef one = indexedTable("One", ColumnType::Text);
  one.physicalIndexes[0].flags = kIndexUnique;
  TableDef many = indexedTable("Many", ColumnType::Text);
  Index fk;
  fk.name = "OneMany";
  fk.number = 1;
  fk.kind = 2;
  many.indexes.push_back(fk);
  Relationship rel;
  rel.name = "OneMany";
  rel.flags = 0x1100;  // cascading updates and deletes, as the timetable file's
  rel.table = "Many";
  rel.referencedTable = "One";
  rel.columns = {"K"};
  rel.referencedColumns = {"K"};
  std::string message;
  try {
    DatabaseWriter w(dir.file("x.mdb"), jet2());
    writer_test::Rows a({Row{Value{std::string("a")}}}), b({Row{Value{std::string("a")}}});
    w.addTable(one, a);
    w.addTable(many, b);
    w.addRelationship(rel);
    w.finish();
  } catch (const Error& e) {
    message = e.what();
  }
  expectAll(message, {"relationship 'OneMany'", "column 'K'", "over Long columns only"});
}

TEST(Jet2Refusals, ADecimalColumnFailsNamingIt) {
  TableDef t;
  t.name = "Money";
  t.columns = {writer_test::column("Amount", ColumnType::Decimal, 0)};
  expectAll(writeRefusal(t, {}), {"table 'Money'", "column 'Amount'", "no Decimal type"});
}

TEST(Jet2Refusals, TextTheCodePageCannotHoldFailsNamingTableColumnAndRow) {
  TableDef t;
  t.name = "Words";
  t.columns = {writer_test::column("W", ColumnType::Text, 0, 50)};
  expectAll(writeRefusal(t, {Row{Value{std::string("fine")}}, Row{Value{std::string("\xCE\xA9")}}}),
            {"table 'Words'", "row 2", "column 'W'", "code page 1252"});
}

TEST(Jet2Refusals, NamesAndSizesBeyondJet2LimitsFail) {
  TableDef t;
  t.name = "T";
  t.columns = {writer_test::column(std::string(65, 'n'), ColumnType::Long, 0)};
  expectAll(writeRefusal(t, {}), {"table 'T'", "1 to 64 characters"});
  t.columns = {writer_test::column("Wide", ColumnType::Text, 0, 300)};
  expectAll(writeRefusal(t, {}), {"column 'Wide'", "more than the 255 of Jet 2.0"});
  t.name = std::string(70, 't');
  t.columns = {writer_test::column("A", ColumnType::Long, 0)};
  expectAll(writeRefusal(t, {}), {"1 to 64 characters"});
}

TEST(Jet2Refusals, AResultBeyondTheSizeLimitFailsNamingTableAndRow) {
  TableDef t;
  t.name = "Big";
  t.columns = {writer_test::column("Id", ColumnType::Long, 0),
               writer_test::column("Pad", ColumnType::Text, 1, 200)};
  std::vector<Row> rows;
  for (std::int32_t i = 0; i < 2000; ++i)
    rows.push_back(Row{Value{i}, Value{std::string(200, 'x')}});
  WriterOptions o = jet2();
  o.maxFileSize = 256 * 1024;
  expectAll(writeRefusal(t, rows, o), {"table 'Big'", "row ", "grow past 262144 bytes", "Jet 2.0"});
}

TEST(Jet2Writer, BooleansLongValuesAndSharedKeysReadBackAndCheck) {
  Scratch dir;
  const std::string path = dir.file("mixed.mdb");
  TableDef t;
  t.name = "Mixed";
  t.columns = {writer_test::column("Id", ColumnType::Long, 0),
               writer_test::column("Flag", ColumnType::Boolean, 1),
               writer_test::column("Group", ColumnType::Integer, 2),
               writer_test::column("Note", ColumnType::Memo, 3),
               writer_test::column("Pic", ColumnType::OLE, 4),
               writer_test::column("Name", ColumnType::Text, 5, 40)};
  PhysicalIndex byGroup;
  byGroup.columns = {{2, true}};
  PhysicalIndex byFlag;
  byFlag.columns = {{1, false}, {5, true}};
  t.physicalIndexes = {byGroup, byFlag};
  Index a;
  a.name = "Group";
  a.physicalIndex = 0;
  Index b;
  b.name = "FlagName";
  b.number = 1;
  b.physicalIndex = 1;
  t.indexes = {a, b};
  std::vector<Row> rows;
  // 600 rows in 3 groups: keys shared by more rows than one entry holds.
  for (std::int32_t i = 0; i < 600; ++i) {
    rows.push_back(Row{Value{i}, Value{i % 2 == 0}, Value{static_cast<std::int16_t>(i % 3)},
                       i % 50 == 0 ? Value{std::string(5000 + i, 'm')} : Value{},
                       i % 100 == 1 ? Value{Bytes(3000, static_cast<std::uint8_t>(i))} : Value{},
                       Value{"name " + std::to_string(i)}});
  }
  const CheckReport r = writeCheckedJet2(path, t, rows);
  EXPECT_GE(r.indexEntries, 2 * 600u);  // the catalog's own entries come on top
}

}  // namespace

namespace {

// The check walks damaged Jet 2.0 files without crashing: every damage ends
// in a report or a jet::Error.
TEST(Jet2Check, DamagedCopiesEndInAReportOrAnError) {
  Scratch dir;
  const std::string good = dir.file("good.mdb");
  compactDatabase(corpus::path("jet3-psc-maclucas-northwind-small.mdb"), good, kCompactJet20);
  const auto bytes = fileBytes(good);
  std::uint32_t seed = 12345;
  auto next = [&] {
    seed = seed * 1103515245u + 12345u;
    return seed >> 8;
  };
  int reported = 0;
  for (int round = 0; round < 40; ++round) {
    auto damaged = bytes;
    for (int k = 0; k < 8; ++k)
      damaged[2048 + next() % (damaged.size() - 2048)] ^=
          static_cast<std::uint8_t>(1 + next() % 255);
    const std::string path = dir.file("damaged-" + std::to_string(round) + ".mdb");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(damaged.data()),
               static_cast<std::streamsize>(damaged.size()));
    try {
      if (!checkDatabase(path).ok()) ++reported;
    } catch (const Error&) {
      ++reported;
    }
  }
  EXPECT_GT(reported, 20);
}

}  // namespace
