// DatabaseHeader: what page 0 says about the whole file. parseHeader tells a
// Jet file from everything else before any other page is read.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "jet/format.h"

namespace jet {

struct DatabaseHeader {
  JetVersion version = JetVersion::Jet4;
  std::size_t pageSize = 4096;
  std::uint16_t codePage = 1252;
  std::uint16_t sortOrder = 0x0409;  // LCID of the database's collation
  std::uint8_t sortVersion = 0;      // Jet 4: 0 = General (legacy)
  std::uint32_t databaseKey = 0;     // non-zero: pages 1.. are RC4-encrypted
  bool hasPassword = false;
  double creationDate = 0;  // Jet 4 only
};

// Reads the header from the first page of the file (at least 2048 bytes).
// Throws notADatabase / unsupported for anything that is not a readable Jet file.
DatabaseHeader parseHeader(std::span<const std::uint8_t> page0, const std::string& path);

// Page 0 of a Jet 3/4 file with its masked region decoded.
void unmaskHeader(std::span<std::uint8_t> page0, JetVersion version);

}  // namespace jet
