// Damaged real files: every corpus file truncated at page boundaries and with
// single bytes changed at fixed-seed random places. Each case opens the file,
// lists its tables, dumps every row and compacts it to a scratch folder, in a
// child process with a time and a memory limit. It must end in a result or a
// jet::Error that names the file: no crash, hang, runaway memory or other
// exception. A compaction that succeeds must give a file that reads back
// whole with the same tables; one that fails must leave nothing behind.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>

#include "../corpus.h"
#include "jet/compactor.h"
#include "jet/database.h"
#include "jet/error.h"

namespace {

namespace fs = std::filesystem;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// Sanitized code runs several times slower; the limit is for hangs, not speed.
constexpr unsigned kSecondsPerCase = kSanitized ? 90 : 30;
constexpr long kMaxResidentKb = 1024 * 1024;       // 1 GiB
constexpr rlim_t kAddressSpace = rlim_t(3) << 30;  // ASan needs far more address space

// JETLIFT_LONG_DAMAGE=1: every page boundary and 1000 changed bytes per file.
bool longRun() { return std::getenv("JETLIFT_LONG_DAMAGE") != nullptr; }

std::vector<char> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

// A compaction makes the catalog tables anew, whatever flags a damaged
// catalog gives them, so only the other tables carry their rows across.
bool isUserTable(const jet::CatalogEntry& entry) {
  return entry.isLocalTable() && !jet::isRebuiltCatalogTable(entry.name) &&
         (entry.attributes() & 0x80000002) == 0;
}

// list and dump: every definition, every row, and the catalog's other parts.
// Gives the rows of each user table (system tables differ between versions:
// Jet 2 keeps its columns and indexes in tables of their own).
std::map<std::string, std::size_t> readEverything(const jet::Database& db) {
  std::map<std::string, std::size_t> rowsOf;
  for (const auto& entry : db.tables()) {
    if (!entry.isLocalTable()) continue;
    const jet::TableDef def = db.tableDef(entry);
    auto rows = db.rows(def);
    jet::Row row;
    std::size_t n = 0;
    while (rows->next(row)) ++n;
    if (isUserTable(entry)) rowsOf[entry.name] = n;
    db.properties(entry);
  }
  db.relationships();
  db.queries();
  db.databaseProperties();
  return rowsOf;
}

// Child exit codes.
enum Code {
  kRead = 0,
  kRefused = 1,
  kOtherException = 2,
  kVagueError = 3,     // a jet::Error without a number or without the file's name
  kLeftBehind = 4,     // a failed compaction left a file in the destination folder
  kBadCompaction = 5,  // the compacted file does not read back, or lacks tables or rows
};

int vetted(const jet::Error& e, const std::string& name) {
  const std::string what = e.what();
  return e.number() > 0 && what.find(name) != std::string::npos ? kRefused : kVagueError;
}

int runCase(const std::string& path, const std::string& outFolder) {
  const std::string name = fs::path(path).filename().string();
  std::map<std::string, std::size_t> rowsBefore;
  try {
    const auto db = jet::Database::open(path);
    rowsBefore = readEverything(*db);
  } catch (const jet::Error& e) {
    return vetted(e, name);
  } catch (...) {
    return kOtherException;
  }
  const std::string destination = outFolder + "/compacted.mdb";
  try {
    jet::compactDatabase(path, destination, jet::kCompactJet40);
  } catch (const jet::Error& e) {
    if (!fs::is_empty(outFolder)) return kLeftBehind;
    return vetted(e, name) == kRefused ||
                   std::string(e.what()).find("compacted.mdb") != std::string::npos
               ? kRefused
               : kVagueError;
  } catch (...) {
    return kOtherException;
  }
  try {
    const auto copy = jet::Database::open(destination);
    // Every user table of the source, with all its rows.
    const auto rowsAfter = readEverything(*copy);
    for (const auto& [table, rows] : rowsBefore) {
      const auto found = rowsAfter.find(table);
      if (found == rowsAfter.end() || found->second != rows) return kBadCompaction;
    }
  } catch (...) {
    return kBadCompaction;
  }
  return kRead;
}

struct Outcome {
  int code = -1;  // child exit code, or -1 when killed
  int signal = 0;
  long residentKb = 0;
  bool ok() const { return code == kRead || code == kRefused; }
};

std::string describe(const Outcome& o) {
  if (o.signal == SIGALRM) return "hung (over " + std::to_string(kSecondsPerCase) + " s)";
  if (o.signal != 0) return "crashed (signal " + std::to_string(o.signal) + ")";
  if (o.residentKb > kMaxResidentKb) return "used " + std::to_string(o.residentKb) + " KiB";
  switch (o.code) {
    case kOtherException:
      return "an exception that is not a jet::Error";
    case kVagueError:
      return "an error without a number or the file's name";
    case kLeftBehind:
      return "a failed compaction left a file behind";
    case kBadCompaction:
      return "the compacted file does not read back alike";
    default:
      return "exit " + std::to_string(o.code);
  }
}

Outcome inChild(const std::string& path, const std::string& outFolder) {
  const pid_t pid = fork();
  if (pid == 0) {
    alarm(kSecondsPerCase);
    if (!kSanitized) {
      const rlimit limit{kAddressSpace, kAddressSpace};
      setrlimit(RLIMIT_AS, &limit);
    }
    _exit(runCase(path, outFolder));
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  Outcome o;
  o.residentKb = usage.ru_maxrss;
  if (WIFSIGNALED(status)) {
    o.signal = WTERMSIG(status);
  } else {
    o.code = WEXITSTATUS(status);
  }
  if (o.residentKb > kMaxResidentKb) o.code = -1;
  return o;
}

class DamagedCorpusFiles : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    scratch_ = fs::temp_directory_path() / ("jetlift_damage_" + std::to_string(getpid()));
    fs::remove_all(scratch_);
    fs::create_directories(scratch_ / "out");
    original_ = readFile(corpus::path(GetParam()));
    ASSERT_FALSE(original_.empty()) << corpus::path(GetParam());
  }
  void TearDown() override { fs::remove_all(scratch_); }

