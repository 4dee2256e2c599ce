// Usage maps: the set of pages a usage-map row names (inline bitmap or a list
// of bitmap pages), returned in ascending page order. Every page number in
// the set is below the file's page count.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/page_file.h"

namespace jet {

// Reads the map that `rowPointer` (row byte, 3-byte page) points to.
std::vector<std::uint32_t> readUsageMap(const PageFile& file, std::uint32_t rowPointer);

}  // namespace jet
