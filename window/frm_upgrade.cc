#include "window/frm_upgrade.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QEvent>
#include <QFileDialog>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include "common/app_info.h"
#include "common/data_folder.h"
#include "common/diagnostics.h"
#include "common/message_box_notifier.h"
#include "common/module1.h"
#include "common/settings.h"
#include "engine/db_engine.h"
#include "engine/folders.h"
#include "window/diagnostics_channels.h"
#include "window/dialogs.h"
#include "window/image_list.h"
#include "window/procedure.h"
#include "window/work_progress.h"

namespace {

constexpr int px(int twips) {
  return (twips + frm_Upgrade::kTwipsPerPixel / 2) / frm_Upgrade::kTwipsPerPixel;
}

// Puts a control at its design place, given in twips relative to its container.
template <class W>
W* place(W* w, const QString& name, int left, int top, int width, int height) {
  w->setObjectName(name);
  w->setGeometry(px(left), px(top), px(width), px(height));
  return w;
}

QString element(const char* name, int index) { return QString("%1(%2)").arg(name).arg(index); }

// Display fields: the system's window background and window text, as a text box has.
void makeDisplayField(QLabel* label) {
  label->setAutoFillBackground(true);
  label->setBackgroundRole(QPalette::Base);
  label->setForegroundRole(QPalette::Text);
}

QPushButton* button(QWidget* parent, const QString& text, const QString& toolTip = {}) {
  auto* b = new QPushButton(text, parent);
  if (!toolTip.isEmpty()) b->setToolTip(toolTip);
  return b;
}

QTreeWidget* tree(QWidget* parent, bool checkBoxes) {
  auto* t = new QTreeWidget(parent);
  t->setColumnCount(1);
  t->setHeaderHidden(true);
  t->setIconSize(QSize(ImageList::kImageSize, ImageList::kImageSize));
  t->setProperty("checkBoxes", checkBoxes);  // the tree loader gives nodes of this tree a check box
  return t;
}

}  // namespace

frm_Upgrade::frm_Upgrade(Services services, QWidget* parent) : QMainWindow(parent) {
  setObjectName("frm_Upgrade");
  if (services.notifier == nullptr) {
    ownNotifier_ = std::make_unique<MessageBoxNotifier>(this);
    services.notifier = ownNotifier_.get();
  }
  notifier_ = services.notifier;
  if (services.dataFolder.isEmpty()) services.dataFolder = defaultDataFolder();
  diagnostics_ = std::make_unique<Diagnostics>(*notifier_, services.dataFolder);
  if (services.clock) diagnostics_->setClock(services.clock);
  settings_ = std::make_unique<Settings>(*notifier_, services.dataFolder);
  engine_ = services.engine != nullptr ? services.engine : &engine::DBEngine::instance();
  channels_ = std::make_unique<DiagnosticsChannels>(*diagnostics_);

  // The design's places were made for a small 8-point face; at the desktop's usual
  // size, captions such as "Destination:" would not fit their labels.
  QFont small = font();
  small.setPixelSize(11);
  small.setStretch(QFont::SemiCondensed);  // taken where the face has a narrower cut
  setFont(small);
  auto* client = new QWidget(this);
  client->setObjectName("client");
  setCentralWidget(client);

  ImageList1 = new ImageList(this);
  ImageList1->setObjectName("ImageList1");
  CommonDialog1 = new QFileDialog(this);
  CommonDialog1->setObjectName("CommonDialog1");
  CommonDialog1->setDefaultSuffix("MDB");
  adoptServices(services);

  createTopRow(client);
  createTreesAndOutput(client);
  createFooter(client);
  createSecondRow(client);
  createMenus();
  setFocusOrder();

  client->installEventFilter(this);
  resize(px(kClientWidthTwips), px(kClientHeightTwips) + menuBar()->sizeHint().height());
  dockFooter();

  connectEvents();
  connectWiring();
  Cmd_Find->setFocus();
  Form_Load();
}

frm_Upgrade::~frm_Upgrade() = default;

void frm_Upgrade::connectEvents() {
  Opt_Method.setReporter(notifier_);
  Opt_Jet.setReporter(notifier_);
  diagnostics_->setOutputSink([this](const QString& text) { lst_Output->addItem(text); });
  diagnostics_->setTraceSwitch([this] { return Chk_Trace->checkState() != Qt::Unchecked; });
  diagnostics_->setEngineErrors([this] {
    std::vector<CurrentError> out;
    const engine::Errors& errors = engine_->Errors();
    for (int i = 0; i < errors.Count(); ++i) {
      out.push_back({errors.Item(i).Number, QString::fromStdString(errors.Item(i).Description)});
    }
    return out;
  });
  connect(Cmd_Close, &QPushButton::clicked, this, [this] { Cmd_Close_Click(); });
  connect(mnu_file(0), &QAction::triggered, this, [this] { mnu_file_Click(0); });
  connect(mnu_file(1), &QAction::triggered, this, [this] { mnu_file_Click(1); });
  connect(mnu_Help(0), &QAction::triggered, this, [this] { mnu_Help_Click(0); });
}

