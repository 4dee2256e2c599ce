// The files picked in the open dialog, as items of the check-box list: the
// path with " [v" + version + "]", checked for Jet 2 files whose path holds no
// underscore. A version that is not a number stops the listing (type mismatch).
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "trees/folder_tree.h"

namespace trees {

struct FoundFile {
  QString text;
  bool checked = false;
};

// Lists each path in order through `add`; throws engine::FileError (13) at the
// first file whose version text does not read as a number, after adding it.
void listPickedFiles(const QStringList& paths, const VersionProbe& probe,
                     const std::function<void(const FoundFile&)>& add);

}  // namespace trees
