// Fuzz target: property blobs (LvProp) parsed on their own, as Jet 3 and Jet 4 would.
// Every failure must be a jet::Error; crashes, hangs and sanitizer reports are bugs.
#include <cstddef>
#include <cstdint>

#include "fuzz/read_all.h"
#include "jet/error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    jet_fuzz::readPropertyBlob({data, size});
  } catch (const jet::Error&) {
  }
  return 0;
}
