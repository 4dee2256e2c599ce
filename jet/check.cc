#include "jet/check.h"

#include <algorithm>
#include <map>
#include <set>
#include <unordered_map>

#include "jet/byte_reader.h"
#include "jet/data_page.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/layout/data_page.h"
#include "jet/layout/index_page.h"
#include "jet/layout/tdef.h"
#include "jet/layout/usage_map.h"
#include "jet/page_file.h"
#include "jet/table_scan.h"
#include "jet/writer_keys.h"

namespace jet {
namespace {

namespace L = layout;

constexpr std::uint32_t kGlobalMap = 0x100;  // page 1, row 0
constexpr std::uint16_t kGeneralSortOrder = 0x0409;
constexpr int kMaxIndexDepth = 16;
constexpr std::size_t kMaxDefinitionPages = 64;
constexpr std::size_t kMaxProblems = 200;  // a badly broken file would flood the report

// Where one generation keeps what the walk reads; Jet 3 and Jet 4 differ in
// offsets and sizes only.
struct Layouts {
  int generation;
  const L::TdefLayout& tdef;
  const L::ColumnEntryLayout& column;
  const L::PhysicalIndexLayout& physical;
  const L::LogicalIndexLayout& logical;
  const L::IndexPageLayout& indexPage;
  const L::DataPageLayout& dataPage;
};

const Layouts kJet3{3, L::kTdefJet3, L::kColumnJet3, L::kPhysicalIndexJet3, L::kLogicalIndexJet3,
                    L::kIndexPageJet3, L::kDataPageJet3};
const Layouts kJet4{4, L::kTdefJet4, L::kColumnJet4, L::kPhysicalIndexJet4, L::kLogicalIndexJet4,
                    L::kIndexPageJet4, L::kDataPageJet4};

const Layouts& layoutsOf(const Database& db) {
  switch (db.version()) {
    case JetVersion::Jet4:
      return kJet4;
    case JetVersion::Jet3:
      return kJet3;
    default:
      throw unsupported(db.path(), "this check reads Jet 3 and Jet 4 files (this is Jet " +
                                       db.versionText() + ")");
  }
}

class Checker {
 public:
  explicit Checker(const std::string& path)
      : db_(Database::open(path)), file_(db_->file()), lay_(layoutsOf(*db_)),
        codePage_(db_->header().codePage == 0 ? 1252 : db_->header().codePage) {}

  CheckReport run() {
    report_.pages = file_.pageCount();
    claim(0, "the database definition");
    guard(0, [&] {
      if (pageOf(0).u8(0) != 0x00) problem(0, "is not a database definition page");
    });
    guard(1, [&] {
      const MapPages global = readMap(kGlobalMap, true);
      free_.insert(global.pages.begin(), global.pages.end());
      claim(1, "the global usage map");
      for (std::uint32_t p : global.bitmapPages) claim(p, "a bitmap page of the global usage map");
    });
    for (const auto& e : db_->objects()) {
      if (!e.isLocalTable()) continue;
      guard(e.definitionPage(), [&] { checkTable(e); });
    }
    checkOwnership();
    return std::move(report_);
  }

 private:
  struct MapPages {
    std::vector<std::uint32_t> pages;
    std::vector<std::uint32_t> bitmapPages;
  };

  // Runs `f`; a reader error inside it becomes a problem at `page` and the
  // check goes on with the next object.
  template <class F>
  void guard(std::uint32_t page, F&& f) {
    try {
      f();
    } catch (const Error& e) {
      problem(page, e.what());
    }
  }

  void note(std::int64_t page, const std::string& what) {
    if (report_.notes.size() >= kMaxProblems) return;
    report_.notes.push_back("page " + std::to_string(page) + ": " + what);
  }

  void problem(std::int64_t page, const std::string& what) {
    if (report_.problems.size() >= kMaxProblems) return;
    report_.problems.push_back(page >= 0 ? "page " + std::to_string(page) + ": " + what : what);
  }

  ByteReader pageOf(std::uint32_t n) {
    held_ = file_.page(n);
    return file_.reader(held_, n);
  }

