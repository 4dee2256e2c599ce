// The file and folder dialogs the window opens, behind small interfaces so
// that tests answer them instead of a user. The real ones are Qt's dialogs.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class Notifier;
class QFileDialog;
class QWidget;

class FolderChooser {
 public:
  virtual ~FolderChooser() = default;
  // The folder the user confirmed, or nullopt for Cancel. Starts at `start`.
  virtual std::optional<QString> chooseFolder(QWidget* owner, const QString& title,
                                              const QString& start) = 0;
};

class FilePicker {
 public:
  virtual ~FilePicker() = default;
  // The full paths of the files picked, in the order the dialog gives them; nullopt for Cancel.
  virtual std::optional<QStringList> pickFiles(QWidget* owner, const QString& title) = 0;
};

class QtFolderChooser : public FolderChooser {
 public:
  std::optional<QString> chooseFolder(QWidget* owner, const QString& title,
                                      const QString& start) override;
};

// Uses the window's own open dialog (CommonDialog1), set up anew at every pick.
class QtFilePicker : public FilePicker {
 public:
  explicit QtFilePicker(QFileDialog* dialog) : dialog_(dialog) {}
  std::optional<QStringList> pickFiles(QWidget* owner, const QString& title) override;

 private:
  QFileDialog* dialog_;
};

// The open dialog's one filter: database files with ".mdb" in any letter case.
inline constexpr char kMdbFilter[] = "MDB files (*.[Mm][Dd][Bb])";

// Lets the user pick a folder; true when one was confirmed, which is then in `folder`.
// An empty `folder` is first replaced by the current directory, whatever the user does.
// A failure is shown as a box with its bare description and gives false.
bool BrowseForFolder(FolderChooser& chooser, QWidget* owner, QString& folder, const QString& what,
                     Notifier& notifier);
