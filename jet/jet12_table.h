// The Jet 1.x/2.0 table path: data-page chains, rows and long values.
// A Jet12RowCursor walks a table's data pages from its definition page,
// follows moved rows and decodes every column of a TableDef; every page
// number, offset and length is checked, every chain keeps a visited set.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <span>

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

// Decodes one row of `table` (columns as readTableDef made them).
Row decodeJet12Row(PageFile& file, const TableDef& table, const Jet12RawRow& row);

// The bytes of a memo/OLE field (inline or chained through table 2's pages).
Bytes readJet12LongValue(PageFile& file, const ByteReader& field);

// A cursor over decoded rows.
std::unique_ptr<RowCursor> makeJet12RowCursor(PageFile& file, TableDef table);

}  // namespace jet
