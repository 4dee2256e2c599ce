// The destination folder derived from the source folder, the mode and the
// target version text: source + "/mdb_v" + "20"/"30"/"40"/"XXX" in mode
// "Export", source + "/mdb_original" otherwise. The source is taken verbatim.
#pragma once

#include <QString>

namespace trees {

QString derivedDestination(const QString& source, int mode, const QString& targetJetText);

}  // namespace trees
