// The window's event procedures and operations: each one reads the controls,
// hands them to the plain classes of engine/ and trees/, and writes the result
// back into the controls.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QTreeWidget>

#include "common/app_info.h"
#include "common/database_name.h"
#include "common/diagnostics.h"
#include "common/module1.h"
#include "common/notifier.h"
#include "engine/batch_upgrade.h"
#include "engine/database_listing.h"
#include "engine/database_upgrade.h"
#include "engine/db_engine.h"
#include "engine/folders.h"
#include "engine/target_version.h"
#include "engine/version_probe.h"
#include "trees/destination_folder.h"
#include "trees/find_file.h"
#include "trees/folder_tree.h"
#include "window/control_states.h"
#include "window/diagnostics_channels.h"
#include "window/dialogs.h"
#include "window/form_layout.h"
#include "window/frm_upgrade.h"
#include "window/image_list.h"
#include "window/procedure.h"
#include "window/work_progress.h"

namespace {

constexpr int kKeyRole = Qt::UserRole;

// The busy pointer for as long as the object lives, restored on every path.
class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

// A flag set for the lifetime of the object.
class Raised {
 public:
  explicit Raised(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
  ~Raised() { flag_ = old_; }
  Raised(const Raised&) = delete;
  Raised& operator=(const Raised&) = delete;

 private:
  bool& flag_;
  bool old_;
};

window_layout::Rect twipsOf(const QWidget* w) {
  const int t = frm_Upgrade::kTwipsPerPixel;
  const QRect g = w->geometry();
  return {g.x() * t, g.y() * t, g.width() * t, g.height() * t};
}

int pixelsOf(int twips) {
  const int t = frm_Upgrade::kTwipsPerPixel;
  return twips >= 0 ? (twips + t / 2) / t : -((-twips + t / 2) / t);
}

void setTwips(QWidget* w, const window_layout::Rect& r) {
  w->setGeometry(pixelsOf(r.left), pixelsOf(r.top), std::max(0, pixelsOf(r.width)),
                 std::max(0, pixelsOf(r.height)));
}

}  // namespace

void frm_Upgrade::adoptServices(const Services& services) {
  folderChooser_ = services.folderChooser;
  if (folderChooser_ == nullptr) {
    ownFolderChooser_ = std::make_unique<QtFolderChooser>();
    folderChooser_ = ownFolderChooser_.get();
  }
  filePicker_ = services.filePicker;
  if (filePicker_ == nullptr) {
    ownFilePicker_ = std::make_unique<QtFilePicker>(CommonDialog1);
    filePicker_ = ownFilePicker_.get();
  }
  progress_ = services.progress;
  if (progress_ == nullptr) {
    ownProgress_ = std::make_unique<DialogProgress>(this);
    progress_ = ownProgress_.get();
  }
}

void frm_Upgrade::connectWiring() {
  Opt_Jet.setClickHandler([this](int index) { Opt_Jet_Click(index); });
  Opt_Method.setClickHandler([this](int index) { Opt_Method_Click(index); });
  for (int i = 0; i <= 1; ++i) {
    connect(Cmd_LoadTreeView(i), &QPushButton::clicked, this,
            [this, i] { Cmd_LoadTreeView_Click(i); });
    connect(Cmd_GetFolder(i), &QPushButton::clicked, this, [this, i] { Cmd_GetFolder_Click(i); });
    connect(tv_Files(i), &QTreeWidget::itemChanged, this, [this, i](QTreeWidgetItem* item, int) {
      if (fillingTree_) return;
      // Remembered until the click that made it (if any) has been handled; a key leaves no click.
      toggled_ = item;
      QTimer::singleShot(0, this, [this] { toggled_ = nullptr; });
      tv_Files_NodeCheck(i, item);
    });
    connect(tv_Files(i), &QTreeWidget::itemClicked, this, [this, i](QTreeWidgetItem* item, int) {
      // A click on the check box is a check, not a request for the listing.
      const bool wasToggle = toggled_ == item;
      toggled_ = nullptr;
      if (!wasToggle) tv_Files_NodeClick(i, item);
    });
  }
  connect(Cmd_Upgrade, &QPushButton::clicked, this, [this] { Cmd_Upgrade_Click(); });
  connect(Cmd_Find, &QPushButton::clicked, this, [this] { Cmd_Find_Click(); });
  connect(Chk_TreeView, &QCheckBox::clicked, this, [this] { Chk_TreeView_Click(); });
  connect(Lst_Files, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
    if (!fillingList_) Lst_Files_ItemCheck(item);
  });
}

