// Row encoding for Jet 4 tables: values to the bytes of one row (fixed area,
// variable area with its offset table, null mask), and text to Jet 4 text.
// Long values that do not stay inline are handed to a LongValuePlacer.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "jet/schema.h"
#include "jet/value.h"
#include "jet/writer_bytes.h"
#include "jet/writer_format.h"

namespace jet {

// Jet 4 text: "FF FE" + one byte per character when the column allows
// compression and that is shorter, else UTF-16LE.
ByteBuffer encodeJet4Text(const std::string& utf8, bool compressible);

// Where a long value went: the 12-byte descriptor a row stores for it.
class LongValuePlacer {
 public:
  virtual ~LongValuePlacer() = default;
  // Stores `content` of column `column` on LVAL pages; returns its descriptor.
  virtual ByteBuffer place(const Column& column, std::span<const std::uint8_t> content) = 0;
};

// The layout facts of a table the rows need, computed once per table.
struct RowShape {
  std::uint16_t columnCount = 0;  // max column number + 1
  std::uint16_t varCount = 0;
  std::uint16_t fixedSize = 0;
};
RowShape rowShape(const TableDef& table);

// Encodes `row` (one value per column of `table`, in its order). Throws
// unsupported naming `what` when a value does not fit its column or the row
// cannot be made short enough.
// Jet 3 text is stored in `codePage`.
ByteBuffer encodeRow(const TableDef& table, const RowShape& shape, const Row& row,
                     LongValuePlacer& placer, const std::string& what,
                     const WriteFormat& format = writeFormat(4), std::uint16_t codePage = 1252);

}  // namespace jet
