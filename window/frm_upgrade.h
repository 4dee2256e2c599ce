// frm_Upgrade: the program's one window.
#pragma once

#include <QMainWindow>

class frm_Upgrade : public QMainWindow {
  Q_OBJECT
 public:
  explicit frm_Upgrade(QWidget* parent = nullptr);
};
