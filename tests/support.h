// Helpers shared by the unit tests: owning handles for the records the
// modules hand out, a scratch folder, a file's text, standard output
// captured around a call, filled images,
// shared settings put back at the end of a scope, keys pushed into SDL's
// queue, the driver's screen under the dummy video driver, a watcher of the
// frames presented, and a child process running in a copy of the data
// folder.
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
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/image.h"
#include "demo/demo.h"
#include "fx/raster.h"
#include "fx/stars.h"
#include "tests/process.h"
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

// A fresh folder under /tmp, removed with everything in it when the
// object goes; dir is empty when none could be made.
struct Scratch {
  std::filesystem::path dir;
  Scratch() {
    char pattern[] = "/tmp/vorn-test-XXXXXX";
    if (mkdtemp(pattern) != nullptr) dir = pattern;
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  ~Scratch() {
    if (!dir.empty()) std::filesystem::remove_all(dir);
  }
};

// The whole file, byte for byte; empty when it cannot be read.
inline std::string text_of(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// What f writes to standard output.
inline std::string output_of(const std::function<void()>& f) {
  testing::internal::CaptureStdout();
  f();
  return testing::internal::GetCapturedStdout();
}

// The line written the given number of times, as a module reports each failed call.
inline std::string repeated(const std::string& line, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += line;
  return out;
}

// The lines of text without their line breaks; a piece after the last
// line break counts as a line too.
inline std::vector<std::string> lines_of(std::string_view text) {
  std::vector<std::string> lines;
  for (size_t start = 0, end = 0; start < text.size(); start = end + 1) {
    end = std::min(text.find('\n', start), text.size());
    lines.emplace_back(text.substr(start, end - start));
  }
  return lines;
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
inline void push_key(Uint8 type, int sym = SDLK_SPACE) {
  SDL_Event event{};
  event.type = type;
  event.key.type = type;
  event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
  event.key.keysym.sym = static_cast<SDLKey>(sym);
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

// A test that presents to the dummy screen; the key cell starts empty.
class DummyScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(open_dummy_screen());
    screen_poll_keys(key_cell);
    key_cell->keys[0] = 0;
  }
  void TearDown() override { close_dummy_screen(); }
};

// Watches the presentations: counts them (frame 1 is the first), keeps
// copies of the frames chosen, calls `each` on every frame and pushes the
// key events planned for it.  Install it with watch().
struct FrameWatch {
  struct Key {
    int64_t frame;
    Uint8 type;
    int sym;
  };
  int64_t frames = 0;
  const Image* last = nullptr;  // the image last presented
  std::map<int64_t, Px> kept;  // by frame number; only the numbers chosen
  std::vector<Key> keys;
  std::function<void(const Image*)> each;

  // Keeps copies of these frames (and no others) from now on.
  FrameWatch& keep(std::initializer_list<int64_t> numbers) {
    kept.clear();
    for (int64_t n : numbers) kept[n];
    return *this;
  }
  // Plans sym down in frame `down` and, unless -1, up in frame `up`,
  // instead of what was planned before.
  FrameWatch& press(int64_t down, int64_t up = -1, int sym = SDLK_SPACE) {
    keys = {Key{down, SDL_KEYDOWN, sym}};
    if (up >= 0) keys.push_back(Key{up, SDL_KEYUP, sym});
    return *this;
  }
  void watch() {
    screen_set_observer(
        [](void* context, const Image* image) {
          FrameWatch& self = *static_cast<FrameWatch*>(context);
          ++self.frames;
          self.last = image;
          auto copy = self.kept.find(self.frames);
          if (copy != self.kept.end()) copy->second = pixels_of(image);
          if (self.each) self.each(image);
          for (const Key& k : self.keys)
            if (k.frame == self.frames) push_key(k.type, k.sym);
        },
        this);
  }
};

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
  const int result = in_child([&] {
    alarm(1800);  // a hung part ends the child instead of the whole run
    // The scroll text's echo and the child's own failure messages go to a
    // file, shown only when the child fails.
    if (chdir(dir.c_str()) != 0 || freopen("stdout.txt", "w", stdout) == nullptr) return 100;
    body();
    fflush(nullptr);
    exit(::testing::Test::HasFailure() ? 1 : 0);
  });
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
