// checkDatabase: a consistency check of a Jet file of any generation, read page by page and
// independent of the writer: every page has one owner (a table's data,
// definition, index or long values, a usage map) or is free in the global
// map; row slots lie inside their page; long values decode; every index tree
// is ordered and linked, holds exactly one entry per row of its table, and
// each entry is the key the writer's encoder makes of that row (text under a
// sort order the encoder lacks: order and one entry per row only, noted).
// Jet 3 and Jet 4 share the walk; their offsets come from jet/layout/*.h.
// Jet 1.x/2.0 files have their own walk (checkJet12Database).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace jet {

struct CheckReport {
  std::vector<std::string> problems;  // one sentence each, naming the page
  // Facts that do not make the file wrong: stale counters Access keeps,
  // pages lost to no owner.
  std::vector<std::string> notes;
  std::uint64_t pages = 0, tables = 0, rows = 0, indexes = 0, indexEntries = 0;
  std::uint64_t longValues = 0;
  // Entries whose key the encoder cannot make (a character outside its sort
  // table); their presence and order are still checked.
  std::uint64_t unverifiedKeys = 0;
  bool ok() const { return problems.empty(); }
};

// Throws jet::Error only when the file cannot be opened as a database at all;
// everything found inside it lands in the report.
CheckReport checkDatabase(const std::string& path);
// The same for Jet 1.x/2.0 files (jet/check_jet12.cc); checkDatabase calls it.
CheckReport checkJet12Database(const std::string& path);

}  // namespace jet
