// Runs jetlift-cli as a child process with its own stdout and stderr pipes,
// so a test can read what it prints as it goes and send it signals.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

extern char** environ;

class ChildProcess {
 public:
  // Starts `program` with `args`; `pipeBytes` > 0 shrinks the stdout pipe to that size.
  ChildProcess(const std::string& program, const std::vector<std::string>& args,
               int pipeBytes = 0) {
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return;
    if (pipeBytes > 0) ::fcntl(out[1], F_SETPIPE_SZ, pipeBytes);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    out_ = out[0];
    err_ = err[0];
  }
  ~ChildProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      wait();
    }
    if (out_ >= 0) ::close(out_);
    if (err_ >= 0) ::close(err_);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return pid_ > 0; }
  void signal(int sig) const { ::kill(pid_, sig); }

  // Blocks until stdout has something to read (or is closed).
  void waitForOutput() const {
    pollfd p{out_, POLLIN, 0};
    while (::poll(&p, 1, -1) < 0) {
    }
  }

  // Reads stderr until it holds `text` or ends; true when it was found.
  bool waitForError(const std::string& text) {
    while (err.find(text) == std::string::npos) {
      if (!readSome(err_, err)) return false;
    }
    return true;
  }

  // Reads both pipes to their ends and returns the exit status (-1 on a signal).
  int finish() {
    pollfd p[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
    bool outOpen = true, errOpen = true;
    while (outOpen || errOpen) {
      p[0].fd = outOpen ? out_ : -1;
      p[1].fd = errOpen ? err_ : -1;
      if (::poll(p, 2, -1) < 0) continue;
      if (outOpen && (p[0].revents & (POLLIN | POLLHUP))) outOpen = readSome(out_, out);
      if (errOpen && (p[1].revents & (POLLIN | POLLHUP))) errOpen = readSome(err_, err);
    }
    return wait();
  }

  std::string out, err;

 private:
  static bool readSome(int fd, std::string& into) {
    char buffer[4096];
    for (;;) {
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      into.append(buffer, static_cast<std::size_t>(n));
      return true;
    }
  }
  int wait() {
    int raw = 0;
    while (::waitpid(pid_, &raw, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }

  pid_t pid_ = -1;
  int out_ = -1, err_ = -1;
};
