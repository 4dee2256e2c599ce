#include <cstdio>

#include "jet/database.h"
#include "jet/error.h"
#include "tools/cli/commands.h"

namespace cli {

namespace {

bool userTable(const jet::CatalogEntry& e) { return e.attributes() == 0 && e.isLocalTable(); }

}  // namespace

int runTables(const Args& args) {
  bool all = false;
  std::string path;
  for (const auto& a : args) {
    if (a == "--all") {
      all = true;
    } else if (!a.empty() && a[0] == '-') {
      return badUsage("unknown option '" + a + "'");
    } else if (path.empty()) {
      path = a;
    } else {
      return badUsage("tables takes one FILE");
    }
  }
  if (path.empty()) return badUsage("tables needs a FILE");
  try {
    const auto db = jet::Database::open(path);
    Output out(stdout);
    for (const auto& e : db->tables()) {
      if (all) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(e.attributes()));
        out.text += e.name + '\t' + hex + '\n';
      } else if (userTable(e)) {
        out.text += e.name + '\n';
      }
    }
  } catch (const jet::Error& e) {
    reportError(e.what());
    return 1;
  }
  return 0;
}

}  // namespace cli
