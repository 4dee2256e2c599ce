#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
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
  std::error_code e;
  std::filesystem::create_directories(path, e);
  errno = e.value();
  return !e && std::filesystem::is_directory(path, e);
}

// DIR may be a folder of real databases: a name already taken is kept as it is.
bool taken(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return false;
  std::cout << path << "\tkept (a file of that name exists)\n";
  return true;
}

}  // namespace

// sample DIR: writes a small tree of sample databases into DIR (made if missing).
int runSample(const Args& args) {
  if (args.size() != 1) return badUsage("sample needs one DIR");
  const std::string dir = args[0];
  if (!makeFolder(dir + "/archive")) {
    reportError("cannot make folder '" + dir + "/archive': " +
                std::strerror(errno != 0 ? errno : ENOTDIR));
    return 1;
  }
  int rc = 0;
  for (const auto& s : kSamples) {
    const std::string path = dir + "/" + s.name;
    if (taken(path)) continue;
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
  if (!taken(damaged)) {
    try {
      jet::writeSampleDatabase(damaged, jet::JetVersion::Jet4);
      ::truncate(damaged.c_str(), 3 * 4096 + 100);
      std::cout << damaged << "\tdamaged\n";
    } catch (const jet::Error& e) {
      reportError(damaged + ": " + e.what());
      rc = 1;
    }
  }
  const std::string notes = dir + "/notes.mdb";
  if (!taken(notes)) {
    std::ofstream(notes) << "These are notes, not a database.\r\n";
    std::cout << notes << "\ttext\n";
  }
  return rc;
}

}  // namespace cli
