#include "window/dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <exception>

#include "common/app_info.h"
#include "common/notifier.h"

std::optional<QString> QtFolderChooser::chooseFolder(QWidget* owner, const QString& title,
                                                     const QString& start) {
  const QString folder = QFileDialog::getExistingDirectory(owner, title, start);
  if (folder.isEmpty()) return std::nullopt;
  return QDir::toNativeSeparators(folder);
}

std::optional<QStringList> QtFilePicker::pickFiles(QWidget* owner, const QString& title) {
  dialog_->setParent(owner, dialog_->windowFlags());
  dialog_->setWindowTitle(title);
  dialog_->setFileMode(QFileDialog::ExistingFiles);
  dialog_->setAcceptMode(QFileDialog::AcceptOpen);
  dialog_->setNameFilter(kMdbFilter);
  dialog_->selectFile(QString());
  if (dialog_->exec() != QDialog::Accepted) return std::nullopt;
  QStringList files;
  for (const QString& f : dialog_->selectedFiles()) files << QDir::toNativeSeparators(f);
  return files;
}

bool BrowseForFolder(FolderChooser& chooser, QWidget* owner, QString& folder, const QString& what,
                     Notifier& notifier) {
  try {
    if (folder.isEmpty()) folder = QDir::currentPath();
    const std::optional<QString> chosen =
        chooser.chooseFolder(owner, "Choose " + what + " folder", folder);
    if (!chosen) return false;
    folder = *chosen;
    return true;
  } catch (const std::exception& e) {
    notifier.notice(kAppTitle, QString::fromStdString(e.what()));
    return false;
  }
}
