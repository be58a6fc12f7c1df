// Helpers shared by the unit tests: owning handles for the records the
// modules hand out, standard output captured around a call, filled images,
// shared settings put back at the end of a scope, keys pushed into SDL's
// queue, the driver's screen under the dummy video driver, and a child
// process running in a copy of the data folder.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/image.h"
#include "demo/demo.h"
#include "fx/raster.h"
#include "fx/stars.h"
#include "video/screen.h"

// One of the build's programs as the words that start it: its path, after
// the emulator's words in a cross build; and as one line for the shell.
inline std::vector<std::string> program_command(const std::string& path) {
  std::vector<std::string> words;
  const std::string emulator = VORN_EMULATOR;
  for (size_t at = 0; at < emulator.size();) {
    const size_t end = std::min(emulator.find(' ', at), emulator.size());
    if (end > at) words.push_back(emulator.substr(at, end - at));
    at = end + 1;
  }
  words.push_back(path);
  return words;
}
inline std::string program_line(const std::string& path) {
  std::string line;
  for (const std::string& word : program_command(path)) line += (line.empty() ? "" : " ") + word;
  return line;
}

struct ImageFree {
  void operator()(Image* image) const { img_destroy(&image); }
};
struct RasterFree {
  void operator()(Raster* raster) const { raster_destroy(&raster); }
};
struct FieldFree {
  void operator()(StarField* field) const { stars_destroy(&field); }
};
using OwnedImage = std::unique_ptr<Image, ImageFree>;
using OwnedRaster = std::unique_ptr<Raster, RasterFree>;
using OwnedField = std::unique_ptr<StarField, FieldFree>;
using Px = std::vector<uint32_t>;

// What f writes to standard output.
inline std::string output_of(const std::function<void()>& f) {
  testing::internal::CaptureStdout();
  f();
  return testing::internal::GetCapturedStdout();
}

// A new w x h image with every pixel fill.
inline OwnedImage image_of(int32_t w, int32_t h, uint32_t fill = 0) {
  OwnedImage image(img_create());
  img_resize(image.get(), w, h);
  std::fill(image->pixels, image->pixels + static_cast<size_t>(w) * static_cast<size_t>(h), fill);
  return image;
}

inline Px pixels_of(const Image* image) {
  return {image->pixels, image->pixels + static_cast<size_t>(image->width) * static_cast<size_t>(image->height)};
}

// Puts a shared setting back as it was when the scope ends.
template <typename T>
struct Keep {
  explicit Keep(T& setting) : ref(setting), old(setting) {}
  ~Keep() { ref = old; }
  T& ref;
  T old;
};

// A key event (SDL_KEYDOWN or SDL_KEYUP) for sym pushed into SDL's queue.
inline void push_key(Uint8 type, SDLKey sym = SDLK_SPACE) {
  SDL_Event event{};
  event.type = type;
  event.key.type = type;
  event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
  event.key.keysym.sym = sym;
  ASSERT_EQ(0, SDL_PushEvent(&event));
}

// The driver's screen, 256 x 256 under SDL's dummy video driver, and its
// key cell, for the parts to present to and poll; call it through
// ASSERT_NO_FATAL_FAILURE.  close_dummy_screen also removes the observer.
inline void open_dummy_screen() {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  screen = screen_create();
  ASSERT_NE(nullptr, screen);
  screen_set_mode(screen, 256, 256);
  ASSERT_EQ(1, screen_has_surface(screen));
  key_cell = screen_keys_create();
  ASSERT_NE(nullptr, key_cell);
}
inline void close_dummy_screen() {
  screen_set_observer(nullptr, nullptr);
  screen_keys_destroy(&key_cell);
  screen_destroy(&screen);
}

// Runs body in a child process inside a copy of the data folder without
// the files in `left_out`.  libmikmod builds its driver and loader lists
// once per process (a second demo_init hangs in the registration), so
// every whole run of the driver needs a process of its own.  The child exits
// through exit(), so in the sanitizer build the leak checker's verdict is
// part of its exit status: 0 when its checks all passed and it ended
// cleanly, 1 for a failed check, the sanitizer's code for a leak or an
// error; 128 + n for signal n.
template <typename Body>
int in_data_copy(const std::vector<std::string>& left_out, Body body) {
  namespace fs = std::filesystem;
  char pattern[] = "/tmp/vorn-data-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return -1;
  const fs::path dir = pattern;
  for (const auto& entry : fs::directory_iterator(fs::path(VORN_SOURCE_DIR) / "data")) {
    const std::string name = entry.path().filename().string();
    bool skip = false;
    for (const std::string& out : left_out) skip = skip || name == out;
    if (!skip) fs::copy_file(entry.path(), dir / name);
  }
  fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    alarm(1800);  // a hung part ends the child instead of the whole run
    // The scroll text's echo and the child's own failure messages go to a
    // file, shown only when the child fails.
    if (chdir(dir.c_str()) != 0 || freopen("stdout.txt", "w", stdout) == nullptr) _exit(100);
    body();
    fflush(nullptr);
    exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  int result = -1;
  if (pid > 0 && waitpid(pid, &status, 0) == pid)
    result = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
  if (result != 0) {
    std::ifstream out(dir / "stdout.txt");
    std::cout << "---- the child's standard output:\n" << std::string(std::istreambuf_iterator<char>(out), {})
              << "\n----" << std::endl;
  }
  fs::remove_all(dir);
  return result;
}

inline constexpr char child_codes[] =
    "1: a failed check in the child (shown above) or, in the sanitizer build, a leak; "
    "other codes: a sanitizer report or a crash";
