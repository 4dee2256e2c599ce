// The real Jet files beside the project, with the facts MANIFEST.tsv records.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace corpus {

inline std::string dir() { return JETLIFT_CORPUS; }
inline std::string path(const std::string& name) { return dir() + "/" + name; }

struct Entry {
  std::string name;
  std::string jetVersion;  // jet2, jet3, jet4, not-jet
  std::string notes;
};

// Every line of MANIFEST.tsv.
inline std::vector<Entry> manifest() {
  std::vector<Entry> out;
  std::ifstream in(path("MANIFEST.tsv"));
  std::string line;
  std::getline(in, line);  // column names
  while (std::getline(in, line)) {
    std::vector<std::string> cells;
    std::stringstream ss(line);
    std::string cell;
    while (std::getline(ss, cell, '\t')) cells.push_back(cell);
    if (cells.size() < 13) continue;
    out.push_back(Entry{cells[0], cells[2], cells[12]});
  }
  return out;
}

}  // namespace corpus
