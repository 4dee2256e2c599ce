// The consistency check of a Jet 1.x/2.0 file: page 0 and 1, every table's
// data-page chain (types, owners, links, slots, row lengths, row counts),
// the long-value chain, and every index tree (types, owners, order, leaf
// links, one pointer per row of the table, each key the one the writer's
// encoder makes of its row). Pages reached by no chain are notes only:
// Access leaves freed pages with their old bytes.
#include <algorithm>
#include <map>
#include <set>

#include "jet/check.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/jet12_table.h"
#include "jet/layout/jet2_write.h"
#include "jet/page_file.h"
#include "jet/writer_jet2.h"

namespace jet {
namespace {

namespace L = layout::jet2;

constexpr std::size_t kMaxProblems = 200;

class Jet12Checker {
 public:
  explicit Jet12Checker(const std::string& path) : db_(Database::open(path)), file_(db_->file()) {}

  CheckReport run() {
    report_.pages = file_.pageCount();
    guard(0, [&] {
      const ByteReader p = page(0);
      if (p.u8(0) != L::kPageHeader) problem(0, "is not a Jet 2.0 definition page");
      claim(0, "the database definition");
    });
    guard(1, [&] {
      if (file_.pageCount() > 1 && page(1).u8(0) != L::kPageSpaceMap)
        problem(1, "is not the space page");
      claim(1, "the space page");
    });
    guard(L::kLongValueTable, [&] { chain(L::kLongValueTable, "the long values"); });
    for (const auto& e : db_->objects()) {
      if (!e.isLocalTable()) continue;
      guard(e.definitionPage(), [&] { checkTable(e); });
    }
    for (std::uint32_t p = 0; p < file_.pageCount(); ++p) {
      if (!owner_.count(p)) ++unowned_;
    }
    if (unowned_ > 0)
      report_.notes.push_back(std::to_string(unowned_) + " pages belong to no table (freed pages)");
    return std::move(report_);
  }

 private:
  ByteReader page(std::uint32_t n) {
    bytes_ = file_.page(n);
    return file_.reader(bytes_, n);
  }
  void problem(std::uint32_t p, const std::string& what) {
    if (report_.problems.size() < kMaxProblems)
      report_.problems.push_back("page " + std::to_string(p) + ": " + what);
  }
  template <typename F>
  void guard(std::uint32_t p, F&& f) {
    try {
      f();
    } catch (const Error& e) {
      problem(p, e.what());
    }
  }
  void claim(std::uint32_t p, const std::string& what) {
    const auto [it, fresh] = owner_.emplace(p, what);
    if (!fresh) problem(p, "belongs to " + it->second + " and to " + what);
  }

  // Walks a table's data pages; returns the live rows found per page and slot.
  std::uint32_t chain(std::uint32_t tdef, const std::string& what) {
    const PageBytes definition = file_.page(tdef);
    const ByteReader d = file_.reader(definition, tdef);
    if (d.u8(0) != L::kPageTableDef || d.u32(L::kTdefSelf) != tdef) {
      problem(tdef, "is not the definition page of " + what);
      return 0;
    }
    claim(tdef, "the definition of " + what);
    const std::uint32_t first = d.u32(L::kTdefFirstData), last = d.u32(L::kTdefLastData);
    std::uint32_t at = first, previous = 0, rows = 0, pages = 0;
    std::set<std::uint32_t> seen;
    while (at != 0) {
      if (at >= file_.pageCount() || !seen.insert(at).second) {
        problem(tdef,
                "the data pages of " + what + " leave the file or loop at " + std::to_string(at));
        break;
      }
      const ByteReader p = page(at);
      ++pages;
      claim(at, "the data of " + what);
      if (p.u8(0) != L::kPageData || p.u32(L::kDataOwner) != tdef) {
        problem(at, "is not a data page of " + what);
        break;
      }
      if (p.u32(L::kDataPrevious) != previous) problem(at, "names the wrong previous page");
      const unsigned n = p.u16(L::kDataRowCount);
      if (n > L::kMaxSlots) {
        problem(at, "has too many slots");
        break;
      }
      std::size_t end = L::kPageSize, lowest = L::kPageSize;
      for (unsigned i = 0; i < n; ++i) {
        const std::uint16_t slot = p.u16(L::kDataSlots + 2 * i);
        const std::size_t start = slot & L::kSlotOffsetMask;
        if (start < L::kDataSlots + 2 * n || start > end) {
          problem(at, "slot " + std::to_string(i) + " lies outside the page");
          break;
        }
        if ((slot & L::kSlotLive) && !(slot & L::kSlotPointer)) {
          if (tdef != L::kLongValueTable && p.u16(start) != end - start) {
            problem(at, "row " + std::to_string(i) + " states a length other than its slot's");
          }
          ++rows;
        } else if ((slot & L::kSlotPointer) && !(slot & L::kSlotLive)) {
          ++rows;  // the row moved; indexes keep naming this slot
          if (end - start >= 4) redirect_[rowRef(at, static_cast<std::uint8_t>(i))] = p.u32(start);
        }
        end = start;
        lowest = std::min(lowest, start);
      }
      if (n > 0 && p.u16(L::kDataLowestRow) != lowest) problem(at, "states the wrong lowest row");
      previous = at;
      if (p.u32(L::kDataNext) == 0 && at != last)
        problem(tdef, "names a last data page the chain does not end on");
      at = p.u32(L::kDataNext);
    }
    if (first == 0 && last != 0) problem(tdef, "names a last data page but no first");
    if (d.u32(L::kTdefRowCount) != rows) {
      report_.notes.push_back(what + ": " + std::to_string(rows) + " rows, the definition says " +
                              std::to_string(d.u32(L::kTdefRowCount)));
    }
    report_.rows += rows;
    (void)pages;
    return rows;
  }