  void claim(std::uint32_t page, const std::string& owner) {
    const auto [it, fresh] = owners_.emplace(page, owner);
    if (!fresh) problem(page, "belongs to " + it->second + " and to " + owner);
  }

  // Every set bit of a usage map, past the end of the file included when
  // `allowPastEnd` (the global map marks those pages free).
  MapPages readMap(std::uint32_t rowPointer, bool allowPastEnd) {
    MapPages out;
    const DataPage holder(file_, L::pageOfPointer(rowPointer));
    if (holders_.insert(holder.number()).second && holder.number() != 1) {
      claim(holder.number(), "usage maps");
    }
    const RowSlot row = holder.liveRow(L::rowOfPointer(rowPointer));
    const ByteReader& r = holder.reader();
    if (row.end == row.start) throw damaged(r.where(), "usage map row is empty");
    auto addBits = [&](const ByteReader& b, std::size_t from, std::size_t to, std::uint64_t first) {
      for (std::size_t i = from; i < to; ++i) {
        const std::uint8_t bits = b.u8(i);
        for (unsigned k = 0; k < 8; ++k) {
          if ((bits & (1u << k)) == 0) continue;
          const std::uint64_t page = first + (i - from) * 8 + k;
          if (page >= file_.pageCount()) {
            if (!allowPastEnd) {
              problem(b.where().page,
                      "usage map names page " + std::to_string(page) + " past the end of the file");
            }
            continue;
          }
          out.pages.push_back(static_cast<std::uint32_t>(page));
        }
      }
    };
    const std::uint8_t type = r.u8(row.start + L::kUsageMapType);
    if (type == L::kUsageMapInline) {
      addBits(r, row.start + L::kInlineMapBitmap, row.end,
              r.u32(row.start + L::kInlineMapFirstPage));
    } else if (type == L::kUsageMapReference) {
      const std::uint64_t perPage = (file_.pageSize() - L::kUsageMapPageBitmap) * 8;
      for (std::size_t k = 0; row.start + L::kReferenceMapPages + 4 * k + 4 <= row.end; ++k) {
        const std::uint32_t mapPage = r.u32(row.start + L::kReferenceMapPages + 4 * k);
        if (mapPage == 0) continue;
        const ByteReader map = pageOf(mapPage);
        if (map.u8(0) != L::kPageTypeUsageMap) {
          problem(mapPage, "is named by a usage map as its bitmap but is not a bitmap page");
          continue;
        }
        out.bitmapPages.push_back(mapPage);
        addBits(map, L::kUsageMapPageBitmap, map.size(), perPage * k);
      }
    } else {
      throw damaged(r.where(), "unknown usage map type " + std::to_string(type));
    }
    return out;
  }

  // The table definition's bytes, continuation pages joined.
  Bytes definitionBytes(std::uint32_t tdef, const std::string& table) {
    Bytes out;
    std::set<std::uint32_t> seen;
    for (std::uint32_t p = tdef; p != 0;) {
      if (!seen.insert(p).second || seen.size() > kMaxDefinitionPages) {
        problem(p, "the definition chain of table '" + table + "' loops");
        break;
      }
      const ByteReader page = pageOf(p);
      if (page.u8(0) != L::kPageTypeTdef) {
        problem(p, "is in the definition of table '" + table + "' but is no definition page");
        break;
      }
      claim(p, "the definition of table '" + table + "'");
      const auto bytes = page.bytes();
      out.insert(out.end(), bytes.begin() + (p == tdef ? 0 : L::kTdefContinuationData),
                 bytes.end());
      p = page.u32(L::kTdefNextPage);
    }
    return out;
  }

  // The maps of long-value pages after the index names (one per memo/OLE column).
  std::vector<std::uint32_t> longValueMaps(const Bytes& def, std::uint32_t tdef) {
    const auto& T = lay_.tdef;
    const ByteReader d(def, Where{file_.path(), tdef});
    const std::uint16_t columns = d.u16(T.columnCount);
    const std::uint32_t logical = d.u32(T.logicalIndexes), real = d.u32(T.physicalIndexes);
    if (columns > 4096 || logical > 1024 || real > 1024)
      throw damaged(d.where(), "implausible counts");
    std::size_t at = T.variablePart + T.indexCountEntry * real + lay_.column.size * columns;
    for (std::uint16_t c = 0; c < columns; ++c) at += nameBytes(d, at);
    at += lay_.physical.size * real + lay_.logical.size * logical;
    for (std::uint32_t l = 0; l < logical; ++l) at += nameBytes(d, at);
    std::vector<std::uint32_t> maps;
    // Access-made files may end the definition without the 0xFFFF marker.
    while (d.has(at, 2) && d.u16(at) != 0xFFFF && maps.size() < 2u * columns + 2) {
      maps.push_back(d.u32(at + 2));
      maps.push_back(d.u32(at + 6));
      at += 10;
    }
    return maps;
  }

