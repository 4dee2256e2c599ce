// The commands of jetlift-cli. Each takes its own arguments (after the
// command name) and returns the exit status: 0 ok, 1 a file failed, 2 usage.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace cli {

using Args = std::vector<std::string>;

int runVersion(const Args& args);
int runTables(const Args& args);
int runSchema(const Args& args);
int runDump(const Args& args);
int runExport(const Args& args);
int runCompact(const Args& args);
int runCheck(const Args& args);
int runSample(const Args& args);
int runUpgrade(const Args& args);
int runVerify(const Args& args);

// Prints the usage text to stderr and returns 2.
int badUsage(const std::string& why);
extern const char* const kUsage;

// Buffers output and writes it in large blocks, so memory stays flat.
class Output {
 public:
  explicit Output(std::FILE* to) : to_(to) { text.reserve(kFlushAt + 4096); }
  ~Output() { flush(); }
  std::string text;
  void maybeFlush() {
    if (text.size() >= kFlushAt) flush();
  }
  void flush() {
    if (!text.empty()) std::fwrite(text.data(), 1, text.size(), to_);
    text.clear();
  }

 private:
  static constexpr std::size_t kFlushAt = 1 << 16;
  std::FILE* to_;
};

// Prints "jetlift-cli: <message>" on stderr.
void reportError(const std::string& message);

}  // namespace cli
