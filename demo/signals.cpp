#include "demo/signals.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t signal_seen = 0;
bool installed = false;

// Gives SIGINT and SIGTERM the handler; each blocks the other while it runs.
void set_quit_action(void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  sigaddset(&action.sa_mask, SIGINT);
  sigaddset(&action.sa_mask, SIGTERM);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

// Only async-signal-safe work: a flag and sigaction.
void on_quit_signal(int) {
  signal_seen = 1;
  set_quit_action(SIG_DFL);
}

}  // namespace

void demo_signals_install() {
  set_quit_action(on_quit_signal);
  installed = true;
}

int demo_signal_received() {
  return signal_seen != 0 ? 1 : 0;
}

void demo_signals_release() {
  if (installed) set_quit_action(SIG_DFL);
  installed = false;
}
