#include "jet/writer_keys_carried.h"

#include "jet/error.h"
#include "jet/index_pages.h"

namespace jet {

// One index: its entries sorted by row pointer (a 4-byte big-endian prefix
// on the key), read back one at a time.
struct SourceIndexKeys::Stream {
  Stream(std::size_t budget, const std::string& what, const std::string& folder)
      : sorter(budget, what, folder) {}
  IndexEntrySorter sorter;
  std::unique_ptr<IndexEntrySource> sorted;
  IndexEntry head;
  bool haveHead = false;

  void advance() { haveHead = sorted->next(head); }
  static std::uint32_t pointerOf(const IndexEntry& e) {
    return (std::uint32_t{e.key[0]} << 24) | (std::uint32_t{e.key[1]} << 16) |
           (std::uint32_t{e.key[2]} << 8) | e.key[3];
  }
};

SourceIndexKeys::SourceIndexKeys(const PageFile& file, const TableDef& table,
                                 const std::vector<std::size_t>& indexes, std::size_t memoryBudget,
                                 const std::string& folder)
    : what_(file.path() + ", table '" + table.name + "'") {
  streams_.resize(table.physicalIndexes.size());
  const std::size_t share = memoryBudget / std::max<std::size_t>(1, indexes.size());
  for (std::size_t i : indexes) {
    if (i >= table.physicalIndexes.size()) continue;
    auto s = std::make_unique<Stream>(share, what_, folder);
    IndexWalker walker(file, table, table.physicalIndexes[i]);
    IndexPageEntry entry;
    while (walker.next(entry)) {
      IndexEntry e;
      const std::uint32_t p = entry.rowPointer();
      e.key = {static_cast<std::uint8_t>(p >> 24), static_cast<std::uint8_t>(p >> 16),
               static_cast<std::uint8_t>(p >> 8), static_cast<std::uint8_t>(p)};
      e.key.insert(e.key.end(), entry.key.begin(), entry.key.end());
      s->sorter.add(std::move(e));
    }
    s->sorted = s->sorter.sorted();
    s->advance();
    streams_[i] = std::move(s);
  }
}

SourceIndexKeys::~SourceIndexKeys() = default;

void SourceIndexKeys::setRow(std::uint32_t rowPointer) {
  if (rowPointer < row_) {
    throw damaged(Where{what_}, "rows come in another order than their pages'");
  }
  row_ = rowPointer;
}

bool SourceIndexKeys::carries(std::size_t index) const {
  return index < streams_.size() && streams_[index] != nullptr;
}

bool SourceIndexKeys::keyOfLastRow(std::size_t index, ByteBuffer& key) {
  if (!carries(index)) return false;
  Stream& s = *streams_[index];
  // Entries of rows the table no longer holds are passed over.
  while (s.haveHead && Stream::pointerOf(s.head) < row_) s.advance();
  if (!s.haveHead || Stream::pointerOf(s.head) != row_) return false;
  key.assign(s.head.key.begin() + 4, s.head.key.end());
  s.advance();
  return true;
}

std::size_t SourceIndexKeys::spilledRuns() const {
  std::size_t n = 0;
  for (const auto& s : streams_) {
    if (s) n += s->sorter.spilledRuns();
  }
  return n;
}

}  // namespace jet
