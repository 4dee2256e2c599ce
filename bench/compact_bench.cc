// Compaction benchmark: for each file, `cp` of the file (flushed to disk, as
// a compaction is) beside a compaction to Jet 4 of the same file, run in a
// child so its peak RSS is its own. Prints seconds, MB/s, the throughput
// ratio (compaction / cp) and peak RSS. Without files it takes the largest
// corpus files and a generated database of --generate MB (default 200), made
// with the writer from synthetic rows in the temporary folder.
//
// compact_bench [--generate MB] [--no-corpus] [--keep] [FILE...]
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "jet/compactor.h"
#include "jet/database.h"
#include "jet/database_writer.h"
#include "jet/error.h"

namespace fs = std::filesystem;

namespace {

struct Run {
  double seconds = 0;
  long peakKiB = 0;
  int status = 0;
};

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Runs `body` in a child and returns its time and peak resident set.
template <class F>
Run inChild(F&& body) {
  const double t0 = now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    int rc = 0;
    try {
      body();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "compact_bench: %s\n", e.what());
      rc = 1;
    }
    ::_exit(rc);
  }
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  return Run{now() - t0, usage.ru_maxrss, status};
}

void fsyncFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

// cp through the real program, then the copy flushed.
Run copyOf(const std::string& src, const std::string& dst) {
  const double t0 = now();
  const std::string command = "cp '" + src + "' '" + dst + "'";
  const int status = std::system(command.c_str());
  fsyncFile(dst);
  return Run{now() - t0, 0, status};
}

// Rows of a synthetic table: numbers, a date, short text, and a memo long
// enough to go to long-value pages now and then.
class SyntheticRows : public jet::RowCursor {
 public:
  explicit SyntheticRows(std::uint64_t count) : count_(count) {}
  bool next(jet::Row& row) override {
    if (at_ >= count_) return false;
    const std::uint64_t i = at_++;
    row.clear();
    row.emplace_back(static_cast<std::int32_t>(i + 1));
    row.emplace_back(std::string("Customer ") + std::to_string((i * 7919) % 1000003));
    row.emplace_back(static_cast<double>(i) * 1.25);
    row.emplace_back(jet::DateTime{36526.0 + static_cast<double>(i % 9000) + 0.5});
    std::string memo = "Note " + std::to_string(i) + ": ";
    const std::size_t length = 80 + (i % 13) * 60;
    while (memo.size() < length) memo += "lorem ipsum dolor sit amet ";
    row.emplace_back(memo);
    return true;
  }

 private:
  std::uint64_t count_;
  std::uint64_t at_ = 0;
};

jet::Column column(const std::string& name, jet::ColumnType type, std::uint16_t number,
                   std::uint16_t length, std::uint8_t flags) {
  jet::Column c;
  c.name = name;
  c.type = type;
  c.number = number;
  c.length = length;
  c.flags = flags;
  if (type == jet::ColumnType::Text || type == jet::ColumnType::Memo) c.extraFlags = 0x01;
  return c;
}

// A Jet 4 database of about `megabytes` MB: one table with a primary key and a text index.
void generate(const std::string& path, std::uint64_t megabytes) {
  jet::TableDef def;
  def.name = "Synthetic";
  def.columns = {
      column("Id", jet::ColumnType::Long, 0, 4, jet::kColumnFixed),
      column("Name", jet::ColumnType::Text, 1, 100, jet::kColumnNullable),
      column("Amount", jet::ColumnType::Double, 2, 8, jet::kColumnFixed | jet::kColumnNullable),
      column("Day", jet::ColumnType::DateTime, 3, 8, jet::kColumnFixed | jet::kColumnNullable),
      column("Note", jet::ColumnType::Memo, 4, 0, jet::kColumnNullable)};
  jet::PhysicalIndex pk;
  pk.columns = {jet::IndexColumn{0, true}};
  pk.flags = jet::kIndexUnique | jet::kIndexRequired;
  jet::PhysicalIndex byName;
  byName.columns = {jet::IndexColumn{1, true}};
  def.physicalIndexes = {pk, byName};
  jet::Index primary;
  primary.name = "PrimaryKey";
  primary.physicalIndex = 0;
  primary.kind = 1;
  jet::Index name;
  name.name = "Name";
  name.number = 1;
  name.physicalIndex = 1;
  def.indexes = {primary, name};
  // About 400 bytes a row once compressed text and index entries are counted.
  SyntheticRows rows(megabytes * 1024 * 1024 / 400);
  jet::DatabaseWriter w(path);
  w.addTable(def, rows);
  w.finish();
}

void measure(const std::string& src, const std::string& scratch) {
  const double mb = static_cast<double>(fs::file_size(src)) / 1e6;
  // Warm the page cache for both, so neither pays for the first read.
  copyOf(src, scratch + "/warm.bin");
  fs::remove(scratch + "/warm.bin");
  const Run cp = copyOf(src, scratch + "/copy.bin");
  fs::remove(scratch + "/copy.bin");
  const std::string dst = scratch + "/compacted.mdb";
  fs::remove(dst);
  const Run c = inChild([&] { jet::compactDatabase(src, dst, jet::kCompactJet40); });
  const double outMb = fs::exists(dst) ? static_cast<double>(fs::file_size(dst)) / 1e6 : 0;
  fs::remove(dst);
  std::printf(
      "%-48s %8.1f MB -> %8.1f MB  cp %7.3f s (%7.1f MB/s)  compact %7.3f s (%7.1f MB/s)  "
      "ratio %5.1f%%  peak RSS %6.1f MiB%s\n",
      fs::path(src).filename().c_str(), mb, outMb, cp.seconds, mb / cp.seconds, c.seconds,
      mb / c.seconds, 100.0 * cp.seconds / c.seconds, static_cast<double>(c.peakKiB) / 1024.0,
      c.status == 0 ? "" : "  FAILED");
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t generateMb = 200;
  bool keep = false, corpusFiles = true;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--generate" && i + 1 < argc) {
      generateMb = std::strtoull(argv[++i], nullptr, 10);
    } else if (a == "--no-corpus") {
      corpusFiles = false;
    } else if (a == "--keep") {
      keep = true;
    } else {
      files.push_back(a);
    }
  }
  const fs::path scratch =
      fs::temp_directory_path() / ("jetlift-compact-bench-" + std::to_string(::getpid()));
  fs::create_directories(scratch);
  if (files.empty()) {
    std::vector<std::pair<std::uintmax_t, std::string>> corpus;
    for (const auto& e : fs::directory_iterator(JETLIFT_CORPUS)) {
      const std::string ext = e.path().extension().string();
      if (ext == ".mdb" || ext == ".mda") corpus.emplace_back(e.file_size(), e.path().string());
    }
    std::sort(corpus.rbegin(), corpus.rend());
    for (std::size_t i = 0; corpusFiles && i < corpus.size() && i < 5; ++i)
      files.push_back(corpus[i].second);
    if (generateMb > 0) {
      const std::string generated = (scratch / "generated.mdb").string();
      const Run g = inChild([&] { generate(generated, generateMb); });
      std::printf("generated %s: %.1f MB in %.1f s, peak RSS %.1f MiB (writer alone)\n",
                  generated.c_str(),
                  fs::exists(generated) ? static_cast<double>(fs::file_size(generated)) / 1e6 : 0.0,
                  g.seconds, static_cast<double>(g.peakKiB) / 1024.0);
      files.push_back(generated);
    }
  }
  for (const auto& f : files) measure(f, scratch.string());
  if (!keep) fs::remove_all(scratch);
  return 0;
}
