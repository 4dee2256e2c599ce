// listFolder: the entries of one folder, hidden ones included, sorted by name
// without regard to case (the order users know from the original platform).
// "." and ".." are left out. A folder that cannot be listed gives no entries
// (and, when asked for, the reason in `error`).
#pragma once

#include <QString>
#include <vector>

namespace trees {

struct FolderEntry {
  QString name;
  bool isDirectory = false;
  // Identity of a directory (device, inode), to recurse into each one once.
  unsigned long long device = 0, inode = 0;
};

std::vector<FolderEntry> listFolder(const QString& folder, QString* error = nullptr);

}  // namespace trees
