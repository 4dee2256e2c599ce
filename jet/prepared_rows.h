// PreparedRows: the rows of a cursor made ready by a RowPreparer, batch by
// batch. On a thread of its own it takes rows from the cursor and encodes
// them a few batches ahead of the writer, so that this work overlaps with
// placing rows and building indexes; without one it prepares each batch
// when it is asked for.
// Either way the batches hold the same rows, and errors come in the
// source's order: the rows before a failing one, then its error.
//
// With a thread, nobody else may touch the cursor while this object lives.
// Memory stays bounded: a batch ends at a row count or a byte size.
#pragma once

#include <cstddef>
#include <vector>

#include "jet/batch_queue.h"
#include "jet/database.h"
#include "jet/row_preparer.h"

namespace jet {

class PreparedRows {
 public:
  // The batches live in `storage` (resized to kBatches), which a writer
  // keeps from table to table: their buffers are then allocated once, not
  // for every table, and a database of many small tables does not spend its
  // time faulting in fresh memory.
  PreparedRows(RowCursor& source, RowPreparer& preparer, bool ownThread,
               std::vector<PreparedBatch>& storage);
  ~PreparedRows();
  PreparedRows(const PreparedRows&) = delete;
  PreparedRows& operator=(const PreparedRows&) = delete;

  // The next batch, the caller's until the next call; nullptr after the last.
  // Throws the error that ended the batch before, once its rows are taken.
  PreparedBatch* next();

  static constexpr std::size_t kBatches = 8;
  static constexpr std::size_t kBatchRows = 512;
  static constexpr std::size_t kBatchBytes = 1 << 20;

 private:
  void fill(PreparedBatch& batch);

  RowCursor& source_;
  RowPreparer& preparer_;
  bool ownThread_;
  std::vector<PreparedBatch>& batches_;
  PreparedBatch* current_ = nullptr;  // the caller's batch
  BatchQueue<PreparedBatch> queue_;   // last: stops first
};

}  // namespace jet
