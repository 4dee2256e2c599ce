// RowPreparer: the part of writing a Jet 3/4 row that needs no page of the
// copy: the row's bytes with its long values still to be placed, the values
// its index keys are made of, its auto-number. What it makes goes into PreparedBatch;
// the writer then places long values and rows, in the same order, so the
// copy comes out the same whichever thread prepared it (PreparedRows).
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/schema.h"
#include "jet/value.h"
#include "jet/writer_bytes.h"
#include "jet/writer_format.h"
#include "jet/writer_rows.h"

namespace jet {

class CarriedKeys;

struct PreparedBatch {
  // A long value the row still has to place; its 12-byte descriptor in the
  // row's bytes is zero until then.
  struct LongValue {
    const Column* column;
    std::size_t from, size;   // the content, in longBytes
    std::size_t rowOffset;    // of the descriptor, in the row's bytes
  };
  // A row's entry in one index: its key bytes when carried from the
  // source, else made by the writer from the row's key values.
  struct Key {
    std::size_t from, size;  // in keyBytes, when `carried`
    bool entry;              // false: the row has no entry in this index
    bool anyNull;
    bool carried;
  };
  struct Row {
    std::size_t from, size;  // in rowBytes
    std::size_t firstLong, longCount;
    std::size_t firstKey;    // one key per physical index, in order
    std::size_t firstKeyValue;  // the values of every index's columns, in order
  };
  std::vector<Row> rows;
  ByteBuffer rowBytes, longBytes, keyBytes;
  std::vector<LongValue> longs;
  std::vector<Key> keys;
  std::vector<Value> keyValues;  // [0, keyValueCount) in use; the rest keep their storage
  std::size_t keyValueCount = 0;
  std::int64_t maxAuto = INT64_MIN;  // the largest auto-number of these rows
  std::exception_ptr error;          // what came up after these rows
  bool last = false;                 // no rows after these

  void clear();
  std::size_t bytes() const { return rowBytes.size() + longBytes.size() + keyBytes.size(); }
};

class RowPreparer {
 public:
  // `generation` and `codePage` are the copy's; `what` names the table in
  // errors. A `carried` index takes its keys from there, in step with `rows`.
  RowPreparer(const TableDef& table, const WriteFormat& format, int generation,
              std::uint16_t codePage, std::string what, CarriedKeys* carried = nullptr);
  RowPreparer(const RowPreparer&) = delete;
  RowPreparer& operator=(const RowPreparer&) = delete;

  // Before the first row: text no index needs is asked of `rows` as stored.
  void takeStoredText(RowCursor& rows);
  // Reads the next row of `rows` into `batch`; false at the end. Throws what
  // the source or the encoding throws, leaving the batch's rows as they were.
  bool prepareNext(RowCursor& rows, PreparedBatch& batch);
  // The key of `row` in physical index `index` from its key values, made
  // where the entries are sorted: a share of the work off the reading thread.
  // Reads only what the constructor set, so any thread may call it.
  void makeKey(const PreparedBatch& batch, const PreparedBatch::Row& row, std::size_t index,
               ByteBuffer& key) const;

 private:
  struct KeyColumn {
    std::size_t at;  // the column's place in a row
    const Column* column;
    bool ascending;
    std::string what;
  };
  // Keeps long values in the batch instead of placing them.
  class LongValueKeeper : public LongValuePlacer {
   public:
    void place(const Column& column, std::span<const std::uint8_t> content,
               ByteBuffer& descriptor) override;
    PreparedBatch* batch = nullptr;
  };

  const TableDef& table_;
  int generation_;
  std::uint16_t codePage_;
  std::string what_;
  CarriedKeys* carried_;
  RowEncoder encoder_;
  std::vector<std::vector<KeyColumn>> keyColumns_;  // per physical index
  std::vector<std::size_t> firstValueOf_;           // per physical index: its first key value
  std::vector<std::size_t> autoColumns_;
  LongValueKeeper keeper_;
  Row row_;
  ByteBuffer carriedKey_;
  std::uint32_t count_ = 0;
};

}  // namespace jet
