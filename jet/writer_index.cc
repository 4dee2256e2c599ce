#include "jet/writer_index.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>

#include <unistd.h>

#include "jet/layout/jet4_write.h"
#include "jet/error.h"
#include "jet/huge_pages.h"
#include "jet/writer_output.h"

namespace jet {
namespace {

namespace L = layout::jet4;

// After each key: the row pointer (big-endian page in 3 bytes, then row),
// and on node pages the child page (big-endian).
constexpr std::size_t kRowPointerBytes = 4;
constexpr std::size_t kChildBytes = 4;

// One entry as stored: key, row pointer, and on node pages the child page.
// keyLength bounds the shared prefix.
struct Stored {
  ByteBuffer bytes;
  std::size_t keyLength = 0;
};

// How many leading bytes of a[0, n) and b[0, n) agree, eight at a time.
std::size_t matchingBytes(const std::uint8_t* a, const std::uint8_t* b, std::size_t n) {
  std::size_t i = 0;
  if constexpr (std::endian::native == std::endian::little) {
    for (; i + 8 <= n; i += 8) {
      std::uint64_t x, y;
      std::memcpy(&x, a + i, 8);
      std::memcpy(&y, b + i, 8);
      if (x != y) return i + static_cast<std::size_t>(std::countr_zero(x ^ y)) / 8;
    }
  }
  while (i < n && a[i] == b[i]) ++i;
  return i;
}

Stored nodeEntry(const Stored& last, std::uint32_t child) {
  Stored s = last;
  for (std::size_t i = kChildBytes; i-- > 0;) {
    s.bytes.push_back(static_cast<std::uint8_t>(child >> (8 * i)));
  }
  return s;
}

std::size_t commonPrefix(const Stored& a, const Stored& b) {
  return matchingBytes(a.bytes.data(), b.bytes.data(), std::min(a.keyLength, b.keyLength));
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
std::vector<PagePlan> planPages(const std::vector<Stored>& v, const WriteFormat& f) {
  std::vector<PagePlan> plans;
  std::size_t i = 0;
  while (i < v.size()) {
    std::size_t total = v[i].bytes.size();
    std::size_t j = i;
    while (j + 1 < v.size()) {
      const std::size_t next = total + v[j + 1].bytes.size();
      if (packedSize(v, i, j + 1, next) > f.idxEntrySpace) break;
      total = next;
      ++j;
    }
    plans.push_back({i, j});
    i = j + 1;
  }
  return plans;
}

// Starts an index page of `type` in `page` (cleared to its size), with the
// shared prefix length its entries are stored without.
void startPage(const WriteFormat& f, std::uint8_t type, std::uint32_t tdefPage, std::uint8_t level,
               std::size_t prefix, ByteBuffer& page) {
  page.resize(f.pageSize);
  std::memset(page.data(), 0, f.pageSize);
  putU8(page, L::kPageType, type);
  putU8(page, L::kPageMark, L::kPageMarkValue);
  putU32(page, f.idxOwner, tdefPage);
  putU8(page, f.idxLevel, level);
  if (f.idxPrefixWidth == 1) {
    putU8(page, f.idxPrefixLength, static_cast<std::uint8_t>(prefix));
  } else {
    putU16(page, f.idxPrefixLength, static_cast<std::uint16_t>(prefix));
  }
}

// Entry bytes placed so far end at `at`: marks the end in the bitmap.
void endEntry(const WriteFormat& f, ByteBuffer& page, std::size_t at) {
  page[f.idxBitmap + at / 8] |= static_cast<std::uint8_t>(1u << (at % 8));
}

void setFreeSpace(const WriteFormat& f, ByteBuffer& page, std::size_t at) {
  assert(at <= f.idxEntrySpace);
  putU16(page, L::kIdxFreeSpace, static_cast<std::uint16_t>(f.pageSize - f.idxEntries - at));
}

ByteBuffer buildPage(const WriteFormat& f, std::uint8_t type, std::uint32_t tdefPage, std::uint8_t level,
                     const std::vector<Stored>& v, std::size_t first, std::size_t count) {
  std::size_t prefix = 0;
  if (count > 1) prefix = commonPrefix(v[first], v[first + count - 1]);
  ByteBuffer page;
  startPage(f, type, tdefPage, level, prefix, page);
  std::size_t at = 0;
  for (std::size_t k = 0; k < count; ++k) {
    const ByteBuffer& b = v[first + k].bytes;
    const std::size_t skip = k == 0 ? 0 : prefix;
    putBytes(page, f.idxEntries + at, std::span(b).subspan(skip));
    at += b.size() - skip;
    endEntry(f, page, at);
  }
  setFreeSpace(f, page, at);
  return page;
}

// The leaf being filled: its entries back to back as they are stored (key,
// then the row pointer as big-endian page and row), so that taking one
// costs a copy and no allocation.
class OpenLeaf {
 public:
  std::size_t count() const { return ends_.size(); }
  std::size_t bytes() const { return used_; }
  // How many leading bytes `key` shares with the last entry's key (0 when there is none).
  std::size_t matchWithLast(std::span<const std::uint8_t> key) const {
    if (ends_.empty()) return 0;
    return matchingBytes(bytes_.data() + lastStart(), key.data(), std::min(lastKey_, key.size()));
  }
  bool lastKeyIs(std::span<const std::uint8_t> key, std::size_t match) const {
    return !ends_.empty() && match == key.size() && lastKey_ == key.size();
  }
  // The prefix every key of the leaf would share with `key` added, given
  // its match with the last: sorted keys share what each shares with the next.
  std::size_t prefixWith(std::size_t match) const { return std::min(prefix_, match); }
  // `match`: matchWithLast(e.key), or anything when the leaf is empty.
  void add(const IndexEntryView& e, std::size_t match) {
    const std::size_t n = e.key.size(), at = used_;
    // Grown, not resized per entry: every byte up to used_ is written.
    if (at + n + kRowPointerBytes > bytes_.size()) bytes_.resize(2 * (at + n + kRowPointerBytes));
    used_ = at + n + kRowPointerBytes;
    std::uint8_t* to = bytes_.data() + at;
    if (n > 0) std::memcpy(to, e.key.data(), n);
    to[n] = static_cast<std::uint8_t>(e.page >> 16);
    to[n + 1] = static_cast<std::uint8_t>(e.page >> 8);
    to[n + 2] = static_cast<std::uint8_t>(e.page);
    to[n + 3] = e.row;
    prefix_ = ends_.empty() ? n : prefixWith(match);
    lastKey_ = n;
    ends_.push_back(static_cast<std::uint32_t>(used_));
  }
  void clear() {
    used_ = 0;
    ends_.clear();
  }
  // The last entry, as the level above repeats it.
  Stored last() const {
    return Stored{ByteBuffer(bytes_.data() + lastStart(), bytes_.data() + used_), lastKey_};
  }
  void buildPage(const WriteFormat& f, std::uint32_t tdefPage, ByteBuffer& page) const {
    const std::size_t prefix = count() > 1 ? prefix_ : 0;
    startPage(f, L::kPageIndexLeaf, tdefPage, 0, prefix, page);
    std::size_t at = 0, from = 0;
    for (std::size_t k = 0; k < ends_.size(); ++k) {
      const std::size_t skip = k == 0 ? 0 : prefix;
      const std::size_t length = ends_[k] - from - skip;
      putBytes(page, f.idxEntries + at, std::span(bytes_).subspan(from + skip, length));
      at += length;
      endEntry(f, page, at);
      from = ends_[k];
    }
    setFreeSpace(f, page, at);
  }

 private:
  // Where the last entry starts in bytes_.
  std::size_t lastStart() const { return ends_.back() - kRowPointerBytes - lastKey_; }
  ByteBuffer bytes_;
  std::size_t used_ = 0;             // bytes_ past this are room
  std::vector<std::uint32_t> ends_;  // where each entry ends in bytes_
  std::size_t lastKey_ = 0;  // the last entry's key length
  std::size_t prefix_ = 0;   // what every key of the leaf starts with
};

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
  t.bytes.resize(t.bytes.size() - kChildBytes);
  return t;
}

void linkLevel(const WriteFormat& f, std::vector<ByteBuffer>& pages, const std::vector<std::uint32_t>& numbers) {
  for (std::size_t i = 0; i < pages.size(); ++i) {
    putU32(pages[i], f.idxPrevPage, i == 0 ? 0 : numbers[i - 1]);
    putU32(pages[i], f.idxNextPage, i + 1 == pages.size() ? 0 : numbers[i + 1]);
  }
}

}  // namespace

bool IndexEntrySource::nextView(IndexEntryView& view) {
  if (!next(lent_)) return false;
  view = IndexEntryView{lent_.key, lent_.page, lent_.row, lent_.nullKey};
  return true;
}

bool IndexEntry::operator<(const IndexEntry& o) const {
  if (key != o.key) return key < o.key;
  if (page != o.page) return page < o.page;
  return row < o.row;
}

namespace {

class VectorSource : public IndexEntrySource {
 public:
  explicit VectorSource(const std::vector<IndexEntry>& v) : v_(v) {}
  bool next(IndexEntry& e) override {
    if (at_ >= v_.size()) return false;
    e = v_[at_++];
    return true;
  }

