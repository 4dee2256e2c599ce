// jetlift-cli: the Jet library from the command line.
#include <iostream>
#include <string>

#include "tools/cli/commands.h"

namespace cli {

const char* const kUsage =
    "Usage: jetlift-cli COMMAND [ARGS]\n"
    "  version FILE...          print each file's Jet version\n"
    "  tables [--all] FILE      list the tables in catalog order (--all: with attributes)\n"
    "  schema FILE              tables, columns, indexes, relationships, queries as JSON\n"
    "  dump FILE [TABLE...]     every row of the tables (default: user tables) as JSON\n"
    "  export FILE TABLE        one table as CSV with a header line\n"
    "  compact SRC DST [--to 2.0|3.0|4.0]\n"
    "                           write SRC anew as DST (default: SRC's own version)\n"
    "  check FILE               verify pages, usage maps, rows, long values and indexes\n"
    "  sample DIR               write a small tree of sample databases into DIR\n"
#ifdef JETLIFT_CLI_BATCH
    "  upgrade [--mode save-as|export] [--to 2.0|3.0|4.0] [--dest DIR] [--jobs N] [--json] PATH...\n"
    "                           upgrade every older database under each PATH, as the window does\n"
    "  verify [--max N] A B     the first differences between two databases (exit 1 when any)\n"
#endif
    "Exit status: 0 success, 1 a file could not be read, 2 bad usage.\n";

int badUsage(const std::string& why) {
  if (!why.empty()) std::cerr << "jetlift-cli: " << why << '\n';
  std::cerr << kUsage;
  return 2;
}

void reportError(const std::string& message) { std::cerr << "jetlift-cli: " << message << '\n'; }

}  // namespace cli

int main(int argc, char** argv) {
  if (argc < 2) return cli::badUsage("");
  const std::string command = argv[1];
  const cli::Args args(argv + 2, argv + argc);
  if (command == "--help" || command == "-h" || command == "help") {
    std::cout << cli::kUsage;
    return 0;
  }
  for (const auto& a : args) {
    if (a == "--help" || a == "-h") {
      std::cout << cli::kUsage;
      return 0;
    }
  }
  if (command == "version") return cli::runVersion(args);
  if (command == "tables") return cli::runTables(args);
  if (command == "schema") return cli::runSchema(args);
  if (command == "dump") return cli::runDump(args);
  if (command == "export") return cli::runExport(args);
  if (command == "compact") return cli::runCompact(args);
  if (command == "check") return cli::runCheck(args);
  if (command == "sample") return cli::runSample(args);
#ifdef JETLIFT_CLI_BATCH
  if (command == "upgrade") return cli::runUpgrade(args);
  if (command == "verify") return cli::runVerify(args);
#endif
  return cli::badUsage("unknown command '" + command + "'");
}
