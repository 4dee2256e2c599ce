// A structural check of a Jet 4 file the writer made, independent of the
// writer's code: page ownership against the usage maps, row slots, table
// row counts, and every index tree (order, links, node entries, one entry
// per row). Failures are reported as GoogleTest failures.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "jet/byte_reader.h"

namespace writer_test {

class FileCheck {
 public:
  static constexpr std::size_t kPage = 4096;

  explicit FileCheck(const std::string& path) : path_(path) {
    std::ifstream in(path, std::ios::binary);
    file_.assign(std::istreambuf_iterator<char>(in), {});
    pages_ = file_.size() / kPage;
  }

  std::size_t pageCount() const { return pages_; }

  // Checks the table whose TDEF starts at `tdef`; returns its row count.
  std::uint32_t checkTable(std::uint32_t tdef) {
    const std::vector<std::uint8_t> def = definition(tdef);
    const jet::ByteReader d(def, where(tdef));
    const std::uint32_t rows = d.u32(16);
    const std::uint16_t columns = d.u16(45);
    const std::uint32_t logical = d.u32(47), real = d.u32(51);
    std::vector<std::uint32_t> data = mapPages(d.u32(55));
    std::uint32_t counted = 0;
    std::set<std::uint32_t> rowIds;
    for (std::uint32_t p : data) {
      claim(p, "data of table " + std::to_string(tdef));
      const jet::ByteReader page = at_(p);
      EXPECT_EQ(page.u8(0), 0x01) << "page " << p;
      EXPECT_EQ(page.u32(4), tdef) << "page " << p << " belongs to another table";
      const std::uint16_t n = page.u16(12);
      EXPECT_LE(n, 255);
      std::size_t end = kPage, used = 0;
      for (std::uint16_t r = 0; r < n; ++r) {
        const std::uint16_t start = page.u16(14 + 2 * r);
        EXPECT_LT(start, end) << "page " << p << " row " << r;
        used += end - start + 2;
        end = start;
        rowIds.insert((p << 8) | r);
      }
      EXPECT_EQ(page.u16(2), kPage - 14 - used) << "free space of page " << p;
      counted += n;
    }
    EXPECT_EQ(counted, rows) << "row count of table " << tdef;
    std::size_t at = 63 + 12 * real + 25 * columns;
    std::vector<std::uint16_t> longValueColumns;
    for (std::uint16_t c = 0; c < columns; ++c) {
      const std::uint8_t type = d.u8(63 + 12 * real + 25 * c);
      if (type == 0x0B || type == 0x0C) longValueColumns.push_back(c);
    }
    for (std::uint16_t c = 0; c < columns; ++c) at += 2 + d.u16(at);
    for (std::uint32_t r = 0; r < real; ++r) {
      const jet::ByteReader block = d.sub(at + 52 * r, 52);
      const std::uint32_t entryCount = d.u32(63 + 12 * r);
      const bool ignoreNulls = (block.u8(46) & 0x02) != 0;
      checkIndex(tdef, block.u32(38), mapPages(block.u32(34)), rowIds, entryCount, ignoreNulls);
    }
    at += 52 * real + 28 * logical;
    for (std::uint32_t l = 0; l < logical; ++l) at += 2 + d.u16(at);
    while (d.u16(at) != 0xFFFF) {
      for (std::uint32_t p : mapPages(d.u32(at + 2))) {
        claim(p, "long values of table " + std::to_string(tdef));
        EXPECT_EQ(at_(p).u32(4), 0x4C41564Cu) << "page " << p << " is not an LVAL page";
      }
      at += 10;
    }
    return rows;
  }

