// frm_Upgrade: the program's one window. It builds every control at its design
// place (twips / 15 = pixels, relative to its container), names each one as the
// window's vocabulary does (array elements as "Name(Index)"), and wires the
// events to plain classes; the window itself holds no logic of its own.
#pragma once

#include <QDateTime>
#include <QMainWindow>
#include <functional>
#include <memory>

#include "common/control_array.h"
#include "common/option_group.h"

class QAction;
class QCheckBox;
class QFileDialog;
class QGroupBox;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class QTreeWidget;
class Diagnostics;
class ImageList;
class Notifier;
class Settings;

// What the window takes from outside; tests replace each of them.
struct WindowServices {
  Notifier* notifier = nullptr;      // message boxes; QMessageBox when null
  QString dataFolder;                // settings, log and trace; defaultDataFolder() when empty
  std::function<QDateTime()> clock;  // stamps of log and trace; the local time when null
};

class frm_Upgrade : public QMainWindow {
  Q_OBJECT
 public:
  using Services = WindowServices;

  explicit frm_Upgrade(Services services = Services(), QWidget* parent = nullptr);
  ~frm_Upgrade() override;

  Notifier& notifier() { return *notifier_; }
  Diagnostics& diagnostics() { return *diagnostics_; }
  Settings& settings() { return *settings_; }

  // Design size of the client area, in twips.
  static constexpr int kClientWidthTwips = 12105;
  static constexpr int kClientHeightTwips = 7590;
  static constexpr int kTwipsPerPixel = 15;

  // The controls, under the names the rest of the program uses for them.
  // Top row.
  QLabel* Label2 = nullptr;
  ControlArray<QLabel> Lbl_Folder;
  ControlArray<QPushButton> Cmd_GetFolder;
  ControlArray<QPushButton> Cmd_LoadTreeView;
  QLabel* lbl_CheckedCount = nullptr;
  ControlArray<QLabel> lbl_Caption;
  // Trees and output. tv_Files(0) shows a check box at each node (property "checkBoxes").
  ControlArray<QTreeWidget> tv_Files;
  QListWidget* lst_Output = nullptr;
  // The footer panel, docked to the bottom of the client area.
  QWidget* Pic_Footer = nullptr;
  QGroupBox* Frame1 = nullptr;
  OptionGroup Opt_Method;
  QLabel* Lbl_Help = nullptr;
  QGroupBox* Frame2 = nullptr;
  OptionGroup Opt_Jet;
  QPushButton* Cmd_Upgrade = nullptr;
  QPushButton* Cmd_Close = nullptr;
  // The second row, below the design client area: real, but out of sight at design size.
  QCheckBox* Chk_Trace = nullptr;
  QCheckBox* Chk_TreeView = nullptr;
  QLabel* Label1 = nullptr;
  QPushButton* Cmd_Find = nullptr;
  QListWidget* Lst_Files = nullptr;
  QLabel* Lbl_statusZ = nullptr;
  // Controls without a visible area.
  ImageList* ImageList1 = nullptr;
  QFileDialog* CommonDialog1 = nullptr;
  // Menus.
  QMenu* m_file = nullptr;
  ControlArray<QAction> mnu_file;
  QMenu* m_Help = nullptr;
  ControlArray<QAction> mnu_Help;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // Event procedures.
  void Form_Load();
  void Form_QueryUnload();
  void Cmd_Close_Click();
  void mnu_file_Click(int index);
  void mnu_Help_Click(int index);

  void connectEvents();
  void createTopRow(QWidget* client);
  void createTreesAndOutput(QWidget* client);
  void createFooter(QWidget* client);
  void createSecondRow(QWidget* client);
  void createMenus();
  void setFocusOrder();
  void dockFooter();
  bool enterGroupAtSelected(QObject* watched, QEvent* event);

  std::unique_ptr<Notifier> ownNotifier_;
  Notifier* notifier_ = nullptr;
  std::unique_ptr<Diagnostics> diagnostics_;
  std::unique_ptr<Settings> settings_;
};