  // Writes the damaged copy under the corpus file's own name and runs one case.
  Outcome tryBytes(const std::vector<char>& bytes) {
    const fs::path file = scratch_ / GetParam();
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    for (const auto& e : fs::directory_iterator(scratch_ / "out")) fs::remove_all(e.path());
    ++cases_;
    return inChild(file.string(), (scratch_ / "out").string());
  }
  void TearDownCases() { RecordProperty("cases", cases_); }

  fs::path scratch_;
  std::vector<char> original_;
  int cases_ = 0;
};

std::size_t pageSizeOf(const std::vector<char>& bytes) {
  const bool jet4 = bytes.size() > 0x14 && bytes[0] == 0 && bytes[0x14] == 1;
  return jet4 ? 4096 : 2048;
}

// A different but fixed sequence for each file.
std::mt19937 randomFor(const std::string& name) {
  std::seed_seq seed(name.begin(), name.end());
  return std::mt19937(seed);
}

TEST_P(DamagedCorpusFiles, TruncatedAtPageBoundariesEndsInAnErrorOrAResult) {
  const std::size_t page = pageSizeOf(original_);
  const std::size_t pages = original_.size() / page;
  // CI: the first pages (header, catalog) and a few cuts spread over the file.
  std::vector<std::size_t> cuts;
  if (longRun()) {
    for (std::size_t n = 0; n < pages; ++n) cuts.push_back(n);
  } else {
    for (std::size_t n : {std::size_t{0}, std::size_t{1}, std::size_t{3}}) cuts.push_back(n);
    std::mt19937 random = randomFor(GetParam());
    std::uniform_int_distribution<std::size_t> where(4, std::max<std::size_t>(4, pages - 1));
    for (int i = 0; i < 2; ++i) cuts.push_back(where(random));
  }
  for (const std::size_t n : cuts) {
    if (n >= pages) continue;
    const std::vector<char> cut(original_.begin(), original_.begin() + static_cast<long>(n * page));
    const Outcome o = tryBytes(cut);
    EXPECT_TRUE(o.ok()) << GetParam() << " cut after " << n << " pages: " << describe(o);
  }
  TearDownCases();
}

TEST_P(DamagedCorpusFiles, FlippedBytesEndInAnErrorOrAResult) {
  std::mt19937 random(20261206);
  std::uniform_int_distribution<std::size_t> where(0, original_.size() - 1);
  std::uniform_int_distribution<int> value(0, 255);
  const int cases = longRun() ? 1000 : 6;
  for (int i = 0; i < cases; ++i) {
    std::vector<char> bytes = original_;
    const std::size_t at = where(random);
    bytes[at] = static_cast<char>(value(random));
    const Outcome o = tryBytes(bytes);
    EXPECT_TRUE(o.ok()) << GetParam() << " byte " << at << " changed from "
                        << int{static_cast<std::uint8_t>(original_[at])} << " to "
                        << int{static_cast<std::uint8_t>(bytes[at])} << ": " << describe(o);
  }
  TearDownCases();
}

std::vector<std::string> everyCorpusFile() {
  std::vector<std::string> names;
  for (const auto& e : corpus::manifest()) names.push_back(e.name);
  return names;
}

INSTANTIATE_TEST_SUITE_P(RealFiles, DamagedCorpusFiles, ::testing::ValuesIn(everyCorpusFile()),
                         [](const auto& info) {
                           std::string n = info.param;
                           for (char& c : n) {
                             if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return n;
                         });

}  // namespace