 private:
  const std::vector<IndexEntry>& v_;
  std::size_t at_ = 0;
};

using Record = IndexEntrySorter::Record;

std::uint64_t headOf(std::span<const std::uint8_t> key) {
  if (key.size() >= 8 && std::endian::native == std::endian::little) {
    std::uint64_t h;
    std::memcpy(&h, key.data(), 8);
    return __builtin_bswap64(h);
  }
  std::uint64_t h = 0;
  for (std::size_t i = 0; i < 8; ++i) h = (h << 8) | (i < key.size() ? key[i] : 0);
  return h;
}

constexpr std::uint16_t kNullKeyBit = 0x8000;
constexpr std::size_t kMaxSortedKey = 0x7FFF;
constexpr std::size_t kLengthBytes = 2;  // before each key in the key buffer

std::uint16_t lengthWord(const std::uint8_t* keys, const Record& r) {
  return static_cast<std::uint16_t>(keys[r.keyAt] | (keys[r.keyAt + 1] << 8));
}
std::size_t keyLength(const std::uint8_t* keys, const Record& r) {
  return lengthWord(keys, r) & kMaxSortedKey;
}
const std::uint8_t* keyOf(const std::uint8_t* keys, const Record& r) {
  return keys + r.keyAt + kLengthBytes;
}

// The order of IndexEntry::operator<: key bytes, then page, then row. Every
// key starts with the same `shared` bytes; heads are the 8 bytes after them.
struct RecordLess {
  const std::uint8_t* keys;
  std::size_t shared = 0;
  bool operator()(const Record& a, const Record& b) const {
    if (a.head != b.head) return a.head < b.head;
    const std::size_t la = keyLength(keys, a), lb = keyLength(keys, b);
    const std::size_t n = std::min(la, lb);
    const int c = std::memcmp(keyOf(keys, a) + shared, keyOf(keys, b) + shared, n - shared);
    if (c != 0) return c < 0;
    if (la != lb) return la < lb;
    return a.pageRow < b.pageRow;
  }
};

// Sorts `records` in RecordLess order. Heads are sorted first by radix, a
// byte at a time from the last (stable, so equal heads keep their order);
// the few records whose heads tie are then ordered by the rest of their keys.
// Bytes every head shares cost no pass. `scratch` takes a copy of the records.
void sortRecords(std::span<Record> records, RecordLess less, std::vector<Record>& scratch) {
  // Below this, comparison sorting is as fast and needs no second buffer.
  constexpr std::size_t kRadixFrom = 1u << 12;
  const std::size_t n = records.size();
  if (n < kRadixFrom) {
    std::sort(records.begin(), records.end(), less);
    return;
  }
  std::vector<std::array<std::size_t, 256>> counts(8);
  for (const Record& r : records) {
    for (std::size_t b = 0; b < 8; ++b) ++counts[b][(r.head >> (8 * b)) & 0xFF];
  }
  if (scratch.capacity() < n) std::vector<Record>().swap(scratch);  // its contents do not matter
  reserveInHugePages(scratch, n);
  scratch.resize(n);
  Record* from = records.data();
  Record* to = scratch.data();
  for (std::size_t b = 0; b < 8; ++b) {
    std::array<std::size_t, 256>& at = counts[b];
    if (at[(from[0].head >> (8 * b)) & 0xFF] == n) continue;  // one value: nothing moves
    std::size_t sum = 0;
    for (std::size_t& c : at) sum += std::exchange(c, sum);
    for (std::size_t i = 0; i < n; ++i) to[at[(from[i].head >> (8 * b)) & 0xFF]++] = from[i];
    std::swap(from, to);
  }
  if (from != records.data()) std::copy(from, from + n, records.data());
  for (std::size_t i = 0; i < n;) {
    std::size_t j = i + 1;
    while (j < n && records[j].head == records[i].head) ++j;
    if (j - i > 1) std::sort(records.begin() + i, records.begin() + j, less);
    i = j;
  }
}

// The entry whose length word lies at `keyAt` of the key buffer.
IndexEntryView viewAt(const ByteBuffer& keys, std::uint32_t keyAt, std::uint32_t pageRow) {
  const std::uint8_t* k = keys.data();
  const Record r{0, keyAt, pageRow};
  return IndexEntryView{std::span(keyOf(k, r), keyLength(k, r)), pageRow >> 8,
                        static_cast<std::uint8_t>(pageRow & 0xFF),
                        (lengthWord(k, r) & kNullKeyBit) != 0};
}

IndexEntryView viewOf(const Record& r, const ByteBuffer& keys) {
  return viewAt(keys, r.keyAt, r.pageRow);
}

void fill(IndexEntry& e, const IndexEntryView& v) {
  e.key.assign(v.key.begin(), v.key.end());
  e.page = v.page;
  e.row = v.row;
  e.nullKey = v.nullKey;
}

// The records of the run that stayed in memory, sorted in two halves and
// merged as they are read: no second buffer of records.
class RecordSource : public IndexEntrySource {
 public:
  RecordSource(const std::vector<Record>& records, const ByteBuffer& keys, std::size_t split,
               RecordLess less)
      : records_(records), keys_(keys), aEnd_(split), b_(split), less_(less) {}
  bool nextRecord(const Record*& r) {
    const bool haveA = a_ < aEnd_, haveB = b_ < records_.size();
    if (!haveA && !haveB) return false;
    const bool fromA = haveA && (!haveB || !less_(records_[b_], records_[a_]));
    std::size_t& at = fromA ? a_ : b_;
    // Sorted records point all over the key buffer: fetch ahead.
    constexpr std::size_t kAhead = 16;
    if (at + kAhead < (fromA ? aEnd_ : records_.size())) {
      __builtin_prefetch(keys_.data() + records_[at + kAhead].keyAt);
    }
    r = &records_[at++];
    return true;
  }
  bool next(IndexEntry& e) override {
    const Record* r;
    if (!nextRecord(r)) return false;
    fill(e, viewOf(*r, keys_));
    return true;
  }
  bool nextView(IndexEntryView& v) override {
    const Record* r;
    if (!nextRecord(r)) return false;
    v = viewOf(*r, keys_);
    return true;
  }

