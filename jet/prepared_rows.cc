#include "jet/prepared_rows.h"

namespace jet {

PreparedRows::PreparedRows(RowCursor& source, RowPreparer& preparer, bool ownThread,
                           std::vector<PreparedBatch>& storage)
    : source_(source),
      preparer_(preparer),
      ownThread_(ownThread),
      batches_(ringIn(storage, kBatches)),
      queue_(batches_, [this](PreparedBatch& b) { fill(b); }) {}

PreparedRows::~PreparedRows() = default;

PreparedBatch* PreparedRows::next() {
  if (current_ != nullptr) {
    if (current_->error) std::rethrow_exception(current_->error);
    if (current_->last) return nullptr;
  }
  if (!ownThread_) {
    current_ = &batches_[0];
    fill(*current_);
    return current_;
  }
  current_ = &queue_.next();
  return current_;
}

void PreparedRows::fill(PreparedBatch& batch) {
  batch.clear();
  try {
    while (batch.rows.size() < kBatchRows && batch.bytes() < kBatchBytes &&
           !queue_.stopping()) {
      if (!preparer_.prepareNext(source_, batch)) {
        batch.last = true;
        return;
      }
    }
  } catch (...) {
    batch.error = std::current_exception();
  }
}

}  // namespace jet
