// Property blobs (the LvProp long value of a catalog row): a signature, then
// chunks of property names and of value maps, one map for the object itself
// and one per named column. Every length is bounded by its chunk.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "jet/error.h"
#include "jet/schema.h"

namespace jet {

// `unicode`: names and text values are UTF-16 (Jet 4); else in `codePage`.
std::vector<PropertyMap> parsePropertyBlob(std::span<const std::uint8_t> blob, bool unicode,
                                           std::uint16_t codePage, const Where& where);

}  // namespace jet
