// Batch upgrade benchmark: N copies of one small database (in a temporary
// folder, spread over ten sub-folders) upgraded by `jetlift-cli upgrade` in
// mode "Export", once with --jobs 1 and once with --jobs 2. Prints seconds,
// files per second and the speed-up.
#include <sys/resource.h>
#include <sys/wait.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

double childCpuSeconds() {
  rusage u{};
  ::getrusage(RUSAGE_CHILDREN, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Run {
  double seconds = -1, cpu = 0;
};

// Runs one upgrade of the whole folder; seconds < 0 on failure.
Run timedRun(const QString& folder, int jobs) {
  QDir(folder + "/mdb_v40").removeRecursively();
  const std::string command = std::string("'") + JETLIFT_CLI +
                              "' upgrade --mode export --to 4.0 --jobs " + std::to_string(jobs) +
                              " '" + folder.toStdString() + "' > /dev/null";
  const double cpuBefore = childCpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  const int raw = std::system(command.c_str());
  Run r;
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  r.cpu = childCpuSeconds() - cpuBefore;
  if (!WIFEXITED(raw) || WEXITSTATUS(raw) != 0) r.seconds = -1;
  return r;
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
  // A first run, not counted, so both timed runs find the copies on disk and in the cache.
  const Run warm = timedRun(dir.path(), 2);
  const Run one = timedRun(dir.path(), 1);
  const Run two = timedRun(dir.path(), 2);
  if (warm.seconds < 0 || one.seconds < 0 || two.seconds < 0) {
    std::fprintf(stderr, "an upgrade run failed\n");
    return 1;
  }
  std::printf("upgrade: %d files of %lld bytes\n", count,
              static_cast<long long>(QFile(source).size()));
  std::printf("  --jobs 1: %.2f s, %.1f files/s, %.2f s CPU\n", one.seconds, count / one.seconds,
              one.cpu);
  std::printf("  --jobs 2: %.2f s, %.1f files/s, %.2f s CPU\n", two.seconds, count / two.seconds,
              two.cpu);
  std::printf("  speed-up: %.2f\n", one.seconds / two.seconds);
  return 0;
}