 private:
  const std::vector<Record>& records_;
  const ByteBuffer& keys_;
  std::size_t a_ = 0, aEnd_, b_;
  RecordLess less_;
};

// A run that came in order: its entries one after the other in the key
// buffer, their rows beside.
class OrderedSource : public IndexEntrySource {
 public:
  OrderedSource(const ByteBuffer& keys, const std::vector<std::uint32_t>& pageRows)
      : keys_(keys), pageRows_(pageRows) {}
  bool next(IndexEntry& e) override {
    IndexEntryView v;
    if (!nextView(v)) return false;
    fill(e, v);
    return true;
  }
  bool nextView(IndexEntryView& v) override {
    if (at_ == pageRows_.size()) return false;
    v = viewAt(keys_, keyAt_, pageRows_[at_++]);
    keyAt_ += static_cast<std::uint32_t>(kLengthBytes + v.key.size());
    return true;
  }

 private:
  const ByteBuffer& keys_;
  const std::vector<std::uint32_t>& pageRows_;
  std::size_t at_ = 0;
  std::uint32_t keyAt_ = 0;
};

// Spilled entry: u16 key length, key, u32 page, u8 row, u8 null flag.
void appendEntry(ByteBuffer& b, const IndexEntryView& v) {
  addU16(b, static_cast<std::uint16_t>(v.key.size()));
  addBytes(b, v.key);
  addU32(b, v.page);
  addU8(b, v.row);
  addU8(b, v.nullKey ? 1 : 0);
}

// Reads one run back through a small buffer.
class RunReader {
 public:
  RunReader(std::FILE* file, std::uint64_t offset, std::uint64_t count, const std::string& what)
      : fd_(fileno(file)), offset_(offset), left_(count), what_(what) {}
  bool next(IndexEntry& e) {
    if (left_ == 0) return false;
    --left_;
    std::uint8_t head[2];
    read(head, 2);
    e.key.resize(static_cast<std::size_t>(head[0] | (head[1] << 8)));
    read(e.key.data(), e.key.size());
    std::uint8_t tail[6];
    read(tail, 6);
    e.page = tail[0] | (tail[1] << 8) | (tail[2] << 16) | (static_cast<std::uint32_t>(tail[3]) << 24);
    e.row = tail[4];
    e.nullKey = tail[5] != 0;
    return true;
  }