  void checkTable(const CatalogEntry& e) {
    const std::uint32_t tdef = e.definitionPage();
    ++report_.tables;
    const std::uint32_t rows = chain(tdef, "table '" + e.name + "'");
    const TableDef def = db_->tableDef(e);
    // Decoding every row reads every long value too.
    std::map<std::uint32_t, Row> byPointer;
    std::uint32_t decoded = 0;
    {
      Jet12RowScanner scan(file_, tdef);
      Jet12RawRow raw;
      while (scan.next(raw)) {
        Row r = decodeJet12Row(file_, def, raw);
        for (std::size_t i = 0; i < def.columns.size(); ++i) {
          if (isLongValue(def.columns[i].type) && !isNull(r[i])) ++report_.longValues;
        }
        const std::uint8_t slot = slotOf(raw);
        byPointer[rowRef(raw.pageNumber, slot)] = std::move(r);
        ++decoded;
      }
    }
    if (decoded != rows)
      problem(tdef, "table '" + e.name + "': the scan and the chain disagree on its rows");
    std::set<std::uint32_t> roots;
    for (std::size_t k = 0; k < def.physicalIndexes.size(); ++k) {
      const PhysicalIndex& p = def.physicalIndexes[k];
      if (p.rootPage == 0 || !roots.insert(p.rootPage).second) continue;
      guard(p.rootPage, [&] { checkIndex(e, def, k, byPointer); });
    }
  }

  std::uint8_t slotOf(const Jet12RawRow& raw) {
    const ByteReader p = file_.reader(raw.page, raw.pageNumber);
    const unsigned n = p.u16(L::kDataRowCount);
    const std::size_t at = static_cast<std::size_t>(raw.bytes.data() - raw.page->data());
    for (unsigned i = 0; i < n; ++i) {
      if ((p.u16(L::kDataSlots + 2 * i) & L::kSlotOffsetMask) == at)
        return static_cast<std::uint8_t>(i);
    }
    return 0;
  }

  struct Entry {
    ByteBuffer key;
    std::vector<std::uint32_t> rows;
  };

