// The test every caller uses to tell a database file by its name: the last
// three characters are "mdb" in any letter case. No dot is required.
#pragma once

#include <string_view>

namespace common {

bool isDatabaseName(std::string_view path);

}  // namespace common
