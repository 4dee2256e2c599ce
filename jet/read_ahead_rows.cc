#include "jet/read_ahead_rows.h"

namespace jet {
namespace {

// What a decoded row holds in memory, near enough to bound a batch.
std::size_t sizeOf(const Row& row) {
  std::size_t n = row.size() * sizeof(Value);
  for (const Value& v : row) {
    if (const auto* s = std::get_if<std::string>(&v)) n += s->size();
    if (const auto* b = std::get_if<Bytes>(&v)) n += b->size();
  }
  return n;
}

}  // namespace

ReadAheadRows::ReadAheadRows(RowCursor& source, std::vector<Batch>& storage)
    : source_(source),
      batches_(ringIn(storage, kBatches)),
      queue_(batches_, [this](Batch& b) { fill(b); }) {}

ReadAheadRows::~ReadAheadRows() = default;

bool ReadAheadRows::keepStoredText(const std::vector<bool>& columns) {
  if (queue_.started() || !source_.keepStoredText(columns)) return false;
  keptColumns_.clear();
  keptSlot_.assign(columns.size(), -1);
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (!columns[i]) continue;
    keptSlot_[i] = static_cast<int>(keptColumns_.size());
    keptColumns_.push_back(i);
  }
  storedAscii_ = source_.storedTextIsAscii();
  return true;
}

std::span<const std::uint8_t> ReadAheadRows::storedText(std::size_t column) const {
  if (current_ == nullptr || at_ == 0 || column >= keptSlot_.size() || keptSlot_[column] < 0) {
    return {};
  }
  const auto [from, to] =
      current_->ranges[(at_ - 1) * keptColumns_.size() + static_cast<std::size_t>(keptSlot_[column])];
  return std::span<const std::uint8_t>(current_->stored).subspan(from, to - from);
}

bool ReadAheadRows::next(Row& row) {
  for (;;) {
    if (current_ != nullptr) {
      if (at_ < current_->count) {
        std::swap(row, current_->rows[at_++]);  // the old row's buffers go back for reuse
        return true;
      }
      if (current_->error) std::rethrow_exception(current_->error);
      if (current_->last) return false;
    }
    current_ = &queue_.next();
    at_ = 0;
  }
}

void ReadAheadRows::fill(Batch& batch) {
  batch.count = 0;
  batch.stored.clear();
  batch.ranges.clear();
  batch.error = nullptr;
  batch.last = false;
  std::size_t bytes = 0;  // of decoded values
  try {
    while (batch.count < kBatchRows && bytes + batch.stored.size() < kBatchBytes &&
           !queue_.stopping()) {
      if (batch.rows.size() == batch.count) batch.rows.emplace_back();
      Row& row = batch.rows[batch.count];
      if (!source_.next(row)) {
        batch.last = true;
        return;
      }
      ++batch.count;
      for (std::size_t column : keptColumns_) {
        const std::span<const std::uint8_t> text = source_.storedText(column);
        const std::size_t from = batch.stored.size();
        batch.stored.insert(batch.stored.end(), text.begin(), text.end());
        batch.ranges.emplace_back(from, batch.stored.size());
      }
      bytes += sizeOf(row);
    }
  } catch (...) {
    batch.error = std::current_exception();
  }
}

}  // namespace jet
