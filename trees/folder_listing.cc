#include "trees/folder_listing.h"

#include <dirent.h>
#include <sys/stat.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace trees {

std::vector<FolderEntry> listFolder(const QString& folder, QString* error) {
  std::vector<FolderEntry> out;
  const QByteArray native = QFile::encodeName(folder);
  DIR* dir = ::opendir(native.constData());
  if (dir == nullptr) {
    if (error != nullptr) *error = QString::fromUtf8(std::strerror(errno));
    return out;
  }
  QByteArray prefix = native;
  if (!prefix.endsWith('/')) prefix += '/';
  while (const dirent* e = ::readdir(dir)) {
    const QByteArray name(e->d_name);
    if (name == "." || name == "..") continue;
    FolderEntry entry;
    entry.name = QFile::decodeName(name);
    struct stat st {};
    // stat follows links: a link to a folder is shown as a folder.
    if (::stat((prefix + name).constData(), &st) == 0) {
      entry.isDirectory = S_ISDIR(st.st_mode);
      entry.device = st.st_dev;
      entry.inode = st.st_ino;
    }
    out.push_back(std::move(entry));
  }
  ::closedir(dir);
  std::stable_sort(out.begin(), out.end(), [](const FolderEntry& a, const FolderEntry& b) {
    const int c = QString::compare(a.name, b.name, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a.name < b.name;
  });
  return out;
}

}  // namespace trees