// --- the node index -------------------------------------------------------------------------

int frm_Upgrade::nodeCount(int index) const { return static_cast<int>(nodes_[index].size()); }

QTreeWidgetItem* frm_Upgrade::node(int index, int position) const {
  return nodes_[index].at(static_cast<std::size_t>(position - 1));
}

QTreeWidgetItem* frm_Upgrade::nodeByKey(int index, const QString& key) const {
  for (QTreeWidgetItem* item : nodes_[index]) {
    if (keyOf(item) == key) return item;
  }
  return nullptr;
}

QString frm_Upgrade::keyOf(const QTreeWidgetItem* item) {
  return item->data(0, kKeyRole).toString();
}

// --- Folder tree loading ---------------------------------------------------------------------

void frm_Upgrade::LoadTreeView(int index) {
  runProcedure(*diagnostics_, "LoadTreeView", [&] {
    const BusyCursor busy;
    const Raised filling(fillingTree_);
    QTreeWidget* tree = tv_Files(index);
    tree->clear();
    nodes_[index].clear();
    loadCount_ = 0;
    const QString folder = Lbl_Folder(index)->text();

    trees::FolderTree plain;
    {
      const ProgressRun run(*progress_, "load " + folder, 0, false);
      plain = trees::loadFolderTree(
          folder,
          [this](const QString& path) { return engine::GetVersion(path, *engine_, *channels_); },
          [this](const QString& path, int done) {
            return progress_->step(path + "\n" + QString::number(done) + " file(s) read", done);
          });
    }

    // The plain nodes become items, parents before children, in the same order.
    const bool checkBoxes = tree->property("checkBoxes").toBool();
    std::vector<QTreeWidgetItem*>& items = nodes_[index];
    items.reserve(plain.nodes.size());
    for (const trees::TreeNode& n : plain.nodes) {
      auto* item = new QTreeWidgetItem(QStringList{n.text});
      item->setData(0, kKeyRole, n.key);
      item->setIcon(0, ImageList1->icon(n.image == trees::NodeImage::Folder ? "folder" : "file"));
      if (checkBoxes) {
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, n.checked ? Qt::Checked : Qt::Unchecked);
      }
      if (n.parent < 0) {
        tree->addTopLevelItem(item);
      } else {
        items[static_cast<std::size_t>(n.parent)]->addChild(item);
      }
      items.push_back(item);
    }
    for (std::size_t i = 0; i < plain.nodes.size(); ++i) {
      if (plain.nodes[i].expanded) items[i]->setExpanded(true);
    }
    loadCount_ = plain.loadCount;
    if (index == 0) lbl_CheckedCount->setText(QString::number(loadCount_));
  });
}

void frm_Upgrade::Cmd_LoadTreeView_Click(int index) { LoadTreeView(index); }

// --- Checked files and counts ----------------------------------------------------------------

int frm_Upgrade::CountChecked(int index) const {
  std::vector<trees::TreeNode> plain;
  plain.reserve(nodes_[index].size());
  for (const QTreeWidgetItem* item : nodes_[index]) {
    trees::TreeNode n;
    n.key = keyOf(item);
    n.checked = item->checkState(0) == Qt::Checked;
    plain.push_back(std::move(n));
  }
  return trees::countChecked(plain);
}

