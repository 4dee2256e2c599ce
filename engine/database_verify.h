// databaseDifferences: a full comparison of two databases, value by value:
// tables, columns, rows, indexes, relationships, queries, the other catalog
// objects and every property map. What a compaction must keep is compared in
// the form every Jet version shares (text lengths in characters, the column
// flags that mean something to users), so a source and its upgrade are equal.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace engine {

// The first differences found, in words, at most `limit` of them; empty when
// the databases hold the same contents. Throws jet::Error when either file
// cannot be read.
std::vector<std::string> databaseDifferences(const std::string& a, const std::string& b,
                                             std::size_t limit = 20);

}  // namespace engine
