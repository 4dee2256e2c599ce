// Batch upgrade benchmark: N copies of one small database (in a temporary
// folder, spread over ten sub-folders) upgraded by `jetlift-cli upgrade` in
// mode "Export", once with --jobs 1 and once with --jobs 2. Prints seconds,
// files per second and the speed-up.
#include <sys/wait.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Runs one upgrade of the whole folder; seconds, or a negative number on failure.
double timedRun(const QString& folder, int jobs) {
  QDir(folder + "/mdb_v40").removeRecursively();
  const std::string command = std::string("'") + JETLIFT_CLI +
                              "' upgrade --mode export --to 4.0 --jobs " + std::to_string(jobs) +
                              " '" + folder.toStdString() + "' > /dev/null";
  const auto start = std::chrono::steady_clock::now();
  const int raw = std::system(command.c_str());
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!WIFEXITED(raw) || WEXITSTATUS(raw) != 0) return -1;
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: upgrade_bench FILE.mdb [COUNT]\n");
    return 2;
  }
  const QString source = QString::fromLocal8Bit(argv[1]);
  const int count = argc > 2 ? std::atoi(argv[2]) : 1000;
  QTemporaryDir dir;
  for (int i = 0; i < count; ++i) {
    const QString sub = dir.path() + QString("/folder%1").arg(i % 10);
    QDir().mkpath(sub);
    if (!QFile::copy(source, sub + QString("/db%1.mdb").arg(i))) {
      std::fprintf(stderr, "cannot copy %s\n", argv[1]);
      return 1;
    }
  }
  const double one = timedRun(dir.path(), 1);
  const double two = timedRun(dir.path(), 2);
  if (one < 0 || two < 0) {
    std::fprintf(stderr, "an upgrade run failed\n");
    return 1;
  }
  std::printf("upgrade: %d files of %lld bytes\n", count,
              static_cast<long long>(QFile(source).size()));
  std::printf("  --jobs 1: %.2f s, %.1f files/s\n", one, count / one);
  std::printf("  --jobs 2: %.2f s, %.1f files/s\n", two, count / two);
  std::printf("  speed-up: %.2f\n", one / two);
  return 0;
}
