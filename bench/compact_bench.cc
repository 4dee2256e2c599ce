// Compaction benchmark: for each file, `cp` of the file beside a compaction of
// the same file, each run in a child so its time and peak RSS are its own.
// A compaction flushes its result to disk (fsync) before linking it into
// place, so `cp` is timed twice: alone, and followed by an fsync of the copy.
// Three throughput ratios are printed: against cp, cp + fsync, and the floor
// (the result's bytes written from memory in 1 MB runs, straight to the disk
// where the file system allows, then flushed: what writing them durably costs
// with no other work to overlap; a compaction, which flushes while it works,
// may beat it); with the compaction's CPU time and peak RSS. Without files it takes the largest corpus files and a
// generated database of --generate MB (default 200), made with the writer from
// synthetic rows in the temporary folder. --runs N keeps the fastest of N runs
// of each (the machine may be shared); --to picks the target version.
// --table-rows N spreads the generated rows over tables of at most N rows
// (default for --to 2.0: 5000, so that every index fits the two levels a
// Jet 2.0 tree may have; otherwise one table).
// --frozen DIR times nothing: it compacts each file into DIR with a fixed
// creation date, so results of two builds can be compared byte for byte.
//
// compact_bench [--generate MB] [--table-rows N] [--no-corpus] [--keep] [--runs N]
//               [--to 2.0|3.0|4.0] [--frozen DIR] [FILE...]
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
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
  double cpuSeconds = 0;  // user + system of the child
  long peakKiB = 0;
  int status = 0;
};

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double secondsOf(const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; }

// Runs `body` in a child and returns its time and peak resident set; the
// child's error message, if any, comes back through a pipe into `error`.
template <class F>
Run inChild(F&& body, std::string* error = nullptr) {
  int pipeFds[2] = {-1, -1};
  if (::pipe(pipeFds) != 0) pipeFds[0] = pipeFds[1] = -1;
  const double t0 = now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    int rc = 0;
    try {
      body();
    } catch (const std::exception& e) {
      const std::string what = e.what();
      if (pipeFds[1] >= 0) {
        const ssize_t wrote = ::write(pipeFds[1], what.data(), what.size());
        (void)wrote;  // the parent then reports no message
      }
      rc = 1;
    }
    ::_exit(rc);
  }
  if (pipeFds[1] >= 0) ::close(pipeFds[1]);
  std::string message;
  char buffer[512];
  ssize_t got = 0;
  while (pipeFds[0] >= 0 && (got = ::read(pipeFds[0], buffer, sizeof buffer)) > 0) {
    message.append(buffer, static_cast<std::size_t>(got));
  }
  if (pipeFds[0] >= 0) ::close(pipeFds[0]);
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  if (error != nullptr) *error = message;
  return Run{now() - t0, secondsOf(usage.ru_utime) + secondsOf(usage.ru_stime), usage.ru_maxrss,
             status};
}

bool fsyncFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

struct Copy {
  double seconds = 0;       // cp alone
  double syncedSeconds = 0; // cp, then fsync of the copy
  bool ok = false;
};

// What writing `bytes` durably costs on its own: the bytes written from memory
// in 1 MB runs (direct writes where the file system takes them, else cached
// ones with writeback started after each), then an fsync. 0 when the file
// cannot be written.
double durableWriteSeconds(const std::string& path, std::uint64_t bytes) {
  constexpr std::size_t kRun = 1 << 20;
  std::unique_ptr<char, decltype(&std::free)> run(static_cast<char*>(std::aligned_alloc(4096, kRun)),
                                                  &std::free);
  if (!run) return 0;
  std::memset(run.get(), 'j', kRun);
  const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
  if (fd < 0) return 0;
  int direct = ::open(path.c_str(), O_WRONLY | O_DIRECT);
  const double t0 = now();
  bool ok = true;
  for (std::uint64_t at = 0; ok && at < bytes; at += kRun) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kRun, bytes - at));
    if (direct >= 0 && n % 4096 == 0 &&
        ::pwrite(direct, run.get(), n, static_cast<off_t>(at)) == static_cast<ssize_t>(n)) {
      continue;
    }
    if (direct >= 0 && errno == EINVAL) {
      ::close(direct);
      direct = -1;
    }
    ok = ::pwrite(fd, run.get(), n, static_cast<off_t>(at)) == static_cast<ssize_t>(n);
    ::sync_file_range(fd, static_cast<off_t>(at), static_cast<off_t>(n), SYNC_FILE_RANGE_WRITE);
  }
  ok = ok && ::fsync(fd) == 0;
  const double seconds = now() - t0;
  if (direct >= 0) ::close(direct);
  ::close(fd);
  fs::remove(path);
  return ok ? seconds : 0;
}

// cp through the real program; the copy is then flushed, timed on.
Copy copyOf(const std::string& src, const std::string& dst) {
  const double t0 = now();
  const std::string command = "cp '" + src + "' '" + dst + "'";
  const int status = std::system(command.c_str());
  const double copied = now();
  const bool synced = fsyncFile(dst);
  return Copy{copied - t0, now() - t0, status == 0 && synced};
}

