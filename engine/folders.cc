#include "engine/folders.h"

#include <glob.h>
#include <sys/stat.h>

#include <QFile>
#include <cerrno>
#include <cstring>

#include "common/module1.h"
#include "engine/run_error.h"

namespace engine {
namespace {

bool entryExists(const QString& path) {
  struct stat st {};
  return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

bool patternMatches(const QString& pattern) {
  glob_t g{};
  const int rc = ::glob(QFile::encodeName(pattern).constData(), GLOB_NOSORT, nullptr, &g);
  const bool found = rc == 0 && g.gl_pathc > 0;
  ::globfree(&g);
  return found;
}

// False when someone else (another worker of a batch) made it first.
bool makeFolder(const QString& path) {
  const QByteArray name = QFile::encodeName(path);
  if (::mkdir(name.constData(), 0777) == 0) return true;
  const int err = errno;
  struct stat st {};
  if (err == EEXIST && ::stat(name.constData(), &st) == 0 && S_ISDIR(st.st_mode)) return false;
  throw FileError(errnoToRunError(err),
                  "Cannot make folder '" + path + "': " + QString::fromUtf8(std::strerror(err)));
}

}  // namespace

bool FileExists(const QString& path, Channels& channels) {
  try {
    if (path.contains('*') || path.contains('?')) return patternMatches(path);
    return entryExists(path);
  } catch (...) {
    channels.ClassError("FileExists: " + path, currentRunError());
    return false;
  }
}

bool CheckFolders(const QString& path, PathKind kind, Channels& channels) {
  try {
    QStringList parts = path.split('/');
    if (kind == PathKind::File && !parts.isEmpty()) parts.removeLast();
    QString running;
    for (qsizetype i = 0; i < parts.size(); ++i) {
      const QString& part = parts[i];
      if (i == 0) {
        running = part;  // "" for an absolute path: the root exists
        if (part.isEmpty()) continue;
      } else {
        if (part.isEmpty()) continue;  // doubled separator
        running = AddBackslash(running) + part;
      }
      if (!entryExists(running) && makeFolder(running)) {
        channels.AddOutput("folder: " + running + " created");
      }
    }
    return true;
  } catch (...) {
    channels.ClassError("CheckFolders", currentRunError());
    return false;
  }
}

}  // namespace engine
