// RowDecoder: turns the bytes of one row of one table into Values, one per
// column of the TableDef. Offsets that point outside the row, or that run
// backwards, are damage; columns newer than the row read as null.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "jet/byte_reader.h"
#include "jet/long_value.h"
#include "jet/page_file.h"
#include "jet/schema.h"
#include "jet/value.h"

namespace jet {

class RowDecoder {
 public:
  // `wanted`, when not empty, selects the columns to decode; the others stay null.
  RowDecoder(const PageFile& file, const TableDef& table, std::vector<bool> wanted = {});

  // Decodes the row occupying [start, end) of `page` into `row`.
  void decode(const ByteReader& page, std::size_t start, std::size_t end, Row& row);

  // The variable text and memo columns marked in `columns` keep their
  // stored bytes (stored()), and their values are Null or an empty string.
  // Jet 4 files keep every value; Jet 3 files only plain ASCII text (the same
  // bytes in every code page it is kept for): other values are decoded as
  // usual and have no stored bytes. False, and nothing kept, for other files.
  bool keepStored(const std::vector<bool>& columns);
  // Whether kept values are plain ASCII bytes (Jet 3) rather than Jet 4 text.
  bool storedAsAscii() const { return !jet4_; }
  std::span<const std::uint8_t> stored(std::size_t column) const {
    return column < stored_.size() ? stored_[column] : std::span<const std::uint8_t>();
  }

 private:
  struct Layout {
    std::size_t start, end, fixedStart, maskAt;
    unsigned columnCount, variableCount;
  };
  Layout locate(const ByteReader& page, std::size_t start, std::size_t end);
  void readVariableOffsets(const ByteReader& page, Layout& at);
  void readJet3Offsets(const ByteReader& page, Layout& at);
  bool present(const ByteReader& page, const Layout& at, unsigned number) const;
  void decodeColumn(const ByteReader& page, const Layout& at, const Column& c, Value& v);
  void keepColumn(const ByteReader& page, const Layout& at, const Column& c, std::size_t i,
                  Value& v);
  void decodeValue(const Column& c, const ByteReader& page, std::size_t at, std::size_t length,
                   Value& v);
  void decodeText(std::span<const std::uint8_t> bytes, const Column& c, std::string& out) const;

  const PageFile& file_;
  const TableDef& table_;
  std::vector<bool> wanted_;
  bool jet4_;
  std::uint16_t codePage_;
  std::vector<std::size_t> offsets_;  // variable offsets of the current row, reused
  Bytes longValue_;  // a chained long value being decoded
  LongValuePage longValuePage_;
  std::vector<bool> keep_;     // per column: keeps its stored bytes
  // Per column: the stored bytes of the current row, which lie in the row's
  // page, in a long-value page kept in heldPages_, or in chains_.
  std::vector<std::span<const std::uint8_t>> stored_;
  std::vector<LongValuePage> heldPages_;
  std::vector<Bytes> chains_;
};

// The fixed size in the row of a value of `type`, or 0 for variable types.
std::size_t fixedSizeOf(ColumnType type);

}  // namespace jet
