#include "jet/catalog.h"

#include <algorithm>
#include <array>

#include "jet/error.h"
#include "jet/layout/catalog.h"
#include "jet/layout/data_page.h"
#include "jet/table_definition.h"
#include "jet/table_scan.h"

namespace jet {

namespace {

enum Field { kId, kParentId, kName, kType, kFlags, kDatabase, kConnect, kForeignName, kFields };
constexpr std::array<const char*, kFields> kFieldNames = {
    "Id", "ParentId", "Name", "Type", "Flags", "Database", "Connect", "ForeignName"};

std::int64_t integerOf(const Value& v) {
  if (const auto* x = std::get_if<std::int32_t>(&v)) return *x;
  if (const auto* x = std::get_if<std::int16_t>(&v)) return *x;
  if (const auto* x = std::get_if<std::uint8_t>(&v)) return *x;
  return 0;
}

std::string textOf(const Value& v) {
  if (const auto* s = std::get_if<std::string>(&v)) return *s;
  return {};
}

// Page first, then row number.
std::uint64_t sortKey(std::uint32_t pointer) {
  return (static_cast<std::uint64_t>(layout::pageOfPointer(pointer)) << 8) |
         layout::rowOfPointer(pointer);
}

}  // namespace

std::vector<CatalogEntry> readJet34Catalog(const PageFile& file) {
  TableDef def = readTableDefinition(file, layout::kCatalogTdefPage, "MSysObjects");
  std::array<int, kFields> position{};
  std::vector<bool> wanted(def.columns.size(), false);
  for (int f = 0; f < kFields; ++f) {
    position[f] = -1;
    for (std::size_t i = 0; i < def.columns.size(); ++i) {
      if (def.columns[i].name == kFieldNames[f]) position[f] = static_cast<int>(i);
    }
    if (position[f] >= 0) wanted[position[f]] = true;
  }
  for (int f : {kId, kName, kType}) {
    if (position[f] < 0) {
      throw damaged(file.where(layout::kCatalogTdefPage),
                    std::string("the catalog has no column ") + kFieldNames[f]);
    }
  }
  auto value = [&](const Row& row, Field f) -> const Value& {
    static const Value kNull;
    return position[f] < 0 ? kNull : row[position[f]];
  };
  std::vector<std::pair<std::uint64_t, CatalogEntry>> found;
  TableScan scan(file, std::move(def), std::move(wanted));
  Row row;
  while (scan.next(row)) {
    CatalogEntry e;
    e.id = static_cast<std::int32_t>(integerOf(value(row, kId)));
    e.parentId = static_cast<std::int32_t>(integerOf(value(row, kParentId)));
    e.name = textOf(value(row, kName));
    e.type = static_cast<std::int16_t>(integerOf(value(row, kType)));
    e.flags = static_cast<std::int32_t>(integerOf(value(row, kFlags)));
    e.database = textOf(value(row, kDatabase));
    e.connect = textOf(value(row, kConnect));
    e.foreignName = textOf(value(row, kForeignName));
    found.emplace_back(sortKey(scan.dataPointer()), std::move(e));
  }
  // Catalog order is storage order: where each row's bytes lie, so a moved row
  // counts where it now is (as mdbtools and mdb-reader list them).
  std::stable_sort(found.begin(), found.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<CatalogEntry> out;
  out.reserve(found.size());
  for (auto& f : found) out.push_back(std::move(f.second));
  return out;
}

}  // namespace jet
