#include "jet/index_pages.h"

#include <algorithm>

#include "jet/byte_reader.h"
#include "jet/error.h"
#include "jet/layout/index_page.h"

namespace jet {

namespace L = layout;

namespace {

// The B-tree cannot be deeper than this in a file of at most 2^24 pages.
constexpr std::size_t kMaxDepth = 64;

const L::IndexPageLayout& indexLayout(JetVersion v) {
  return v == JetVersion::Jet4 ? L::kIndexPageJet4 : L::kIndexPageJet3;
}

std::uint32_t bigEndian(std::span<const std::uint8_t> b) {
  std::uint32_t v = 0;
  for (std::uint8_t x : b) v = (v << 8) | x;
  return v;
}

}  // namespace

IndexWalker::IndexWalker(const PageFile& file, const TableDef& table, const PhysicalIndex& index)
    : file_(file), tablePage_(table.definitionPage) {
  if (index.rootPage != 0) enter(index.rootPage);
}

void IndexWalker::enter(std::uint32_t page) {
  if (!visited_.insert(page).second) {
    throw damaged(file_.where(page), "index tree returns to page " + std::to_string(page));
  }
  if (stack_.size() >= kMaxDepth) throw damaged(file_.where(page), "index tree is too deep");
  const PageBytes bytes = file_.page(page);
  const std::uint8_t type = bytes->at(0);
  if (type != L::kPageTypeIndexNode && type != L::kPageTypeIndexLeaf) {
    throw damaged(file_.where(page), "not an index page");
  }
  std::vector<IndexPageEntry> entries;
  std::vector<std::uint32_t> children;
  readEntries(page, type == L::kPageTypeIndexLeaf, entries, children);
  if (type == L::kPageTypeIndexLeaf) {
    leaf_ = std::move(entries);
    leafAt_ = 0;
  } else {
    stack_.push_back(Level{std::move(children), 0});
  }
}

void IndexWalker::readEntries(std::uint32_t page, bool leaf, std::vector<IndexPageEntry>& entries,
                              std::vector<std::uint32_t>& children) {
  const L::IndexPageLayout& lay = indexLayout(file_.header().version);
  const PageBytes bytes = file_.page(page);
  const ByteReader r = file_.reader(bytes, page);
  if (r.u32(L::kIndexPageOwner) != tablePage_) {
    throw damaged(r.where(), "index page belongs to another table");
  }
  const std::size_t prefixLength = lay.prefixBytes == 1 ? r.u8(lay.prefixLength)
                                                        : r.u16(lay.prefixLength);
  const std::size_t tail = leaf ? 0 : r.u32(lay.tailPage);
  const std::size_t trailer = L::kIndexRowPointer + (leaf ? 0 : L::kIndexChildPointer);
  std::size_t start = lay.entries;
  std::span<const std::uint8_t> first;
  for (std::size_t bit = 0; bit < (lay.entries - lay.bitmap) * 8; ++bit) {
    if (((r.u8(lay.bitmap + bit / 8) >> (bit % 8)) & 1u) == 0) continue;
    const std::size_t end = lay.entries + bit;
    if (end <= start) throw damaged(r.where(), "index entry has no bytes");
    const auto stored = r.span(start, end - start);
    IndexPageEntry e;
    if (first.empty()) {
      first = stored;
    } else {
      if (prefixLength > first.size()) throw damaged(r.where(), "index prefix longer than its entry");
      e.key.assign(first.begin(), first.begin() + static_cast<std::ptrdiff_t>(prefixLength));
    }
    e.key.insert(e.key.end(), stored.begin(), stored.end());
    if (e.key.size() < trailer) throw damaged(r.where(), "index entry is too short");
    const std::size_t keyLength = e.key.size() - trailer;
    const std::span<const std::uint8_t> all(e.key);
    e.page = bigEndian(all.subspan(keyLength, 3));
    e.row = e.key[keyLength + 3];
    if (!leaf) children.push_back(bigEndian(all.subspan(keyLength + L::kIndexRowPointer, 4)));
    e.key.resize(keyLength);
    entries.push_back(std::move(e));
    start = end;
  }
  if (tail != 0) children.push_back(static_cast<std::uint32_t>(tail));
}

bool IndexWalker::next(IndexPageEntry& entry) {
  for (;;) {
    if (leafAt_ < leaf_.size()) {
      entry = std::move(leaf_[leafAt_++]);
      if (haveLast_ && entry.key < lastKey_) {
        throw damaged(file_.where(), "index keys out of order");
      }
      lastKey_ = entry.key;
      haveLast_ = true;
      return true;
    }
    leaf_.clear();
    leafAt_ = 0;
    while (!stack_.empty() && stack_.back().at >= stack_.back().children.size()) stack_.pop_back();
    if (stack_.empty()) return false;
    const std::uint32_t child = stack_.back().children[stack_.back().at++];
    enter(child);
  }
}

}  // namespace jet
