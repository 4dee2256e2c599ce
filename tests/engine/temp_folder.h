// A fresh folder under the temporary directory, removed with everything in it.
#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <string>

class TempFolder {
 public:
  TempFolder() { dir_.setAutoRemove(true); }
  QString path() const { return dir_.path(); }
  QString file(const QString& name) const { return dir_.path() + "/" + name; }
  // Copies a file in (for corpus files: the copy lives only as long as the test).
  QString copyIn(const std::string& from, const QString& name) const {
    QDir().mkpath(QFileInfo(file(name)).absolutePath());
    QFile::copy(QString::fromStdString(from), file(name));
    QFile(file(name)).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return file(name);
  }
  void write(const QString& name, const QByteArray& bytes) const {
    QDir().mkpath(QFileInfo(file(name)).absolutePath());
    QFile f(file(name));
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
  }

 private:
  QTemporaryDir dir_;
};

inline QByteArray readAll(const QString& path) {
  QFile f(path);
  f.open(QIODevice::ReadOnly);
  return f.readAll();
}
