// The system tables of a written database against the ones Jet itself wrote
// in the corpus (adox: a database made by Jet alone, emptyJet4 likewise).
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>

#include "jet/byte_reader.h"
#include "jet/database_writer.h"
#include "tests/corpus.h"
#include "tests/jet/writer_support.h"

namespace {

using namespace jet;
using namespace writer_test;

std::vector<std::uint8_t> definition(const std::string& path, std::uint32_t page) {
  std::ifstream in(path, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(page) * 4096);
  std::vector<std::uint8_t> b(4096);
  in.read(reinterpret_cast<char*>(b.data()), 4096);
  return b;
}

// The definition with every page reference blanked: map rows, index roots.
std::vector<std::uint8_t> withoutPageReferences(std::vector<std::uint8_t> d) {
  const ByteReader r(d, Where{"tdef", 0});
  const std::uint16_t columns = r.u16(45);
  const std::uint32_t logical = r.u32(47), real = r.u32(51);
  const std::size_t length = r.u32(8);
  std::fill(d.begin() + 55, d.begin() + 63, 0);  // table maps
  std::fill(d.begin() + 25, d.begin() + 40, 0);  // unused; emptyJet4 has junk there
  // Dword 0 of each index counter: Jet wrote 0 here, Access-compacted files
  // the entry count (which we write).
  for (std::uint32_t k = 0; k < real; ++k) std::fill(d.begin() + 63 + 12 * k, d.begin() + 67 + 12 * k, 0);
  std::size_t at = 63 + 12 * real;
  for (std::uint16_t c = 0; c < columns; ++c) {
    // Access leaves stale fixed offsets in variable columns; they mean nothing.
    if ((d[at + 25 * c + 15] & 0x01) == 0) std::fill(d.begin() + at + 25 * c + 21, d.begin() + at + 25 * c + 23, 0);
  }
  at += 25 * columns;
  for (std::uint16_t c = 0; c < columns; ++c) at += 2 + r.u16(at);
  for (std::uint32_t k = 0; k < real; ++k) {
    std::fill(d.begin() + at + 52 * k + 34, d.begin() + at + 52 * k + 46, 0);
    // Unused key-column slots: Access leaves junk in their order byte.
    for (std::size_t slot = 0; slot < 10; ++slot) {
      const std::size_t s = at + 52 * k + 4 + 3 * slot;
      if (d[s] == 0xFF && d[s + 1] == 0xFF) d[s + 2] = 0;
    }
  }
  at += 52 * real + 28 * logical;
  for (std::uint32_t l = 0; l < logical; ++l) at += 2 + r.u16(at);
  for (; r.u16(at) != 0xFFFF; at += 10) std::fill(d.begin() + at + 2, d.begin() + at + 10, 0);
  d.resize(length);
  std::fill(d.begin() + 2, d.begin() + 4, 0);  // free space (our page split may differ)
  return d;
}

// A fixed creation date keeps the SID mask fixed: mdb-export cuts binary
// values at a zero byte, which some masks produce.
std::string writeEmpty(const Scratch& dir) {
  const std::string path = dir.file("empty.mdb");
  WriterOptions o;
  o.creationDate = 46000.75;
  DatabaseWriter w(path, o);
  w.finish();
  return path;
}

class JetMadeFile : public ::testing::TestWithParam<const char*> {};

TEST_P(JetMadeFile, SystemTableDefinitionsEqualJetsOwn) {
  Scratch dir;
  const std::string ours = writeEmpty(dir);
  const std::string jets = corpus::path(GetParam());
  for (std::uint32_t page = 2; page <= 5; ++page) {
    const auto a = withoutPageReferences(definition(ours, page));
    const auto b = withoutPageReferences(definition(jets, page));
    ASSERT_EQ(a.size(), b.size()) << "definition on page " << page;
    std::string differences;
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (a[i] != b[i]) differences += " " + std::to_string(i) + ":" + std::to_string(a[i]) + "/" + std::to_string(b[i]);
    }
    EXPECT_EQ(differences, "") << "definition on page " << page;
  }
}