// Rows of a synthetic table: numbers, a date, short text, and a memo long
// enough to go to long-value pages now and then.
class SyntheticRows : public jet::RowCursor {
 public:
  explicit SyntheticRows(std::uint64_t count, std::uint64_t first = 0)
      : count_(count), first_(first) {}
  bool next(jet::Row& row) override {
    if (at_ >= count_) return false;
    const std::uint64_t i = first_ + at_++;
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
  std::uint64_t first_;
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

// The synthetic table: a primary key and a text index.
jet::TableDef syntheticTable(const std::string& tableName) {
  jet::TableDef def;
  def.name = tableName;
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
  return def;
}

// About 400 bytes a row once compressed text and index entries are counted.
std::uint64_t rowsFor(std::uint64_t megabytes) { return megabytes * 1024 * 1024 / 400; }

// A Jet 4 database of about `megabytes` MB in one table.
void generate(const std::string& path, std::uint64_t megabytes) {
  SyntheticRows rows(rowsFor(megabytes));
  jet::DatabaseWriter w(path);
  w.addTable(syntheticTable("Synthetic"), rows);
  w.finish();
}

// The same rows spread over tables of at most `tableRows` rows each.
std::uint64_t generateTables(const std::string& path, std::uint64_t megabytes,
                             std::uint64_t tableRows) {
  const std::uint64_t total = rowsFor(megabytes);
  jet::DatabaseWriter w(path);
  std::uint64_t tables = 0;
  for (std::uint64_t first = 0; first < total; first += tableRows) {
    SyntheticRows rows(std::min(tableRows, total - first), first);
    w.addTable(syntheticTable("Synthetic" + std::to_string(++tables)), rows);
  }
  w.finish();
  return tables;
}

struct Target {
  const char* name;
  long code;
};
constexpr Target kTargets[] = {{"2.0", jet::kCompactJet20}, {"3.0", jet::kCompactJet30},
                               {"4.0", jet::kCompactJet40}};

void printHeader(const Target& to) {
  std::printf("compaction to Jet %s; MB/s of the source's size; best of the runs\n", to.name);
  std::printf("%-44s %8s %8s %9s %9s %9s %8s %8s %9s %7s %7s %7s %8s\n", "file", "MB", "out MB",
              "cp", "cp+fsync", "floor", "compact", "CPU s", "compact", "% cp", "% cp+fs",
              "% floor", "peak RSS");
  std::printf("%-44s %8s %8s %9s %9s %9s %8s %8s %9s %7s %7s %7s %8s\n", "", "", "", "MB/s", "MB/s",
              "MB/s", "s", "", "MB/s", "", "", "", "MiB");
}

void measure(const std::string& src, const std::string& scratch, const Target& to, int runs) {
  const double mb = static_cast<double>(fs::file_size(src)) / 1e6;
  const std::string copy = scratch + "/copy.bin";
  // Warm the page cache for both, so neither pays for the first read.
  copyOf(src, copy);
  fs::remove(copy);
  Copy cp{1e9, 1e9, true};
  Run c{1e9, 0, 0, 0};
  double outMb = 0;
  double floorSeconds = 1e9;
  std::string error;
  for (int run = 0; run < runs; ++run) {
    const Copy k = copyOf(src, copy);
    fs::remove(copy);
    cp.seconds = std::min(cp.seconds, k.seconds);
    cp.syncedSeconds = std::min(cp.syncedSeconds, k.syncedSeconds);
    cp.ok = cp.ok && k.ok;
    const std::string dst = scratch + "/compacted.mdb";
    fs::remove(dst);
    const Run r = inChild([&] { jet::compactDatabase(src, dst, to.code); }, &error);
    if (fs::exists(dst)) {
      const std::uint64_t outBytes = fs::file_size(dst);
      outMb = static_cast<double>(outBytes) / 1e6;
      fs::remove(dst);
      const double floor = durableWriteSeconds(copy, outBytes);
      if (floor > 0) floorSeconds = std::min(floorSeconds, floor);
    }
    if (r.status != 0) {
      c = r;
      break;
    }
    if (r.seconds < c.seconds) c = r;
  }
  const std::string name = fs::path(src).filename().string();
  if (c.status != 0) {
    std::printf("%-44s %8.1f  compaction failed: %s\n", name.c_str(), mb,
                error.empty() ? "(no message)" : error.c_str());
    std::fflush(stdout);
    return;
  }
  std::printf(
      "%-44s %8.1f %8.1f %9.1f %9.1f %9.1f %8.3f %8.3f %9.1f %6.1f%% %6.1f%% %6.1f%% %8.1f%s\n",
      name.c_str(), mb, outMb, mb / cp.seconds, mb / cp.syncedSeconds, mb / floorSeconds,
      c.seconds, c.cpuSeconds, mb / c.seconds, 100.0 * cp.seconds / c.seconds,
      100.0 * cp.syncedSeconds / c.seconds, 100.0 * floorSeconds / c.seconds,
      static_cast<double>(c.peakKiB) / 1024.0, cp.ok ? "" : "  (cp failed)");
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t generateMb = 200, tableRows = 0;
  bool keep = false, corpusFiles = true;
  int runs = 1;
  Target to = kTargets[2];
  std::vector<std::string> files;
  std::string frozen;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--generate" && i + 1 < argc) {
      generateMb = std::strtoull(argv[++i], nullptr, 10);
    } else if (a == "--table-rows" && i + 1 < argc) {
      tableRows = std::strtoull(argv[++i], nullptr, 10);
    } else if (a == "--no-corpus") {
      corpusFiles = false;
    } else if (a == "--frozen" && i + 1 < argc) {
      frozen = argv[++i];
    } else if (a == "--keep") {
      keep = true;
    } else if (a == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--to" && i + 1 < argc) {
      const std::string v = argv[++i];
      const auto it = std::find_if(std::begin(kTargets), std::end(kTargets),
                                   [&](const Target& t) { return v == t.name; });
      if (it == std::end(kTargets)) {
        std::fprintf(stderr, "compact_bench: --to takes 2.0, 3.0 or 4.0, not '%s'\n", v.c_str());
        return 2;
      }
      to = *it;
    } else if (a.starts_with("-")) {
      std::fprintf(stderr,
                   "usage: compact_bench [--generate MB] [--table-rows N] [--no-corpus] [--keep]\n"
                   "                     [--frozen DIR] [--runs N] [--to 2.0|3.0|4.0] [FILE...]\n");
      return a == "--help" ? 0 : 2;
    } else if (!fs::is_regular_file(a)) {
      std::fprintf(stderr, "compact_bench: '%s' is no file\n", a.c_str());
      return 2;
    } else {
      files.push_back(a);
    }
  }
  const fs::path scratch =
      fs::temp_directory_path() / ("jetlift-compact-bench-" + std::to_string(::getpid()));
  fs::create_directories(scratch);
  if (files.empty()) {
    std::vector<std::pair<std::uintmax_t, std::string>> corpus;
    std::error_code failed;
    if (corpusFiles) {
      for (fs::directory_iterator e(JETLIFT_CORPUS, failed), end; !failed && e != end;
           e.increment(failed)) {
        const std::string ext = e->path().extension().string();
        if (ext == ".mdb" || ext == ".mda") corpus.emplace_back(e->file_size(), e->path().string());
      }
    }
    if (failed) {
      std::fprintf(stderr, "compact_bench: cannot read the corpus folder %s: %s\n", JETLIFT_CORPUS,
                   failed.message().c_str());
      fs::remove_all(scratch);
      return 2;
    }
    std::sort(corpus.rbegin(), corpus.rend());
    for (std::size_t i = 0; i < corpus.size() && i < 5; ++i) files.push_back(corpus[i].second);
    if (generateMb > 0) {
      const std::string generated = (scratch / "generated.mdb").string();
      std::string error;
      if (tableRows == 0 && to.code == jet::kCompactJet20) tableRows = 5000;
      const Run g = inChild(
          [&] {
            if (tableRows > 0) {
              generateTables(generated, generateMb, tableRows);
            } else {
              generate(generated, generateMb);
            }
          },
          &error);
      if (tableRows > 0) {
        const std::uint64_t rows = rowsFor(generateMb);
        std::printf("generated %llu rows in tables of at most %llu rows\n",
                    static_cast<unsigned long long>(rows),
                    static_cast<unsigned long long>(tableRows));
      }
      std::printf("generated %s: %.1f MB in %.1f s, peak RSS %.1f MiB (writer alone)%s%s\n",
                  generated.c_str(),
                  fs::exists(generated) ? static_cast<double>(fs::file_size(generated)) / 1e6 : 0.0,
                  g.seconds, static_cast<double>(g.peakKiB) / 1024.0, error.empty() ? "" : ": ",
                  error.c_str());
      files.push_back(generated);
    }
  }
  if (!frozen.empty()) {
    fs::create_directories(frozen);
    int failed = 0;
    for (const auto& f : files) {
      const fs::path dst = fs::path(frozen) / (fs::path(f).filename().string() + ".to" + to.name);
      fs::remove(dst);
      jet::CompactOptions options;
      options.creationDate = 45000.5;
      try {
        jet::compactDatabase(f, dst.string(), to.code, options);
        std::printf("%s\n", dst.c_str());
      } catch (const std::exception& e) {
        std::printf("%s: %s\n", f.c_str(), e.what());
        ++failed;
      }
    }
    if (!keep) fs::remove_all(scratch);
    return failed == 0 ? 0 : 1;
  }
  printHeader(to);
  for (const auto& f : files) measure(f, scratch.string(), to, runs);
  if (!keep) fs::remove_all(scratch);
  return 0;
}
