// The capture's cost.  One pass of the intro at 4x to .mp4 (the default
// capture, as `make video` makes it), against ffmpeg alone encoding the
// same frames and sound with the same settings, fed from memory through the
// same pipes, in the same run; the counter vs_ffmpeg is the ratio of the
// two wall times.  Beside it the capture with the encoding left out: every
// frame and its sound mixed, then dropped, as a multiple of real time
// (x_real_time).  Each run of the intro goes in a child process of its
// own, since libmikmod builds its driver list once per process.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "capture/capture.h"
#include "capture/encoder.h"
#include "demo/demo.h"
#include "demo/frame_audio.h"
#include "tests/process.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

const fs::path data_dir = fs::path(VORN_SOURCE_DIR) / "data";
const std::string capture_program = VORN_BINARY_DIR "/capture/vorncapture";

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Wall time and the processor time of the work measured; wall < 0 when it
// failed.  The processor time is much less disturbed by other work on the
// machine than the wall time.
struct Cost {
  double wall;
  double cpu;
};
constexpr Cost failed{-1, 0};

double cpu_seconds(const rusage& usage) {
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// In a child process: standard output and error dropped, working in data/.
bool quiet_in_data() {
  const int quiet = open("/dev/null", O_WRONLY);
  return quiet >= 0 && dup2(quiet, 1) >= 0 && dup2(quiet, 2) >= 0 && chdir(data_dir.c_str()) == 0;
}

// Runs body (returning its Cost) in a child process in data/, with standard
// output and error dropped; its result, or failed.
template <typename Body>
Cost cost_in_child(Body body) {
  int result_pipe[2];
  if (pipe(result_pipe) != 0) return failed;
  const int code = in_child([&] {
    close(result_pipe[0]);
    if (!quiet_in_data()) return 1;
    const Cost cost = body();
    return write(result_pipe[1], &cost, sizeof cost) == sizeof cost ? 0 : 1;
  });
  close(result_pipe[1]);
  Cost cost = failed;
  if (code != 0 || read(result_pipe[0], &cost, sizeof cost) != sizeof cost) cost = failed;
  close(result_pipe[0]);
  return cost;
}

// The vorncapture program making `output` with its defaults; its processor
// time includes ffmpeg's, which it waits for.
Cost capture_cost(const fs::path& output) {
  Command capture{{capture_program, output.string()}};
  capture.cwd = data_dir;
  capture.file_limit = RLIM_INFINITY;
  const Clock::time_point start = Clock::now();
  Started started;
  command_start(capture, &started);
  rusage usage{};
  if (command_finish(&started, 3600, &usage) != 0) return failed;
  return {seconds_since(start), cpu_seconds(usage)};
}

// The frames and sound of a default pass, kept at the screen's size.
struct Recorded {
  std::vector<uint32_t> frames;
  std::vector<int16_t> sound;
  int64_t count = 0;
};

bool keep_frame(void* context, const CaptureFrame& frame) {
  auto& recorded = *static_cast<Recorded*>(context);
  recorded.frames.insert(recorded.frames.end(), frame.pixels,
                         frame.pixels + static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height));
  ++recorded.count;
  return true;
}

bool keep_sound(void* context, const int16_t* values, int32_t samples) {
  auto& recorded = *static_cast<Recorded*>(context);
  recorded.sound.insert(recorded.sound.end(), values, values + static_cast<size_t>(samples) * frame_audio_channels);
  return true;
}

// In the child: records the pass untimed, then times ffmpeg encoding it to
// output as the capture would, fed from memory through the same encoder
// (which enlarges each frame on the way: the 3510 enlarged frames would
// take 14 GB).
Cost ffmpeg_alone_cost(const fs::path& output) {
  Recorded recorded;
  recorded.frames.reserve(static_cast<size_t>(capture_expected_frames(capture_default_frames)) * demo_width *
                          demo_height);
  const CaptureResult result = capture_run(capture_default_frames, capture_default_fps, CaptureSink{&recorded, keep_frame, keep_sound});
  if (!result.whole || result.status != 1) return failed;
  std::signal(SIGPIPE, SIG_IGN);
  const int32_t side = demo_width * capture_default_scale;
  const EncoderPictures pictures{demo_width, demo_height, capture_default_scale,
                                 encoder_queue_frames(capture_default_fps)};
  static volatile sig_atomic_t never = 0;
  const Clock::time_point start = Clock::now();
  Encoder encoder{};
  if (!encoder_start(&encoder,
                     encoder_command(encoder_find_ffmpeg(), CaptureFormat::mp4, side, side, capture_default_fps, output),
                     pictures, &never))
    return failed;
  const size_t frame_pixels = static_cast<size_t>(demo_width) * demo_height;
  const size_t frame_values = static_cast<size_t>(frame_audio_rate / capture_default_fps) * frame_audio_channels;
  for (int64_t n = 0; n < recorded.count; ++n) {
    if (!encoder_send_frame(&encoder, recorded.frames.data() + static_cast<size_t>(n) * frame_pixels) ||
        !encoder_send_sound(&encoder, recorded.sound.data() + static_cast<size_t>(n) * frame_values,
                            frame_values * sizeof(int16_t))) {
      encoder_kill(&encoder);
      return failed;
    }
  }
  if (encoder_finish(&encoder) != 0) return failed;
  const double wall = seconds_since(start);
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);  // ffmpeg, the one child waited for
  return {wall, cpu_seconds(usage)};
}

