// ControlArray: controls that share one name and are told apart by an index,
// kept in the order they were added (the order Set_Option visits them in).
#pragma once

#include <utility>
#include <vector>

#include "common/current_error.h"

template <class T>
class ControlArray {
 public:
  void add(int index, T* control) { items_.emplace_back(index, control); }

  // The element with this index; an index that was never added is a run-time error.
  T* operator()(int index) const {
    for (const auto& [i, control] : items_) {
      if (i == index) return control;
    }
    throw RuntimeError(340, QString("Control array element '%1' doesn't exist").arg(index));
  }
  bool contains(int index) const {
    for (const auto& item : items_) {
      if (item.first == index) return true;
    }
    return false;
  }
  const std::vector<std::pair<int, T*>>& items() const { return items_; }
  std::size_t size() const { return items_.size(); }

 private:
  std::vector<std::pair<int, T*>> items_;
};
