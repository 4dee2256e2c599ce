// compareDatabases: whether two databases hold the same user tables, columns
// and rows, value by value. Used to accept a compaction before it replaces
// anything, and by the command-line `verify`.
#pragma once

#include <optional>
#include <string>

namespace engine {

// The first difference found, in words; nullopt when the contents are equal.
// Throws jet::Error when either file cannot be read.
std::optional<std::string> compareDatabases(const std::string& a, const std::string& b);

}  // namespace engine
