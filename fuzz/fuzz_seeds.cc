// fuzz_seeds OUT FILE...: cuts page sets (fuzz/read_all.h) out of databases to
// seed the part targets: OUT/schema (a table definition chain; Jet 1.x/2.0 the
// catalog's pages), OUT/index (a definition and its index pages) and
// OUT/long_value (a long-value field and the LVAL pages of its rows), and the
// raw property blobs of MSysObjects.LvProp for the property-blob target in
// OUT/property_blob. Pages keep their numbers, so encrypted files stay
// readable. Files that do not open are passed over.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <set>
#include <vector>

#include "fuzz/read_all.h"
#include "jet/byte_reader.h"
#include "jet/data_page.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/format.h"
#include "jet/layout/data_page.h"
#include "jet/layout/index_page.h"
#include "jet/layout/jet12_pages.h"
#include "jet/layout/long_value.h"
#include "jet/layout/tdef.h"
#include "jet/page_file.h"
#include "jet/text.h"

namespace {

namespace L = jet::layout;
namespace fs = std::filesystem;

constexpr std::size_t kMaxSetPages = 255;  // the count is one byte
constexpr int kMaxLongValueSeeds = 40;     // per file: enough shapes, no flood
constexpr int kMaxPropertySeeds = 40;      // per file, as above

struct Source {
  std::string stem;
  std::vector<std::uint8_t> raw;  // as stored (still encrypted, if it is)
  jet::PageFile& file;
};

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

int written = 0;

void emit(const Source& src, const fs::path& dir, const std::string& name,
          std::vector<std::uint32_t> pages, std::uint32_t subject,
          const std::vector<std::uint8_t>& field = {}) {
  std::vector<std::uint32_t> keep;
  std::set<std::uint32_t> seen;
  pages.insert(pages.begin(), 0);
  for (const std::uint32_t p : pages) {
    if (p < jet_fuzz::kMaxPages && p < src.file.pageCount() && seen.insert(p).second) {
      keep.push_back(p);
    }
    if (keep.size() == kMaxSetPages) break;
  }
  const std::size_t size = src.file.pageSize();
  std::vector<std::uint8_t> out{static_cast<std::uint8_t>(size == 4096 ? 1 : 0),
                                static_cast<std::uint8_t>(keep.size())};
  put32(out, subject);
  std::vector<std::uint8_t> f = field;
  f.resize(16);
  out.insert(out.end(), f.begin(), f.end());
  for (const std::uint32_t p : keep) put32(out, p);
  for (const std::uint32_t p : keep) {
    const auto from = src.raw.begin() + static_cast<std::ptrdiff_t>(p * size);
    out.insert(out.end(), from, from + static_cast<std::ptrdiff_t>(size));
  }
  fs::create_directories(dir);
  std::ofstream(dir / (src.stem + "-" + name + ".pages"), std::ios::binary)
      .write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
  ++written;
}

std::uint8_t pageType(const jet::PageFile& file, std::uint32_t n) { return file.page(n)->at(0); }
std::uint32_t owner(const jet::PageFile& file, std::uint32_t n) {
  const auto bytes = file.page(n);
  return file.reader(bytes, n).u32(L::kDataPageOwner);
}

std::vector<std::uint32_t> tdefChain(const jet::PageFile& file, std::uint32_t first) {
  std::vector<std::uint32_t> chain;
  std::set<std::uint32_t> seen;
  for (std::uint32_t n = first; n != 0 && n < file.pageCount() && seen.insert(n).second;) {
    chain.push_back(n);
    const auto bytes = file.page(n);
    n = file.reader(bytes, n).u32(L::kTdefNextPage);
  }
  return chain;
}

void seedJet34(const Source& src, const fs::path& out) {
  jet::PageFile& file = src.file;
  const auto db = jet::Database::open(file.path());
  for (const auto& entry : db->tables()) {
    if (!entry.isLocalTable()) continue;
    const std::uint32_t page = entry.definitionPage();
    if (page >= jet_fuzz::kMaxPages || page >= file.pageCount()) continue;
    const auto chain = tdefChain(file, page);
    const std::string name = std::to_string(page);
    emit(src, out / "schema", name, chain, page);
    jet::TableDef def;
    try {
      def = db->tableDef(entry);
    } catch (const jet::Error&) {
      continue;
    }
    if (def.physicalIndexes.empty()) continue;
    std::vector<std::uint32_t> pages = chain;
    for (std::uint32_t n = 1; n < std::min(file.pageCount(), jet_fuzz::kMaxPages); ++n) {
      const std::uint8_t t = pageType(file, n);
      if ((t == L::kPageTypeIndexNode || t == L::kPageTypeIndexLeaf) && owner(file, n) == page) {
        pages.push_back(n);
      }
    }
    if (pages.size() > chain.size()) emit(src, out / "index", name, pages, page);
  }
  // Long values: every LVAL row as a single-row value, and as a chain where
  // following its next pointers ends cleanly.
  int seeds = 0;
  for (std::uint32_t n = 1; n < std::min(file.pageCount(), jet_fuzz::kMaxPages); ++n) {
    if (pageType(file, n) != L::kPageTypeData || owner(file, n) != L::kLongValueOwner) continue;
    const jet::DataPage lval(file, n);
    for (unsigned i = 0; i < lval.rowCount() && seeds < kMaxLongValueSeeds; ++i) {
      try {
        const jet::RowSlot row = lval.liveRow(i);
        std::vector<std::uint8_t> field;
        put32(field, static_cast<std::uint32_t>(row.end - row.start) | L::kLongValueSingleRow);
        put32(field, n << 8 | i);
        emit(src, out / "long_value", std::to_string(n) + "-" + std::to_string(i), {n}, 0, field);
        ++seeds;
        std::vector<std::uint32_t> pages;
        std::set<std::uint32_t> seen;
        std::uint32_t length = 0;
        for (std::uint32_t p = n << 8 | i; p != 0;) {
          if (!seen.insert(p).second || seen.size() > 64) throw jet::damaged(file.where(), "loop");
          const jet::DataPage page(file, L::pageOfPointer(p));
          if (page.owner() != L::kLongValueOwner) throw jet::damaged(file.where(), "not LVAL");
          const jet::RowSlot r = page.liveRow(L::rowOfPointer(p));
          if (r.end - r.start < L::kLongValueChunk) throw jet::damaged(file.where(), "short");
          length += static_cast<std::uint32_t>(r.end - r.start - L::kLongValueChunk);
          pages.push_back(page.number());
          p = page.reader().u32(r.start + L::kLongValueNextRow);
        }
        if (pages.size() < 2) continue;
        field.clear();
        put32(field, length | L::kLongValueChain);
        put32(field, n << 8 | i);
        emit(src, out / "long_value", std::to_string(n) + "-" + std::to_string(i) + "-chain", pages,
             0, field);
        ++seeds;
      } catch (const jet::Error&) {
      }
    }
  }
}

void seedJet12(const Source& src, const fs::path& out) {
  namespace J = L::jet12;
  jet::PageFile& file = src.file;
  const std::uint32_t last = std::min(file.pageCount(), jet_fuzz::kMaxPages);
  // The catalog: every definition page, then the rows of the system tables.
  std::vector<std::uint32_t> pages;
  for (std::uint32_t n = 1; n < last; ++n) {
    if (pageType(file, n) == J::kPageTableDef) pages.push_back(n);
  }
  for (std::uint32_t n = 1; n < last; ++n) {
    if (pageType(file, n) != J::kPageData) continue;
    const std::uint32_t o = owner(file, n);
    if (o == J::kObjectsTable || o == J::kColumnsTable || o == J::kIndexesTable) pages.push_back(n);
  }
  emit(src, out / "schema", "catalog", pages, J::kObjectsTable);
  // Long values: the chunk rows of table 2, each as the start of a value.
  int seeds = 0;
  for (std::uint32_t n = 1; n < last && seeds < kMaxLongValueSeeds; ++n) {
    if (pageType(file, n) != J::kPageData || owner(file, n) != J::kLongValueTable) continue;
    const auto bytes = file.page(n);
    const jet::ByteReader page = file.reader(bytes, n);
    const unsigned slots = std::min<unsigned>(page.u16(J::kDataRowCount), J::kMaxSlots);
    for (unsigned i = 0; i < slots && seeds < kMaxLongValueSeeds; ++i) {
      try {
        const std::uint16_t slot = page.u16(J::kDataSlots + 2 * i);
        if (!(slot & J::kSlotLive)) continue;
        const std::size_t at = slot & J::kSlotOffsetMask;
        const std::size_t declared = page.u16(at);
        if (declared < J::kChunkData) continue;
        std::vector<std::uint8_t> field;
        put32(field, static_cast<std::uint32_t>(declared - J::kChunkData));
        put32(field, n << 8 | i);
        put32(field, page.u32(at + J::kChunkKey));
        const std::uint32_t next = page.u32(at + J::kChunkNext);
        std::vector<std::uint32_t> pages{n};
        if (next != 0 && (next >> 8) < file.pageCount()) pages.push_back(next >> 8);
        emit(src, out / "long_value", std::to_string(n) + "-" + std::to_string(i), pages, 0, field);
        ++seeds;
      } catch (const jet::Error&) {
      }
    }
  }
}

// Every non-empty LvProp value of MSysObjects, as stored (before parsing), so
// the blob target starts from real "KKD" (Jet 3) and "MR2" (Jet 4) blobs.
void seedProperties(const std::string& path, const std::string& stem, const fs::path& out) {
  const auto db = jet::Database::open(path);
  for (const auto& entry : db->tables()) {
    if (!entry.isLocalTable() || !jet::equalsIgnoreCase(entry.name, "MSysObjects")) continue;
    const jet::TableDef def = db->tableDef(entry);
    int column = -1;
    for (std::size_t i = 0; i < def.columns.size(); ++i) {
      if (jet::equalsIgnoreCase(def.columns[i].name, "LvProp")) column = static_cast<int>(i);
    }
    if (column < 0) return;
    const auto cursor = db->rows(def);
    jet::Row row;
    int seeds = 0;
    for (int n = 0; seeds < kMaxPropertySeeds && cursor->next(row); ++n) {
      const auto* blob = std::get_if<jet::Bytes>(&row[static_cast<std::size_t>(column)]);
      if (blob == nullptr || blob->empty()) continue;
      fs::create_directories(out / "property_blob");
      std::ofstream(out / "property_blob" / (stem + "-" + std::to_string(n) + ".blob"),
                    std::ios::binary)
          .write(reinterpret_cast<const char*>(blob->data()),
                 static_cast<std::streamsize>(blob->size()));
      ++seeds;
      ++written;
    }
    return;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: fuzz_seeds OUT FILE...\n";
    return 2;
  }
  const fs::path out = argv[1];
  for (int i = 2; i < argc; ++i) {
    const std::string path = argv[i];
    try {
      jet::PageFile file(path);
      std::ifstream in(path, std::ios::binary);
      Source src{fs::path(path).stem().string(),
                 std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {}), file};
      if (src.raw.size() < std::size_t(file.pageCount()) * file.pageSize()) continue;
      if (jet::isJet12(file.header().version)) {
        seedJet12(src, out);
      } else {
        seedJet34(src, out);
      }
      try {
        seedProperties(path, src.stem, out);
      } catch (const jet::Error& e) {
        std::cerr << path << ": properties: " << e.what() << "\n";
      }
    } catch (const jet::Error& e) {
      std::cerr << path << ": " << e.what() << "\n";
    }
  }
  std::cout << written << " seeds in " << out.string() << "\n";
  return 0;
}
