// Compaction with its file output failing at every call in turn: each failure
// leaves the source byte-identical, no destination and no temporary file, and
// is reported naming the destination.
#include <gtest/gtest.h>

#include <fcntl.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "jet/check.h"
#include "jet/compactor.h"
#include "jet/database.h"
#include "jet/error.h"
#include "tests/corpus.h"
#include "tests/failing_output.h"
#include "tests/jet/writer_support.h"

namespace {

using namespace jet;
using fault_test::Call;
using fault_test::FailingOutput;
using writer_test::fileBytes;
using writer_test::Scratch;
namespace fs = std::filesystem;

std::vector<std::string> filesIn(const std::string& folder) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(folder)) out.push_back(e.path().filename().string());
  return out;
}

struct Scenario {
  const char* source;
  long code;
};

void PrintTo(const Scenario& s, std::ostream* os) { *os << s.source << " code " << s.code; }

class CompactionUnderFaults : public ::testing::TestWithParam<Scenario> {};

TEST_P(CompactionUnderFaults, EveryFailedCallLeavesTheSourceWholeAndNothingAtTheDestination) {
  Scratch dir;
  const std::string src = corpus::path(GetParam().source);
  const long code = GetParam().code;
  const std::string original = fileBytes(src);
  const std::string dst = dir.file("out.mdb");
  long total = 0;
  {
    FailingOutput counting;
    fault_test::Installed on(counting);
    compactDatabase(src, dst, code);
    total = static_cast<long>(counting.calls.size());
  }
  // The clean result is whole: checked when Jet 4, read in full otherwise.
  auto whole = [&](const std::string& where) {
    if (code == kCompactJet40) {
      EXPECT_TRUE(checkDatabase(dst).ok()) << where;
      return;
    }
    const auto db = Database::open(dst);
    EXPECT_EQ(db->version(), JetVersion::Jet3) << where;
    for (const auto& e : db->tables()) {
      if (!e.isLocalTable()) continue;
      auto rows = db->rows(db->tableDef(e));
      Row row;
      while (rows->next(row)) {
      }
    }
  };
  whole("the clean run");
  fs::remove(dst);
  ASSERT_GT(total, 5);
  std::map<std::string, int> failedKinds;
  for (long n = 1; n <= total; ++n) {
    FailingOutput failing;
    failing.failAt = n;
    std::string message;
    {
      fault_test::Installed on(failing);
      try {
        compactDatabase(src, dst, code);
      } catch (const Error& e) {
        message = e.what();
      }
    }
    ASSERT_TRUE(failing.failed()) << "call " << n << " of " << total << " was never made";
    const Call failed = failing.failedCall();
    ++failedKinds[fault_test::callName(failed)];
    const std::string where = "failing call " + std::to_string(n) + " (" +
                              fault_test::callName(failed) + ")";
    EXPECT_TRUE(fileBytes(src) == original) << where << " changed the source";
    if (failed == Call::FolderFlush) {
      // The file is complete and linked before the folder is flushed.
      EXPECT_EQ(message, "") << where;
      ASSERT_TRUE(fs::exists(dst)) << where;
      whole(where);
      EXPECT_EQ(filesIn(dir.file("")), std::vector<std::string>{"out.mdb"}) << where;
      fs::remove(dst);
      continue;
    }
    ASSERT_NE(message, "") << where << " was not reported";
    EXPECT_NE(message.find("'" + dst + "'"), std::string::npos) << where << ": " << message;
    EXPECT_NE(message.find(std::strerror(failing.failedErrno())), std::string::npos)
        << where << ": " << message;
    EXPECT_FALSE(fs::exists(dst)) << where;
    EXPECT_EQ(filesIn(dir.file("")), std::vector<std::string>{}) << where;
  }
  RecordProperty("faults_injected", static_cast<int>(total));
  std::string kinds;
  for (const auto& [kind, count] : failedKinds) kinds += kind + "=" + std::to_string(count) + " ";
  RecordProperty("failed_calls", kinds);
  std::cout << GetParam().source << " code " << code << ": " << total << " faults injected ("
            << kinds << ")\n";
}

INSTANTIATE_TEST_SUITE_P(
    Versions, CompactionUnderFaults,
    ::testing::Values(Scenario{"jet3-jackcess-delTest-access97.mdb", kCompactJet40},
                      Scenario{"jet3-jackcess-delTest-access97.mdb", kCompactJet30},
                      Scenario{"jet3-jackcess-test-access97.mdb", kCompactJet40},
                      Scenario{"jet4-jackcess-adox.mdb", kCompactJet40},
                      Scenario{"jet4-jackcess-adox.mdb", kCompactJet30},
                      // Outputs of several write runs: a failure on the writer
                      // thread surfaces at a later write or at the finish.
                      Scenario{"jet3-mdbtestdata-nwind.mdb", kCompactJet40},
                      Scenario{"jet3-mdbtestdata-nwind.mdb", kCompactJet30}));

TEST(CompactionOutput, ShortWritesStillGiveAWholeFile) {
  Scratch dir;
  const std::string src = corpus::path("jet3-jackcess-test-access97.mdb");
  compactDatabase(src, dir.file("plain.mdb"), kCompactJet40);
  FailingOutput shortening;
  shortening.shortWrites = 1000;
  {
    fault_test::Installed on(shortening);
    compactDatabase(src, dir.file("short.mdb"), kCompactJet40);
  }
  const CheckReport r = checkDatabase(dir.file("short.mdb"));
  EXPECT_TRUE(r.ok()) << (r.problems.empty() ? "" : r.problems.front());
  EXPECT_EQ(fs::file_size(dir.file("short.mdb")), fs::file_size(dir.file("plain.mdb")));
  EXPECT_EQ(r.rows, checkDatabase(dir.file("plain.mdb")).rows);
}

// Pages normally go to the disk with direct writes where the file system
// allows them; one that refuses them (EINVAL, as some do only at the first
// write) must still get the very same file through the page cache.
class NoDirectWrites : public FileOutput {
 public:
  ssize_t pwrite(int fd, const void* data, std::size_t size, off_t at) override {
    if (::fcntl(fd, F_GETFL) & O_DIRECT) {
      ++refused;
      errno = EINVAL;
      return -1;
    }
    return FileOutput::pwrite(fd, data, size, at);
  }
  int refused = 0;
};

TEST(CompactionOutput, AFileSystemWithoutDirectWritesGetsTheSameFile) {
  Scratch dir;
  CompactOptions options;
  options.creationDate = 45000.5;
  for (const auto& [source, code] : {std::pair{"jet4-northwind-2000-kbfakt.mdb", kCompactJet40},
                                     std::pair{"jet3-mdbtestdata-nwind.mdb", kCompactJet30}}) {
    const std::string src = corpus::path(source);
    const std::string usual = dir.file(std::string("usual-") + source);
    const std::string cached = dir.file(std::string("cached-") + source);
    compactDatabase(src, usual, code, options);
    NoDirectWrites refusing;
    {
      fault_test::Installed on(refusing);
      compactDatabase(src, cached, code, options);
    }
    EXPECT_LE(refusing.refused, 1) << "direct writes are given up after the first refusal";
    EXPECT_TRUE(fileBytes(usual) == fileBytes(cached)) << source;
  }
}

}  // namespace
