// random-db FIRST COUNT [FOLDER]: checks the random databases of seeds
// FIRST .. FIRST+COUNT-1 along every version path and prints each problem
// and the count per path. Exit status 1 when any result differs. With a
// FOLDER the files are kept there, and the schema of each failing seed printed.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>

#include "tests/random_db/random_database.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: random-db FIRST COUNT [FOLDER]\n";
    return 2;
  }
  const auto first = static_cast<std::uint32_t>(std::strtoul(argv[1], nullptr, 10));
  const auto count = static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10));
  namespace fs = std::filesystem;
  const fs::path folder = argc > 3 ? fs::path(argv[3])
                                   : fs::temp_directory_path() / ("jetlift-random-db-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  std::map<std::string, std::pair<int, int>> perPath;  // checked, failed
  int sourcesFailed = 0;
  std::size_t rows = 0, indexes = 0, relationships = 0, refused = 0;
  for (std::uint32_t seed = first; seed < first + count; ++seed) {
    const random_db::SeedResult r = random_db::checkSeed(seed, folder.string(), argc > 3);
    rows += r.rows;
    indexes += r.indexes;
    refused += r.refused;
    relationships += r.relationships;
    for (const auto& p : r.sourceProblems) std::cout << "seed " << seed << " source: " << p << "\n";
    sourcesFailed += !r.sourceProblems.empty();
    bool failed = !r.sourceProblems.empty();
    for (const auto& path : r.paths) failed = failed || !path.problems.empty();
    if (failed && argc > 3) std::cout << random_db::describe(random_db::generate(seed));
    if (failed) std::cout.flush();
    for (const auto& path : r.paths) {
      auto& [checked, failed] = perPath[random_db::pathName(path.path)];
      ++checked;
      failed += !path.problems.empty();
      for (const auto& p : path.problems) {
        std::cout << "seed " << seed << " " << random_db::pathName(path.path) << ": " << p << "\n";
      }
    }
  }
  if (argc <= 3) fs::remove_all(folder);
  std::cout << count << " seeds from " << first << ", " << rows << " rows, " << indexes << " indexes, " << relationships << " relationships; "
            << sourcesFailed << " sources failed; " << refused
            << " compactions to a version the content does not fit refused cleanly\n";
  bool ok = sourcesFailed == 0;
  for (const auto& [name, c] : perPath) {
    std::cout << name << ": " << c.first << " checked, " << c.second << " differ\n";
    ok = ok && c.second == 0;
  }
  return ok ? 0 : 1;
}
