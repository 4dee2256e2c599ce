// Property blobs (MSysObjects.LvProp): a signature ("MR2\0" in Jet 4,
// "KKD\0" before it), one name list, then one value block per map (the
// object's own, then per column). Jet 4 stores their text as UTF-16, Jet 3
// in the database's code page.
#pragma once

#include <vector>

#include "jet/schema.h"
#include "jet/writer_bytes.h"

namespace jet {

struct PropertyTextForm {
  bool unicode = true;
  std::uint16_t codePage = 1252;
};

// Empty when `maps` holds no property at all. Throws unsupported naming
// `what` for a value whose kind does not match its type code, or for text
// the code page cannot hold.
ByteBuffer encodePropertyBlob(const std::vector<PropertyMap>& maps, const std::string& what,
                              PropertyTextForm form = {});

}  // namespace jet
