#include <iostream>

#include "jet/database.h"
#include "jet/error.h"
#include "jet/page_file.h"
#include "tools/cli/commands.h"

namespace cli {

// Only the header is needed for the version: no catalog read, so probing is fast.
int runVersion(const Args& args) {
  if (args.empty()) return badUsage("version needs at least one FILE");
  int rc = 0;
  Output out(stdout);
  for (const auto& path : args) {
    try {
      const jet::PageFile file(path);
      if (file.header().hasPassword) throw jet::passwordProtected(path);
      out.text += path + '\t' + jet::versionText(file.header().version) + '\n';
    } catch (const jet::Error& e) {
      out.text += path + "\terror\t" + std::to_string(e.number()) + '\t' + e.what() + '\n';
      rc = 1;
    }
    out.maybeFlush();
  }
  return rc;
}

}  // namespace cli
