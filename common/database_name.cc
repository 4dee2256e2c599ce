#include "common/database_name.h"

namespace common {

bool isDatabaseName(std::string_view path) {
  if (path.size() < 3) return false;
  const std::string_view tail = path.substr(path.size() - 3);
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
  return lower(tail[0]) == 'm' && lower(tail[1]) == 'd' && lower(tail[2]) == 'b';
}

}  // namespace common
