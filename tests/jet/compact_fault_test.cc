// Compaction under faults: killed at random moments, denied its folder, or
// stopped by a full disk, it leaves the source as it was and never a partial
// destination.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "jet/check.h"
#include "jet/compactor.h"
#include "jet/error.h"
#include "tests/corpus.h"
#include "tests/jet/writer_support.h"

namespace {

using namespace jet;
using writer_test::fileBytes;
using writer_test::Scratch;
namespace fs = std::filesystem;

const char* const kSource = "jet3-mdbtestdata-nwind.mdb";

std::vector<std::string> filesIn(const std::string& folder) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(folder)) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

// Runs `body` in a child; returns its exit status and what it wrote to the pipe.
std::pair<int, std::string> inChild(const std::function<void(int fd)>& body) {
  int p[2];
  if (::pipe(p) != 0) return {-1, ""};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(p[0]);
    body(p[1]);
    ::_exit(0);
  }
  ::close(p[1]);
  std::string said;
  char buffer[512];
  ssize_t n;
  while ((n = ::read(p[0], buffer, sizeof buffer)) > 0)
    said.append(buffer, static_cast<std::size_t>(n));
  ::close(p[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return {status, said};
}

void compactReporting(const std::string& src, const std::string& dst, int fd) {
  try {
    compactDatabase(src, dst, kCompactJet40);
  } catch (const Error& e) {
    const std::string what = e.what();
    (void)!::write(fd, what.data(), what.size());
    ::_exit(1);
  }
}

TEST(CompactFaults, AKilledCompactionLeavesTheSourceAndNoPartialDestination) {
  Scratch dir;
  const std::string src = corpus::path(kSource);
  const std::string original = fileBytes(src);
  const std::string dst = dir.file("killed.mdb");
  // One clean run sets the range the kill moments are drawn from.
  const auto t0 = std::chrono::steady_clock::now();
  compactDatabase(src, dst, kCompactJet40);
  const auto span =
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0);
  fs::remove(dst);
  std::mt19937 random(20261206);
  std::uniform_int_distribution<long> moment(0, std::max<long>(1, span.count() * 11 / 10));
  int whole = 0, none = 0;
  for (int kill = 0; kill < 20; ++kill) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      try {
        compactDatabase(src, dst, kCompactJet40);
      } catch (...) {
        ::_exit(1);
      }
      ::_exit(0);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(fileBytes(src) == original) << "kill " << kill << " changed the source";
    if (fs::exists(dst)) {
      ++whole;
      const CheckReport r = checkDatabase(dst);
      EXPECT_TRUE(r.ok()) << "kill " << kill << " left a destination that fails the check: "
                          << (r.problems.empty() ? "" : r.problems.front());
      fs::remove(dst);
    } else {
      ++none;
    }
  }
  // A clean run afterwards removes what the killed ones left behind.
  compactDatabase(src, dst, kCompactJet40);
  EXPECT_EQ(filesIn(fs::path(dst).parent_path().string()), std::vector<std::string>{"killed.mdb"});
  EXPECT_GT(none, 0) << "no kill landed before the end; the moments prove nothing";
  RecordProperty("killed_before_link", none);
  RecordProperty("finished_before_kill", whole);
}

TEST(CompactFaults, ATemporaryFileOfALiveProcessIsLeftAlone) {
  Scratch dir;
  const std::string dst = dir.file("live.mdb");
  // Our parent is alive: its temporary file must survive our compaction.
  const std::string theirs =
      dir.file(".live.mdb.compact-" + std::to_string(::getppid()) + "-0.tmp");
  std::ofstream(theirs) << "x";
  compactDatabase(corpus::path(kSource), dst, kCompactJet40);
  EXPECT_TRUE(fs::exists(theirs));
  EXPECT_TRUE(fs::exists(dst));
}

TEST(CompactFaults, AReadOnlyFolderGivesAnErrorNamingTheDestinationAndLeavesNothing) {
  Scratch dir;
  const std::string folder = dir.file("locked");
  fs::create_directories(folder);
  ::chmod(dir.file("").c_str(), 0755);
  ::chmod(folder.c_str(), 0555);
  const std::string dst = folder + "/out.mdb";
  const auto [status, said] = inChild([&](int fd) {
    // Root writes anywhere: drop to an unprivileged user for the attempt.
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
    compactReporting(corpus::path(kSource), dst, fd);
  });
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 1) << said;
  EXPECT_NE(said.find(dst), std::string::npos) << said;
  EXPECT_TRUE(filesIn(folder).empty());
  ::chmod(folder.c_str(), 0755);
}

TEST(CompactFaults, AFullDiskGivesAnErrorNamingTheDestinationAndLeavesNothing) {
  Scratch dir;
  const std::string dst = dir.file("full.mdb");
  const auto [status, said] = inChild([&](int fd) {
    // A file size limit of 256 KiB stands for a full disk: writes past it fail.
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{256 * 1024, 256 * 1024};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(3);
    compactReporting(corpus::path(kSource), dst, fd);
  });
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 1) << said;
  EXPECT_NE(said.find(dst), std::string::npos) << said;
  EXPECT_NE(said.find("File too large"), std::string::npos) << said;
  EXPECT_EQ(filesIn(dir.file("")), std::vector<std::string>{});
}

TEST(CompactFaults, AnExistingDestinationIsRefusedAndKept) {
  Scratch dir;
  const std::string dst = dir.file("there.mdb");
  std::ofstream(dst) << "keep";
  try {
    compactDatabase(corpus::path(kSource), dst, kCompactJet40);
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrDestinationExists);
  }
  EXPECT_EQ(fileBytes(dst), "keep");
}

}  // namespace
