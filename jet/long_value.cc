#include "jet/long_value.h"

#include <algorithm>
#include <unordered_set>

#include "jet/data_page.h"
#include "jet/error.h"
#include "jet/layout/data_page.h"
#include "jet/layout/long_value.h"

namespace jet {

namespace L = layout;

namespace {

std::span<const std::uint8_t> lvalRow(const DataPage& page, std::uint32_t pointer) {
  if (page.owner() != L::kLongValueOwner) {
    throw damaged(page.reader().where(), "long value points to a page that holds no long values");
  }
  const RowSlot row = page.liveRow(L::rowOfPointer(pointer));
  return page.reader().span(row.start, row.end - row.start);
}

void readChain(const PageFile& file, std::uint32_t pointer, std::size_t length, Bytes& out) {
  std::unordered_set<std::uint32_t> visited;
  while (out.size() < length) {
    if (pointer == 0) {
      throw damaged(file.where(), "long value chain ends after " + std::to_string(out.size()) +
                                      " of " + std::to_string(length) + " bytes");
    }
    if (!visited.insert(pointer).second) {
      throw damaged(file.where(L::pageOfPointer(pointer)),
                    "long value chain returns to row " + std::to_string(L::rowOfPointer(pointer)));
    }
    const DataPage page(file, L::pageOfPointer(pointer));
    const auto row = lvalRow(page, pointer);
    const ByteReader r(row, page.reader().where());
    pointer = r.u32(L::kLongValueNextRow);
    const auto chunk = r.span(L::kLongValueChunk, row.size() - std::min<std::size_t>(row.size(), L::kLongValueChunk));
    const std::size_t take = std::min(chunk.size(), length - out.size());
    out.insert(out.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(take));
  }
}

}  // namespace

std::span<const std::uint8_t> longValueBytes(const PageFile& file, const ByteReader& r,
                                             std::size_t at, std::size_t size, Bytes& scratch,
                                             LongValuePage& held) {
  scratch.clear();
  const Where& where = r.where();
  if (size < L::kLongValueHeader) {
    throw damaged(where, "long value field of " + std::to_string(size) +
                             " bytes is shorter than its header");
  }
  const std::uint32_t word = r.u32(at + L::kLongValueLength);
  const std::size_t length = word & L::kLongValueLengthMask;
  const std::uint32_t kind = word & L::kLongValueKindMask;
  const std::uint32_t pointer = r.u32(at + L::kLongValuePointer);
  if (kind == L::kLongValueInline) {
    const std::size_t take = std::min(length, size - L::kLongValueHeader);
    return r.span(at + L::kLongValueHeader, take);
  }
  if (kind == L::kLongValueSingleRow) {
    if (length == 0) return {};
    const std::uint32_t number = L::pageOfPointer(pointer);
    if (!held.page || held.page->number() != number) held.page.emplace(file, number);
    const auto row = lvalRow(*held.page, pointer);
    return row.first(std::min(length, row.size()));
  }
  if (kind == L::kLongValueChain) {
    if (length > file.fileSize()) {
      throw damaged(where, "long value of " + std::to_string(length) +
                               " bytes is larger than the file");
    }
    readChain(file, pointer, length, scratch);
    return scratch;
  }
  throw damaged(where, "long value has an invalid kind");
}

void readLongValue(const PageFile& file, const ByteReader& r, std::size_t at, std::size_t size,
                   Bytes& out) {
  LongValuePage held;
  const std::span<const std::uint8_t> bytes = longValueBytes(file, r, at, size, out, held);
  if (bytes.data() != out.data() || bytes.size() != out.size()) out.assign(bytes.begin(), bytes.end());
}

void readLongValue(const PageFile& file, std::span<const std::uint8_t> field, const Where& where,
                   Bytes& out) {
  readLongValue(file, ByteReader(field, where), 0, field.size(), out);
}

}  // namespace jet
