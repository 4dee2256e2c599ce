// Helpers of the writer tests: hand-made schemas, rows from a vector, a
// scratch folder, our command-line tool and the two independent readers run
// as subprocesses.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "jet/compactor.h"
#include "jet/database.h"
#include "jet/database_writer.h"
#include "jet/error.h"
#include "jet/schema.h"
#include "tests/corpus.h"

namespace writer_test {

class Rows : public jet::RowCursor {
 public:
  explicit Rows(std::vector<jet::Row> rows) : rows_(std::move(rows)) {}
  bool next(jet::Row& row) override {
    if (at_ >= rows_.size()) return false;
    row = rows_[at_++];
    return true;
  }

 private:
  std::vector<jet::Row> rows_;
  std::size_t at_ = 0;
};

// Rows made on demand, so that large tables need no memory in the test.
// Hands out the rows of another cursor and nothing stored, so the writer
// encodes every value from its decoded form.
class DecodedOnly : public jet::RowCursor {
 public:
  explicit DecodedOnly(jet::RowCursor& rows) : rows_(rows) {}
  bool next(jet::Row& row) override { return rows_.next(row); }

 private:
  jet::RowCursor& rows_;
};

// Adds a table to `w` with its rows as a table scan hands them out (text as
// stored) or, with `decoded`, as decoded values only.
inline void addTableRows(jet::DatabaseWriter& w, const jet::TableDef& def, jet::RowCursor& rows,
                         bool decoded) {
  DecodedOnly plain(rows);
  if (decoded) {
    w.addTable(def, plain);
  } else {
    w.addTable(def, rows);
  }
}

class GeneratedRows : public jet::RowCursor {
 public:
  GeneratedRows(std::size_t count, std::function<jet::Row(std::size_t)> make)
      : count_(count), make_(std::move(make)) {}
  bool next(jet::Row& row) override {
    if (at_ >= count_) return false;
    row = make_(at_++);
    return true;
  }

 private:
  std::size_t count_;
  std::function<jet::Row(std::size_t)> make_;
  std::size_t at_ = 0;
};

inline jet::Column column(const std::string& name, jet::ColumnType type, std::uint16_t number,
                          std::uint16_t length = 0, std::uint8_t flags = 0) {
  jet::Column c;
  c.name = name;
  c.type = type;
  c.number = number;
  c.length = length;
  c.flags = flags;
  if (type == jet::ColumnType::Text || type == jet::ColumnType::Memo) c.extraFlags = 0x01;
  return c;
}

// A fresh folder per test, removed afterwards.
class Scratch {
 public:
  Scratch() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "-" + info->name();
    for (char& c : name) c = c == '/' ? '-' : c;  // parameterised names hold slashes
    dir_ = std::filesystem::temp_directory_path() /
           ("jetlift-writer-" + name + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  ~Scratch() { std::filesystem::remove_all(dir_); }
  std::string file(const std::string& name) const { return (dir_ / name).string(); }

 private:
  std::filesystem::path dir_;
};

struct Output {
  int status = -1;
  std::string out;
};

inline Output run(const std::string& command) {
  Output r;
  FILE* p = ::popen((command + " 2>&1").c_str(), "r");
  if (p == nullptr) return r;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) r.out.append(buffer, n);
  r.status = ::pclose(p);
  return r;
}

inline bool haveTool(const std::string& tool) {
  return run("command -v " + tool + " >/dev/null").status == 0;
}

inline std::string shellQuote(const std::string& s) {
  std::string q = "'";
  for (char c : s) {
    if (c == '\'') {
      q += "'\\''";
    } else {
      q += c;
    }
  }
  return q + "'";
}

// The whole content of a file (empty when it cannot be read).
inline std::string fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A shell command that runs our command-line tool with `args` (already quoted).
inline std::string cliCommand(const std::string& args) {
  return std::string("'") + JETLIFT_CLI + "' " + args;
}

// What our command-line tool prints (stderr too); a failed run fails the test.
inline std::string cli(const std::string& args) {
  const Output r = run(cliCommand(args));
  EXPECT_EQ(WEXITSTATUS(r.status), 0) << args << ": " << r.out;
  return r.out;
}

// Our dump without its "version" line, which a compaction to another version changes.
inline std::string dumpWithoutVersion(const std::string& file) {
  std::stringstream in(cli("dump " + shellQuote(file)));
  std::string line, out;
  while (std::getline(in, line)) {
    if (line.find("\"version\"") == std::string::npos) out += line + "\n";
  }
  return out;
}

// mdb-reader installed once into a folder of the build, wherever the tests
// are run from; empty when node or npm are missing or the install failed.
inline std::string mdbReaderScript() {
  static const std::string script = [] {
    if (!haveTool("node") || !haveTool("npm")) return std::string();
    const std::filesystem::path dir = JETLIFT_WRITER_ORACLE_INSTALL;
    std::filesystem::create_directories(dir);
    if (!std::filesystem::exists(dir / "node_modules" / "mdb-reader")) {
      std::ofstream(dir / "package.json") << "{\"name\":\"writer-oracle\",\"private\":true,\"type\":\"module\"}\n";
      const Output r = run("cd " + shellQuote(dir.string()) +
                        " && npm install --no-audit --no-fund mdb-reader@3.2.0 >/dev/null");
      if (r.status != 0) return std::string();
    }
    const std::filesystem::path source =
        std::filesystem::path(JETLIFT_WRITER_ORACLE_DIR) / "dump.mjs";
    // Tests run side by side: a copy renamed into place is never seen half written.
    const std::filesystem::path partial = dir / ("dump.mjs." + std::to_string(::getpid()));
    std::filesystem::copy_file(source, partial, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::rename(partial, dir / "dump.mjs");
    return (dir / "dump.mjs").string();
  }();
  return script;
}

}  // namespace writer_test

namespace writer_test {

// The error of compacting corpus file `source` to `version`, which must fail,
// leaving nothing at the destination.
inline std::string compactionRefusal(const std::string& source, long version) {
  Scratch dir;
  const std::string dst = dir.file("out.mdb");
  std::string message;
  try {
    jet::compactDatabase(corpus::path(source), dst, version);
    ADD_FAILURE() << source << " was compacted to version code " << version;
  } catch (const jet::Error& e) {
    message = e.what();
  }
  for (const auto& f : std::filesystem::directory_iterator(dir.file(""))) {
    ADD_FAILURE() << "left behind: " << f.path();
  }
  return message;
}

// mdb-reader's view of a database: "table"/"columns"/"row" lines (see dump.mjs).
inline std::vector<std::string> mdbReaderLines(const std::string& file, bool system = false) {
  const std::string script = mdbReaderScript();
  std::vector<std::string> lines;
  if (script.empty()) return lines;
  const Output r = run("node " + shellQuote(script) + " " + shellQuote(file) + (system ? " --system" : ""));
  if (r.status != 0) return lines;  // mdb-reader refused the file
  std::stringstream in(r.out);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

#define SKIP_WITHOUT_MDB_READER()                                              \
  if (::writer_test::mdbReaderScript().empty()) {                              \
    GTEST_SKIP() << "node, npm or mdb-reader are not available";               \
  }
#define SKIP_WITHOUT_MDBTOOLS()                                                \
  if (!::writer_test::haveTool("mdb-export")) {                                \
    GTEST_SKIP() << "mdbtools are not installed";                              \
  }

}  // namespace writer_test