void frm_Upgrade::tv_Files_NodeCheck(int index, QTreeWidgetItem* /*node*/) {
  runProcedure(*diagnostics_, "tv_Files_NodeCheck", [&] {
    lbl_CheckedCount->setText(QString::number(CountChecked(index)));
    RefreshControls();
  });
}

void frm_Upgrade::Chk_TreeView_Click() {
  runProcedure(*diagnostics_, "Chk_TreeView_Click", [&] { RefreshControls(); });
}

void frm_Upgrade::Lst_Files_ItemCheck(QListWidgetItem* /*item*/) {
  runProcedure(*diagnostics_, "Lst_Files_ItemCheck", [&] { RefreshControls(); });
}

// --- Control states and the destination folder -----------------------------------------------

void frm_Upgrade::RefreshControls() {
  const window_states::ControlStates s = window_states::RefreshControls(
      CountChecked(0), Option_Value(Opt_Method), Option_Value(Opt_Jet),
      QString::fromStdString(engine_->Version()));
  Cmd_Upgrade->setEnabled(s.upgradeEnabled);
  Lbl_Help->setText(s.helpText);
  for (int v = 2; v <= 4; ++v) {
    if (s.jetEnabled[v - 2]) Opt_Jet(v)->setEnabled(*s.jetEnabled[v - 2]);
  }
  // Selected like a click, so the destination follows the lowered version.
  if (s.lowerSelectionTo) Set_Option(Opt_Jet, QString::number(*s.lowerSelectionTo));
  for (QWidget* w : std::initializer_list<QWidget*>{Cmd_GetFolder(1), Lbl_Folder(1),
                                                    Cmd_LoadTreeView(1), tv_Files(1)}) {
    w->setEnabled(s.exportMode);
  }
}

void frm_Upgrade::SetDestinationFolder() {
  Lbl_Folder(1)->setText(trees::derivedDestination(Lbl_Folder(0)->text(), Option_Value(Opt_Method),
                                                   engine::TargetJetText(Option_Value(Opt_Jet))));
}

void frm_Upgrade::Opt_Jet_Click(int /*index*/) { SetDestinationFolder(); }

void frm_Upgrade::Opt_Method_Click(int /*index*/) {
  RefreshControls();
  SetDestinationFolder();
}

void frm_Upgrade::Cmd_GetFolder_Click(int index) {
  runProcedure(*diagnostics_, "Cmd_GetFolder_Click", [&] {
    QString folder = Lbl_Folder(index)->text();
    if (!BrowseForFolder(*folderChooser_, this, folder, "folder with MDB files", *notifier_))
      return;
    Lbl_Folder(index)->setText(folder);
    engine::CheckFolders(folder, engine::PathKind::Folder, *channels_);
    LoadTreeView(index);
  });
}

// --- Batch upgrade ---------------------------------------------------------------------------

void frm_Upgrade::Cmd_Upgrade_Click() {
  runProcedure(*diagnostics_, "upgrade", [&] {
    const int count = CountChecked(0);
    const int mode = Option_Value(Opt_Method);
    const QString question = engine::upgradeQuestion(mode, count, Lbl_Folder(1)->text());
    if (count == 0) {
      notifier_->notice(kAppTitle, "select MDB files");
      return;
    }
    if (!notifier_->question(kAppTitle, question + " ?")) return;

    std::vector<QString> keys;
    const int n = nodeCount(0);
    for (int i = 1; i <= n; ++i) {
      if (node(0, i)->checkState(0) == Qt::Checked) keys.push_back(keyOf(node(0, i)));
    }
    engine::BatchSettings batch;
    batch.mode = mode;
    batch.destinationFolder = [this] { return Lbl_Folder(1)->text(); };
    batch.versionCode = engine::TargetJetCode(Option_Value(Opt_Jet));
    engine::DatabaseUpgrade upgrade(*engine_, *channels_);
    int upgraded = 0;
    {
      const ProgressRun run(*progress_, "upgrade", static_cast<int>(keys.size()), true);
      upgraded =
          engine::runBatch(keys, batch, upgrade, [this](const QString& path, int done, int total) {
            return progress_->step(path + "\n" + QString::number(done) + " of " +
                                       QString::number(total) + " file(s) done",
                                   done);
          });
    }
    LoadTreeView(0);
    LoadTreeView(1);
    const QString text = engine::upgradedCountText(upgraded);
    notifier_->notice(kAppTitle, text);
    diagnostics_->AddOutput(text);
  });
}

