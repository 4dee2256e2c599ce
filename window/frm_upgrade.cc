#include "window/frm_upgrade.h"

#include "engine/db_engine.h"

frm_Upgrade::frm_Upgrade(QWidget* parent) : QMainWindow(parent) {
  setObjectName("frm_Upgrade");
  setWindowTitle(QString("Jetlift ver 1.0.006 Jet ver: ") +
                 QString::fromStdString(engine::DBEngine::instance().Version()));
}
