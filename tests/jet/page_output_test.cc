// The page output gathers pages in windows that grow as the file does and
// takes them in any order: whatever the order, every page lands where its
// number says, with the bytes last written to it.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "jet/error.h"
#include "jet/writer_output.h"
#include "tests/failing_output.h"
#include "tests/jet/writer_support.h"

namespace {

using jet::PageOutput;
using writer_test::fileBytes;
using writer_test::Scratch;

// A page whose bytes name its number and the write that made it.
std::vector<std::uint8_t> pattern(std::size_t pageSize, std::uint32_t page, std::uint8_t version) {
  std::vector<std::uint8_t> b(pageSize);
  for (std::size_t i = 0; i < pageSize; ++i) {
    b[i] = static_cast<std::uint8_t>((page * 31 + i * 7 + version * 101) & 0xFF);
  }
  b[0] = static_cast<std::uint8_t>(page);
  b[1] = static_cast<std::uint8_t>(page >> 8);
  return b;
}

class PageOutputOrder : public ::testing::TestWithParam<std::size_t> {};

TEST_P(PageOutputOrder, PagesWrittenOutOfOrderAcrossGrowingWindowsLandInPlace) {
  const std::size_t pageSize = GetParam();
  Scratch dir;
  const std::string path = dir.file("pages.bin");
  // Past several windows of each size, so that windows grow while pages
  // are still open below them.
  constexpr std::uint32_t kPages = 9000;
  std::vector<std::uint8_t> last(kPages, 0);  // version last written to each page
  {
    PageOutput out(path, pageSize, 1ull << 32);
    ASSERT_EQ(out.allocate(4), 0u);  // definitions, written at the end
    std::uint32_t open = 0;          // a page held open while later ones are written
    for (std::uint32_t p = 4; p < kPages; ++p) {
      ASSERT_EQ(out.allocate(), p);
      if (p % 37 == 4) {
        if (open != 0) out.write(open, pattern(pageSize, open, last[open] = 1));
        open = p;  // like a data page that fills while long values go after it
        continue;
      }
      out.write(p, pattern(pageSize, p, last[p] = 1));
      // Now and then a page far behind is written again.
      if (p % 1500 == 0) out.write(p - 1400, pattern(pageSize, p - 1400, last[p - 1400] = 2));
    }
    out.write(open, pattern(pageSize, open, last[open] = 1));
    for (std::uint32_t p = 0; p < 4; ++p) out.write(p, pattern(pageSize, p, last[p] = 3));
    out.finish();
  }
  const std::string bytes = fileBytes(path);
  ASSERT_EQ(bytes.size(), kPages * pageSize);
  std::uint32_t wrong = 0;
  for (std::uint32_t p = 0; p < kPages; ++p) {
    const std::vector<std::uint8_t> want = pattern(pageSize, p, last[p]);
    if (!std::equal(want.begin(), want.end(),
                    reinterpret_cast<const std::uint8_t*>(bytes.data()) + p * pageSize)) {
      ++wrong;
    }
  }
  EXPECT_EQ(wrong, 0u);
}

INSTANTIATE_TEST_SUITE_P(JetPageSizes, PageOutputOrder, ::testing::Values(2048, 4096));

// File calls that count flushes and can fail the first, as a disk may while
// the file is still being written. Flushes come from the output's own thread.
class CountedFlushes : public jet::FileOutput {
 public:
  bool failFirst = false;
  std::atomic<int> flushes{0};
  int fsync(int fd) override {
    if (flushes.fetch_add(1) == 0 && failFirst) {
      errno = EIO;
      return -1;
    }
    return FileOutput::fsync(fd);
  }
};

// Writes `pages` pages in order and finishes; the error message, if any.
std::string writePages(const std::string& path, std::uint32_t pages) {
  try {
    PageOutput out(path, 4096, 1ull << 32);
    for (std::uint32_t p = 0; p < pages; ++p) {
      out.allocate();
      out.write(p, pattern(4096, p, 1));
    }
    out.finish();
  } catch (const jet::Error& e) {
    return e.what();
  }
  return "";
}

TEST(PageOutputFlushes, ALargeFileIsFlushedWhileWrittenASmallOneOnlyAtTheEnd) {
  Scratch dir;
  CountedFlushes large, small;
  {
    fault_test::Installed on(large);
    EXPECT_EQ(writePages(dir.file("large.bin"), 9000), "");  // 36 MB
  }
  {
    fault_test::Installed on(small);
    EXPECT_EQ(writePages(dir.file("small.bin"), 500), "");  // 2 MB
  }
  EXPECT_GE(large.flushes.load(), 2);
  EXPECT_EQ(small.flushes.load(), 1);
}

// A later fsync of the same file need not report the error again, so the
// one seen while writing must fail the file itself.
TEST(PageOutputFlushes, AFlushThatFailsWhileWritingFailsTheFile) {
  Scratch dir;
  CountedFlushes calls;
  calls.failFirst = true;
  std::string message;
  {
    fault_test::Installed on(calls);
    message = writePages(dir.file("large.bin"), 9000);
  }
  EXPECT_NE(message.find(std::string("flushing: ") + std::strerror(EIO)), std::string::npos)
      << message;
  EXPECT_NE(message.find("large.bin"), std::string::npos) << message;
}

}  // namespace
