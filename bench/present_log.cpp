// A library to preload into the intro (LD_PRELOAD) that logs when each
// presentation returns, without touching the program: it wraps SDL 1.2's
// SDL_Flip and SDL_UpdateRect and writes one line per call to the file
// named by VORN_PRESENT_LOG, seconds on the monotonic clock with
// microseconds.  Without that variable it only passes the calls on.
#include <SDL.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

using Flip = int (*)(SDL_Surface*);
using UpdateRect = void (*)(SDL_Surface*, Sint32, Sint32, Uint32, Uint32);

int log_fd = -2;  // -2: not opened yet, -1: no log

void note_time() {
  if (log_fd == -2) {
    const char* path = std::getenv("VORN_PRESENT_LOG");
    log_fd = path != nullptr ? open(path, O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644) : -1;
  }
  if (log_fd < 0) return;
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  char line[32];
  const int length = std::snprintf(line, sizeof line, "%lld.%06ld\n", static_cast<long long>(now.tv_sec),
                                   now.tv_nsec / 1000);
  if (length > 0 && write(log_fd, line, static_cast<size_t>(length)) < 0) log_fd = -1;
}

template <typename Function>
Function next(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" int SDL_Flip(SDL_Surface* screen) {
  static const Flip flip = next<Flip>("SDL_Flip");
  const int result = flip(screen);
  note_time();
  return result;
}

extern "C" void SDL_UpdateRect(SDL_Surface* screen, Sint32 x, Sint32 y, Uint32 w, Uint32 h) {
  static const UpdateRect update = next<UpdateRect>("SDL_UpdateRect");
  update(screen, x, y, w, h);
  note_time();
}
