// VectorCursor: the rows of a vector the caller keeps alive, as a RowCursor,
// for the catalog rows the writers gather before they write them.
#pragma once

#include <cstddef>
#include <vector>

#include "jet/database.h"

namespace jet {

class VectorCursor : public RowCursor {
 public:
  explicit VectorCursor(const std::vector<Row>& rows) : rows_(rows) {}
  bool next(Row& row) override {
    if (at_ >= rows_.size()) return false;
    row = rows_[at_++];
    return true;
  }

 private:
  const std::vector<Row>& rows_;
  std::size_t at_ = 0;
};

}  // namespace jet
