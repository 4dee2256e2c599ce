// The parts of the writer only Jet 3 files have: code-page text, rows with
// one-byte offsets and jump tables, General 97 text keys, page 0 and the
// table definition in the Jet 3 layout (jet/layout/jet3_write.h).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "jet/schema.h"
#include "jet/writer_bytes.h"
#include "jet/writer_rows.h"

namespace jet {

// Text in `codePage`; throws unsupported naming `what` (table, column, row)
// when a character has no encoding there.
ByteBuffer encodeJet3Text(const std::string& utf8, std::uint16_t codePage, const std::string& what);

// A Jet 3 row from its parts: one-byte column count, fixed area, variable
// data, one-byte offsets (EOD first, then the highest index down), the jump
// table, the variable count and the null mask.
// The row goes into `out` (its storage reused); errors name `what` and,
// when not 0, the row number.
void assembleJet3Row(const RowShape& shape, const ByteBuffer& fixed,
                     const std::vector<ByteBuffer>& vars, const ByteBuffer& mask,
                     const std::string& what, std::uint32_t rowNumber, ByteBuffer& out);

// The General 97 key of a text value, without the column's start byte.
void appendGeneral97TextKey(ByteBuffer& key, const std::string& utf8, std::uint16_t codePage,
                            bool ascending, const std::string& what);
// The same order as Access 2.0 writes it: only the end of the accent stream
// differs (docs/jet2-format.md, "Keys").
void appendAccess20TextKey(ByteBuffer& key, const std::string& utf8, std::uint16_t codePage,
                           bool ascending, const std::string& what);

// Page 0 of a Jet 3 file, clear text (the caller applies the header mask).
ByteBuffer jet3HeaderPage(std::uint16_t codePage, std::uint16_t sortOrder);

// What a Jet 3 table definition needs besides the table itself.
struct Jet3TableFacts {
  bool system = false;
  std::uint16_t codePage = 1252;
  std::uint32_t rowCount = 0, autoNumber = 0, ownedMap = 0, freeMap = 0;
  struct Real {
    std::uint32_t root = 0, map = 0, entries = 0, distinct = 0;
  };
  std::vector<Real> reals;
  std::map<std::uint16_t, std::pair<std::uint32_t, std::uint32_t>> longValueMaps;
  std::vector<std::uint8_t> relatedTypes;      // per logical index
  std::vector<std::uint32_t> relatedTables;    // per logical index: the other table's TDEF page
};

// The definition as one byte string, cut into pages by the caller.
ByteBuffer buildJet3Definition(const TableDef& t, const Jet3TableFacts& f);

}  // namespace jet
