// Inputs the fuzzer once crashed or hung on, replayed: each must now read or
// fail with a jet::Error.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "fuzz/read_all.h"
#include "jet/error.h"

namespace {

TEST(FuzzRegression, EveryKeptInputEndsInAReadOrAnError) {
  int cases = 0;
  for (const auto& f : std::filesystem::directory_iterator(JETLIFT_FUZZ_CASES)) {
    if (f.path().extension() != ".bin") continue;
    SCOPED_TRACE(f.path().filename().string());
    std::ifstream in(f.path(), std::ios::binary);
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    try {
      jet_fuzz::readAll(std::move(bytes));
    } catch (const jet::Error& e) {
      EXPECT_GT(e.number(), 0);
    }
    ++cases;
  }
  RecordProperty("cases", cases);
  if (cases == 0) GTEST_SKIP() << "no fuzz finding kept yet";
}

}  // namespace
