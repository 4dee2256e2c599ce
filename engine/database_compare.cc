#include "engine/database_compare.h"

#include <algorithm>

#include "jet/database.h"
#include "jet/text.h"

namespace engine {
namespace {

std::vector<jet::CatalogEntry> userTables(const jet::Database& db) {
  std::vector<jet::CatalogEntry> out;
  for (const auto& e : db.tables()) {
    if (e.isLocalTable() && (static_cast<std::uint32_t>(e.flags) & 0x80000002u) == 0) {
      out.push_back(e);
    }
  }
  return out;
}

std::optional<std::string> compareColumns(const jet::TableDef& a, const jet::TableDef& b) {
  if (a.columns.size() != b.columns.size()) {
    return "table '" + a.name + "' has " + std::to_string(a.columns.size()) + " columns against " +
           std::to_string(b.columns.size());
  }
  for (std::size_t i = 0; i < a.columns.size(); ++i) {
    const auto& ca = a.columns[i];
    const auto& cb = b.columns[i];
    if (ca.name != cb.name || ca.type != cb.type) {
      return "table '" + a.name + "' column " + std::to_string(i + 1) + " is '" + ca.name + "' (" +
             jet::columnTypeName(ca.type) + ") against '" + cb.name + "' (" +
             jet::columnTypeName(cb.type) + ")";
    }
  }
  return std::nullopt;
}

std::optional<std::string> compareRows(const jet::Database& da, const jet::TableDef& a,
                                       const jet::Database& db, const jet::TableDef& b) {
  auto ra = da.rows(a);
  auto rb = db.rows(b);
  jet::Row rowA, rowB;
  for (std::size_t n = 1;; ++n) {
    const bool moreA = ra->next(rowA);
    const bool moreB = rb->next(rowB);
    if (!moreA && !moreB) return std::nullopt;
    if (moreA != moreB) {
      return "table '" + a.name + "' ends after " + std::to_string(n - 1) + " rows in " +
             (moreA ? "the second" : "the first") + " database";
    }
    if (rowA != rowB) {
      for (std::size_t c = 0; c < rowA.size() && c < rowB.size(); ++c) {
        if (rowA[c] != rowB[c]) {
          return "table '" + a.name + "' row " + std::to_string(n) + " differs in column '" +
                 a.columns[c].name + "'";
        }
      }
      return "table '" + a.name + "' row " + std::to_string(n) + " differs";
    }
  }
}

}  // namespace

std::optional<std::string> compareDatabases(const std::string& pathA, const std::string& pathB) {
  auto da = jet::Database::open(pathA);
  auto db = jet::Database::open(pathB);
  const auto ta = userTables(*da);
  const auto tb = userTables(*db);
  if (ta.size() != tb.size()) {
    return "the first database has " + std::to_string(ta.size()) + " tables, the second " +
           std::to_string(tb.size());
  }
  for (const auto& ea : ta) {
    const auto match = std::find_if(tb.begin(), tb.end(), [&](const jet::CatalogEntry& eb) {
      return jet::equalsIgnoreCase(ea.name, eb.name);
    });
    if (match == tb.end()) return "table '" + ea.name + "' is missing from the second database";
    const jet::TableDef a = da->tableDef(ea);
    const jet::TableDef b = db->tableDef(*match);
    if (auto d = compareColumns(a, b)) return d;
    if (auto d = compareRows(*da, a, *db, b)) return d;
  }
  return std::nullopt;
}

}  // namespace engine
