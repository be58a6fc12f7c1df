// Drawing cost of the three effect parts: each part run for its whole
// budget with the data files loaded and no screen (so nothing is presented
// and no key is read), reported as the mean time of one frame.  Beside it,
// measured in the same iterations, a 256 KiB memcpy, the least any frame
// costs since every pixel must be written once; the counter vs_copy is the
// ratio of the two.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "demo/demo.h"
#include "fx/plasma.h"
#include "fx/rolls.h"
#include "fx/zoom.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t frame_pixels = static_cast<size_t>(demo_width) * demo_height;

// The driver's objects as demo_init makes them, without a screen; the data
// files come from the source tree's data/.
struct Stage {
  Stage() {
    frame_image = img_create();
    img_resize(frame_image, demo_width, demo_height);
    strip = img_create();
    img_resize(strip, demo_width, 32);
    rows_raster = raster_create();
    raster_resize(rows_raster, demo_height);
    if (chdir(VORN_SOURCE_DIR "/data") == 0) demo_load_images();
  }
  ~Stage() {
    img_destroy(&frame_image);
    img_destroy(&strip);
    demo_release_images();
    raster_destroy(&rows_raster);
  }
  bool complete() const {
    for (const Image* image : {logo_vorn, logo_present, logo_kolmira, logo_2008, logotype0, logotype1,
                               font_image, star_a, star_b, star_c, star_d})
      if (image == nullptr) return false;
    return true;
  }
};

// Mean seconds of one 256 KiB copy, over a few hundred copies.
double copy_seconds() {
  static std::vector<uint32_t> from(frame_pixels, 0x123456u), to(frame_pixels);
  constexpr int copies = 256;
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < copies; ++i) {
    std::memcpy(to.data(), from.data(), frame_pixels * sizeof(uint32_t));
    benchmark::ClobberMemory();
  }
  return std::chrono::duration<double>(Clock::now() - start).count() / copies;
}

// Every iteration runs the whole part once; its time is the mean frame.
void run_part(benchmark::State& state, void (*part)(), int32_t frames) {
  Stage stage;
  if (!stage.complete()) {
    state.SkipWithError("data/ is incomplete");
    return;
  }
  // stdout would take the scroller's echo; the text itself costs nothing to draw.
  std::fflush(stdout);
  const int saved = dup(STDOUT_FILENO);
  const int sink = open("/dev/null", O_WRONLY);
  if (sink >= 0) dup2(sink, STDOUT_FILENO);
  double frame_total = 0, copy_total = 0;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    part();
    const double frame = std::chrono::duration<double>(Clock::now() - start).count() / frames;
    state.SetIterationTime(frame);
    frame_total += frame;
    copy_total += copy_seconds();
    demo_state = 0;
  }
  std::fflush(stdout);
  if (saved >= 0) dup2(saved, STDOUT_FILENO);
  for (int fd : {saved, sink})
    if (fd >= 0) close(fd);
  state.counters["copy_us"] = copy_total / static_cast<double>(state.iterations()) * 1e6;
  state.counters["vs_copy"] = frame_total / copy_total;
}

void BM_ZoomPart(benchmark::State& state) { run_part(state, demo_part_zoom, zoom_logo_count * zoom_frames); }
void BM_RollsPart(benchmark::State& state) { run_part(state, demo_part_rolls, rolls_frames); }
void BM_PlasmaPart(benchmark::State& state) { run_part(state, demo_part_plasma, plasma_frames); }
// The reported time is that of one frame, so the iteration count is fixed
// (a whole part per iteration) instead of grown to a minimum time.
constexpr int part_runs = 12;
BENCHMARK(BM_ZoomPart)->UseManualTime()->Iterations(part_runs)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RollsPart)->UseManualTime()->Iterations(part_runs)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlasmaPart)->UseManualTime()->Iterations(part_runs)->Unit(benchmark::kMicrosecond);

}  // namespace
