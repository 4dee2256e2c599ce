// Reading a table definition (TDEF page and its continuations) of a Jet 3/4
// file into a TableDef. Every count is checked against the definition's size
// before it drives a loop; a continuation chain that loops is damage.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/page_file.h"
#include "jet/schema.h"

namespace jet {

// The definition bytes: the first page whole, then each continuation from byte 8.
std::vector<std::uint8_t> assembleTableDefinition(const PageFile& file, std::uint32_t page);

TableDef readTableDefinition(const PageFile& file, std::uint32_t page, const std::string& name);

}  // namespace jet
