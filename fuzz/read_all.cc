#include "fuzz/read_all.h"

#include <algorithm>
#include <cstring>

#include "jet/byte_reader.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/format.h"
#include "jet/index_pages.h"
#include "jet/jet12_table.h"
#include "jet/layout/jet12_pages.h"
#include "jet/layout/long_value.h"
#include "jet/long_value.h"
#include "jet/page_file.h"
#include "jet/property_blob.h"
#include "jet/table_definition.h"

namespace jet_fuzz {

namespace {

const jet::Where kWhere{"fuzz.mdb", -1};

void readTable(const jet::Database& db, const jet::CatalogEntry& entry) {
  const jet::TableDef def = db.tableDef(entry);
  const auto cursor = db.rows(def);
  jet::Row row;
  while (cursor->next(row)) {
    if (row.size() != def.columns.size()) __builtin_trap();  // our invariant, not the file's
  }
}

template <typename F>
void tolerate(F&& f) {
  try {
    f();
  } catch (const jet::Error&) {
  }
}

}  // namespace

void readAll(std::vector<std::uint8_t> bytes) {
  const auto db = jet::Database::open(std::move(bytes), "fuzz.mdb");
  for (const auto& entry : db->objects()) {
    if (entry.isLocalTable()) tolerate([&] { readTable(*db, entry); });
    tolerate([&] { db->properties(entry); });
  }
  tolerate([&] { db->relationships(); });
  tolerate([&] { db->queries(); });
  tolerate([&] { db->databaseProperties(); });
}

void readPropertyBlob(std::span<const std::uint8_t> blob) {
  for (const bool unicode : {false, true}) {
    tolerate([&] { jet::parsePropertyBlob(blob, unicode, 1252, kWhere); });
  }
}

PageSet unpackPageSet(std::span<const std::uint8_t> input) {
  const jet::ByteReader r(input, kWhere);
  r.need(0, kPageSetHead, "page set head");
  PageSet set;
  const std::size_t pageSize = (r.u8(0) & 1) != 0 ? 4096 : 2048;
  const unsigned count = r.u8(1);
  set.subject = r.u32(2);
  std::memcpy(set.field, r.span(6, sizeof set.field).data(), sizeof set.field);
  std::vector<std::uint32_t> numbers;
  std::size_t at = kPageSetHead;
  for (unsigned i = 0; i < count && r.has(at, 4); ++i, at += 4) numbers.push_back(r.u32(at));
  std::uint32_t pages = 1;
  for (const std::uint32_t n : numbers) {
    if (n < kMaxPages) pages = std::max(pages, n + 1);
  }
  set.image.assign(static_cast<std::size_t>(pages) * pageSize, 0);
  for (const std::uint32_t n : numbers) {
    if (n < kMaxPages && at < input.size()) {
      const std::size_t take = std::min(pageSize, input.size() - at);
      std::memcpy(set.image.data() + static_cast<std::size_t>(n) * pageSize, input.data() + at,
                  take);
    }
    at += pageSize;
  }
  return set;
}

void readSchema(std::span<const std::uint8_t> input) {
  PageSet set = unpackPageSet(input);
  jet::PageFile file(std::move(set.image), "fuzz.mdb");
  if (jet::isJet12(file.header().version)) {
    const auto backend = jet::makeJet12Backend(file);
    for (const auto& entry : backend->readCatalog()) {
      if (entry.isLocalTable()) tolerate([&] { backend->readTableDef(entry); });
    }
  } else {
    jet::readTableDefinition(file, set.subject, "fuzz");
  }
}

void walkIndexes(std::span<const std::uint8_t> input) {
  PageSet set = unpackPageSet(input);
  jet::PageFile file(std::move(set.image), "fuzz.mdb");
  if (jet::isJet12(file.header().version)) return;
  const jet::TableDef def = jet::readTableDefinition(file, set.subject, "fuzz");
  for (const auto& index : def.physicalIndexes) {
    tolerate([&] {
      jet::IndexWalker walker(file, def, index);
      jet::IndexPageEntry entry;
      while (walker.next(entry)) {
      }
    });
  }
}

void readLongValue(std::span<const std::uint8_t> input) {
  PageSet set = unpackPageSet(input);
  jet::PageFile file(std::move(set.image), "fuzz.mdb");
  if (jet::isJet12(file.header().version)) {
    const jet::ByteReader field({set.field, jet::layout::jet12::kLongRefSize}, kWhere);
    jet::readJet12LongValue(file, field);
    return;
  }
  const std::span<const std::uint8_t> field(set.field, jet::layout::kLongValueHeader);
  jet::Bytes out;
  jet::readLongValue(file, field, kWhere, out);
  const std::uint32_t word = jet::ByteReader(field, kWhere).u32(jet::layout::kLongValueLength);
  if (out.size() > (word & jet::layout::kLongValueLengthMask))
    __builtin_trap();  // never more than stated
}

}  // namespace jet_fuzz
