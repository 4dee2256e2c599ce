// writeSampleDatabase: a small database of customers and orders, with a value
// of every common column type, written by our own writer at a given version.
// For first starts and demonstrations; never used on a user's own files.
// Its text stays within code page 1252, so every version can hold it.
#pragma once

#include <string>

#include "jet/format.h"

namespace jet {

// Throws jet::Error when the version cannot be written or the file not made.
void writeSampleDatabase(const std::string& path, JetVersion version, int customers = 25);

}  // namespace jet
