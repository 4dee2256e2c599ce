// Where the settings, log and trace files live: beside the executable, or in the
// per-user configuration folder when the executable's folder cannot be written.
#pragma once

#include <QString>

QString defaultDataFolder();
// The executable's folder when it can be written, else the configuration folder (made when
// missing).
QString chooseDataFolder(const QString& exeFolder, const QString& configFolder);
// `name` inside `folder`, with exactly one separator between them.
QString fileInFolder(const QString& folder, const QString& name);
