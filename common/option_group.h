// OptionGroup: the option buttons of one frame, index -> button in group order,
// plus the group's click procedure. Selecting a button from code does not make
// Qt emit clicked(), so Set_Option calls click() itself for a newly selected one.
#pragma once

#include <QRadioButton>
#include <functional>
#include <utility>

#include "common/control_array.h"

class OptionGroup {
 public:
  using ClickHandler = std::function<void(int index)>;

  void add(int index, QRadioButton* button) { buttons_.add(index, button); }
  QRadioButton* operator()(int index) const { return buttons_(index); }
  const std::vector<std::pair<int, QRadioButton*>>& items() const { return buttons_.items(); }

  // The procedure a click on any button of the group runs (the user's click or Set_Option's).
  void setClickHandler(ClickHandler handler) { handler_ = std::move(handler); }
  void click(int index) const {
    if (handler_) handler_(index);
  }

 private:
  ControlArray<QRadioButton> buttons_;
  ClickHandler handler_;
};
