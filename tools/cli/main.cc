// jetlift-cli: the engine from the command line.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "jet/database.h"
#include "jet/error.h"

namespace {

const char* kUsage =
    "Usage: jetlift-cli COMMAND [ARGS]\n"
    "  version FILE...   print each file's Jet version\n";

int version(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << kUsage;
    return 2;
  }
  int rc = 0;
  for (int i = 2; i < argc; ++i) {
    try {
      auto db = jet::Database::open(argv[i]);
      std::cout << argv[i] << '\t' << db->versionText() << '\n';
    } catch (const jet::Error& e) {
      std::cout << argv[i] << "\terror\t" << e.number() << '\t' << e.what() << '\n';
      rc = 1;
    }
  }
  return rc;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << kUsage;
    return 2;
  }
  const std::string command = argv[1];
  if (command == "--help" || command == "-h") {
    std::cout << kUsage;
    return 0;
  }
  if (command == "version") return version(argc, argv);
  std::cerr << "jetlift-cli: unknown command '" << command << "'\n" << kUsage;
  return 2;
}
