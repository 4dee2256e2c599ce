// Small Jet files built byte by byte for the decoder tests: a valid page 0
// and whatever pages a test lays out, opened from memory.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "jet/header.h"
#include "jet/layout/header.h"
#include "jet/page_file.h"

namespace hand_made {

using Bytes = std::vector<std::uint8_t>;

inline void put16(Bytes& b, std::size_t at, std::uint16_t v) {
  b.at(at) = static_cast<std::uint8_t>(v);
  b.at(at + 1) = static_cast<std::uint8_t>(v >> 8);
}
inline void put32(Bytes& b, std::size_t at, std::uint32_t v) {
  put16(b, at, static_cast<std::uint16_t>(v));
  put16(b, at + 2, static_cast<std::uint16_t>(v >> 16));
}

// Page 0 of a Jet 3 or Jet 4 file: no password, not encrypted, code page 1252.
inline Bytes headerPage(jet::JetVersion v) {
  const std::size_t size = jet::pageSizeOf(v);
  Bytes p(size, 0);
  p[1] = 1;
  std::memcpy(&p[jet::layout::kMagicOffset], "Standard Jet DB", 15);
  p[jet::layout::kVersionOffset] = v == jet::JetVersion::Jet4 ? 1 : 0;
  put16(p, jet::layout::kCodePage, 1252);
  jet::unmaskHeader(p, v);  // the mask is an XOR: applying it stores the fields masked
  return p;
}

// An empty data page owned by `owner` (a TDEF page, or 0x4C41564C for LVAL).
inline Bytes dataPage(jet::JetVersion v, std::uint32_t owner) {
  Bytes p(jet::pageSizeOf(v), 0);
  p[0] = 1;
  p[1] = 1;
  put32(p, 4, owner);
  return p;
}

// Appends `row` to a data page (rows grow down from the end); returns its row number.
inline unsigned addRow(Bytes& page, jet::JetVersion v, const Bytes& row, std::uint16_t flags = 0) {
  const std::size_t countAt = v == jet::JetVersion::Jet4 ? 0x0c : 0x08;
  const unsigned n = page[countAt] | (page[countAt + 1] << 8);
  std::size_t end = page.size();
  if (n > 0) end = (page[countAt + 2 + 2 * (n - 1)] | (page[countAt + 3 + 2 * (n - 1)] << 8)) & 0x1FFF;
  const std::size_t start = end - row.size();
  std::copy(row.begin(), row.end(), page.begin() + static_cast<std::ptrdiff_t>(start));
  put16(page, countAt + 2 + 2 * n, static_cast<std::uint16_t>(start | flags));
  put16(page, countAt, static_cast<std::uint16_t>(n + 1));
  return n;
}

inline std::unique_ptr<jet::PageFile> open(jet::JetVersion v, const std::vector<Bytes>& pages) {
  Bytes all = headerPage(v);
  for (const auto& p : pages) all.insert(all.end(), p.begin(), p.end());
  return std::make_unique<jet::PageFile>(std::move(all), "hand-made.mdb");
}

inline std::uint32_t pointer(std::uint32_t page, unsigned row) { return (page << 8) | row; }

}  // namespace hand_made