void frm_Upgrade::Form_Load() {
  runProcedure(*diagnostics_, "Load", [&] {
    diagnostics_->ResetTrace();
    setWindowTitle(windowCaption(QString::fromStdString(engine_->Version())));
    Lbl_Folder(0)->setText(settings_->GetSetting("general", "Source", defaultSourceFolder()));
    Lbl_Folder(1)->setText(
        settings_->GetSetting("general", "Destination", defaultDestinationFolder()));
    Set_Option(Opt_Method, settings_->GetSetting("general", "Method", "1"));
    Set_Option(Opt_Jet, settings_->GetSetting("general", "Jet", "3"));
    engine::CheckFolders(Lbl_Folder(0)->text(), engine::PathKind::Folder, *channels_);
    engine::CheckFolders(Lbl_Folder(1)->text(), engine::PathKind::Folder, *channels_);
    RefreshControls();
  });
}

void frm_Upgrade::Form_QueryUnload() {
  runProcedure(*diagnostics_, "QueryUnload", [&] {
    settings_->SaveSetting("general", "Source", Lbl_Folder(0)->text());
    settings_->SaveSetting("general", "Destination", Lbl_Folder(1)->text());
    settings_->SaveSetting("general", "Method", QString::number(Option_Value(Opt_Method)));
    settings_->SaveSetting("general", "Jet", QString::number(Option_Value(Opt_Jet)));
  });
}

// Every way of closing (close box, "Close", File "E&xit") comes here; closing is never refused.
void frm_Upgrade::closeEvent(QCloseEvent* event) {
  Form_QueryUnload();
  event->accept();
}

void frm_Upgrade::Cmd_Close_Click() {
  runProcedure(*diagnostics_, "close", [&] { close(); });
}

void frm_Upgrade::mnu_file_Click(int index) {
  runProcedure(*diagnostics_, "FileMenu(" + QString::number(index), [&] {
    if (index == 0) FindFile();
    if (index == 1) close();
  });
}

void frm_Upgrade::mnu_Help_Click(int index) {
  runProcedure(*diagnostics_, "HelpMenu(" + QString::number(index), [&] {
    if (index == 0) notifier_->notice(kAppTitle, versionBoxText());
  });
}

void frm_Upgrade::createTopRow(QWidget* client) {
  Label2 = place(new QLabel("Source:", client), "Label2", 240, 120, 495, 255);
  Lbl_Folder.add(0, place(new QLabel(client), element("Lbl_Folder", 0), 855, 120, 3375, 255));
  Cmd_GetFolder.add(0, place(button(client, "...", "Locate drive or folder with MDB files"),
                             element("Cmd_GetFolder", 0), 4230, 120, 495, 255));
  Cmd_LoadTreeView.add(0, place(button(client, "load", "re-load treeview "),
                                element("Cmd_LoadTreeView", 0), 4725, 120, 495, 255));
  lbl_CheckedCount = place(new QLabel(client), "lbl_CheckedCount", 5400, 120, 375, 255);
  lbl_Caption.add(
      1, place(new QLabel("Destination:", client), element("lbl_Caption", 1), 5880, 120, 855, 255));
  Lbl_Folder.add(1, place(new QLabel(client), element("Lbl_Folder", 1), 6735, 120, 3615, 255));
  Cmd_GetFolder.add(1, place(button(client, "...", "Locate destination drive or folder"),
                             element("Cmd_GetFolder", 1), 10350, 120, 495, 255));
  Cmd_LoadTreeView.add(1, place(button(client, "load", "re-load treeview "),
                                element("Cmd_LoadTreeView", 1), 10845, 120, 495, 255));
  makeDisplayField(Lbl_Folder(0));
  makeDisplayField(Lbl_Folder(1));
  makeDisplayField(lbl_CheckedCount);
}

void frm_Upgrade::createTreesAndOutput(QWidget* client) {
  tv_Files.add(0, place(tree(client, true), element("tv_Files", 0), 240, 480, 5535, 4215));
  tv_Files.add(1, place(tree(client, false), element("tv_Files", 1), 5880, 480, 5535, 4215));
  lst_Output = place(new QListWidget(client), "lst_Output", 240, 4800, 11175, 1785);
}

