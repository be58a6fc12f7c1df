// Presentation rate under Xvfb: screen_present_copy of an unchanging
// 256 x 256 frame, on a 24-bit display (one block copy) and a 16-bit one
// (a converting blit), beside the plain 256 KB copy of one frame as the
// reference of the same run.  Wall-clock time, since the X server's share
// of the work happens in its own process.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "tests/xvfb.h"
#include "video/screen.h"

namespace {

constexpr int32_t side = 256;

std::vector<uint32_t> test_frame() {
  std::vector<uint32_t> pixels(static_cast<size_t>(side) * side);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint32_t>(i * 2654435761u) & 0xFFFFFFu;
  return pixels;
}

// One Xvfb server and the screen on it; replaced when another depth is asked
// for, stopped when the program ends.
struct XDisplay {
  int depth = 0;
  XvfbServer server{-1, ""};
  Screen* screen = nullptr;

  void close() {
    if (screen != nullptr) screen_destroy(&screen);
    SDL_Quit();
    xvfb_stop(&server);
    depth = 0;
  }
  Screen* open(int wanted) {
    if (depth == wanted && screen != nullptr) return screen;
    close();
    server = xvfb_start(side, side, wanted);
    if (server.display.empty()) return nullptr;
    setenv("SDL_VIDEODRIVER", "x11", 1);
    setenv("DISPLAY", server.display.c_str(), 1);
    screen = screen_create();
    depth = wanted;
    return screen_has_surface(screen) ? screen : nullptr;
  }
  ~XDisplay() { close(); }
};

XDisplay x_display;

void BM_FrameCopy(benchmark::State& state) {
  const std::vector<uint32_t> frame = test_frame();
  std::vector<uint32_t> target(frame.size());
  for (auto _ : state) {
    std::memcpy(target.data(), frame.data(), frame.size() * sizeof(uint32_t));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FrameCopy)->UseRealTime();

void BM_PresentCopy(benchmark::State& state) {
  Screen* screen = x_display.open(static_cast<int>(state.range(0)));
  if (screen == nullptr) {
    state.SkipWithError("no X display (is Xvfb installed?)");
    return;
  }
  std::vector<uint32_t> frame = test_frame();
  const Image image{side, side, frame.data()};
  for (auto _ : state) screen_present_copy(screen, &image);
  // Frames per second.
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PresentCopy)->ArgName("depth")->Arg(24)->Arg(16)->UseRealTime();

}  // namespace
