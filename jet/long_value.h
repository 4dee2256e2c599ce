// Long values (Memo, OLE): the 12-byte field in the row, and the LVAL rows it
// points to (one row, or a chain). The result never exceeds the stated
// length; a chain that loops or ends early is damage.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "jet/byte_reader.h"
#include "jet/data_page.h"
#include "jet/page_file.h"
#include "jet/value.h"

namespace jet {

// Reads the value whose 12-byte header starts `field`; `out` is replaced.
void readLongValue(const PageFile& file, std::span<const std::uint8_t> field, const Where& where,
                   Bytes& out);
// The same for a field lying at [at, at + size) of a page.
void readLongValue(const PageFile& file, const ByteReader& page, std::size_t at, std::size_t size,
                   Bytes& out);
// The LVAL page a value was last read from: the values of a column mostly
// follow each other on one page, and the next needs no lookup then.
struct LongValuePage {
  std::optional<DataPage> page;
};

// The same without a copy where the value lies in one place (in the row, or
// in one LVAL row whose page `held` then keeps); a chain is gathered into
// `scratch`. The bytes stay valid while `held`, `scratch` and `page` do.
std::span<const std::uint8_t> longValueBytes(const PageFile& file, const ByteReader& page,
                                             std::size_t at, std::size_t size, Bytes& scratch,
                                             LongValuePage& held);

}  // namespace jet
