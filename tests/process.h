// Processes that tests and benchmarks start: a body run in a child process
// of its own, and a program run with its standard streams redirected, a
// limit on the files it writes, a time limit, and a stop by its process id.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// A line from fd (a child's pipe) without its break, waiting at most
// timeout_ms for each character; what came until then when it stops.
inline std::string read_line(int fd, int timeout_ms = 15000) {
  std::string line;
  for (;;) {
    pollfd ready{fd, POLLIN, 0};
    char c = 0;
    if (poll(&ready, 1, timeout_ms) <= 0 || read(fd, &c, 1) != 1 || c == '\n') return line;
    line += c;
  }
}

// A waited-for status as one number: the exit code, 128 + n after signal
// n, -1 for anything else.
inline int process_code(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

// Runs body in a child process that leaves through _exit(body()), and
// waits for it: the child's code as process_code gives it, -1 when no child
// could be made.  A body that wants the exit handlers (the leak checker)
// calls exit() itself.
template <typename Body>
int in_child(Body body) {
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
  return process_code(status);
}

// A program to start: its words (the program's path first), where it runs,
// where its standard output and error go (standard input is /dev/null).
struct Command {
  explicit Command(std::vector<std::string> words) : argv(std::move(words)) {}
  // The program's own words (an emulator's first, in a cross build), then its arguments.
  Command(std::vector<std::string> program, const std::vector<std::string>& words) : argv(std::move(program)) {
    argv.insert(argv.end(), words.begin(), words.end());
  }
  std::vector<std::string> argv;
  std::filesystem::path cwd = ".";
  std::filesystem::path out = "/dev/null";
  std::filesystem::path err = "/dev/null";
  std::string path_variable;             // PATH for the program when not empty
  bool own_group = false;                // a process group of its own, as a terminal gives a job
  rlim_t file_limit = rlim_t{256} << 20;  // bytes any file it writes may reach
};

// A started program; stopped by its process id (SIGKILL) when the object
// goes, also after a failed check.
struct Started {
  pid_t pid = -1;
  Started() = default;
  Started(const Started&) = delete;
  Started& operator=(const Started&) = delete;
  ~Started() {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
};

inline void command_start(const Command& command, Started* started) {
  std::vector<char*> argv;
  for (const std::string& word : command.argv) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    if (command.own_group) setpgid(0, 0);
    const rlimit limit{command.file_limit, command.file_limit};
    setrlimit(RLIMIT_FSIZE, &limit);
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(command.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(command.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 ||
        chdir(command.cwd.c_str()) != 0)
      _exit(126);
    if (!command.path_variable.empty()) setenv("PATH", command.path_variable.c_str(), 1);
    execv(argv[0], argv.data());
    _exit(127);
  }
  started->pid = pid;
}

// Waits at most `seconds` for the program: its code as process_code gives
// it, or -1 when it had to be stopped (the Started's end kills it).  With
// usage, the processor time it and the children it waited for took.
inline int command_finish(Started* started, double seconds, rusage* usage = nullptr) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  int status = 0;
  if (started->pid <= 0) return -1;
  for (;;) {
    const pid_t done = wait4(started->pid, &status, WNOHANG, usage);
    if (done == started->pid) break;
    if (done < 0 || std::chrono::steady_clock::now() > deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  started->pid = -1;
  return process_code(status);
}

inline int command_run(const Command& command, double seconds) {
  Started started;
  command_start(command, &started);
  return command_finish(&started, seconds);
}