  void checkDataPages(const TableDef& def, const std::vector<std::uint32_t>& pages,
                      std::uint64_t& liveRows) {
    for (std::uint32_t p : pages) {
      claim(p, "the rows of table '" + def.name + "'");
      guard(p, [&] {
        const DataPage page(file_, p);
        if (page.owner() != def.definitionPage) {
          problem(p, "is in the usage map of table '" + def.name + "' but belongs to table page " +
                         std::to_string(page.owner()));
          return;
        }
        checkSlots(page, &liveRows);
      });
    }
  }

  // Slots inside the page, in falling order, and the free-space field right.
  void checkSlots(const DataPage& page, std::uint64_t* liveRows) {
    const ByteReader& r = page.reader();
    if (page.rowCount() > L::kMaxRowsPerPage) {
      problem(page.number(), "has " + std::to_string(page.rowCount()) + " row slots");
      return;
    }
    std::size_t used = 0;
    for (unsigned i = 0; i < page.rowCount(); ++i) {
      const RowSlot s = page.slot(i);  // throws for a row outside the page or out of order
      if (!s.deleted) used += s.end - s.start;
      if (liveRows != nullptr && !s.deleted && !isOverflowTarget(page.number(), i)) ++*liveRows;
    }
    const std::size_t header = lay_.dataPage.firstSlot + 2 * page.rowCount();
    const std::size_t free = r.u16(2);
    if (free + used + header > file_.pageSize()) {
      problem(page.number(), "says " + std::to_string(free) +
                                 " bytes are free, but its rows leave only " +
                                 std::to_string(file_.pageSize() - used - header));
    }
  }

  bool isOverflowTarget(std::uint32_t page, unsigned row) const {
    return overflowTargets_.count((page << 8) | row) != 0;
  }

  struct Tree {
    std::vector<std::uint32_t> leaves;
    std::vector<Bytes> entries;  // full entries (key and row pointer), leaf order
  };

  std::vector<Bytes> entriesOf(const ByteReader& page) {
    const auto& I = lay_.indexPage;
    std::vector<Bytes> out;
    const std::size_t prefix = I.prefixBytes == 1 ? page.u8(I.prefixLength) : page.u16(I.prefixLength);
    std::size_t start = 0;
    for (std::size_t bit = 0; bit < (I.entries - I.bitmap) * 8; ++bit) {
      if (((page.u8(I.bitmap + bit / 8) >> (bit % 8)) & 1) == 0) continue;
      if (bit <= start && !out.empty()) throw damaged(page.where(), "empty index entry");
      const auto stored = page.span(I.entries + start, bit - start);
      Bytes e;
      if (!out.empty()) {
        if (prefix > out.front().size())
          throw damaged(page.where(), "index prefix longer than the first entry");
        e.assign(out.front().begin(), out.front().begin() + static_cast<std::ptrdiff_t>(prefix));
      }
      e.insert(e.end(), stored.begin(), stored.end());
      if (e.size() < L::kIndexRowPointer)
        throw damaged(page.where(), "index entry shorter than its pointer");
      out.push_back(std::move(e));
      start = bit;
    }
    if (page.u16(2) != file_.pageSize() - I.entries - start) {
      problem(page.where().page, "index page free space says " + std::to_string(page.u16(2)) +
                                     ", its entries leave " +
                                     std::to_string(file_.pageSize() - I.entries - start));
    }
    return out;
  }

