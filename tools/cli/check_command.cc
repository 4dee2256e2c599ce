#include "jet/check.h"
#include "jet/error.h"
#include "tools/cli/commands.h"

namespace cli {

// check FILE: 0 when the file is consistent, 1 when it is not (each problem
// on its own line) or cannot be read, 2 for bad usage.
int runCheck(const Args& args) {
  if (args.size() != 1 || (!args[0].empty() && args[0][0] == '-'))
    return badUsage("check needs one FILE");
  try {
    const jet::CheckReport r = jet::checkDatabase(args[0]);
    for (const auto& n : r.notes) std::printf("%s: note: %s\n", args[0].c_str(), n.c_str());
    for (const auto& p : r.problems) reportError(args[0] + ": " + p);
    std::printf(
        "%s: %llu pages, %llu tables, %llu rows, %llu long values, %llu indexes, %llu index entries"
        " (%llu keys not re-encoded): %s\n",
        args[0].c_str(), static_cast<unsigned long long>(r.pages),
        static_cast<unsigned long long>(r.tables), static_cast<unsigned long long>(r.rows),
        static_cast<unsigned long long>(r.longValues), static_cast<unsigned long long>(r.indexes),
        static_cast<unsigned long long>(r.indexEntries),
        static_cast<unsigned long long>(r.unverifiedKeys),
        r.ok() ? "consistent" : (std::to_string(r.problems.size()) + " problems").c_str());
    return r.ok() ? 0 : 1;
  } catch (const jet::Error& e) {
    reportError(std::string(e.what()) + " (" + std::to_string(e.number()) + ")");
    return 1;
  }
}

}  // namespace cli