// --- Database contents listing ---------------------------------------------------------------

void frm_Upgrade::EnumerateDatabase(const QString& path) {
  engine::EnumerateDatabase(path, *engine_, *channels_, [this] { lst_Output->clear(); });
}

void frm_Upgrade::tv_Files_NodeClick(int /*index*/, QTreeWidgetItem* node) {
  EnumerateDatabase(keyOf(node));
}

// --- Find file -------------------------------------------------------------------------------

void frm_Upgrade::FindFile() {
  runProcedure(*diagnostics_, "find file", [&] {
    const std::optional<QStringList> picked = filePicker_->pickFiles(this, "Find Orvak MDB files");
    if (!picked) return;  // Cancel ends the pick silently
    lst_Output->clear();
    Lst_Files->clear();
    const Raised filling(fillingList_);
    trees::listPickedFiles(
        *picked,
        [this](const QString& path) { return engine::GetVersion(path, *engine_, *channels_); },
        [this](const trees::FoundFile& f) {
          auto* item = new QListWidgetItem(f.text, Lst_Files);
          item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
          item->setCheckState(f.checked ? Qt::Checked : Qt::Unchecked);
        });
    RefreshControls();
  });
}

void frm_Upgrade::Cmd_Find_Click() { FindFile(); }

// --- Showing, activation and layout ----------------------------------------------------------

void frm_Upgrade::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_ || event->spontaneous()) return;
  shown_ = true;
  Form_Resize();
  // After the first paint, so the window is on screen while the trees load.
  QTimer::singleShot(0, this, [this] { Form_Activate(); });
}

void frm_Upgrade::Form_Activate() {
  if (activated_) return;
  activated_ = true;
  runProcedure(*diagnostics_, "Activate", [&] {
    LoadTreeView(0);
    lbl_CheckedCount->setText(QString::number(CountChecked(0)));
    if (Option_Value(Opt_Method) == 1) LoadTreeView(1);
    RefreshControls();
  });
}

void frm_Upgrade::Form_Resize() {
  runProcedure(*diagnostics_, "Resize", [&] {
    window_layout::Controls c{
        twipsOf(lst_Output),          twipsOf(tv_Files(0)),   twipsOf(tv_Files(1)),
        twipsOf(lbl_Caption(1)),      twipsOf(Lbl_Folder(1)), twipsOf(Cmd_GetFolder(1)),
        twipsOf(Cmd_LoadTreeView(1)), twipsOf(Cmd_Close),     twipsOf(Cmd_Upgrade)};
    const int clientWidth = centralWidget()->width() * kTwipsPerPixel;
    const int outerWidth = frameGeometry().width() * kTwipsPerPixel;
    const int footerTop = Pic_Footer->y() * kTwipsPerPixel;
    c = window_layout::Form_Resize(c, clientWidth, outerWidth, footerTop);
    setTwips(lst_Output, c.lstOutput);
    setTwips(tv_Files(0), c.tvSource);
    setTwips(tv_Files(1), c.tvDestination);
    setTwips(lbl_Caption(1), c.lblCaption1);
    setTwips(Lbl_Folder(1), c.lblFolder1);
    setTwips(Cmd_GetFolder(1), c.cmdGetFolder1);
    setTwips(Cmd_LoadTreeView(1), c.cmdLoadTreeView1);
    setTwips(Cmd_Close, c.cmdClose);
    setTwips(Cmd_Upgrade, c.cmdUpgrade);
  });
}