  static std::string hex(std::span<const std::uint8_t> b) {
    static const char* const kDigits = "0123456789abcdef";
    std::string s;
    for (std::size_t i = 0; i < b.size() && i < 48; ++i) {
      s += kDigits[b[i] >> 4];
      s += kDigits[b[i] & 15];
    }
    return b.size() > 48 ? s + "..." : s;
  }

  static std::uint32_t be32(const Bytes& b, std::size_t at) {
    return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) |
           (std::uint32_t{b[at + 2]} << 8) | b[at + 3];
  }

  // Walks the subtree under `page`; returns its last entry.
  Bytes walk(std::uint32_t page, const TableDef& def, Tree& tree, int depth,
             const std::string& owner) {
    if (depth > kMaxIndexDepth)
      throw damaged(Where{file_.path(), page}, "index tree deeper than plausible");
    claim(page, owner);
    if (!walked_.insert(page).second)
      throw damaged(Where{file_.path(), page}, "index page reached twice");
    const ByteReader p = pageOf(page);
    const PageBytes keep = held_;
    if (p.u32(L::kIndexPageOwner) != def.definitionPage) {
      problem(page, "is in an index of table '" + def.name + "' but belongs to table page " +
                        std::to_string(p.u32(L::kIndexPageOwner)));
    }
    std::vector<Bytes> own = entriesOf(p);
    if (p.u8(0) == L::kPageTypeIndexLeaf) {
      tree.leaves.push_back(page);
      Bytes last = own.empty() ? Bytes{} : own.back();
      for (auto& e : own) tree.entries.push_back(std::move(e));
      return last;
    }
    if (p.u8(0) != L::kPageTypeIndexNode)
      throw damaged(p.where(), "is in an index tree but is no index page");
    Bytes last;
    for (const Bytes& e : own) {
      if (e.size() < L::kIndexRowPointer + L::kIndexChildPointer)
        throw damaged(p.where(), "node entry too short");
      const std::uint32_t child = be32(e, e.size() - L::kIndexChildPointer);
      last = walk(child, def, tree, depth + 1, owner);
      if (!std::equal(e.begin(), e.end() - L::kIndexChildPointer, last.begin(), last.end())) {
        problem(page,
                "a node entry is not the last entry of its child page " + std::to_string(child));
      }
    }
    const std::uint32_t tail = p.u32(lay_.indexPage.tailPage);
    if (tail != 0) last = walk(tail, def, tree, depth + 1, owner);
    return last;
  }

  std::uint32_t rowPointerOf(const Bytes& e) const {
    const std::size_t at = e.size() - L::kIndexRowPointer;
    return (std::uint32_t{e[at]} << 16 | std::uint32_t{e[at + 1]} << 8 | e[at + 2]) << 8 |
           e[at + 3];
  }

