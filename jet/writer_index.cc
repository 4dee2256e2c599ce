#include "jet/writer_index.h"

#include <algorithm>
#include <cassert>

#include "jet/layout/jet4_write.h"
#include "jet/writer_output.h"

namespace jet {
namespace {

namespace L = layout::jet4;

// One entry as stored: key, row pointer (big-endian page, row), and on node
// pages the child page (big-endian). keyLength bounds the shared prefix.
struct Stored {
  ByteBuffer bytes;
  std::size_t keyLength = 0;
};

Stored leafEntry(const IndexEntry& e) {
  Stored s;
  s.bytes = e.key;
  s.keyLength = e.key.size();
  s.bytes.push_back(static_cast<std::uint8_t>(e.page >> 16));
  s.bytes.push_back(static_cast<std::uint8_t>(e.page >> 8));
  s.bytes.push_back(static_cast<std::uint8_t>(e.page));
  s.bytes.push_back(e.row);
  return s;
}

Stored nodeEntry(const Stored& last, std::uint32_t child) {
  Stored s = last;
  for (int i = 3; i >= 0; --i) s.bytes.push_back(static_cast<std::uint8_t>(child >> (8 * i)));
  return s;
}

std::size_t commonPrefix(const Stored& a, const Stored& b) {
  const std::size_t n = std::min(a.keyLength, b.keyLength);
  std::size_t i = 0;
  while (i < n && a.bytes[i] == b.bytes[i]) ++i;
  return i;
}

// Bytes the entries [first, last] take on one page with prefix compression.
std::size_t packedSize(const std::vector<Stored>& v, std::size_t first, std::size_t last,
                       std::size_t total) {
  const std::size_t prefix = commonPrefix(v[first], v[last]);
  return total - (last - first) * prefix;
}

struct PagePlan {
  std::size_t first, last;  // entry range (inclusive)
};

// Cuts entries into pages left to right, each as full as the entry space allows.
std::vector<PagePlan> planPages(const std::vector<Stored>& v) {
  std::vector<PagePlan> plans;
  std::size_t i = 0;
  while (i < v.size()) {
    std::size_t total = v[i].bytes.size();
    std::size_t j = i;
    while (j + 1 < v.size()) {
      const std::size_t next = total + v[j + 1].bytes.size();
      if (packedSize(v, i, j + 1, next) > L::kIdxEntrySpace) break;
      total = next;
      ++j;
    }
    plans.push_back({i, j});
    i = j + 1;
  }
  return plans;
}

ByteBuffer buildPage(std::uint8_t type, std::uint32_t tdefPage, std::uint8_t level,
                     const std::vector<Stored>& v, std::size_t first, std::size_t count) {
  ByteBuffer page(L::kPageSize, 0);
  putU8(page, 0, type);
  putU8(page, 1, 0x01);
  putU32(page, L::kIdxOwner, tdefPage);
  putU8(page, L::kIdxLevel, level);
  std::size_t prefix = 0;
  if (count > 1) prefix = commonPrefix(v[first], v[first + count - 1]);
  putU16(page, L::kIdxPrefixLength, static_cast<std::uint16_t>(prefix));
  std::size_t at = 0;
  for (std::size_t k = 0; k < count; ++k) {
    const ByteBuffer& b = v[first + k].bytes;
    const std::size_t skip = k == 0 ? 0 : prefix;
    putBytes(page, L::kIdxEntries + at, std::span(b).subspan(skip));
    at += b.size() - skip;
    page[L::kIdxBitmap + at / 8] |= static_cast<std::uint8_t>(1u << (at % 8));
  }
  assert(at <= L::kIdxEntrySpace);
  putU16(page, L::kIdxFreeSpace, static_cast<std::uint16_t>(L::kPageSize - L::kIdxEntries - at));
  return page;
}

std::uint32_t childOf(const Stored& s) {
  const std::size_t n = s.bytes.size();
  return (static_cast<std::uint32_t>(s.bytes[n - 4]) << 24) |
         (static_cast<std::uint32_t>(s.bytes[n - 3]) << 16) |
         (static_cast<std::uint32_t>(s.bytes[n - 2]) << 8) | s.bytes[n - 1];
}

// A subtree's last entry as its parent repeats it: key and row pointer only.
Stored withoutChild(const Stored& s, bool leaf) {
  if (leaf) return s;
  Stored t = s;
  t.bytes.resize(t.bytes.size() - 4);
  return t;
}

void linkLevel(std::vector<ByteBuffer>& pages, const std::vector<std::uint32_t>& numbers) {
  for (std::size_t i = 0; i < pages.size(); ++i) {
    putU32(pages[i], L::kIdxPrevPage, i == 0 ? 0 : numbers[i - 1]);
    putU32(pages[i], L::kIdxNextPage, i + 1 == pages.size() ? 0 : numbers[i + 1]);
  }
}

}  // namespace

bool IndexEntry::operator<(const IndexEntry& o) const {
  if (key != o.key) return key < o.key;
  if (page != o.page) return page < o.page;
  return row < o.row;
}

WrittenIndex writeIndexTree(PageOutput& out, std::uint32_t tdefPage,
                            const std::vector<IndexEntry>& entries) {
  WrittenIndex result;
  std::vector<Stored> level;
  level.reserve(entries.size());
  for (const IndexEntry& e : entries) level.push_back(leafEntry(e));
  if (level.empty()) {
    result.root = out.allocate();
    const ByteBuffer page = buildPage(L::kPageIndexLeaf, tdefPage, 0, level, 0, 0);
    out.write(result.root, page);
    result.pages.push_back(result.root);
    return result;
  }
  std::uint8_t depth = 0;
  bool leaves = true;
  while (true) {
    const std::vector<PagePlan> plans = planPages(level);
    const std::uint32_t first = out.allocate(static_cast<std::uint32_t>(plans.size()));
    std::vector<std::uint32_t> numbers;
    std::vector<ByteBuffer> pages;
    std::vector<Stored> parents;
    for (std::size_t p = 0; p < plans.size(); ++p) {
      const std::uint32_t number = first + static_cast<std::uint32_t>(p);
      const PagePlan& plan = plans[p];
      const std::size_t count = plan.last - plan.first + 1;
      if (leaves) {
        pages.push_back(buildPage(L::kPageIndexLeaf, tdefPage, 0, level, plan.first, count));
      } else {
        // The last child goes in the tail field unless it is the only one.
        const bool tail = count > 1;
        pages.push_back(buildPage(L::kPageIndexNode, tdefPage, depth, level, plan.first,
                                  tail ? count - 1 : count));
        if (tail) putU32(pages.back(), L::kIdxTailPage, childOf(level[plan.last]));
      }
      numbers.push_back(number);
      parents.push_back(nodeEntry(withoutChild(level[plan.last], leaves), number));
    }
    linkLevel(pages, numbers);
    for (std::size_t p = 0; p < pages.size(); ++p) out.write(numbers[p], pages[p]);
    result.pages.insert(result.pages.end(), numbers.begin(), numbers.end());
    if (pages.size() == 1) {
      result.root = numbers.front();
      break;
    }
    level = std::move(parents);
    leaves = false;
    ++depth;
  }
  std::sort(result.pages.begin(), result.pages.end());
  return result;
}

}  // namespace jet
