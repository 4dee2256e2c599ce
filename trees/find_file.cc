#include "trees/find_file.h"

#include <cmath>

#include "engine/run_error.h"

namespace trees {

void listPickedFiles(const QStringList& paths, const VersionProbe& probe,
                     const std::function<void(const FoundFile&)>& add) {
  for (const QString& path : paths) {
    const QString version = probe(path);
    FoundFile item{path + " [v" + version + "]", false};
    bool number = false;
    const double value = version.trimmed().toDouble(&number);
    item.checked = number && std::floor(value) == 2 && !path.contains('_');
    add(item);
    if (!number) {
      throw engine::FileError(13, "Type mismatch: version '" + version + "' of '" + path + "'");
    }
  }
}

}  // namespace trees
