// Reads everything a database offers, the way the fuzz targets and the
// fuzz-regression tests exercise the library: catalog, every table's
// definition and rows, index pages, relationships, queries, properties.
#pragma once

#include <cstdint>
#include <vector>

namespace jet_fuzz {

// Returns normally or throws jet::Error; anything else is a bug.
void readAll(std::vector<std::uint8_t> bytes);

}  // namespace jet_fuzz
