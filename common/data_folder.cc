#include "common/data_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "common/module1.h"

QString defaultDataFolder() {
  return chooseDataFolder(QCoreApplication::applicationDirPath(),
                          QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
}

QString chooseDataFolder(const QString& exeFolder, const QString& configFolder) {
  const QFileInfo exe(exeFolder);
  if (exe.isDir() && exe.isWritable()) return exeFolder;
  QDir().mkpath(configFolder);
  return configFolder;
}

QString fileInFolder(const QString& folder, const QString& name) {
  return AddBackslash(folder) + name;
}
