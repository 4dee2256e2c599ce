// Version detection on every real file of the corpus, and on files that only
// look like databases.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "../corpus.h"
#include "jet/error.h"
#include "jet/header.h"
#include "jet/page_file.h"

namespace {

std::string expectedVersion(const corpus::Entry& e) {
  if (e.jetVersion == "jet2") return "2.0";
  if (e.jetVersion == "jet3") return "3.0";
  if (e.jetVersion == "jet4") return "4.0";
  return "";
}

TEST(Version, EveryCorpusFileReportsTheVersionItIs) {
  const auto files = corpus::manifest();
  ASSERT_GT(files.size(), 80u);
  for (const auto& e : files) {
    SCOPED_TRACE(e.name);
    const std::string want = expectedVersion(e);
    if (want.empty()) {
      try {
        jet::PageFile f(corpus::path(e.name));
        ADD_FAILURE() << "opened a file that is not Jet";
      } catch (const jet::Error& err) {
        EXPECT_EQ(err.number(), jet::kErrNotADatabase) << err.what();
      }
    } else {
      jet::PageFile f(corpus::path(e.name));
      EXPECT_EQ(jet::versionText(f.header().version), want);
      EXPECT_EQ(f.pageSize(), want == "4.0" ? 4096u : 2048u);
    }
  }
}

TEST(Version, PasswordIsSeenOnlyWhereTheManifestSaysSo) {
  for (const auto& e : corpus::manifest()) {
    if (e.jetVersion == "not-jet") continue;
    SCOPED_TRACE(e.name);
    jet::PageFile f(corpus::path(e.name));
    const bool named = e.name.find("with-password") != std::string::npos ||
                       e.notes.find("password=") != std::string::npos ||
                       e.notes.find("database password") != std::string::npos;
    if (e.name.find("no-password") != std::string::npos) {
      EXPECT_FALSE(f.header().hasPassword);
    }
    if (e.name.find("with-password") != std::string::npos) {
      EXPECT_TRUE(f.header().hasPassword);
    }
    (void)named;
  }
}

class TempFile {
 public:
  explicit TempFile(const std::string& bytes) {
    // ctest runs each test in a process of its own, two at a time: the
    // process id keeps their files apart.
    path_ = (std::filesystem::temp_directory_path() /
             ("jetlift_version_" + std::to_string(::getpid()) + "_" + std::to_string(counter_++) +
              ".mdb"))
                .string();
    std::ofstream(path_, std::ios::binary) << bytes;
  }
  ~TempFile() { std::filesystem::remove(path_); }
  const std::string& path() const { return path_; }

 private:
  static inline int counter_ = 0;
  std::string path_;
};

long openError(const std::string& path) {
  try {
    jet::PageFile f(path);
  } catch (const jet::Error& e) {
    return e.number();
  }
  return 0;
}

TEST(Version, TextFileNamedMdbIsNotADatabase) {
  TempFile f(std::string(5000, 'x'));
  EXPECT_EQ(openError(f.path()), jet::kErrNotADatabase);
}

TEST(Version, EmptyAndShortFilesAreNotDatabases) {
  TempFile empty("");
  EXPECT_EQ(openError(empty.path()), jet::kErrNotADatabase);
  std::string head(100, '\0');
  head[1] = 1;
  head.replace(4, 15, "Standard Jet DB");
  TempFile shortFile(head);
  EXPECT_EQ(openError(shortFile.path()), jet::kErrNotADatabase);
}

TEST(Version, MissingFileAndFolderHaveTheirOwnNumbers) {
  EXPECT_EQ(openError("/nonexistent/x.mdb"), jet::kErrFileNotFound);
  EXPECT_EQ(openError(std::filesystem::temp_directory_path().string()), jet::kErrInvalidPath);
  EXPECT_EQ(openError(""), jet::kErrInvalidPath);
}

TEST(Version, Jet12MarksGiveOneDotZeroOneDotOneAndTwoDotZero) {
  for (auto [mark, text] : {std::pair{7, "1.0"}, {8, "1.1"}, {9, "2.0"}}) {
    std::string page(4096, '\0');
    page[0] = 1;
    page.replace(0x406, 4, "Rich");
    page[0x40A] = static_cast<char>(mark);
    TempFile f(page);
    jet::PageFile file(f.path());
    EXPECT_EQ(jet::versionText(file.header().version), text);
  }
  std::string page(4096, '\0');
  page[0] = 1;
  page.replace(0x406, 4, "Rich");
  page[0x40A] = 0x0A;
  TempFile unknown(page);
  EXPECT_EQ(openError(unknown.path()), jet::kErrNotADatabase);
}

TEST(Version, UnknownJetVersionByteIsRefused) {
  std::string page(4096, '\0');
  page[1] = 1;
  page.replace(4, 15, "Standard Jet DB");
  page[0x14] = 2;  // ACE 2007
  TempFile f(page);
  EXPECT_EQ(openError(f.path()), jet::kErrUnsupported);
}

}  // namespace