  // The index's entries by row pointer, after checking the tree's shape.
  std::unordered_map<std::uint32_t, Bytes> checkTree(const TableDef& def, const Bytes& raw,
                                                     std::size_t number) {
    const PhysicalIndex& index = def.physicalIndexes[number];
    const std::string owner = "index " + std::to_string(number) + " of table '" + def.name + "'";
    Tree tree;
    walk(index.rootPage, def, tree, 0, owner);
    const MapPages mapped = readMap(index.usageMap, false);
    for (std::uint32_t p : mapped.bitmapPages) claim(p, "a bitmap page of " + owner);
    std::set<std::uint32_t> inMap(mapped.pages.begin(), mapped.pages.end());
    for (const auto& [page, who] : owners_) {
      if (who == owner && inMap.erase(page) == 0 && page != index.rootPage) {
        problem(page, "is in " + owner + " but not in its usage map");
      }
    }
    inMap.erase(index.rootPage);
    for (std::uint32_t p : inMap)
      problem(p, "is in the usage map of " + owner + " but not in its tree");
    for (std::size_t i = 0; i < tree.leaves.size(); ++i) {
      const ByteReader leaf = pageOf(tree.leaves[i]);
      const std::uint32_t prev = i == 0 ? 0 : tree.leaves[i - 1];
      const std::uint32_t next = i + 1 == tree.leaves.size() ? 0 : tree.leaves[i + 1];
      if (leaf.u32(lay_.indexPage.previousPage) != prev ||
          leaf.u32(lay_.indexPage.nextPage) != next) {
        problem(tree.leaves[i], "the leaf links of " + owner + " do not follow the tree's order");
      }
    }
    std::unordered_map<std::uint32_t, Bytes> byRow;
    // Entries go by key, then by row: an empty Binary value's key is a
    // prefix of every other, so the whole entry bytes would order it wrongly.
    auto below = [](const Bytes& a, const Bytes& b) {
      const auto ka = a.end() - L::kIndexRowPointer, kb = b.end() - L::kIndexRowPointer;
      if (!std::equal(a.begin(), ka, b.begin(), kb)) {
        return std::lexicographical_compare(a.begin(), ka, b.begin(), kb);
      }
      return std::lexicographical_compare(ka, a.end(), kb, b.end());
    };
    for (std::size_t i = 0; i < tree.entries.size(); ++i) {
      const Bytes& e = tree.entries[i];
      if (i > 0 && !below(tree.entries[i - 1], e)) {
        problem(-1, owner + ": entry " + std::to_string(i) + " is not above the one before it");
      }
      Bytes key(e.begin(), e.end() - L::kIndexRowPointer);
      if (!byRow.emplace(rowPointerOf(e), std::move(key)).second) {
        problem(
            L::pageOfPointer(rowPointerOf(e)),
            owner + " has two entries for row " + std::to_string(L::rowOfPointer(rowPointerOf(e))));
      }
    }
    // The counters before the column entries: entries and distinct keys
    // (Jet itself leaves them 0, so only a written count is compared).
    const ByteReader counters(raw, Where{file_.path(), def.definitionPage});
    const std::size_t at = lay_.tdef.variablePart + lay_.tdef.indexCountEntry * number;
    std::size_t distinct = 0;
    for (std::size_t i = 0; i < tree.entries.size(); ++i) {
      const Bytes& e = tree.entries[i];
      if (i == 0 ||
          !std::equal(e.begin(), e.end() - L::kIndexRowPointer, tree.entries[i - 1].begin(),
                      tree.entries[i - 1].end() - L::kIndexRowPointer)) {
        ++distinct;
      }
    }
    const std::uint32_t writtenEntries = counters.u32(at), writtenDistinct = counters.u32(at + 4);
    if (writtenEntries != 0 && writtenEntries != tree.entries.size()) {
      note(def.definitionPage, owner + " holds " + std::to_string(tree.entries.size()) +
                                   " entries, its definition says " +
                                   std::to_string(writtenEntries));
    }
    if (writtenDistinct != 0 && writtenDistinct != distinct) {
      note(def.definitionPage, owner + " holds " + std::to_string(distinct) +
                                   " distinct keys, its definition says " +
                                   std::to_string(writtenDistinct));
    }
    report_.indexEntries += tree.entries.size();
    ++report_.indexes;
    return byRow;
  }

