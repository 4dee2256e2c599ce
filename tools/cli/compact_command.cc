#include "jet/compactor.h"
#include "jet/error.h"
#include "tools/cli/commands.h"

namespace cli {

// compact SRC DST [--to 2.0|3.0|4.0]: the default keeps the source's version.
int runCompact(const Args& args) {
  std::vector<std::string> paths;
  long code = jet::kCompactSame;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--to") {
      if (i + 1 >= args.size()) return badUsage("--to needs a version: 2.0, 3.0 or 4.0");
      const std::string& v = args[++i];
      if (v == "2.0") {
        code = jet::kCompactJet20;
      } else if (v == "3.0") {
        code = jet::kCompactJet30;
      } else if (v == "4.0") {
        code = jet::kCompactJet40;
      } else {
        return badUsage("unknown target version '" + v + "' (2.0, 3.0 or 4.0)");
      }
    } else if (!args[i].empty() && args[i][0] == '-') {
      return badUsage("unknown option '" + args[i] + "'");
    } else {
      paths.push_back(args[i]);
    }
  }
  if (paths.size() != 2) return badUsage("compact needs SRC and DST");
  try {
    jet::compactDatabase(paths[0], paths[1], code);
  } catch (const jet::Error& e) {
    reportError(std::string(e.what()) + " (" + std::to_string(e.number()) + ")");
    return 1;
  }
  return 0;
}

}  // namespace cli
