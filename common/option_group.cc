#include "common/option_group.h"

void OptionGroup::add(int index, QRadioButton* button) {
  buttons_.add(index, button);
  QObject::connect(button, &QRadioButton::toggled, button, [this, index](bool on) {
    if (on && !selecting_) click(index);
  });
}

bool OptionGroup::select(int index, QRadioButton* button) {
  if (button->isChecked()) return false;
  selecting_ = true;
  button->setChecked(true);
  selecting_ = false;
  click(index);
  return true;
}
