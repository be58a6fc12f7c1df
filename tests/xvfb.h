// A private Xvfb server for tests and benchmarks: started on a display it
// picks itself (-displayfd), stopped by its process id.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "tests/process.h"

struct XvfbServer {
  pid_t pid;            // -1 when not running
  std::string display;  // ":N", empty when the server did not start
};

inline void xvfb_stop(XvfbServer* server) {
  if (server->pid > 0) {
    kill(server->pid, SIGTERM);
    waitpid(server->pid, nullptr, 0);
  }
  server->pid = -1;
  server->display.clear();
}

// Starts Xvfb with one screen of width x height x depth and waits (at most
// timeout_ms) until it reports its display.
inline XvfbServer xvfb_start(int width, int height, int depth, int timeout_ms = 15000) {
  XvfbServer server{-1, ""};
  int fds[2];
  if (pipe(fds) != 0) return server;
  const std::string geometry =
      std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(depth);
  const std::string fd = std::to_string(fds[1]);
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    const int quiet = open("/dev/null", O_WRONLY);
    if (quiet >= 0) {
      dup2(quiet, 1);
      dup2(quiet, 2);
    }
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", geometry.c_str(),
           "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  if (pid < 0) {
    close(fds[0]);
    return server;
  }
  server.pid = pid;
  const std::string number = read_line(fds[0], timeout_ms);
  close(fds[0]);
  if (number.empty()) {
    xvfb_stop(&server);
    return server;
  }
  server.display = ":" + number;
  return server;
}

// Stops the server when it goes out of scope, however the scope is left.
struct XvfbScope {
  XvfbServer server;
  ~XvfbScope() { xvfb_stop(&server); }
};
