// frm_Upgrade: the program's one window. It builds every control at its design
// place (twips / 15 = pixels, relative to its container), names each one as the
// window's vocabulary does (array elements as "Name(Index)"), and wires the
// events to plain classes; the window itself holds no logic of its own.
#pragma once

#include <QDateTime>
#include <QMainWindow>
#include <functional>
#include <memory>
#include <vector>

#include "common/control_array.h"
#include "common/option_group.h"

class QAction;
class QCheckBox;
class QFileDialog;
class QGroupBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QPushButton;
class QTreeWidget;
class Diagnostics;
class ImageList;
class Notifier;
class Settings;
class QTreeWidgetItem;
class DiagnosticsChannels;
class FolderChooser;
class FilePicker;
class WorkProgress;
namespace engine {
class DBEngine;
}

// What the window takes from outside; tests replace each of them.
struct WindowServices {
  Notifier* notifier = nullptr;        // message boxes; QMessageBox when null
  QString dataFolder;                  // settings, log and trace; defaultDataFolder() when empty
  std::function<QDateTime()> clock;    // stamps of log and trace; the local time when null
  engine::DBEngine* engine = nullptr;  // DBEngine::instance() when null
  FolderChooser* folderChooser = nullptr;  // QFileDialog::getExistingDirectory when null
  FilePicker* filePicker = nullptr;        // the window's CommonDialog1 when null
  WorkProgress* progress = nullptr;        // a QProgressDialog when null
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
  engine::DBEngine& engine() { return *engine_; }
  WorkProgress& progress() { return *progress_; }

  // Node i (1..Count) of tree `index`, in the order the nodes were added.
  int nodeCount(int index) const;
  QTreeWidgetItem* node(int index, int position) const;
  QTreeWidgetItem* nodeByKey(int index, const QString& key) const;
  static QString keyOf(const QTreeWidgetItem* item);
  // True once Form_Activate has run.
  bool activated() const { return activated_; }

  // The window's operations, public so that scripts and tests can call them as the events do.
  void LoadTreeView(int index);
  int CountChecked(int index) const;
  void RefreshControls();
  void SetDestinationFolder();
  void FindFile();
  void EnumerateDatabase(const QString& path);

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
  void showEvent(QShowEvent* event) override;

 private:
  // Event procedures.
  void Form_Load();
  void Form_QueryUnload();
  void Cmd_Close_Click();
  void mnu_file_Click(int index);
  void mnu_Help_Click(int index);
  void Form_Activate();
  void Form_Resize();
  void Cmd_LoadTreeView_Click(int index);
  void Cmd_GetFolder_Click(int index);
  void Cmd_Upgrade_Click();
  void Cmd_Find_Click();
  void Opt_Jet_Click(int index);
  void Opt_Method_Click(int index);
  void Chk_TreeView_Click();
  void Lst_Files_ItemCheck(QListWidgetItem* item);
  void tv_Files_NodeCheck(int index, QTreeWidgetItem* node);
  void tv_Files_NodeClick(int index, QTreeWidgetItem* node);
  void connectWiring();

  void connectEvents();
  void createTopRow(QWidget* client);
  void createTreesAndOutput(QWidget* client);
  void createFooter(QWidget* client);
  void createSecondRow(QWidget* client);
  void createMenus();
  void setFocusOrder();
  void dockFooter();
  void adoptServices(const Services& services);
  bool enterGroupAtSelected(QObject* watched, QEvent* event);

  std::unique_ptr<Notifier> ownNotifier_;
  Notifier* notifier_ = nullptr;
  std::unique_ptr<Diagnostics> diagnostics_;
  std::unique_ptr<Settings> settings_;
  engine::DBEngine* engine_ = nullptr;
  std::unique_ptr<DiagnosticsChannels> channels_;
  std::unique_ptr<FolderChooser> ownFolderChooser_;
  FolderChooser* folderChooser_ = nullptr;
  std::unique_ptr<FilePicker> ownFilePicker_;
  FilePicker* filePicker_ = nullptr;
  std::unique_ptr<WorkProgress> ownProgress_;
  WorkProgress* progress_ = nullptr;
  std::vector<QTreeWidgetItem*> nodes_[2];  // insertion order, position 1 at [0]
  int loadCount_ = 0;
  bool fillingTree_ = false;  // our own setCheckState calls are no user toggles
  bool fillingList_ = false;
  QTreeWidgetItem* toggled_ = nullptr;  // the node whose check box the current click toggled
  bool shown_ = false;
  bool activated_ = false;
};
