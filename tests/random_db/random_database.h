// Random databases from a seed: schemas of every column type the writer
// knows, values with nulls, long values of every size class, unicode text
// and many indexes, written with jet::DatabaseWriter and compacted along
// every version path the content allows; each result must hold what its
// source holds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/schema.h"

namespace random_db {

// One compaction: a source written at version `from` compacted with `code`
// into version `to`. Versions are writer generations (4, 3, 2).
struct VersionPath {
  int from;
  long code;
  int to;
};

// Every path exercised. A new writer generation is one more line here.
const std::vector<VersionPath>& versionPaths();
std::string pathName(const VersionPath& p);  // "4.0 -> 3.0"

struct GeneratedTable {
  jet::TableDef def;  // text lengths in characters, as the reader shows Jet 3
  std::vector<jet::Row> rows;
};

struct GeneratedDatabase {
  std::uint32_t seed = 0;
  int writtenAt = 4;      // the source's version
  int oldestTarget = 4;   // the content fits this version and every newer one
  std::vector<GeneratedTable> tables;
  std::vector<jet::Relationship> relationships;  // from a column to another table's primary key
};

// The database of `seed`: its source version and the oldest version its
// content fits are drawn from the seed among the paths' versions.
GeneratedDatabase generate(std::uint32_t seed);

// The schema in words, one line per table and index, to reproduce a failure.
std::string describe(const GeneratedDatabase& db);

// Writes `db` as a database of its source version; throws jet::Error.
void write(const GeneratedDatabase& db, const std::string& path);

struct PathResult {
  VersionPath path;
  std::vector<std::string> problems;  // empty: the result equals the source
};

struct SeedResult {
  std::uint32_t seed = 0;
  int writtenAt = 4, oldestTarget = 4;
  std::size_t tables = 0, rows = 0, indexes = 0, relationships = 0;
  std::vector<std::string> sourceProblems;  // the source does not hold what was written
  std::vector<PathResult> paths;  // every path compacted, and refusals gone wrong
  std::size_t refused = 0;        // compactions to versions the content does not fit, refused
};

// Generates, writes and compacts the database of `seed` inside `folder`
// (removing its files afterwards unless `keep`) and compares every result with its source.
SeedResult checkSeed(std::uint32_t seed, const std::string& folder, bool keep = false);

}  // namespace random_db
