// What the fuzz targets and the fuzz-regression tests run on their input: a
// whole database read completely, or one part parsed on its own (property
// blobs, table definitions, index pages, long-value chains) from a page set.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace jet_fuzz {

// Each returns normally or throws jet::Error; anything else is a bug.

// A whole database: catalog, every table's definition and rows, relationships,
// queries, properties.
void readAll(std::vector<std::uint8_t> bytes);
// A property blob, parsed as Jet 3 and as Jet 4 would.
void readPropertyBlob(std::span<const std::uint8_t> blob);

// A page set: a few pages cut out of a database at their own page numbers, so
// that the pointers between them still hold. Layout of the input:
//   u8  page size (bit 0 set: 4096, else 2048)
//   u8  number of pages N
//   u32 the page the part starts on (a table definition)
//   16  a long-value field (Jet 3/4 use 12 bytes of it, Jet 1.x/2.0 14)
//   N x u32 page numbers (page 0, the header, among them), then the N pages.
// Missing page bytes read as zeros; page numbers past kMaxPages are dropped.
inline constexpr std::size_t kPageSetHead = 22;
inline constexpr std::uint32_t kMaxPages = 1024;
struct PageSet {
  std::vector<std::uint8_t> image;  // the database, absent pages zero
  std::uint32_t subject = 0;
  std::uint8_t field[16] = {};
};
PageSet unpackPageSet(std::span<const std::uint8_t> input);

// Table definitions: Jet 3/4 the one at `subject`; Jet 1.x/2.0 every table
// of the catalog (its definitions live in MSysColumns and MSysIndexes).
void readSchema(std::span<const std::uint8_t> input);
// Every physical index of the table at `subject`, walked to its last entry.
void walkIndexes(std::span<const std::uint8_t> input);
// The long value the field points to.
void readLongValue(std::span<const std::uint8_t> input);

}  // namespace jet_fuzz
