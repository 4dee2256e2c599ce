// Property blobs (MSysObjects.LvProp) in the Jet 4 form: "MR2\0", one name
// list, then one value block per map (the object's own, then per column).
#pragma once

#include <vector>

#include "jet/schema.h"
#include "jet/writer_bytes.h"

namespace jet {

// Empty when `maps` holds no property at all. Throws unsupported naming
// `what` for a value whose kind does not match its type code.
// A non-zero `codePage` makes the older form: "KKD\0" with names and text in
// that code page (Jet 2.0 files hold it).
ByteBuffer encodePropertyBlob(const std::vector<PropertyMap>& maps, const std::string& what,
                              std::uint16_t codePage = 0);

}  // namespace jet
