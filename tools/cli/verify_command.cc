#include <iostream>

#include "engine/database_verify.h"
#include "jet/error.h"
#include "tools/cli/commands.h"

namespace cli {

// verify [--max N] A B: the first differences between two databases, one a line.
int runVerify(const Args& args) {
  std::vector<std::string> paths;
  std::size_t limit = 20;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--max") {
      if (i + 1 >= args.size()) return badUsage("--max needs a number");
      const std::string& n = args[++i];
      if (n.empty() || n.size() > 6 || n.find_first_not_of("0123456789") != std::string::npos ||
          std::stoul(n) == 0) {
        return badUsage("--max needs a number from 1 to 999999");
      }
      limit = std::stoul(n);
    } else if (!args[i].empty() && args[i][0] == '-') {
      return badUsage("unknown option '" + args[i] + "'");
    } else {
      paths.push_back(args[i]);
    }
  }
  if (paths.size() != 2) return badUsage("verify needs two files, A and B");
  try {
    const auto differences = engine::databaseDifferences(paths[0], paths[1], limit);
    for (const auto& d : differences) std::cout << d << '\n';
    return differences.empty() ? 0 : 1;
  } catch (const jet::Error& e) {
    reportError(std::string(e.what()) + " (" + std::to_string(e.number()) + ")");
    return 1;
  }
}

}  // namespace cli