void frm_Upgrade::createFooter(QWidget* client) {
  Pic_Footer = place(new QWidget(client), "Pic_Footer", 0, 6735, 12105, 855);

  Frame1 = place(new QGroupBox("Mode...", Pic_Footer), "Frame1", 120, 0, 2295, 735);
  Opt_Method.add(
      0, place(new QRadioButton("Save as", Frame1), element("Opt_Method", 0), 240, 300, 975, 255));
  Opt_Method.add(
      1, place(new QRadioButton("Export", Frame1), element("Opt_Method", 1), 1335, 300, 855, 255));
  Opt_Method(1)->setChecked(true);

  Lbl_Help = place(new QLabel(Pic_Footer), "Lbl_Help", 2415, 0, 3255, 735);
  Lbl_Help->setText(
      "Upgrade all checked MDB files on left side, and copy to folder or drive  selected  on right "
      "side");
  Lbl_Help->setWordWrap(true);
  Lbl_Help->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Lbl_Help->setAutoFillBackground(true);
  QPalette help = Lbl_Help->palette();
  help.setColor(QPalette::Window, QColor(255, 255, 192));
  Lbl_Help->setPalette(help);
  Lbl_Help->setBackgroundRole(QPalette::Window);
  Lbl_Help->setForegroundRole(QPalette::Text);

  Frame2 = place(new QGroupBox("Version", Pic_Footer), "Frame2", 5880, 0, 2295, 735);
  Opt_Jet.add(2, place(new QRadioButton("2.0", Frame2), element("Opt_Jet", 2), 120, 360, 615, 195));
  Opt_Jet.add(3, place(new QRadioButton("3.0", Frame2), element("Opt_Jet", 3), 840, 360, 615, 195));
  Opt_Jet.add(4,
              place(new QRadioButton("4.0", Frame2), element("Opt_Jet", 4), 1560, 330, 615, 195));

  Cmd_Upgrade = place(button(Pic_Footer, "Upgrade"), "Cmd_Upgrade", 9720, 360, 1095, 375);
  Cmd_Close = place(button(Pic_Footer, "Close"), "Cmd_Close", 10920, 360, 1095, 375);
}

void frm_Upgrade::createSecondRow(QWidget* client) {
  Chk_Trace = place(new QCheckBox("Trace", client), "Chk_Trace", 2040, 8280, 855, 195);
  Chk_TreeView = place(new QCheckBox("TreeView", client), "Chk_TreeView", 3000, 8280, 975, 195);
  Chk_TreeView->setChecked(true);
  Label1 = place(new QLabel("Files:", client), "Label1", 4200, 8280, 495, 255);
  Cmd_Find = place(button(client, "..."), "Cmd_Find", 4800, 8280, 495, 255);
  Lst_Files = place(new QListWidget(client), "Lst_Files", 600, 8760, 2535, 255);
  Lbl_statusZ = place(new QLabel(client), "Lbl_statusZ", 600, 9120, 3255, 255);
}

void frm_Upgrade::createMenus() {
  m_file = menuBar()->addMenu("&File");
  m_file->setObjectName("m_file");
  mnu_file.add(0, m_file->addAction("&Open..."));
  mnu_file.add(1, m_file->addAction("E&xit"));
  m_Help = menuBar()->addMenu("&Help");
  m_Help->setObjectName("m_Help");
  mnu_Help.add(0, m_Help->addAction("&Version"));
  for (const auto& [i, action] : mnu_file.items()) action->setObjectName(element("mnu_file", i));
  for (const auto& [i, action] : mnu_Help.items()) action->setObjectName(element("mnu_Help", i));
}

void frm_Upgrade::setFocusOrder() {
  const QList<QWidget*> order = {
      Cmd_Find,     Lst_Files,        lst_Output,          tv_Files(0),         Chk_Trace,
      Chk_TreeView, Cmd_GetFolder(0), Cmd_LoadTreeView(0), Cmd_LoadTreeView(1), Cmd_GetFolder(1),
      tv_Files(1),  Opt_Method(1),    Opt_Method(0),       Cmd_Close,           Cmd_Upgrade,
      Opt_Jet(4),   Opt_Jet(3),       Opt_Jet(2)};
  for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
  for (const OptionGroup* group : {&Opt_Method, &Opt_Jet}) {
    for (const auto& item : group->items()) item.second->installEventFilter(this);
  }
}

// Qt leaves a group at once on Tab but enters it at whichever button comes first;
// an option group is one stop, so the focus moves on to the group's selected button.
bool frm_Upgrade::enterGroupAtSelected(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::FocusIn) return false;
  const auto reason = static_cast<QFocusEvent*>(event)->reason();
  if (reason != Qt::TabFocusReason && reason != Qt::BacktabFocusReason) return false;
  for (const OptionGroup* group : {&Opt_Method, &Opt_Jet}) {
    for (const auto& item : group->items()) {
      if (item.second != watched) continue;
      for (const auto& other : group->items()) {
        if (other.second->isChecked() && other.second != watched) {
          other.second->setFocus(reason);
          return true;
        }
      }
      return false;
    }
  }
  return false;
}

// The footer keeps to the bottom edge of the client area and its full width.
void frm_Upgrade::dockFooter() {
  const QWidget* client = centralWidget();
  const int height = px(855);
  Pic_Footer->setGeometry(0, client->height() - height, client->width(), height);
}

bool frm_Upgrade::eventFilter(QObject* watched, QEvent* event) {
  if (watched == centralWidget() && event->type() == QEvent::Resize) {
    dockFooter();
    if (shown_) Form_Resize();
  }
  if (enterGroupAtSelected(watched, event)) return true;
  return QMainWindow::eventFilter(watched, event);
}
