// What the wiring tests of the window share: an engine that can report another
// version or fail a compaction, dialogs answered by the test, a progress that
// stops on request, and a window started from a settings file of the test's own.
#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

#include "../corpus.h"
#include "engine/db_engine.h"
#include "modal_guard.h"
#include "recording_notifier.h"
#include "window/dialogs.h"
#include "window/frm_upgrade.h"
#include "window/work_progress.h"

namespace harness {

inline QString corpusFile(const char* name) { return QString::fromStdString(corpus::path(name)); }
inline const char* kJet2 = "jet2-sighor-hor_udep-vb3app.mdb";
inline const char* kJet3 = "jet3-jackcess-test-access97.mdb";
inline const char* kJet4 = "jet4-jackcess-emptyJet4.mdb";

// The real engine, with the version it reports and its compaction open to the test.
class TestEngine : public engine::DBEngine {
 public:
  std::string version = "4.0";
  QString
      failCompactionOf;  // a compaction of a file whose path ends so fails after a partial write
  std::function<void(const QString& src)> beforeCompaction;
  QStringList compacted;

  std::string Version() const override { return version; }
  void CompactDatabase(const std::string& src, const std::string& dst, long options) override {
    const QString from = QString::fromStdString(src);
    compacted << from;
    if (beforeCompaction) beforeCompaction(from);
    if (!failCompactionOf.isEmpty() && from.endsWith(failCompactionOf)) {
      QFile f(QString::fromStdString(dst));
      f.open(QIODevice::WriteOnly);
      f.write(QByteArray(4096, 'x'));
      f.close();
      fail(3026, "Not enough space on disk while writing '" + dst + "'.");
    }
    engine::DBEngine::CompactDatabase(src, dst, options);
  }
};

class TestFolderChooser : public FolderChooser {
 public:
  std::optional<QString> answer;  // nullopt: Cancel
  QStringList titles, starts;
  std::optional<QString> chooseFolder(QWidget*, const QString& title,
                                      const QString& start) override {
    titles << title;
    starts << start;
    return answer;
  }
};

class TestFilePicker : public FilePicker {
 public:
  std::optional<QStringList> answer;  // nullopt: Cancel
  QStringList titles;
  std::optional<QStringList> pickFiles(QWidget*, const QString& title) override {
    titles << title;
    return answer;
  }
};

// Records what a run shows; answers "stop" once `stopAfter` steps have been shown.
class TestProgress : public WorkProgress {
 public:
  int stopAfter = -1;
  QStringList titles, texts;
  int begun = 0, ended = 0, steps = 0;
  std::function<void()> onStep;
  void begin(const QString& title, int, bool) override {
    titles << title;
    ++begun;
    steps = 0;
  }
  bool step(const QString& text, int) override {
    texts << text;
    if (onStep) onStep();
    return stopAfter >= 0 && steps++ >= stopAfter;
  }
  void end() override { ++ended; }
};

// Writes a file of `bytes` bytes (damaged databases, text files named .mdb).
inline void writeBytes(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  f.open(QIODevice::WriteOnly);
  f.write(bytes);
}

// A copy of a corpus file, writable, living as long as the test's folder.
inline QString copyCorpus(const char* name, const QString& to) {
  QDir().mkpath(QFileInfo(to).absolutePath());
  QFile::remove(to);
  QFile::copy(corpusFile(name), to);
  QFile(to).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  return to;
}

inline QByteArray bytesOf(const QString& path) {
  QFile f(path);
  f.open(QIODevice::ReadOnly);
  return f.readAll();
}

// One started window and everything it was given.
struct Harness {
  QTemporaryDir data;   // settings, log, trace
  QTemporaryDir files;  // the databases of the test
  RecordingNotifier boxes;
  TestEngine engine;
  TestFolderChooser chooser;
  TestFilePicker picker;
  TestProgress progress;
  bool realProgress = false;
  std::unique_ptr<frm_Upgrade> window;

  QString source() const { return files.path() + "/src"; }
  QString path(const QString& relative) const { return files.path() + "/" + relative; }

  // The settings file the window will read; a key given as nullopt is left out.
  void writeSettings(std::optional<QString> src, std::optional<QString> dest,
                     std::optional<QString> method, std::optional<QString> jet) {
    QString text = "[general]\r\n";
    if (src) text += "Source=" + *src + "\r\n";
    if (dest) text += "Destination=" + *dest + "\r\n";
    if (method) text += "Method=" + *method + "\r\n";
    if (jet) text += "Jet=" + *jet + "\r\n";
    writeBytes(data.path() + "/jetlift.ini", text.toUtf8());
  }

  // Creates and shows the window, and waits until its activation has run.
  bool start() {
    WindowServices s;
    s.notifier = &boxes;
    s.dataFolder = data.path();
    s.engine = &engine;
    s.folderChooser = &chooser;
    s.filePicker = &picker;
    s.progress = realProgress ? nullptr : &progress;
    window = std::make_unique<frm_Upgrade>(s);
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get())) return false;
    return QTest::qWaitFor([&] { return window->activated(); }, 5000);
  }

  QTreeWidget* tree(int i) const { return window->tv_Files(i); }
  // Node texts of tree i in insertion order, indented by depth.
  QStringList outline(int i) const {
    QStringList out;
    for (int p = 1; p <= window->nodeCount(i); ++p) {
      const QTreeWidgetItem* item = window->node(i, p);
      int depth = 0;
      for (const QTreeWidgetItem* up = item->parent(); up != nullptr; up = up->parent()) ++depth;
      const bool checked = item->checkState(0) == Qt::Checked;
      out << QString(depth * 2, ' ') + item->text(0) + (checked ? " *" : "");
    }
    return out;
  }
  QStringList output() const {
    QStringList out;
    for (int r = 0; r < window->lst_Output->count(); ++r)
      out << window->lst_Output->item(r)->text();
    return out;
  }
  QStringList errorBoxes() const {
    QStringList out;
    for (const auto& b : boxes.boxes) {
      if (b.text.contains("Error")) out << b.text;
    }
    return out;
  }
};

// A user's click on a radio button: on its indicator, since the centre can miss.
inline void clickRadio(QRadioButton* rb) {
  QStyleOptionButton o;
  o.initFrom(rb);
  o.text = rb->text();
  const QRect r = rb->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &o, rb);
  QTest::mouseClick(rb, Qt::LeftButton, {}, r.center());
}

// A user's click on the check box of a tree node.
inline void clickCheckBox(QTreeWidget* tree, QTreeWidgetItem* item) {
  tree->scrollToItem(item);
  QStyleOptionViewItem o;
  o.initFrom(tree);
  o.rect = tree->visualItemRect(item);
  o.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
  const QRect box = tree->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &o, tree);
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, box.center());
}

// A user's click on a node's text.
inline void clickNode(QTreeWidget* tree, QTreeWidgetItem* item) {
  tree->scrollToItem(item);
  const QRect r = tree->visualItemRect(item);
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, QPoint(r.right() - 4, r.center().y()));
}

}  // namespace harness