  void checkTable(const CatalogEntry& e) {
    const TableDef def = db_->tableDef(e);
    ++report_.tables;
    const Bytes raw = definitionBytes(def.definitionPage, def.name);
    const MapPages owned = readMap(def.ownedPagesMap, false);
    for (std::uint32_t p : owned.bitmapPages) claim(p, "a bitmap page of table '" + def.name + "'");
    guard(def.definitionPage, [&] {
      // Per memo/OLE column: the map of its long-value pages and the map of
      // those with room; columns may share maps.
      const std::vector<std::uint32_t> maps = longValueMaps(raw, def.definitionPage);
      std::set<std::uint32_t> seen, lvPages;
      for (std::size_t k = 0; k + 1 < maps.size(); k += 2) {
        if (maps[k] == 0 || !seen.insert(maps[k]).second) continue;
        const MapPages lv = readMap(maps[k], false);
        for (std::uint32_t p : lv.bitmapPages)
          claim(p, "a bitmap page of table '" + def.name + "'");
        for (std::uint32_t p : lv.pages) {
          lvPages.insert(p);
          claim(p, "the long values of table '" + def.name + "'");
          guard(p, [&] {
            const DataPage page(file_, p);
            if (page.owner() != L::kLongValueOwner)
              problem(p, "is in a long-value map but is no long-value page");
            checkSlots(page, nullptr);
          });
        }
      }
      for (std::size_t k = 0; k + 1 < maps.size(); k += 2) {
        if (maps[k + 1] == 0 || !seen.insert(maps[k + 1]).second) continue;
        const MapPages room = readMap(maps[k + 1], false);
        for (std::uint32_t p : room.bitmapPages)
          claim(p, "a bitmap page of table '" + def.name + "'");
        for (std::uint32_t p : room.pages) {
          if (!lvPages.count(p))
            problem(p, "is in a free-space map of table '" + def.name + "' but not its own");
        }
      }
    });
    guard(def.definitionPage, [&] {
      const MapPages room = readMap(def.freePagesMap, false);
      for (std::uint32_t p : room.bitmapPages)
        claim(p, "a bitmap page of table '" + def.name + "'");
      const std::set<std::uint32_t> mine(owned.pages.begin(), owned.pages.end());
      for (std::uint32_t p : room.pages) {
        if (!mine.count(p))
          problem(p, "is in the free-space map of table '" + def.name + "' but not in its own");
      }
    });

    std::vector<std::unordered_map<std::uint32_t, Bytes>> indexes;
    for (std::size_t i = 0; i < def.physicalIndexes.size(); ++i) {
      std::unordered_map<std::uint32_t, Bytes> entries;
      guard(def.definitionPage, [&] { entries = checkTree(def, raw, i); });
      indexes.push_back(std::move(entries));
      if (const std::uint16_t lcid = unknownSortOrder(def, def.physicalIndexes[i])) {
        note(def.definitionPage,
             "index " + std::to_string(i) + " of table '" + def.name + "' sorts text under sort order " +
                 std::to_string(lcid) +
                 ", whose keys are not made here: its entries are checked for order and one per "
                 "row only (a compaction takes such keys from its source as Jet made them)");
      }
    }

    // Rows: decoded through the reader (long values followed), each one's
    // keys made afresh and compared with what the index holds for it.
    TableScan scan(file_, def);
    Row row;
    std::uint64_t rows = 0;
    std::map<std::uint16_t, std::size_t> position;
    for (std::size_t c = 0; c < def.columns.size(); ++c) position[def.columns[c].number] = c;
    for (;;) {
      try {
        if (!scan.next(row)) break;
      } catch (const Error& err) {
        problem(-1, "table '" + def.name + "': " + err.what());
        break;
      }
      ++rows;
      if (scan.dataPointer() != scan.rowPointer()) overflowTargets_.insert(scan.dataPointer());
      for (std::size_t c = 0; c < def.columns.size(); ++c) {
        const ColumnType t = def.columns[c].type;
        if (isLongValue(t) && !isNull(row[c])) {
          ++report_.longValues;
        }
      }
      for (std::size_t i = 0; i < def.physicalIndexes.size(); ++i) {
        checkEntry(def, i, row, position, scan.rowPointer(), indexes[i]);
      }
    }
    report_.rows += rows;
    if (rows != def.rowCount) {
      // Access lets the counts of its own system tables go stale.
      (this->*(def.systemTable ? &Checker::note : &Checker::problem))(
          def.definitionPage, "table '" + def.name + "' holds " + std::to_string(rows) +
                                  " rows, its definition says " + std::to_string(def.rowCount));
    }
    for (std::size_t i = 0; i < indexes.size(); ++i) {
      for (const auto& [pointer, key] : indexes[i]) {
        problem(L::pageOfPointer(pointer), "index " + std::to_string(i) + " of table '" + def.name +
                                               "' has an entry for row " +
                                               std::to_string(L::rowOfPointer(pointer)) +
                                               ", which is no row of the table");
      }
    }
    std::uint64_t live = 0;
    checkDataPages(def, owned.pages, live);
    if (live != rows) {
      problem(def.definitionPage, "table '" + def.name + "' has " + std::to_string(live) +
                                      " live row slots but " + std::to_string(rows) + " rows");
    }
  }

  // The LCID of a text column of `index` under an order the encoder lacks, or 0.
  static std::uint16_t unknownSortOrder(const TableDef& def, const PhysicalIndex& index) {
    for (const IndexColumn& ic : index.columns) {
      for (const Column& c : def.columns) {
        if (c.number == ic.columnNumber && (c.type == ColumnType::Text || c.type == ColumnType::Memo) &&
            c.sortOrder != kGeneralSortOrder) {
          return c.sortOrder;
        }
      }
    }
    return 0;
  }

