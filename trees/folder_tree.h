// FolderTree: the nodes of one folder tree as plain data, in the order they
// were added (position 1..n), with the folder-then-files load rules. The
// window mirrors it into its tree widget.
#pragma once

#include <QString>
#include <functional>
#include <vector>

namespace trees {

enum class NodeImage { Folder, File };

struct TreeNode {
  QString key;   // full path (the root: the folder caption as it stands)
  QString text;  // folder name, or file name + " [" + version + "]"
  NodeImage image = NodeImage::Folder;
  bool checked = false;
  bool expanded = false;
  int parent = -1;  // index into nodes(); -1 for the root
};

struct FolderTree {
  std::vector<TreeNode> nodes;
  int loadCount = 0;  // file nodes checked by the auto-check rule
  // Folders shown without contents because they could not be listed, as
  // "path: reason" (unreadable, or removed while the tree loaded).
  std::vector<QString> unreadable;
};

// Tells a file's version text ("2.0", ..., "error").
using VersionProbe = std::function<QString(const QString& path)>;
// Called before each file is probed: true means stop the load here.
using LoadProgress = std::function<bool(const QString& path, int filesDone)>;

// Loads `root` with all sub-folders: under every folder its sub-folders
// first (each followed by its contents), then its database files; version-2
// files start checked. Links to folders already on the path are not followed again.
FolderTree loadFolderTree(const QString& root, const VersionProbe& probe,
                          const LoadProgress& progress = {});

// Checked nodes whose key ends in "mdb" (any case): the count the window shows.
int countChecked(const std::vector<TreeNode>& nodes);

// The path of entry `name` inside `folder`, with exactly one separator.
QString childPath(const QString& folder, const QString& name);

}  // namespace trees
