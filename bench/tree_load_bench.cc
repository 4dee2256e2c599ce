// Tree load benchmark: a folder of N database files (copies of one real file,
// made in a temporary folder), loaded as the window loads its source tree,
// with every file probed through the engine. Prints seconds and files/s.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>

#include "engine/channels.h"
#include "engine/version_probe.h"
#include "trees/folder_tree.h"

namespace {

struct QuietChannels : engine::Channels {
  int errors = 0;
  void AddOutput(const QString&) override {}
  void ClassTrace(const QString&) override {}
  void LogMessage(const QString&) override {}
  bool ClassError(const QString&, const engine::RunError&) override {
    ++errors;
    return false;
  }
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: tree_load_bench FILE.mdb [COUNT] [SUBFOLDERS]\n");
    return 2;
  }
  const QString source = QString::fromLocal8Bit(argv[1]);
  const int count = argc > 2 ? std::atoi(argv[2]) : 1000;
  const int folders = argc > 3 ? std::atoi(argv[3]) : 10;
  QTemporaryDir dir;
  for (int i = 0; i < count; ++i) {
    const QString sub = dir.path() + QString("/folder%1").arg(i % folders);
    QDir().mkpath(sub);
    if (!QFile::copy(source, sub + QString("/db%1.mdb").arg(i))) {
      std::fprintf(stderr, "cannot copy %s\n", argv[1]);
      return 1;
    }
  }
  QuietChannels channels;
  auto& engine = engine::DBEngine::instance();
  const auto probe = [&](const QString& p) { return engine::GetVersion(p, engine, channels); };
  trees::loadFolderTree(dir.path(), probe);  // warm the cache
  const auto start = std::chrono::steady_clock::now();
  const auto tree = trees::loadFolderTree(dir.path(), probe);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("tree load: %d files in %d folders, %zu nodes, %.3f s, %.0f files/s, %d errors\n",
              count, folders, tree.nodes.size(), seconds, count / seconds, channels.errors);
  return 0;
}
