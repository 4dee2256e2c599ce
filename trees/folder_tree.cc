#include "trees/folder_tree.h"

#include <sys/stat.h>

#include <QFile>
#include <set>
#include <utility>

#include "common/module1.h"
#include "engine/version_probe.h"
#include "common/database_name.h"
#include "trees/folder_listing.h"

namespace trees {
namespace {

using DirId = std::pair<unsigned long long, unsigned long long>;

class Loader {
 public:
  Loader(FolderTree& tree, const VersionProbe& probe, const LoadProgress& progress)
      : tree_(tree), probe_(probe), progress_(progress) {}

  // False when the load was stopped.
  bool addContents(int parent, const QString& folder, std::set<DirId>& onPath) {
    QString error;
    const std::vector<FolderEntry> entries = listFolder(folder, &error);
    if (!error.isEmpty()) tree_.unreadable.push_back(folder + ": " + error);
    for (const auto& e : entries) {
      if (!e.isDirectory) continue;
      const QString path = childPath(folder, e.name);
      const int node = add(parent, path, e.name, NodeImage::Folder);
      tree_.nodes[node].expanded = true;
      const DirId id{e.device, e.inode};
      if (onPath.count(id) != 0) continue;  // a link back up: shown, not entered
      onPath.insert(id);
      const bool go = addContents(node, path, onPath);
      onPath.erase(id);
      if (!go) return false;
    }
    for (const auto& e : entries) {
      if (e.isDirectory || !common::isDatabaseName(e.name.toStdString())) continue;
      const QString path = childPath(folder, e.name);
      if (progress_ && progress_(path, filesDone_)) return false;
      const QString version = probe_(path);
      ++filesDone_;
      const int node = add(parent, path, e.name + " [" + version + "]", NodeImage::File);
      if (engine::leadingNumber(version) == 2) {
        ++tree_.loadCount;
        tree_.nodes[node].checked = true;
      }
    }
    return true;
  }

  int add(int parent, const QString& key, const QString& text, NodeImage image) {
    tree_.nodes.push_back(TreeNode{key, text, image, false, false, parent});
    return static_cast<int>(tree_.nodes.size()) - 1;
  }

 private:
  FolderTree& tree_;
  const VersionProbe& probe_;
  const LoadProgress& progress_;
  int filesDone_ = 0;
};

}  // namespace

QString childPath(const QString& folder, const QString& name) { return AddBackslash(folder) + name; }

FolderTree loadFolderTree(const QString& root, const VersionProbe& probe,
                          const LoadProgress& progress) {
  FolderTree tree;
  Loader loader(tree, probe, progress);
  const int rootNode = loader.add(-1, root, root, NodeImage::Folder);
  tree.nodes[rootNode].expanded = true;
  std::set<DirId> onPath;
  struct stat st {};
  if (::stat(QFile::encodeName(root).constData(), &st) == 0) onPath.insert({st.st_dev, st.st_ino});
  loader.addContents(rootNode, root, onPath);
  return tree;
}

int countChecked(const std::vector<TreeNode>& nodes) {
  int count = 0;
  for (const auto& n : nodes) {
    if (n.checked && common::isDatabaseName(n.key.toStdString())) ++count;
  }
  return count;
}

}  // namespace trees
