// Inputs a fuzz target once crashed or hung on, replayed through the same
// code the target runs: each must now end normally or in a jet::Error.
// tests/jet/fuzz_cases/NAME holds the cases of NAME_fuzzer.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "fuzz/read_all.h"
#include "jet/error.h"

namespace {

using Replay = std::function<void(std::vector<std::uint8_t>)>;

int replayAll(const std::string& name, const Replay& replay) {
  int cases = 0;
  const std::filesystem::path dir = std::filesystem::path(JETLIFT_FUZZ_CASES) / name;
  if (!std::filesystem::is_directory(dir)) return 0;
  for (const auto& f : std::filesystem::directory_iterator(dir)) {
    if (f.path().extension() != ".bin") continue;
    SCOPED_TRACE(name + "/" + f.path().filename().string());
    std::ifstream in(f.path(), std::ios::binary);
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    try {
      replay(std::move(bytes));
    } catch (const jet::Error& e) {
      EXPECT_GT(e.number(), 0);
    }
    ++cases;
  }
  return cases;
}

struct Target {
  const char* name;
  Replay replay;
};

class FuzzRegression : public ::testing::TestWithParam<Target> {};

TEST_P(FuzzRegression, EveryKeptInputEndsInAResultOrAnError) {
  const int cases = replayAll(GetParam().name, GetParam().replay);
  RecordProperty("cases", cases);
  if (cases == 0) GTEST_SKIP() << "no finding kept for " << GetParam().name << "_fuzzer";
}

INSTANTIATE_TEST_SUITE_P(
    Targets, FuzzRegression,
    ::testing::Values(
        Target{"open", [](std::vector<std::uint8_t> b) { jet_fuzz::readAll(std::move(b)); }},
        Target{"property_blob", [](std::vector<std::uint8_t> b) { jet_fuzz::readPropertyBlob(b); }},
        Target{"schema", [](std::vector<std::uint8_t> b) { jet_fuzz::readSchema(b); }},
        Target{"index", [](std::vector<std::uint8_t> b) { jet_fuzz::walkIndexes(b); }},
        Target{"long_value", [](std::vector<std::uint8_t> b) { jet_fuzz::readLongValue(b); }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
