// Fuzz target: property blobs (LvProp) parsed on their own, as Jet 3 and Jet 4 would.
#include <cstddef>
#include <cstdint>

#include "jet/error.h"
#include "jet/property_blob.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> blob(data, size);
  for (const bool unicode : {false, true}) {
    try {
      jet::parsePropertyBlob(blob, unicode, 1252, jet::Where{"fuzz.mdb", -1});
    } catch (const jet::Error&) {
    }
  }
  return 0;
}
