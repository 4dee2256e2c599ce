// Jet 2.0 data pages and index trees, as Access 2.0 lays them out
// (jet/layout/jet2_write.h; docs/jet2-format.md).
#include <algorithm>

#include "jet/error.h"
#include "jet/layout/jet2_write.h"
#include "jet/writer_jet2.h"

namespace jet {
namespace {

namespace L = layout::jet2;

// One leaf entry: a key and the rows that have it.
struct Group {
  ByteBuffer key;
  std::vector<std::uint32_t> rows;
  std::uint32_t listPage = 0;  // rows on a list page of their own
  std::size_t size() const {
    const std::size_t tail = listPage ? 8 : rows.size() == 1 ? 4 : 1 + 4 * rows.size();
    return 1 + key.size() + tail;
  }
};

ByteBuffer indexPage(std::uint8_t type, std::uint32_t page, std::uint32_t owner,
                     std::uint16_t number) {
  ByteBuffer b(L::kPageSize, 0);
  putU8(b, 0, type);
  putU16(b, L::kPageStamp, jet2PageStamp(page));
  putU32(b, L::kIndexOwner, owner);
  putU16(b, L::kIndexNumber, number);
  return b;
}

// Writes a leaf's entries from the page end down, slot 0 highest.
ByteBuffer leafPage(const std::vector<Group>& groups, std::size_t from, std::size_t to,
                    std::uint32_t page, std::uint32_t owner, std::uint16_t number,
                    std::uint32_t previous, std::uint32_t next) {
  ByteBuffer b = indexPage(L::kPageIndexLeaf, page, owner, number);
  std::size_t at = L::kPageSize;
  for (std::size_t i = from; i < to; ++i) {
    const Group& g = groups[i];
    at -= g.size();
    std::size_t p = at;
    putU8(b, p++, static_cast<std::uint8_t>(g.key.size()));
    putBytes(b, p, g.key);
    p += g.key.size();
    std::uint16_t flags = 0;
    if (g.listPage) {
      flags = L::kSlotRowList;
      putU32(b, p + 4, g.listPage);
    } else if (g.rows.size() == 1) {
      putU32(b, p, g.rows[0]);
    } else {
      flags = L::kSlotSeveralRows;
      putU8(b, p++, static_cast<std::uint8_t>(g.rows.size()));
      for (std::uint32_t r : g.rows) {
        putU32(b, p, r);
        p += 4;
      }
    }
    putU16(b, L::kIndexSlots + 2 * (i - from), static_cast<std::uint16_t>(flags | at));
  }
  const std::size_t count = to - from;
  putU16(b, L::kIndexCount, static_cast<std::uint16_t>(count));
  putU16(b, L::kIndexLowest, static_cast<std::uint16_t>(at));
  putU16(b, L::kIndexFree, static_cast<std::uint16_t>(at - L::kIndexSlots - 2 * count));
  putU32(b, L::kIndexNext, next);
  putU32(b, L::kIndexPrevious, previous);
  return b;
}

}  // namespace

std::uint16_t jet2PageStamp(std::uint32_t page) {
  return static_cast<std::uint16_t>(L::kStampFirst + 4 * (page % L::kStampSlots));
}

Jet2DataPage::Jet2DataPage(std::uint32_t owner) : page_(L::kPageSize, 0), lowest_(L::kPageSize) {
  putU8(page_, 0, L::kPageData);
  putU32(page_, L::kDataOwner, owner);
}

bool Jet2DataPage::fits(std::size_t rowSize) const {
  if (rows_ >= L::kMaxRowsPerPage) return false;
  return L::kDataSlots + 2 * (rows_ + 1) + rowSize <= lowest_;
}

std::uint8_t Jet2DataPage::add(std::span<const std::uint8_t> row) {
  lowest_ -= row.size();
  putBytes(page_, lowest_, row);
  putU16(page_, L::kDataSlots + 2 * rows_, static_cast<std::uint16_t>(L::kSlotLive | lowest_));
  return static_cast<std::uint8_t>(rows_++);
}

ByteBuffer Jet2DataPage::bytes(std::uint32_t page, std::uint32_t previous,
                               std::uint32_t next) const {
  ByteBuffer b = page_;
  putU16(b, L::kPageStamp, jet2PageStamp(page));
  putU16(b, L::kDataRowCount, static_cast<std::uint16_t>(rows_));
  putU16(b, L::kDataLowestRow, static_cast<std::uint16_t>(lowest_));
  putU32(b, L::kDataNext, next);
  putU32(b, L::kDataPrevious, previous);
  return b;
}

Jet2WrittenIndex writeJet2Index(PageOutput& out, std::uint32_t owner, std::uint16_t number,
                                std::vector<Jet2IndexEntry>& entries, const std::string& what) {
  std::sort(entries.begin(), entries.end(), [](const Jet2IndexEntry& a, const Jet2IndexEntry& b) {
    if (a.key != b.key) return a.key < b.key;
    // Rows of one key in page, then slot order, as in every corpus entry.
    return (a.row >> 8) != (b.row >> 8) ? (a.row >> 8) < (b.row >> 8)
                                        : (a.row & 0xFF) < (b.row & 0xFF);
  });
  Jet2WrittenIndex w;
  w.entries = static_cast<std::uint32_t>(entries.size());
  std::vector<Group> groups;
  for (const Jet2IndexEntry& e : entries) {
    if (e.key.size() > 255) throw unsupported(what, "an index key is longer than 255 bytes");
    if (groups.empty() || groups.back().key != e.key) {
      groups.push_back({e.key, {}, 0});
    } else if (!e.nullPart) {
      w.duplicate = true;
    }
    groups.back().rows.push_back(e.row);
  }
  w.distinct = static_cast<std::uint32_t>(groups.size());
  // Keys with more rows than one entry holds in any corpus file get a list page.
  for (Group& g : groups) {
    if (g.rows.size() <= L::kMaxInlineRows) continue;
    if (g.rows.size() > L::kMaxListRows) {
      throw unsupported(what, "an index key is shared by " + std::to_string(g.rows.size()) +
                                  " rows; no Jet 2.0 file shows how more than " +
                                  std::to_string(L::kMaxListRows) + " are chained");
    }
    g.listPage = out.allocate();
    ByteBuffer b = indexPage(L::kPageDuplicates, g.listPage, owner, number);
    putU16(b, L::kIndexCount, static_cast<std::uint16_t>(g.rows.size()));
    for (std::size_t k = 0; k < g.rows.size(); ++k) putU32(b, L::kIndexSlots + 4 * k, g.rows[k]);
    out.write(g.listPage, b);
  }
  // Cut leaves as full as they go.
  std::vector<std::pair<std::size_t, std::size_t>> cuts;
  std::size_t from = 0, used = 0;
  for (std::size_t i = 0; i < groups.size(); ++i) {
    const std::size_t need = groups[i].size() + 2;
    if (i > from && L::kIndexSlots + used + need > L::kPageSize) {
      cuts.push_back({from, i});
      from = i;
      used = 0;
    }
    used += need;
  }
  cuts.push_back({from, groups.size()});
  const std::uint32_t first = out.allocate(static_cast<std::uint32_t>(cuts.size()));
  w.leaves = static_cast<std::uint32_t>(cuts.size());
  for (std::size_t k = 0; k < cuts.size(); ++k) {
    const std::uint32_t page = first + static_cast<std::uint32_t>(k);
    out.write(page, leafPage(groups, cuts[k].first, cuts[k].second, page, owner, number,
                             k == 0 ? 0 : page - 1, k + 1 < cuts.size() ? page + 1 : 0));
  }
  if (cuts.size() == 1) {
    w.root = first;
    w.leaves = 0;  // a leaf root is counted as 0 in the definition page
    return w;
  }
  // One node above the leaves: each key is the first key of the leaf to its
  // right, preceded by the leaf to its left; the last leaf ends the page.
  std::size_t space = L::kIndexSlots + 4 + 2;  // last child and the end slot
  for (std::size_t k = 1; k < cuts.size(); ++k)
    space += 4 + 1 + groups[cuts[k].first].key.size() + 2;
  if (space > L::kPageSize) {
    throw unsupported(what,
                      "an index needs a third level, which no Jet 2.0 file of the corpus shows");
  }
  const std::uint32_t node = out.allocate();
  ByteBuffer b = indexPage(L::kPageIndexNode, node, owner, number);
  putU32(b, L::kNodeLastChild, first + static_cast<std::uint32_t>(cuts.size() - 1));
  std::size_t at = L::kNodeLastChild;
  const std::size_t keys = cuts.size() - 1;
  for (std::size_t k = 0; k < keys; ++k) {
    const ByteBuffer& key = groups[cuts[k + 1].first].key;
    at -= 1 + key.size();
    putU8(b, at, static_cast<std::uint8_t>(key.size()));
    putBytes(b, at + 1, key);
    putU16(b, L::kIndexSlots + 2 * k, static_cast<std::uint16_t>(at));
    at -= 4;
    putU32(b, at, first + static_cast<std::uint32_t>(k));
  }
  putU16(b, L::kIndexSlots + 2 * keys, L::kSlotEnd);
  putU16(b, L::kIndexCount, static_cast<std::uint16_t>(keys));
  putU16(b, L::kIndexLowest, static_cast<std::uint16_t>(at));
  putU16(b, L::kIndexFree, static_cast<std::uint16_t>(at - L::kIndexSlots - 2 * (keys + 1)));
  out.write(node, b);
  w.root = node;
  return w;
}

}  // namespace jet
