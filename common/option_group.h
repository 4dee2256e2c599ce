// OptionGroup: the option buttons of one frame, index -> button in group order,
// plus the group's click procedure. Selecting a button that was not selected
// runs the procedure exactly once, whether the user clicked it, Set_Option chose
// it (Qt's setChecked emits no clicked(), so select() runs it itself) or other
// code checked it; a click on the button already selected runs nothing.
#pragma once

#include <QRadioButton>
#include <functional>
#include <utility>

#include "common/control_array.h"

class Notifier;

class OptionGroup {
 public:
  using ClickHandler = std::function<void(int index)>;

  OptionGroup() = default;
  OptionGroup(const OptionGroup&) = delete;  // the buttons' connections point at this object
  OptionGroup& operator=(const OptionGroup&) = delete;

  void add(int index, QRadioButton* button);
  QRadioButton* operator()(int index) const { return buttons_(index); }
  const std::vector<std::pair<int, QRadioButton*>>& items() const { return buttons_.items(); }

  // The procedure a newly selected button runs, given the button's index.
  void setClickHandler(ClickHandler handler) { handler_ = std::move(handler); }
  // Where Set_Option and Option_Value report their failures (ModuleError); none: they throw.
  void setReporter(Notifier* notifier) { reporter_ = notifier; }
  Notifier* reporter() const { return reporter_; }

  // Selects `button`; when it was not selected, runs the click procedure once. True when it was
  // new.
  bool select(int index, QRadioButton* button);
  void click(int index) const {
    if (handler_) handler_(index);
  }

 private:
  ControlArray<QRadioButton> buttons_;
  ClickHandler handler_;
  Notifier* reporter_ = nullptr;
  bool selecting_ = false;
};
