// The Jet 2.0 (Access 2.0) side of DatabaseWriter. These files keep their
// column and index definitions as rows of MSysColumns and MSysIndexes, chain
// a table's data pages from its definition page and share one long-value
// table, so they get a writer of their own; text encoding, text keys,
// property blobs and the page file are shared with the Jet 3/4 writer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "jet/database_writer.h"
#include "jet/writer_bytes.h"
#include "jet/writer_output.h"

namespace jet {

// Jet 2.0 files may grow to 1 GB.
inline constexpr std::uint64_t kMaxJet2File = 1ull << 30;

// A data page of a Jet 2.0 table: slots from 0x14, rows packed downwards.
class Jet2DataPage {
 public:
  explicit Jet2DataPage(std::uint32_t owner);
  bool fits(std::size_t rowSize) const;
  std::uint8_t add(std::span<const std::uint8_t> row);  // returns the slot
  std::size_t rows() const { return rows_; }
  // The finished page, linked to its neighbours in the table's chain.
  ByteBuffer bytes(std::uint32_t page, std::uint32_t previous, std::uint32_t next) const;

 private:
  ByteBuffer page_;
  std::size_t rows_ = 0;
  std::size_t lowest_;
};

// Bytes 2-3 of a page written by us, in the range Access leaves there.
std::uint16_t jet2PageStamp(std::uint32_t page);

// One Jet 2.0 index: sorted (key, row pointer) pairs in, pages out.
struct Jet2IndexEntry {
  ByteBuffer key;
  std::uint32_t row = 0;  // slot in the low byte, page above
  bool nullPart = false;  // a key with a null part repeats under a unique index
};
struct Jet2WrittenIndex {
  std::uint32_t root = 0, leaves = 0, distinct = 0, entries = 0;
  bool duplicate = false;  // a key seen twice
};
Jet2WrittenIndex writeJet2Index(PageOutput& out, std::uint32_t owner, std::uint16_t number,
                                std::vector<Jet2IndexEntry>& entries, const std::string& what);

// The key part of one column value in a Jet 2.0 index; throws unsupported
// naming `what` for a type or character no corpus key shows.
void appendJet2IndexKey(ByteBuffer& key, const Column& column, const Value& value, bool ascending,
                        const std::string& what, std::uint16_t codePage);
bool jet2KeyCharacterKnown(std::uint8_t codePageByte);

class Jet2Writer {
 public:
  Jet2Writer(const std::string& path, const WriterOptions& options);
  ~Jet2Writer();
  std::uint32_t addTable(const TableDef& def, RowCursor& rows, const TableObject& object);
  std::int32_t addObject(const CatalogObject& object);
  void addQuery(const Query& query, const std::vector<PropertyMap>& properties);
  void addRelationship(const Relationship& relationship);
  void setDatabaseProperties(const std::vector<PropertyMap>& properties);
  void finish();

 private:
  struct State;
  std::unique_ptr<State> s_;
};

}  // namespace jet
