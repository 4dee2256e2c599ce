#include "trees/destination_folder.h"

#include <QDir>

namespace trees {

QString derivedDestination(const QString& source, int mode, const QString& targetJetText) {
  const QString sep = QDir::separator();
  if (mode == 1) return source + sep + "mdb_v" + targetJetText;
  return source + sep + "mdb_original";
}

}  // namespace trees
