// Fuzz target: every index B-tree of one table of a page set, walked to the end.
// Every failure must be a jet::Error; crashes, hangs and sanitizer reports are bugs.
#include <cstddef>
#include <cstdint>

#include "fuzz/read_all.h"
#include "jet/error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    jet_fuzz::walkIndexes({data, size});
  } catch (const jet::Error&) {
  }
  return 0;
}
