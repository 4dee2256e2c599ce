// Damaged real files: truncated at page boundaries and with single bytes
// changed at fixed-seed random places. Reading all of each must end in a
// result or a jet::Error: no crash, no hang, no other exception. Each case
// runs in a child process with a time limit.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "../corpus.h"
#include "jet/database.h"
#include "jet/error.h"

namespace {

// JETLIFT_LONG_DAMAGE=1 runs every page boundary and 1000 flips per file.
bool longRun() { return std::getenv("JETLIFT_LONG_DAMAGE") != nullptr; }

std::vector<char> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

void readEverything(const std::string& path) {
  auto db = jet::Database::open(path);
  for (const auto& entry : db->tables()) {
    if (!entry.isLocalTable()) continue;
    const jet::TableDef def = db->tableDef(entry);
    auto rows = db->rows(def);
    jet::Row row;
    while (rows->next(row)) {
    }
    db->properties(entry);
  }
  db->relationships();
  db->queries();
  db->databaseProperties();
}

enum class Outcome { Read, Refused, OtherException, Crashed, Hung };

const char* name(Outcome o) {
  switch (o) {
    case Outcome::Read: return "read";
    case Outcome::Refused: return "refused";
    case Outcome::OtherException: return "other exception";
    case Outcome::Crashed: return "crashed";
    case Outcome::Hung: return "hung";
  }
  return "?";
}

Outcome readInChild(const std::string& path) {
  const pid_t pid = fork();
  if (pid == 0) {
    alarm(20);
    try {
      readEverything(path);
      _exit(0);
    } catch (const jet::Error&) {
      _exit(1);
    } catch (...) {
      _exit(2);
    }
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFSIGNALED(status)) return WTERMSIG(status) == SIGALRM ? Outcome::Hung : Outcome::Crashed;
  switch (WEXITSTATUS(status)) {
    case 0: return Outcome::Read;
    case 1: return Outcome::Refused;
    default: return Outcome::OtherException;
  }
}

class DamagedCorpusFiles : public ::testing::TestWithParam<std::string> {
 protected:
  std::string scratch_ = (std::filesystem::temp_directory_path() /
                          ("jetlift_damage_" + std::to_string(getpid()) + ".mdb"))
                             .string();
  void TearDown() override { std::filesystem::remove(scratch_); }
  Outcome tryBytes(const std::vector<char>& bytes) {
    std::ofstream(scratch_, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return readInChild(scratch_);
  }
};

std::size_t pageSizeOf(const std::vector<char>& bytes) {
  const bool jet4 = bytes.size() > 0x14 && bytes[0] == 0 && bytes[0x14] == 1;
  return jet4 ? 4096 : 2048;
}

TEST_P(DamagedCorpusFiles, TruncatedAtPageBoundariesEndsInAnErrorOrAResult) {
  const auto original = readFile(corpus::path(GetParam()));
  const std::size_t page = pageSizeOf(original);
  const std::size_t pages = original.size() / page;
  const std::size_t step = longRun() ? 1 : std::max<std::size_t>(1, pages / 24);
  for (std::size_t n = 0; n < pages; n += step) {
    std::vector<char> cut(original.begin(), original.begin() + static_cast<long>(n * page));
    const Outcome o = tryBytes(cut);
    EXPECT_TRUE(o == Outcome::Read || o == Outcome::Refused)
        << GetParam() << " cut after " << n << " pages: " << name(o);
  }
}

TEST_P(DamagedCorpusFiles, FlippedBytesEndInAnErrorOrAResult) {
  const auto original = readFile(corpus::path(GetParam()));
  std::mt19937 random(20261206);
  std::uniform_int_distribution<std::size_t> where(0, original.size() - 1);
  std::uniform_int_distribution<int> value(0, 255);
  const int cases = longRun() ? 1000 : 60;
  for (int i = 0; i < cases; ++i) {
    std::vector<char> bytes = original;
    const std::size_t at = where(random);
    bytes[at] = static_cast<char>(value(random));
    const Outcome o = tryBytes(bytes);
    EXPECT_TRUE(o == Outcome::Read || o == Outcome::Refused)
        << GetParam() << " byte " << at << " changed: " << name(o);
  }
}

INSTANTIATE_TEST_SUITE_P(
    RealFiles, DamagedCorpusFiles,
    ::testing::Values("jet2-sighor-hor_udep-vb3app.mdb", "jet2-access20-dbstructwizard-wzstruc2.mda",
                      "jet3-jackcess-test-access97.mdb", "jet3-jackcess-overflowTest-access97.mdb",
                      "jet3-jackcess-encrypt-db97-enc.mdb", "jet4-jackcess-test-access2000.mdb",
                      "jet4-jackcess-indexTest-access2003.mdb", "jet4-address-database1.mdb"),
    [](const auto& info) {
      std::string n = info.param;
      for (char& c : n) {
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
      }
      return n;
    });

}  // namespace