std::vector<std::string> exportLines(const std::string& path, const std::string& table,
                                     const std::string& columns) {
  const Output r = run("mdb-export -b hex -Q -d '|' " + shellQuote(path) + " " + table + " | cut -d'|' -f" + columns);
  std::vector<std::string> lines;
  std::stringstream in(r.out);
  std::string line;
  std::getline(in, line);  // the header
  while (std::getline(in, line)) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  return lines;
}

TEST_P(JetMadeFile, CatalogRowsEqualJetsOwn) {
  SKIP_WITHOUT_MDBTOOLS();
  Scratch dir;
  const std::string ours = writeEmpty(dir);
  const std::string jets = corpus::path(GetParam());
  // Id, ParentId, Name, Type, Flags of MSysObjects; ObjectId, ACM, FInheritable of MSysACEs.
  EXPECT_EQ(exportLines(ours, "MSysObjects", "1,2,3,4,8"), exportLines(jets, "MSysObjects", "1,2,3,4,8"));
  EXPECT_EQ(exportLines(ours, "MSysACEs", "1,3,4"), exportLines(jets, "MSysACEs", "1,3,4"));
}

TEST_P(JetMadeFile, OwnersAndSidsDecodeToJetsPlainSids) {
  SKIP_WITHOUT_MDBTOOLS();
  // Masked under different keys, the SIDs differ on disk; XOR-ing the two
  // files' values must give each file's key stream, the same for every row.
  Scratch dir;
  const std::string ours = writeEmpty(dir);
  const std::string jets = corpus::path(GetParam());
  const auto a = exportLines(ours, "MSysObjects", "3,7");
  const auto b = exportLines(jets, "MSysObjects", "3,7");
  ASSERT_EQ(a.size(), b.size());
  std::set<std::string> differences;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const std::string x = a[i].substr(a[i].find('|') + 1), y = b[i].substr(b[i].find('|') + 1);
    ASSERT_EQ(x.size(), y.size());
    std::string d;
    for (std::size_t k = 0; k + 1 < x.size(); k += 2) {
      d += std::to_string(std::stoi(x.substr(k, 2), nullptr, 16) ^ std::stoi(y.substr(k, 2), nullptr, 16)) + ".";
    }
    differences.insert(d);
  }
  EXPECT_EQ(differences.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Corpus, JetMadeFile,
                         ::testing::Values("jet4-jackcess-adox.mdb", "jet4-jackcess-emptyJet4.mdb"));

TEST(WriterSystem, AnEmptyDatabaseHasTheSixteenPagesJetWrites) {
  Scratch dir;
  EXPECT_EQ(std::filesystem::file_size(writeEmpty(dir)), std::filesystem::file_size(corpus::path("jet4-jackcess-adox.mdb")));
}

TEST(WriterSystem, PageZeroCarriesTheFieldsReadersNeed) {
  SKIP_WITHOUT_MDBTOOLS();
  Scratch dir;
  const std::string path = dir.file("dated.mdb");
  {
    WriterOptions o;
    o.creationDate = 45000.5;  // 2023-03-15 12:00
    DatabaseWriter w(path, o);
    w.finish();
  }
  EXPECT_EQ(run("mdb-ver " + shellQuote(path)).out, "JET4\n");
  auto page = definition(path, 0);
  unmaskHeader(page, JetVersion::Jet4);
  const ByteReader r(page, Where{path, 0});
  EXPECT_EQ(r.u16(0x3C), 1252);
  EXPECT_EQ(r.u16(0x6E), 0x0409);
  EXPECT_EQ(r.f64(0x72), 45000.5);
  // No password: the field holds only the date mask.
  for (std::size_t i = 0; i < 40; ++i) EXPECT_EQ(r.u8(0x42 + i), (i % 4 == 0) ? 0xC8 : (i % 4 == 1 ? 0xAF : 0));
}

}  // namespace
