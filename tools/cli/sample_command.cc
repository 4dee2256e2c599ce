#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>

#include "jet/error.h"
#include "jet/sample_database.h"
#include "tools/cli/commands.h"

namespace cli {
namespace {

struct SampleFile {
  const char* name;
  jet::JetVersion version;
};

// What a folder of old databases tends to hold: files of each version, one in
// capitals, one in a sub-folder, one damaged, and a text file named .mdb.
constexpr SampleFile kSamples[] = {
    {"sales.mdb", jet::JetVersion::Jet2},
    {"archive/INVENTORY.MDB", jet::JetVersion::Jet2},
    {"contacts.mdb", jet::JetVersion::Jet3},
    {"archive/staff.mdb", jet::JetVersion::Jet3},
    {"current.mdb", jet::JetVersion::Jet4},
};

bool makeFolder(const std::string& path) {
  return ::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST;
}

}  // namespace

// sample DIR: writes a small tree of sample databases into DIR (made if missing).
int runSample(const Args& args) {
  if (args.size() != 1) return badUsage("sample needs one DIR");
  const std::string dir = args[0];
  if (!makeFolder(dir) || !makeFolder(dir + "/archive")) {
    reportError("cannot make folder '" + dir + "': " + std::strerror(errno));
    return 1;
  }
  int rc = 0;
  for (const auto& s : kSamples) {
    const std::string path = dir + "/" + s.name;
    std::remove(path.c_str());
    try {
      jet::writeSampleDatabase(path, s.version);
      std::cout << path << '\t' << jet::versionText(s.version) << '\n';
    } catch (const jet::Error& e) {
      reportError(path + ": " + e.what());
      rc = 1;
    }
  }
  // A damaged database: a real one cut short.
  const std::string damaged = dir + "/damaged.mdb";
  std::remove(damaged.c_str());
  try {
    jet::writeSampleDatabase(damaged, jet::JetVersion::Jet4);
    ::truncate(damaged.c_str(), 3 * 4096 + 100);
    std::cout << damaged << "\tdamaged\n";
  } catch (const jet::Error& e) {
    reportError(damaged + ": " + e.what());
    rc = 1;
  }
  std::ofstream(dir + "/notes.mdb") << "These are notes, not a database.\r\n";
  std::cout << dir << "/notes.mdb\ttext\n";
  return rc;
}

}  // namespace cli