  // Removes the row's entry from `entries` after comparing its key.
  void checkEntry(const TableDef& def, std::size_t number, const Row& row,
                  const std::map<std::uint16_t, std::size_t>& position, std::uint32_t pointer,
                  std::unordered_map<std::uint32_t, Bytes>& entries) {
    const PhysicalIndex& index = def.physicalIndexes[number];
    const std::string owner = "index " + std::to_string(number) + " of table '" + def.name + "'";
    ByteBuffer key;
    bool allNull = true, encoded = true;
    for (const IndexColumn& ic : index.columns) {
      const auto at = position.find(ic.columnNumber);
      if (at == position.end()) {
        problem(def.definitionPage, owner + " names column number " +
                                        std::to_string(ic.columnNumber) + ", which does not exist");
        return;
      }
      if (!isNull(row[at->second])) allNull = false;
      // The encoder knows the General order only; text sorted otherwise is not re-encoded.
      const Column& c = def.columns[at->second];
      if ((c.type == ColumnType::Text || c.type == ColumnType::Memo) && c.sortOrder != kGeneralSortOrder) {
        encoded = false;
      }
      try {
        appendIndexKey(key, def.columns[at->second].type, row[at->second], ic.ascending, def.name,
                       lay_.generation, codePage_);
      } catch (const Error&) {
        encoded = false;
      }
    }
    const auto found = entries.find(pointer);
    if (found == entries.end()) {
      if (!(allNull && index.ignoreNulls())) {
        problem(L::pageOfPointer(pointer),
                owner + " has no entry for row " + std::to_string(L::rowOfPointer(pointer)));
      }
      return;
    }
    if (!encoded) {
      ++report_.unverifiedKeys;
    } else if (!std::equal(key.begin(), key.end(), found->second.begin(), found->second.end())) {
      problem(L::pageOfPointer(pointer), owner + ": the entry of row " +
                                             std::to_string(L::rowOfPointer(pointer)) +
                                             " is not the key of its values (stored " +
                                             hex(found->second) + ", made " + hex(key) + ")");
    }
    entries.erase(found);
  }

  // Each page is owned once or free; nothing owned is marked free.
  void checkOwnership() {
    std::vector<std::uint32_t> leaked;
    for (std::uint32_t p = 0; p < file_.pageCount(); ++p) {
      const bool owned = owners_.count(p) != 0, free = free_.count(p) != 0;
      if (owned && free)
        problem(p, "is in use (" + owners_[p] + ") but the global map marks it free");
      if (!owned && !free) leaked.push_back(p);
    }
    // Pages nobody owns but the map keeps in use: lost space, harmless to
    // readers (Access leaves them; a compaction takes them back).
    if (!leaked.empty()) {
      std::string first;
      for (std::size_t i = 0; i < leaked.size() && i < 8; ++i)
        first += (i ? ", " : "") + std::to_string(leaked[i]);
      note(leaked.front(), std::to_string(leaked.size()) +
                               " pages are neither free nor owned by anything (" + first +
                               (leaked.size() > 8 ? ", ..." : "") + ")");
    }
  }

  // A name in the definition: its length (1 byte in Jet 3, 2 in Jet 4), then its bytes.
  std::size_t nameBytes(const ByteReader& d, std::size_t at) const {
    return lay_.tdef.nameLengthBytes == 1 ? 1 + d.u8(at) : 2 + d.u16(at);
  }

  std::unique_ptr<Database> db_;
  const PageFile& file_;
  const Layouts& lay_;
  std::uint16_t codePage_;
  PageBytes held_;
  CheckReport report_;
  std::map<std::uint32_t, std::string> owners_;
  std::set<std::uint32_t> free_, walked_, overflowTargets_, holders_;
};

}  // namespace

CheckReport checkDatabase(const std::string& path) {
  if (isJet12(Database::open(path)->version())) return checkJet12Database(path);
  return Checker(path).run();
}

}  // namespace jet