  void checkIndex(const CatalogEntry& e, const TableDef& def, std::size_t k,
                  const std::map<std::uint32_t, Row>& byPointer) {
    const PhysicalIndex& index = def.physicalIndexes[k];
    const std::string what = "index " + std::to_string(k) + " of table '" + e.name + "'";
    ++report_.indexes;
    std::vector<Entry> entries;
    std::set<std::uint32_t> seen;
    // Descend to the leftmost leaf, then follow the leaf chain.
    std::uint32_t at = index.rootPage;
    for (int depth = 0;; ++depth) {
      if (depth > 8 || !seen.insert(at).second) return problem(at, what + ": the tree loops");
      const ByteReader p = page(at);
      claim(at, what);
      if (p.u32(L::kIndexOwner) != e.definitionPage())
        problem(at, what + ": owned by another table");
      if (p.u8(0) == L::kPageIndexLeaf) break;
      if (p.u8(0) != L::kPageIndexNode) return problem(at, what + ": not an index page");
      const unsigned n = p.u16(L::kIndexCount);
      std::vector<std::uint32_t> children;
      for (unsigned i = 0; i < n; ++i) {
        const std::size_t o = p.u16(L::kIndexSlots + 2 * i) & L::kSlotOffsetMask;
        children.push_back(p.u32(o - 4));
      }
      children.push_back(p.u32(L::kNodeLastChild));
      for (std::size_t c = 1; c < children.size(); ++c) {
        if (!seen.count(children[c])) claimLater_.push_back({children[c], what});
      }
      at = children.front();
    }
    std::uint32_t previous = 0;
    std::set<std::uint32_t> leaves;
    while (at != 0) {
      if (!leaves.insert(at).second) return problem(at, what + ": the leaves loop");
      const ByteReader p = page(at);
      if (leaves.size() > 1) claim(at, what);
      if (p.u8(0) != L::kPageIndexLeaf)
        return problem(at, what + ": the leaf chain reaches another page");
      if (p.u32(L::kIndexPrevious) != previous)
        problem(at, what + ": a leaf names the wrong previous leaf");
      const unsigned n = p.u16(L::kIndexCount);
      for (unsigned i = 0; i < n; ++i) {
        const std::uint16_t slot = p.u16(L::kIndexSlots + 2 * i);
        const std::size_t o = slot & L::kSlotOffsetMask;
        const std::size_t len = p.u8(o);
        Entry en;
        const auto key = p.span(o + 1, len);
        en.key.assign(key.begin(), key.end());
        std::size_t q = o + 1 + len;
        if (slot & L::kSlotRowList) {
          const std::uint32_t list = p.u32(q + 4);
          const ByteReader lp = page(list);
          claim(list, what);
          const unsigned c = lp.u16(L::kIndexCount);
          for (unsigned r = 0; r < c; ++r) en.rows.push_back(lp.u32(L::kIndexSlots + 4 * r));
          page(at);  // back to the leaf's bytes
        } else if (slot & L::kSlotSeveralRows) {
          const unsigned c = p.u8(q++);
          for (unsigned r = 0; r < c; ++r) en.rows.push_back(p.u32(q + 4 * r));
        } else {
          en.rows.push_back(p.u32(q));
        }
        entries.push_back(std::move(en));
      }
      previous = at;
      at = file_.reader(file_.page(previous), previous).u32(L::kIndexNext);
    }
    for (const auto& [child, name] : claimLater_) {
      if (!leaves.count(child)) problem(child, name + ": a node names a page off the leaf chain");
    }
    claimLater_.clear();
    std::size_t pointers = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (i > 0 && !(entries[i - 1].key < entries[i].key))
        problem(index.rootPage, what + ": keys out of order");
      for (std::uint32_t r : entries[i].rows) {
        ++pointers;
        auto row = byPointer.find(r);
        if (row == byPointer.end() && redirect_.count(r)) row = byPointer.find(redirect_[r]);
        if (row == byPointer.end()) {
          problem(index.rootPage, what + ": an entry points at no live row");
          continue;
        }
        ByteBuffer expected;
        try {
          for (const IndexColumn& ic : index.columns) {
            const Column* c = nullptr;
            std::size_t at2 = 0;
            for (std::size_t j = 0; j < def.columns.size(); ++j) {
              if (def.columns[j].number == ic.columnNumber) {
                c = &def.columns[j];
                at2 = j;
              }
            }
            if (!c) throw unsupported(what, "no column");
            appendJet2IndexKey(expected, *c, row->second[at2], ic.ascending, what,
                               file_.header().codePage);
          }
          if (expected != entries[i].key)
            problem(index.rootPage, what + ": a key differs from its row's");
        } catch (const Error&) {
          ++report_.unverifiedKeys;
        }
      }
    }
    report_.indexEntries += pointers;
    if (pointers != byPointer.size() && !index.ignoreNulls()) {
      report_.notes.push_back(what + ": " + std::to_string(pointers) + " entries for " +
                              std::to_string(byPointer.size()) + " rows");
    }
  }

  std::unique_ptr<Database> db_;
  PageFile& file_;
  PageBytes bytes_;
  CheckReport report_;
  std::map<std::uint32_t, std::string> owner_;
  std::map<std::uint32_t, std::uint32_t> redirect_;  // pointer slot -> moved row
  std::vector<std::pair<std::uint32_t, std::string>> claimLater_;
  std::uint64_t unowned_ = 0;
};

}  // namespace

CheckReport checkJet12Database(const std::string& path) { return Jet12Checker(path).run(); }

}  // namespace jet
