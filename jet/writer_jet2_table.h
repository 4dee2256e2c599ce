// A table as the Jet 2.0 writer lays it out: every column's place in the row
// and its MSysColumns.Hcolumn, the row encoder and the shared long values.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "jet/schema.h"
#include "jet/writer_jet2.h"

namespace jet {

struct Jet2Column {
  ColumnType type = ColumnType::Text;
  bool fixed = false;
  std::uint16_t offset = 0;    // in the fixed area
  std::uint16_t bit = 0;       // null-mask bit (fixed columns)
  std::uint16_t varIndex = 0;  // variable columns
  std::uint8_t size = 0;       // Hcolumn's size byte
  std::uint32_t hcolumn = 0;
};

struct Jet2Table {
  TableDef def;  // columns in the caller's order
  std::vector<Jet2Column> columns;
  std::uint16_t fixedCount = 0, varCount = 0, fixedSize = 0;
};

// Places the columns: fixed ones in order from offset 0 (Booleans take a bit
// only), variable ones numbered in order. Throws unsupported for what Jet 2.0
// cannot hold (types, names, sizes), naming `what` and the column.
Jet2Table planJet2Table(const TableDef& def, const std::string& what, std::uint16_t codePage);

// The long-value table (definition page 2): chunk rows on its own page chain.
class Jet2LongValues {
 public:
  explicit Jet2LongValues(PageOutput& out);
  // Stores `content`; returns the 14-byte reference a row holds.
  ByteBuffer place(std::span<const std::uint8_t> content, bool memo);
  void finish();
  std::uint32_t firstPage() const { return first_; }
  std::uint32_t lastPage() const { return last_; }
  std::uint32_t pages() const { return pages_; }
  std::uint32_t rows() const { return rows_; }

 private:
  std::uint32_t add(std::span<const std::uint8_t> row);
  PageOutput& out_;
  std::unique_ptr<Jet2DataPage> page_;
  std::uint32_t number_ = 0, previous_ = 0, first_ = 0, last_ = 0, pages_ = 0, rows_ = 0;
  std::uint32_t nextKey_ = 1;
};

// One row in the Jet 2.0 layout; `what` names table and row in errors.
ByteBuffer encodeJet2Row(const Jet2Table& table, const Row& row, Jet2LongValues& longValues,
                         const std::string& what, std::uint16_t codePage);

}  // namespace jet
