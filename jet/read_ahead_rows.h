// ReadAheadRows: a cursor that reads another one on a thread of its own, a
// few batches of rows ahead, so that reading and decoding the source overlap
// with encoding and writing the copy. Rows, stored text and errors come out
// in the source's order: rows up to a failing one, then its error.
//
// The source must not be touched by anyone else while this cursor lives.
// Memory stays bounded: a batch ends at a row count or a byte size.
#pragma once

#include <cstdint>
#include <exception>
#include <span>
#include <utility>
#include <vector>

#include "jet/batch_queue.h"
#include "jet/database.h"

namespace jet {

class ReadAheadRows : public RowCursor {
 public:
  struct Batch {
    std::vector<Row> rows;  // [0, count) hold rows; the rest are buffers to reuse
    std::size_t count = 0;
    // Stored text of the kept columns, row after row, and each value's range in it.
    Bytes stored;
    std::vector<std::pair<std::size_t, std::size_t>> ranges;
    std::exception_ptr error;  // what the source threw after these rows
    bool last = false;         // the source had no more rows
  };

  // The batches live in `storage` (resized to kBatches), which the caller
  // keeps from table to table: their rows' buffers are then made once, not
  // for every table, and many small tables do not fault in fresh memory.
  ReadAheadRows(RowCursor& source, std::vector<Batch>& storage);
  ~ReadAheadRows() override;
  ReadAheadRows(const ReadAheadRows&) = delete;
  ReadAheadRows& operator=(const ReadAheadRows&) = delete;

  bool next(Row& row) override;
  // Only before the first row, like the source's.
  bool keepStoredText(const std::vector<bool>& columns) override;
  std::span<const std::uint8_t> storedText(std::size_t column) const override;
  bool storedTextIsAscii() const override { return storedAscii_; }

  static constexpr std::size_t kBatches = 8;
  static constexpr std::size_t kBatchRows = 512;
  static constexpr std::size_t kBatchBytes = 1 << 20;

 private:
  void fill(Batch& batch);

  RowCursor& source_;
  std::vector<std::size_t> keptColumns_;
  std::vector<int> keptSlot_;  // per column: its place among the kept ones, or -1
  bool storedAscii_ = false;

  std::vector<Batch>& batches_;
  // The reading side's place: the batch it takes rows from, and the next row there.
  Batch* current_ = nullptr;
  std::size_t at_ = 0;
  BatchQueue<Batch> queue_;  // last: stops first
};

}  // namespace jet