 private:
  void read(std::uint8_t* to, std::size_t n) {
    while (n > 0) {
      if (at_ == buffer_.size()) fill();
      const std::size_t k = std::min(n, buffer_.size() - at_);
      std::memcpy(to, buffer_.data() + at_, k);
      at_ += k;
      to += k;
      n -= k;
    }
  }
  void fill() {
    buffer_.resize(1 << 16);
    const ssize_t got = ::pread(fd_, buffer_.data(), buffer_.size(), static_cast<off_t>(offset_));
    if (got <= 0) throw writeFailed(what_, "the sorted index keys cannot be read back");
    buffer_.resize(static_cast<std::size_t>(got));
    offset_ += static_cast<std::uint64_t>(got);
    at_ = 0;
  }
  int fd_;
  std::uint64_t offset_, left_;
  std::string what_;
  ByteBuffer buffer_;
  std::size_t at_ = 0;
};

class MergeSource : public IndexEntrySource {
 public:
  explicit MergeSource(std::vector<std::unique_ptr<RunReader>> runs) : runs_(std::move(runs)) {
    heads_.resize(runs_.size());
    for (std::size_t i = 0; i < runs_.size(); ++i) {
      if (runs_[i]->next(heads_[i])) heap_.push_back(i);
    }
    std::make_heap(heap_.begin(), heap_.end(), greater());
  }
  bool next(IndexEntry& e) override {
    if (heap_.empty()) return false;
    std::pop_heap(heap_.begin(), heap_.end(), greater());
    const std::size_t i = heap_.back();
    std::swap(e, heads_[i]);  // buffers go round: no allocation per entry
    if (runs_[i]->next(heads_[i])) {
      std::push_heap(heap_.begin(), heap_.end(), greater());
    } else {
      heap_.pop_back();
    }
    return true;
  }

