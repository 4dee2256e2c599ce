// The Jet 1.x/2.0 table path: data-page chains, rows and long values.
// A Jet12RowCursor walks a table's data pages from its definition page,
// follows moved rows and decodes every column of a TableDef; every page
// number, offset and length is checked, every chain keeps a visited set.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <span>
#include <vector>

#include "jet/database.h"
#include "jet/page_file.h"
#include "jet/schema.h"

namespace jet {

// One row as found on a page: its bytes stay valid while `page` is held.
struct Jet12RawRow {
  PageBytes page;
  std::uint32_t pageNumber = 0;
  std::span<const std::uint8_t> bytes;
};

// The live rows of one table in storage order (page chain, then slot).
class Jet12RowScanner {
 public:
  Jet12RowScanner(PageFile& file, std::uint32_t definitionPage);
  bool next(Jet12RawRow& row);

 private:
  void loadPage(std::uint32_t n);

  PageFile& file_;
  std::uint32_t table_;
  std::set<std::uint32_t> visited_;
  PageBytes page_;
  std::uint32_t pageNumber_ = 0;
  unsigned slots_ = 0;
  unsigned slot_ = 0;
  std::uint32_t nextPage_ = 0;
};

// Decodes the rows of one table (columns as readTableDef made them), each
// into the same Row, so that its values keep their buffers from row to row.
class Jet12RowDecoder {
 public:
  Jet12RowDecoder(PageFile& file, const TableDef& table);
  void decode(const Jet12RawRow& raw, Row& row);
  // As RowCursor::keepStoredText: the text and memo columns marked keep
  // their stored bytes when they are plain ASCII (the same in every code
  // page they are kept for); their values are then empty strings.
  bool keepStored(const std::vector<bool>& columns);
  // The stored bytes of a kept column of the last row, valid until the next one.
  std::span<const std::uint8_t> stored(std::size_t column) const {
    return column < stored_.size() ? stored_[column] : std::span<const std::uint8_t>();
  }

 private:
  void decodeValue(const Column& c, std::size_t i, const ByteReader& v, Value& out);
  // The bytes of column i's long value, valid until the next row.
  std::span<const std::uint8_t> longValue(std::size_t i, const ByteReader& v);

  PageFile& file_;
  const TableDef& table_;
  std::vector<std::size_t> offsets_;  // the current row's variable offsets
  std::vector<bool> keep_;            // per column
  std::vector<std::span<const std::uint8_t>> stored_;
  std::vector<Bytes> longValues_;  // per column: the chained bytes of the current row
  std::set<std::uint32_t> visited_;
};

// Decodes one row of `table`.
Row decodeJet12Row(PageFile& file, const TableDef& table, const Jet12RawRow& row);

// The bytes of a memo/OLE field (inline or chained through table 2's pages):
// inline ones lie in the field, chained ones are gathered in `chained`.
// `visited` is scratch for finding loops.
std::span<const std::uint8_t> readJet12LongValue(PageFile& file, const ByteReader& field,
                                                 Bytes& chained, std::set<std::uint32_t>& visited);
Bytes readJet12LongValue(PageFile& file, const ByteReader& field);

// A cursor over decoded rows.
std::unique_ptr<RowCursor> makeJet12RowCursor(PageFile& file, TableDef table);

}  // namespace jet
