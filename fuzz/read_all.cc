#include "fuzz/read_all.h"

#include "jet/database.h"
#include "jet/error.h"

namespace jet_fuzz {

namespace {

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

}  // namespace jet_fuzz