 private:
  struct Greater {
    const std::vector<IndexEntry>* heads;
    bool operator()(std::size_t a, std::size_t b) const { return (*heads)[b] < (*heads)[a]; }
  };
  Greater greater() const { return Greater{&heads_}; }
  std::vector<std::unique_ptr<RunReader>> runs_;
  std::vector<IndexEntry> heads_;
  std::vector<std::size_t> heap_;
};

}  // namespace

IndexEntrySorter::IndexEntrySorter(std::size_t memoryBudget, std::string what, std::string folder)
    : budget_(std::max<std::size_t>(memoryBudget, 4096)), what_(std::move(what)), folder_(std::move(folder)) {}

IndexEntrySorter::~IndexEntrySorter() {
  if (sorting_.joinable()) sorting_.join();
  if (file_ != nullptr) std::fclose(file_);
}

void IndexEntrySorter::sortAhead() {
  // Runs on disk are merged when read; only a run in memory is sorted ahead,
  // and only one large enough to be worth a thread.
  constexpr std::size_t kWorthAThread = 1u << 14;
  if (!runs_.empty() || ordered_ || records_.size() < kWorthAThread || sorting_.joinable() ||
      sortedAhead_) {
    return;
  }
  sortedAhead_ = true;
  sorting_ = std::thread([this] { sortMemory(); });
}

void IndexEntrySorter::add(std::span<const std::uint8_t> key, std::uint32_t page,
                           std::uint8_t row, bool nullKey) {
  assert(!sortedAhead_);
  // Index entries point at rows with three bytes of page; keys fill part of a page.
  if (key.size() > kMaxSortedKey || page >= (1u << 24)) {
    throw unsupported(what_, "an index entry is out of Jet's range");
  }
  const std::size_t adding = kLengthBytes + key.size();
  if (keys_.size() + adding > 0xFFFFFFFFu) spill();  // keyAt is 32 bits
  if (keys_.size() + adding > keys_.capacity()) growKeys(adding);
  const std::uint32_t pageRow = page << 8 | row;
  const auto keyAt = static_cast<std::uint32_t>(keys_.size());
  const auto word = static_cast<std::uint16_t>(key.size() | (nullKey ? kNullKeyBit : 0));
  keys_.push_back(static_cast<std::uint8_t>(word & 0xFF));
  keys_.push_back(static_cast<std::uint8_t>(word >> 8));
  keys_.insert(keys_.end(), key.begin(), key.end());
  // In order while each entry comes after the last (no heads: keys, then rows, decide).
  if (ordered_ && !pageRows_.empty()) {
    const Record last{0, lastKeyAt_, pageRows_.back()}, entry{0, keyAt, pageRow};
    if (!RecordLess{keys_.data()}(last, entry)) makeRecords();
  }
  if (ordered_) {
    pageRows_.push_back(pageRow);
    lastKeyAt_ = keyAt;
  } else {
    records_.push_back(Record{headOf(key), keyAt, pageRow});
  }
  if (memoryUsed() > budget_) spill();
}

// The first entry out of order: the run gets its records after all.
void IndexEntrySorter::makeRecords() {
  ordered_ = false;
  std::uint32_t keyAt = 0;
  for (const std::uint32_t pageRow : pageRows_) {
    const IndexEntryView v = viewAt(keys_, keyAt, pageRow);
    records_.push_back(Record{headOf(v.key), keyAt, pageRow});
    keyAt += static_cast<std::uint32_t>(kLengthBytes + v.key.size());
  }
  std::vector<std::uint32_t>().swap(pageRows_);
}

void IndexEntrySorter::expect(std::size_t entries, std::size_t keyBytes, std::size_t share) {
  // Room for the run at once: growing copies what was added and touches
  // fresh memory each time. No more than the budget allows.
  const std::size_t records =
      std::min(entries, std::min(budget_, share) / (sizeof(Record) + keyBytes));
  // Only reserved: untouched until entries come, and records only once they come out of order.
  reserveInHugePages(records_, records);
  reserveInHugePages(pageRows_, records);
  reserveInHugePages(keys_, records * keyBytes);
}

// Keys longer than expected: room for the rest of the run at the length
// seen so far, in one step rather than by doubling.
void IndexEntrySorter::growKeys(std::size_t adding) {
  const std::size_t needed = keys_.size() + adding;
  const std::size_t average = needed / (entryCount() + 1) + 1;
  const std::size_t records = std::max(records_.capacity(), entryCount() + 1);
  const std::size_t want = std::max(needed, std::min(budget_, average * (records + records / 4)));
  reserveInHugePages(keys_, want);
}

void IndexEntrySorter::sortMemory() {
  split_ = records_.size();
  shared_ = 0;
  if (records_.empty()) return;
  // Rows often come in key order (a counter as the primary key).
  if (std::is_sorted(records_.begin(), records_.end(), RecordLess{keys_.data()})) return;
  // Keys of one index often start alike (a start byte, a common word), so
  // the heads are taken after what all of them share.
  const std::uint8_t* first = keyOf(keys_.data(), records_.front());
  std::size_t shared = keyLength(keys_.data(), records_.front());
  for (const Record& r : records_) {
    const std::size_t n = std::min(shared, keyLength(keys_.data(), r));
    shared = matchingBytes(keyOf(keys_.data(), r), first, n);
  }
  if (shared > 0) {
    for (Record& r : records_) {
      r.head = headOf(std::span(keyOf(keys_.data(), r) + shared,
                                keyLength(keys_.data(), r) - shared));
    }
  }
  shared_ = shared;
  const RecordLess less{keys_.data(), shared};
  // A large run is sorted in two halves at once, merged as it is read; the
  // order is total (no two records share page and row), so the result is the same.
  constexpr std::size_t kHalvesFrom = 1u << 17;
  const std::span<Record> all(records_);
  if (records_.size() < kHalvesFrom) {
    std::vector<Record> scratch;
    sortRecords(all, less, scratch);
    return;
  }
  split_ = records_.size() / 2;
  std::vector<Record> scratchA, scratchB;
  std::thread other([&] { sortRecords(all.first(split_), less, scratchA); });
  sortRecords(all.subspan(split_), less, scratchB);
  other.join();
}

void IndexEntrySorter::spill() {
  if (entryCount() == 0) return;
  if (file_ == nullptr) {
    std::string name = folder_ + "/.jetlift-keys-XXXXXX";
    const int fd = ::mkstemp(name.data());
    if (fd < 0) throw writeFailed(what_, "no temporary file for sorting index keys in " + folder_);
    ::unlink(name.c_str());  // gone with the last descriptor, whatever happens
    file_ = ::fdopen(fd, "w+b");
    if (file_ == nullptr) {
      ::close(fd);
      throw writeFailed(what_, "no temporary file for sorting index keys");
    }
  }
  const auto failed = [&] {
    return writeFailed(what_, "the index keys do not fit in the temporary folder");
  };
  if (std::fseek(file_, static_cast<long>(fileSize_), SEEK_SET) != 0) throw failed();
  // Written a megabyte at a time: a copy of the whole run would double its memory.
  constexpr std::size_t kChunk = 1u << 20;
  ByteBuffer& b = spillChunk_;
  std::uint64_t written = 0;
  const auto add = [&](const IndexEntryView& v) {
    appendEntry(b, v);
    if (b.size() < kChunk) return;
    if (std::fwrite(b.data(), 1, b.size(), file_) != b.size()) throw failed();
    written += b.size();
    b.clear();
  };
  b.clear();
  if (ordered_) {
    OrderedSource in(keys_, pageRows_);
    for (IndexEntryView v; in.nextView(v);) add(v);
  } else {
    sortMemory();
    RecordSource sorted(records_, keys_, split_, RecordLess{keys_.data(), shared_});
    for (const Record* r; sorted.nextRecord(r);) add(viewOf(*r, keys_));
  }
  if (std::fwrite(b.data(), 1, b.size(), file_) != b.size() || std::fflush(file_) != 0) {
    throw failed();
  }
  written += b.size();
  runs_.push_back({fileSize_, entryCount()});
  fileSize_ += written;
  records_.clear();
  keys_.clear();
  pageRows_.clear();
  ordered_ = true;  // the next run may well be
}

std::unique_ptr<IndexEntrySource> IndexEntrySorter::sorted() {
  if (sorting_.joinable()) sorting_.join();
  if (runs_.empty()) {
    if (ordered_) return std::make_unique<OrderedSource>(keys_, pageRows_);
    if (!sortedAhead_) sortMemory();
    return std::make_unique<RecordSource>(records_, keys_, split_, RecordLess{keys_.data(), shared_});
  }
  spill();
  std::vector<Record>().swap(records_);
  std::vector<std::uint32_t>().swap(pageRows_);
  ByteBuffer().swap(keys_);
  std::vector<std::unique_ptr<RunReader>> readers;
  for (const auto& [offset, count] : runs_) {
    readers.push_back(std::make_unique<RunReader>(file_, offset, count, what_));
  }
  return std::make_unique<MergeSource>(std::move(readers));
}

WrittenIndex writeIndexTree(PageOutput& out, std::uint32_t tdefPage,
                            const std::vector<IndexEntry>& entries, const WriteFormat& format) {
  VectorSource source(entries);
  return writeIndexTree(out, tdefPage, source, format);
}

WrittenIndex writeIndexTree(PageOutput& out, std::uint32_t tdefPage, IndexEntrySource& entries,
                            const WriteFormat& f) {
  WrittenIndex result;
  // Leaves are cut while the entries stream by; a finished leaf waits until
  // the next one has a page number, so that its next link can be set.
  OpenLeaf leaf;
  std::vector<Stored> parents;
  std::uint32_t leafPage = 0, previousPage = 0;
  ByteBuffer pending;
  std::uint32_t pendingPage = 0;
  bool havePending = false;
  IndexEntryView e;
  const auto flushPending = [&](std::uint32_t next) {
    if (!havePending) return;
    putU32(pending, f.idxNextPage, next);
    out.write(pendingPage, pending);
    havePending = false;
  };
  const auto closeLeaf = [&] {
    leaf.buildPage(f, tdefPage, pending);
    putU32(pending, f.idxPrevPage, previousPage);
    pendingPage = leafPage;
    havePending = true;
    parents.push_back(nodeEntry(leaf.last(), leafPage));
    previousPage = leafPage;
    leaf.clear();
  };
  while (entries.nextView(e)) {
    // Two entries with their child pointers must fit a node page, or the
    // levels above the leaves would never narrow to one root.
    constexpr std::size_t kNodeBytesBesideKey = kRowPointerBytes + kChildBytes;
    if (2 * (e.key.size() + kNodeBytesBesideKey) > f.idxEntrySpace) {
      throw unsupported(out.path(), "an index key of " + std::to_string(e.key.size()) +
                                        " bytes is longer than the " +
                                        std::to_string(f.idxEntrySpace / 2 - kNodeBytesBesideKey) +
                                        " an index tree can hold");
    }
    // The entry before this one is the last of the open leaf.
    const std::size_t match = leaf.matchWithLast(e.key);
    if (leaf.lastKeyIs(e.key, match)) {
      if (!e.nullKey) result.duplicate = true;
    } else {
      ++result.distinct;
    }
    ++result.entries;
    if (leaf.count() > 0) {
      const std::size_t total = leaf.bytes() + e.key.size() + kRowPointerBytes;
      if (total - leaf.count() * leaf.prefixWith(match) > f.idxEntrySpace) closeLeaf();
    }
    if (leaf.count() == 0) {
      leafPage = out.allocate();
      result.pages.push_back(leafPage);
      flushPending(leafPage);
    }
    leaf.add(e, match);
  }
  if (result.entries == 0) {
    result.root = out.allocate();
    leaf.buildPage(f, tdefPage, pending);
    out.write(result.root, pending);
    result.pages.push_back(result.root);
    return result;
  }
  closeLeaf();
  flushPending(0);
  if (parents.size() == 1) {
    result.root = result.pages.front();
    return result;
  }
  // The node levels: one entry per page below, few enough to hold.
  std::vector<Stored> level = std::move(parents);
  std::uint8_t depth = 1;
  while (true) {
    const std::vector<PagePlan> plans = planPages(level, f);
    const std::uint32_t firstPage = out.allocate(static_cast<std::uint32_t>(plans.size()));
    std::vector<std::uint32_t> numbers;
    std::vector<ByteBuffer> pages;
    std::vector<Stored> up;
    for (std::size_t p = 0; p < plans.size(); ++p) {
      const std::uint32_t number = firstPage + static_cast<std::uint32_t>(p);
      const PagePlan& plan = plans[p];
      const std::size_t count = plan.last - plan.first + 1;
      // The last child goes in the tail field unless it is the only one.
      const bool tail = count > 1;
      pages.push_back(buildPage(f, L::kPageIndexNode, tdefPage, depth, level, plan.first,
                                tail ? count - 1 : count));
      if (tail) putU32(pages.back(), f.idxTailPage, childOf(level[plan.last]));
      numbers.push_back(number);
      up.push_back(nodeEntry(withoutChild(level[plan.last], false), number));
    }
    linkLevel(f, pages, numbers);
    for (std::size_t p = 0; p < pages.size(); ++p) out.write(numbers[p], pages[p]);
    result.pages.insert(result.pages.end(), numbers.begin(), numbers.end());
    if (pages.size() == 1) {
      result.root = numbers.front();
      break;
    }
    level = std::move(up);
    ++depth;
  }
  std::sort(result.pages.begin(), result.pages.end());
  return result;
}

}  // namespace jet
