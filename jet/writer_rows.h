// Row encoding for Jet 4 tables: values to the bytes of one row (fixed area,
// variable area with its offset table, null mask), and text to Jet 4 text.
// Jet 3 rows share the value encoding and differ in their offset table.
// Long values that do not stay inline are handed to a LongValuePlacer.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "jet/database.h"
#include "jet/schema.h"
#include "jet/value.h"
#include "jet/writer_bytes.h"
#include "jet/writer_format.h"

namespace jet {

// Jet 4 text: "FF FE" + one byte per character when the column allows
// compression and that is shorter, else UTF-16LE.
ByteBuffer encodeJet4Text(const std::string& utf8, bool compressible);
// The same from UTF-16 units, into `out` (storage reused).
void encodeJet4Text(const std::u16string& units, bool compressible, ByteBuffer& out);

// Where a long value went: the 12-byte descriptor a row stores for it.
class LongValuePlacer {
 public:
  virtual ~LongValuePlacer() = default;
  // Stores `content` of column `column` on LVAL pages; appends its descriptor to `descriptor`.
  virtual void place(const Column& column, std::span<const std::uint8_t> content,
                     ByteBuffer& descriptor) = 0;
};

// The layout facts of a table the rows need, computed once per table.
struct RowShape {
  std::uint16_t columnCount = 0;  // max column number + 1
  std::uint16_t varCount = 0;
  std::uint16_t fixedSize = 0;
};
RowShape rowShape(const TableDef& table);

// Encodes the rows of one table, keeping its buffers from row to row (a
// table's rows are encoded one after the other, millions of them).
class RowEncoder {
 public:
  // Jet 3 text is stored in `codePage`.
  RowEncoder(const TableDef& table, const WriteFormat& format = writeFormat(4),
             std::uint16_t codePage = 1252);
  // Encodes `row` (one value per column of the table, in its order); the
  // bytes stay valid until the next call. Throws unsupported naming `what`
  // (and, when not 0, the row number) when a value does not fit its column
  // or the row cannot be made short enough.
  std::span<const std::uint8_t> encode(const Row& row, LongValuePlacer& placer,
                                       const std::string& what, std::uint32_t rowNumber = 0);
  // The text and memo columns marked in `columns` come from `cursor` as
  // their stored bytes (see RowCursor::keepStoredText); their values in the
  // rows only say whether they are null, or hold the decoded text of a value
  // kept without bytes. Jet 3 rows take them only when their code page holds
  // ASCII as itself.
  void takeStoredText(const std::vector<bool>& columns, const RowCursor& cursor);
  // Where variable column `varIndex` starts in the row encode gave last.
  std::size_t varStart(std::uint16_t varIndex) const;

 private:
  // Encodes kept column `i` from its stored bytes; false when it has none
  // and its value is to be encoded instead.
  bool storedValue(std::size_t i, const Column& c, const std::string& what,
                   std::uint32_t rowNumber);
  const TableDef& table_;
  const WriteFormat& format_;
  RowShape shape_;
  std::uint16_t codePage_;  // 0: Jet 4 Unicode
  ByteBuffer fixed_, mask_, out_;
  std::vector<ByteBuffer> vars_;
  std::vector<ByteBuffer> memos_;                    // per column: encoded memo text
  std::vector<std::span<const std::uint8_t>> longs_;  // per column: long value content
  std::vector<std::size_t> longValues_;
  std::vector<std::uint16_t> starts_;
  std::u16string units_;
  std::vector<bool> stored_;  // per column: its bytes come from cursor_
  const RowCursor* cursor_ = nullptr;
  bool storedAscii_ = false;  // cursor_ keeps plain ASCII, not Jet 4 text
  std::string text_;          // Jet 4 text decoded for a Jet 3 row
};

}  // namespace jet
