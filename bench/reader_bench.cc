// reader_bench: jetlift-cli against mdbtools and mdb-reader on the largest
// tables of the corpus (rows per second, peak memory of each process), and
// the version probe against mdb-ver (files per second). A program, not a test.
//
// Usage: reader_bench CLI CORPUS_DIR [MDB_READER_DIR]
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/error.h"

namespace {

struct Run {
  double seconds = 0;
  long peakKb = 0;
  int status = 0;
};

// Runs argv with stdout to /dev/null; the child's own peak RSS comes from wait4.
Run runOnce(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  Run r;
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  r.peakKb = usage.ru_maxrss;
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

// Best time of three (the cache is warm after the first), with its memory.
Run best(const std::vector<std::string>& argv) {
  Run b;
  b.seconds = 1e9;
  for (int i = 0; i < 3; ++i) {
    const Run r = runOnce(argv);
    if (r.seconds < b.seconds) b = r;
  }
  return b;
}

struct Table {
  std::string file, name;
  std::size_t rows = 0, columns = 0, bytes = 0;
};

// Rough size of a decoded value, to find the tables with the most data.
std::size_t sizeOf(const jet::Value& v) {
  if (const auto* s = std::get_if<std::string>(&v)) return s->size();
  if (const auto* b = std::get_if<jet::Bytes>(&v)) return b->size();
  return 8;
}

std::vector<Table> tablesOf(const std::string& dir) {
  std::vector<Table> out;
  for (const auto& f : std::filesystem::directory_iterator(dir)) {
    try {
      const auto db = jet::Database::open(f.path().string());
      for (const auto& e : db->tables()) {
        if (!e.isLocalTable() || e.attributes() != 0) continue;
        const jet::TableDef def = db->tableDef(e);
        const auto cursor = db->rows(def);
        jet::Row row;
        Table t{f.path().string(), e.name, 0, def.columns.size()};
        while (cursor->next(row)) {
          ++t.rows;
          for (const auto& v : row) t.bytes += sizeOf(v);
        }
        out.push_back(t);
      }
    } catch (const jet::Error&) {
    }
  }
  return out;
}

void report(const char* tool, const Table& t, const Run& r) {
  std::printf("  %-22s %8.3f s %12.0f rows/s %8ld KiB peak%s\n", tool, r.seconds,
              static_cast<double>(t.rows) / r.seconds, r.peakKb, r.status ? "  (failed)" : "");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: reader_bench CLI CORPUS_DIR [MDB_READER_DIR]\n");
    return 2;
  }
  const std::string cli = argv[1], corpus = argv[2], readerDir = argc > 3 ? argv[3] : "";
  const std::string readerScript =
      std::string(JETLIFT_BENCH_DIR) + "/mdb_reader_rows.mjs";
  std::vector<Table> all = tablesOf(corpus);
  // The two tables with the most values and the two with the most bytes.
  std::vector<Table> tables;
  std::sort(all.begin(), all.end(), [](const Table& a, const Table& b) {
    return a.rows * a.columns > b.rows * b.columns;
  });
  tables.assign(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(2, all.size())));
  std::sort(all.begin(), all.end(), [](const Table& a, const Table& b) { return a.bytes > b.bytes; });
  for (std::size_t i = 0; i < all.size() && tables.size() < 4; ++i) {
    const bool seen = std::any_of(tables.begin(), tables.end(), [&](const Table& t) {
      return t.file == all[i].file && t.name == all[i].name;
    });
    if (!seen) tables.push_back(all[i]);
  }
  for (const Table& t : tables) {
    std::printf("%s [%s]: %zu rows x %zu columns, %zu KiB of values\n",
                std::filesystem::path(t.file).filename().c_str(), t.name.c_str(), t.rows, t.columns,
                t.bytes / 1024);
    const Run ours = best({cli, "export", t.file, t.name});
    const Run dump = best({cli, "dump", t.file, t.name});
    const Run theirs = best({"mdb-export", t.file, t.name});
    report("jetlift-cli export", t, ours);
    report("jetlift-cli dump", t, dump);
    report("mdb-export", t, theirs);
    if (!readerDir.empty()) report("mdb-reader (node)", t, best({"node", readerScript, readerDir, t.file, t.name}));
    std::printf("  export speed-up over mdb-export: %.1fx\n", theirs.seconds / ours.seconds);
  }
  // Version probe: every corpus file, repeated, in one process; mdb-ver takes one file per run.
  std::vector<std::string> files;
  for (const auto& f : std::filesystem::directory_iterator(corpus)) {
    if (f.path().extension() != ".tsv" && f.path().extension() != ".md") files.push_back(f.path().string());
  }
  std::vector<std::string> probe = {cli, "version"};
  constexpr int kRepeat = 100;
  for (int i = 0; i < kRepeat; ++i) probe.insert(probe.end(), files.begin(), files.end());
  const Run ourProbe = best(probe);
  const auto start = std::chrono::steady_clock::now();
  for (const auto& f : files) runOnce({"mdb-ver", f});
  const double mdbVer = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const auto start1 = std::chrono::steady_clock::now();
  for (const auto& f : files) runOnce({cli, "version", f});
  const double oursPerProcess = std::chrono::duration<double>(std::chrono::steady_clock::now() - start1).count();
  std::printf("version probe, %zu files:\n", files.size());
  std::printf("  jetlift-cli version (one process)   %10.0f files/s  %ld KiB peak\n",
              static_cast<double>(files.size() * kRepeat) / ourProbe.seconds, ourProbe.peakKb);
  std::printf("  jetlift-cli version (process each)  %10.0f files/s\n",
              static_cast<double>(files.size()) / oursPerProcess);
  std::printf("  mdb-ver (process each)              %10.0f files/s\n",
              static_cast<double>(files.size()) / mdbVer);
  return 0;
}
