// Fuzz target: table definitions of a page set: Jet 3/4 one TDEF chain, Jet 1.x/2.0 the whole
// catalog. Every failure must be a jet::Error; crashes, hangs and sanitizer reports are bugs.
#include <cstddef>
#include <cstdint>

#include "fuzz/read_all.h"
#include "jet/error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    jet_fuzz::readSchema({data, size});
  } catch (const jet::Error&) {
  }
  return 0;
}