  // After every table was checked: each page of the file is accounted for
  // once, and the global map marks exactly the pages past the end as free.
  void checkAllPagesOwned() {
    for (std::uint32_t p = 1; p < pages_; ++p) {
      const std::uint8_t type = at_(p).u8(0);
      if (type == 0x01 && at_(p).u32(4) == 0) claim(p, "usage-map holder");
      if (type == 0x05) claim(p, "usage-map bitmap");
      if (p == 1) claim(p, "global map");
    }
    const std::vector<std::uint32_t> free = mapPages(0x100);
    for (std::uint32_t p : free) EXPECT_GE(p, pages_) << "page " << p << " is in use but marked free";
    if (pages_ <= 512) {
      EXPECT_EQ(free.size(), 512 - pages_) << "pages past the end not all free";
    }
    for (std::uint32_t p = 1; p < pages_; ++p) {
      EXPECT_EQ(owners_.count(p), 1u) << "page " << p << " (type " << int(at_(p).u8(0)) << ") has no owner";
    }
  }

  std::uint64_t indexEntries() const { return indexEntries_; }

 private:
  jet::Where where(std::uint32_t p) const { return jet::Where{path_, p}; }
  jet::ByteReader at_(std::uint32_t p) const {
    if (p >= pages_) throw jet::damaged(where(p), "page beyond the end");
    return jet::ByteReader(std::span<const std::uint8_t>(file_.data() + p * kPage, kPage), where(p));
  }

  void claim(std::uint32_t p, const std::string& what) {
    const auto [it, fresh] = owners_.emplace(p, what);
    EXPECT_TRUE(fresh) << "page " << p << " is both " << it->second << " and " << what;
  }

  std::vector<std::uint8_t> definition(std::uint32_t tdef) {
    std::vector<std::uint8_t> out;
    std::set<std::uint32_t> seen;
    for (std::uint32_t p = tdef; p != 0; p = at_(p).u32(4)) {
      if (!seen.insert(p).second || seen.size() > 16) {
        ADD_FAILURE() << "TDEF chain of " << tdef << " loops or is too long";
        break;
      }
      claim(p, "definition of table " + std::to_string(tdef));
      const auto bytes = at_(p).bytes();
      EXPECT_EQ(bytes[0], 0x02);
      out.insert(out.end(), bytes.begin() + (p == tdef ? 0 : 8), bytes.end());
    }
    return out;
  }

  std::vector<std::uint32_t> mapPages(std::uint32_t ref) const {
    const jet::ByteReader holder = at_(ref >> 8);
    const std::uint8_t row = ref & 0xFF;
    const std::size_t start = holder.u16(14 + 2 * row);
    const std::size_t end = row == 0 ? kPage : holder.u16(14 + 2 * (row - 1));
    const jet::ByteReader map = holder.sub(start, end - start);
    std::vector<std::uint32_t> pages;
    if (map.u8(0) == 0) {
      const std::uint32_t first = map.u32(1);
      for (std::size_t bit = 0; bit < (map.size() - 5) * 8; ++bit) {
        if ((map.u8(5 + bit / 8) >> (bit % 8)) & 1) pages.push_back(first + static_cast<std::uint32_t>(bit));
      }
    } else {
      for (std::size_t k = 0; 1 + 4 * k + 4 <= map.size(); ++k) {
        const std::uint32_t bitmap = map.u32(1 + 4 * k);
        if (bitmap == 0) continue;
        const jet::ByteReader b = at_(bitmap);
        for (std::size_t bit = 0; bit < (kPage - 4) * 8; ++bit) {
          if ((b.u8(4 + bit / 8) >> (bit % 8)) & 1) pages.push_back(static_cast<std::uint32_t>(k * (kPage - 4) * 8 + bit));
        }
      }
    }
    return pages;
  }

  struct Entry {
    std::vector<std::uint8_t> bytes;
  };

  std::vector<Entry> entriesOf(const jet::ByteReader& page) const {
    std::vector<Entry> out;
    const std::size_t prefix = page.u16(24);
    std::size_t start = 0;
    for (std::size_t bit = 0; bit < (0x1E0 - 27) * 8; ++bit) {
      if (((page.u8(27 + bit / 8) >> (bit % 8)) & 1) == 0) continue;
      const auto stored = page.span(0x1E0 + start, bit - start);
      Entry e;
      if (!out.empty()) e.bytes.assign(out.front().bytes.begin(), out.front().bytes.begin() + static_cast<std::ptrdiff_t>(prefix));
      e.bytes.insert(e.bytes.end(), stored.begin(), stored.end());
      out.push_back(e);
      start = bit;
    }
    EXPECT_EQ(page.u16(2), kPage - 0x1E0 - start) << "free space of index page";
    return out;
  }

