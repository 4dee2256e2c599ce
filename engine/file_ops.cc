#include "engine/file_ops.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <vector>

#include "common/module1.h"
#include "engine/run_error.h"
#include "jet/file_output.h"

namespace engine {
namespace {

[[noreturn]] void fail(const QString& what, const QString& path, int err) {
  throw FileError(errnoToRunError(err),
                  what + " '" + path + "': " + QString::fromUtf8(std::strerror(err)));
}

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

int openRead(const QString& path) {
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) fail("Cannot open", path, errno);
  return fd;
}

std::size_t readSome(int fd, char* buffer, std::size_t size, const QString& path) {
  for (;;) {
    const ssize_t got = ::read(fd, buffer, size);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) fail("Cannot read", path, errno);
  }
}

void writeAll(int fd, const char* data, std::size_t size, const QString& path) {
  while (size > 0) {
    const ssize_t put = jet::fileOutput().write(fd, data, size);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) fail("Cannot write", path, errno);
    data += put;
    size -= static_cast<std::size_t>(put);
  }
}

void syncFolderOf(const QString& path) {
  // Best effort: the file is complete and in place whether or not this succeeds.
  jet::fileOutput().syncFolder(QFile::encodeName(QFileInfo(path).absolutePath()).constData());
}

}  // namespace

bool sameBytes(const QString& a, const QString& b) {
  Fd fa(openRead(a)), fb(openRead(b));
  std::vector<char> ba(1 << 16), bb(1 << 16);
  for (;;) {
    const std::size_t na = readSome(fa.get(), ba.data(), ba.size(), a);
    std::size_t nb = 0;
    while (nb < na) {
      const std::size_t got = readSome(fb.get(), bb.data() + nb, na - nb, b);
      if (got == 0) break;
      nb += got;
    }
    if (na != nb || std::memcmp(ba.data(), bb.data(), na) != 0) return false;
    if (na == 0) {
      char extra;
      return readSome(fb.get(), &extra, 1, b) == 0;
    }
  }
}

void copyFileChecked(const QString& src, const QString& dst) {
  Fd in(openRead(src));
  const QByteArray target = QFile::encodeName(dst);
  jet::FileOutput& calls = jet::fileOutput();
  Fd out(calls.open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
  if (out.get() < 0) fail("Cannot create", dst, errno);
  try {
    std::vector<char> buffer(1 << 16);
    for (;;) {
      const std::size_t n = readSome(in.get(), buffer.data(), buffer.size(), src);
      if (n == 0) break;
      writeAll(out.get(), buffer.data(), n, dst);
    }
    if (calls.fsync(out.get()) != 0) fail("Cannot flush", dst, errno);
    if (calls.close(out.release()) != 0) fail("Cannot close", dst, errno);
    syncFolderOf(dst);
    if (!sameBytes(src, dst)) {
      throw FileError(kErrPathFileAccess, "The copy '" + dst + "' differs from '" + src + "'");
    }
  } catch (...) {
    ::unlink(target.constData());
    throw;
  }
}

QString temporaryPathBeside(const QString& folder, const QString& name) {
  static std::atomic<unsigned> counter{0};
  for (;;) {
    const QString candidate = AddBackslash(folder) + "." + name + ".jetlift-" +
                              QString::number(::getpid()) + "-" + QString::number(counter++) +
                              ".tmp";
    struct stat st {};
    if (::lstat(QFile::encodeName(candidate).constData(), &st) != 0) return candidate;
  }
}

void replaceFile(const QString& from, const QString& to) {
  if (jet::fileOutput().rename(QFile::encodeName(from).constData(),
                              QFile::encodeName(to).constData()) != 0) {
    fail("Cannot replace", to, errno);
  }
  syncFolderOf(to);
}

void removeQuietly(const QString& path) { ::unlink(QFile::encodeName(path).constData()); }

}  // namespace engine