bool drop_frame(void*, const CaptureFrame& frame) {
  const uint32_t* pixels = frame.pixels;
  benchmark::DoNotOptimize(pixels);
  return true;
}
bool drop_sound(void*, const int16_t* values, int32_t) {
  benchmark::DoNotOptimize(values);
  return true;
}

// In the child: a default pass with the encoder left out.
Cost unencoded_cost() {
  const Clock::time_point start = Clock::now();
  const CaptureResult result =
      capture_run(capture_default_frames, capture_default_fps, CaptureSink{nullptr, drop_frame, drop_sound});
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return result.whole && result.status == 1 ? Cost{seconds_since(start), cpu_seconds(usage)} : failed;
}

double pass_seconds() {
  return static_cast<double>(capture_expected_frames(capture_default_frames)) / capture_default_fps;
}

bool same_bytes(const fs::path& a, const fs::path& b) {
  std::FILE* fa = std::fopen(a.c_str(), "rb");
  std::FILE* fb = std::fopen(b.c_str(), "rb");
  bool same = fa != nullptr && fb != nullptr;
  while (same) {
    const int ca = std::fgetc(fa), cb = std::fgetc(fb);
    same = ca == cb;
    if (ca == EOF) break;
  }
  if (fa != nullptr) std::fclose(fa);
  if (fb != nullptr) std::fclose(fb);
  return same;
}

void BM_CaptureVsFfmpegAlone(benchmark::State& state) {
  char pattern[] = "/tmp/vorn-bench-capture-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return state.SkipWithError("no scratch folder");
  const fs::path dir = pattern;
  Cost capture_total{0, 0}, ffmpeg_total{0, 0};
  bool same = true;
  for (auto _ : state) {
    const Cost ffmpeg = cost_in_child([&] { return ffmpeg_alone_cost(dir / "ffmpeg.mp4"); });
    const Cost capture = capture_cost(dir / "capture.mp4");
    if (ffmpeg.wall < 0 || capture.wall < 0) {
      state.SkipWithError(ffmpeg.wall < 0 ? "ffmpeg alone failed" : "vorncapture failed");
      break;
    }
    same = same && same_bytes(dir / "ffmpeg.mp4", dir / "capture.mp4");
    state.SetIterationTime(capture.wall);
    capture_total = {capture_total.wall + capture.wall, capture_total.cpu + capture.cpu};
    ffmpeg_total = {ffmpeg_total.wall + ffmpeg.wall, ffmpeg_total.cpu + ffmpeg.cpu};
  }
  fs::remove_all(dir);
  if (ffmpeg_total.wall <= 0) return;
  state.counters["ffmpeg_s"] = ffmpeg_total.wall / static_cast<double>(state.iterations());
  state.counters["vs_ffmpeg"] = capture_total.wall / ffmpeg_total.wall;
  state.counters["cpu_vs_ffmpeg"] = capture_total.cpu / ffmpeg_total.cpu;
  state.counters["same_file"] = same ? 1 : 0;  // both made the same bytes
}
BENCHMARK(BM_CaptureVsFfmpegAlone)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

void BM_CaptureUnencoded(benchmark::State& state) {
  Cost total{0, 0};
  for (auto _ : state) {
    const Cost cost = cost_in_child(unencoded_cost);
    if (cost.wall < 0) {
      state.SkipWithError("the capture failed");
      break;
    }
    state.SetIterationTime(cost.wall);
    total = {total.wall + cost.wall, total.cpu + cost.cpu};
  }
  if (total.wall <= 0) return;
  const double pass = pass_seconds() * static_cast<double>(state.iterations());
  state.counters["x_real_time"] = pass / total.wall;
  state.counters["cpu_x_real_time"] = pass / total.cpu;
}
BENCHMARK(BM_CaptureUnencoded)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
