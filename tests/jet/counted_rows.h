// CountedRows: a cursor over rows 0, 1, ... up to a count, each made by a
// subclass; it can fail at one row, as a damaged page would, and counts the
// rows read so far for a test on another thread to see.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "jet/database.h"

namespace writer_test {

class CountedRows : public jet::RowCursor {
 public:
  explicit CountedRows(std::size_t count, std::size_t failAt = SIZE_MAX)
      : count_(count), failAt_(failAt) {}
  bool next(jet::Row& row) final {
    if (at_ == failAt_) throw std::runtime_error("row " + std::to_string(at_) + " is damaged");
    if (at_ >= count_) return false;
    make(at_, row);
    read_.store(++at_);
    return true;
  }
  std::size_t read() const { return read_.load(); }

 protected:
  virtual void make(std::size_t i, jet::Row& row) = 0;

 private:
  std::size_t count_, failAt_, at_ = 0;
  std::atomic<std::size_t> read_{0};
};

}  // namespace writer_test