  static std::uint32_t be32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) | (std::uint32_t{b[at + 2]} << 8) | b[at + 3];
  }

  // Walks the subtree under `page`; appends its leaf entries in order and
  // returns the last one.
  std::vector<std::uint8_t> walk(std::uint32_t page, std::uint32_t tdef, std::vector<std::uint32_t>& leaves,
                                 std::vector<std::vector<std::uint8_t>>& entries, int depth) {
    EXPECT_LT(depth, 8) << "index deeper than plausible";
    if (depth >= 8) return {};
    claim(page, "index of table " + std::to_string(tdef));
    const jet::ByteReader p = at_(page);
    EXPECT_EQ(p.u32(4), tdef);
    const std::vector<Entry> own = entriesOf(p);
    if (p.u8(0) == 0x04) {
      leaves.push_back(page);
      for (const Entry& e : own) entries.push_back(e.bytes);
      return own.empty() ? std::vector<std::uint8_t>{} : own.back().bytes;
    }
    EXPECT_EQ(p.u8(0), 0x03);
    std::vector<std::uint8_t> last;
    for (const Entry& e : own) {
      const std::uint32_t child = be32(e.bytes, e.bytes.size() - 4);
      last = walk(child, tdef, leaves, entries, depth + 1);
      EXPECT_EQ(std::vector<std::uint8_t>(e.bytes.begin(), e.bytes.end() - 4), last)
          << "node entry on page " << page << " is not its child's last entry";
    }
    const std::uint32_t tail = p.u32(20);
    if (tail != 0) last = walk(tail, tdef, leaves, entries, depth + 1);
    return last;
  }

  void checkIndex(std::uint32_t tdef, std::uint32_t root, const std::vector<std::uint32_t>& mapped,
                  const std::set<std::uint32_t>& rowIds, std::uint32_t entryCount, bool ignoreNulls) {
    std::vector<std::uint32_t> leaves;
    std::vector<std::vector<std::uint8_t>> entries;
    const std::size_t claimedBefore = owners_.size();
    walk(root, tdef, leaves, entries, 0);
    EXPECT_EQ(owners_.size() - claimedBefore, mapped.size()) << "index map and tree differ";
    for (std::size_t i = 0; i < leaves.size(); ++i) {
      const jet::ByteReader leaf = at_(leaves[i]);
      EXPECT_EQ(leaf.u32(12), i == 0 ? 0 : leaves[i - 1]) << "prev link of leaf " << leaves[i];
      EXPECT_EQ(leaf.u32(16), i + 1 == leaves.size() ? 0 : leaves[i + 1]) << "next link of leaf " << leaves[i];
    }
    std::set<std::uint32_t> pointed;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (i > 0) {
        EXPECT_LT(entries[i - 1], entries[i]) << "entries out of order in table " << tdef;
      }
      const auto& e = entries[i];
      const std::uint32_t ptr = be32(e, e.size() - 4);
      EXPECT_TRUE(rowIds.count(ptr)) << "entry points at no row";
      EXPECT_TRUE(pointed.insert(ptr).second) << "two entries point at one row";
    }
    if (!ignoreNulls) {
      EXPECT_EQ(pointed.size(), rowIds.size()) << "index of table " << tdef << " misses rows";
    }
    EXPECT_EQ(entries.size(), entryCount);
    indexEntries_ += entries.size();
  }

  std::string path_;
  std::vector<std::uint8_t> file_;
  std::size_t pages_ = 0;
  std::map<std::uint32_t, std::string> owners_;
  std::uint64_t indexEntries_ = 0;
};

}  // namespace writer_test
