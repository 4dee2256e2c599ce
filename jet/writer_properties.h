// Property blobs (MSysObjects.LvProp) in the Jet 4 form: "MR2\0", one name
// list, then one value block per map (the object's own, then per column).
#pragma once

#include <vector>

#include "jet/schema.h"
#include "jet/writer_bytes.h"

namespace jet {

// Empty when `maps` holds no property at all. Throws unsupported naming
// `what` for a value whose kind does not match its type code.
ByteBuffer encodePropertyBlob(const std::vector<PropertyMap>& maps, const std::string& what);

}  // namespace jet
