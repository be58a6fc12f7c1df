// vorncapture: records the intro, picture and music in step, to a video
// file.
//   vorncapture [--frames N] [--scale K] [--fps F] [--data DIR] OUTPUT
// The intro runs as it does on a desktop, from the data files in DIR (by
// default the folder it was built for: the installed data, or a checkout's
// data/), and ESC is pressed in frame N (3254 by default, one pass); the
// file holds every frame up to its exit, the fade included, each enlarged K
// times (4 by default, 1 to 8), F frames a second (60 by default, any rate
// up to 1000 that divides 44,100) with 44100 / F stereo samples of sound per
// frame.
// OUTPUT ends in .mp4 (H.264 and AAC) or .mkv (lossless FFV1 and FLAC).
// The file is written under a temporary name beside OUTPUT and takes its
// name only when complete: a failure or an interrupt leaves nothing.
#include <signal.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "capture/capture.h"
#include "capture/encoder.h"
#include "demo/demo.h"
#include "demo/frame_audio.h"

namespace {

using Clock = std::chrono::steady_clock;

volatile sig_atomic_t stop_signal = 0;  // the first SIGINT, SIGTERM or SIGHUP

void on_stop_signal(int number) {
  if (stop_signal == 0) stop_signal = number;
}

struct Options {
  int32_t frames = capture_default_frames;
  int32_t scale = capture_default_scale;
  int32_t fps = capture_default_fps;
  std::string data = VORN_CAPTURE_DATA;
  std::string output;  // as named
  std::string path;    // the same, absolute
};

// Prints the capture's one line about what went wrong; returns status.
int complain(int status, const std::string& line) {
  std::fprintf(stderr, "vorncapture: %s\n", line.c_str());
  return status;
}

constexpr int usage_status = 2;
constexpr char usage[] = "usage: vorncapture [--frames N] [--scale K] [--fps F] [--data DIR] OUTPUT.mp4|OUTPUT.mkv";

// A whole number from low to high, or false.
bool number_in(const char* text, int32_t low, int32_t high, int32_t* value) {
  if (text == nullptr || *text < '0' || *text > '9') return false;
  errno = 0;
  char* end = nullptr;
  const long long parsed = std::strtoll(text, &end, 10);
  if (errno != 0 || *end != '\0' || parsed < low || parsed > high) return false;
  *value = static_cast<int32_t>(parsed);
  return true;
}

// Reads the command line into options; on a fault prints its line and
// returns false.
bool parse(int argc, char** argv, Options* options) {
  bool have_output = false;
  for (int i = 1; i < argc; ++i) {
    std::string word = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    const size_t equals = word.find('=');
    const bool joined = word.rfind("--", 0) == 0 && equals != std::string::npos;  // --scale=2
    if (joined) {
      value = argv[i] + equals + 1;
      word.resize(equals);
    }
    if (word == "--frames" || word == "--scale") {
      const bool frames = word == "--frames";
      const int32_t high = frames ? capture_max_frames : capture_max_scale;
      if (!number_in(value, 1, high, frames ? &options->frames : &options->scale)) {
        complain(0, word + " takes a whole number from 1 to " + std::to_string(high) + ", not '" +
                        (value != nullptr ? value : "") + "'");
        return false;
      }
      if (!joined) ++i;
    } else if (word == "--fps") {
      if (!number_in(value, 1, capture_max_fps, &options->fps) || !capture_fps_fits(options->fps)) {
        complain(0, "--fps takes a frame rate up to " + std::to_string(capture_max_fps) +
                        " that divides 44100 into whole samples (such as 50, 60 or 75), not '" +
                        (value != nullptr ? value : "") + "'");
        return false;
      }
      if (!joined) ++i;
    } else if (word == "--data") {
      if (value == nullptr || *value == '\0') {
        complain(0, std::string("--data takes a folder; ") + usage);
        return false;
      }
      options->data = value;
      if (!joined) ++i;
    } else if (word.size() > 1 && word[0] == '-') {
      complain(0, "unknown option '" + word + "'; " + usage);
      return false;
    } else if (have_output) {
      complain(0, std::string("one output file only; ") + usage);
      return false;
    } else {
      options->output = word;
      have_output = true;
    }
  }
  if (!have_output) complain(0, usage);
  return have_output;
}

// The folder part of a path, "." for a bare name.
std::string folder_of(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// ---- progress -------------------------------------------------------------

// One line on standard error: rewritten in place on a terminal at most ten
// times a second, else a new line at every tenth of the work.
struct Progress {
  bool terminal;
  int64_t total;
  int32_t fps;
  int64_t done = 0;
  int64_t next_tenth = 1;
  Clock::time_point start = Clock::now();
  Clock::time_point shown = start;
};

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double video_seconds(int64_t frames, int32_t fps) {
  return static_cast<double>(frames) / fps;
}

void progress_show(const Progress& progress, bool last) {
  const int64_t total = progress.done > progress.total ? progress.done : progress.total;
  const double elapsed = seconds_since(progress.start);
  const double speed = elapsed > 0 ? video_seconds(progress.done, progress.fps) / elapsed : 0;
  std::fprintf(stderr, "%svorncapture: %" PRId64 "/%" PRId64 " frames (%d%%), %.1fx real time%s",
               progress.terminal ? "\r" : "", progress.done, total,
               static_cast<int>(progress.done * 100 / total), speed,
               progress.terminal ? (last ? "\033[K\n" : "\033[K") : "\n");
}

void progress_frame(Progress* progress) {
  ++progress->done;
  if (progress->terminal) {
    if (seconds_since(progress->shown) < 0.1) return;
    progress->shown = Clock::now();
    progress_show(*progress, false);
  } else if (progress->done * 10 >= progress->next_tenth * progress->total && progress->next_tenth < 10) {
    ++progress->next_tenth;
    progress_show(*progress, false);
  }
}

// ---- the sink: ffmpeg's pipes ------------------------------------------------

struct Feed {
  Encoder* encoder;
  Progress* progress;
};

bool feed_frame(void* context, const CaptureFrame& frame) {
  const Feed& feed = *static_cast<Feed*>(context);
  const EncoderPictures& pictures = feed.encoder->pictures;
  if (frame.width != pictures.width || frame.height != pictures.height) return false;
  return encoder_send_frame(feed.encoder, frame.pixels);
}

bool feed_sound(void* context, const int16_t* values, int32_t samples) {
  const Feed& feed = *static_cast<Feed*>(context);
  const size_t bytes = static_cast<size_t>(samples) * frame_audio_channels * sizeof(int16_t);
  if (!encoder_send_sound(feed.encoder, values, bytes) || stop_signal != 0) return false;
  progress_frame(feed.progress);
  return true;
}

void catch_stop_signals() {
  struct sigaction action {};
  action.sa_handler = on_stop_signal;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a write blocked on a stuck ffmpeg returns and sees the stop.
  action.sa_flags = 0;
  for (int number : {SIGINT, SIGTERM, SIGHUP}) sigaction(number, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

// Runs the capture into the temporary file; the status of the whole
// program.  The temporary file is gone afterwards unless the capture
// succeeded.
int record(const Options& options, CaptureFormat format, const std::string& ffmpeg, const std::string& partial) {
  const int32_t side = demo_width * options.scale;
  const EncoderPictures pictures{demo_width, demo_height, options.scale, encoder_queue_frames(options.fps)};
  Encoder encoder{};
  if (!encoder_start(&encoder, encoder_command(ffmpeg, format, side, side, options.fps, partial), pictures,
                     &stop_signal)) {
    unlink(partial.c_str());
    return complain(1, std::string("cannot start ffmpeg: ") + std::strerror(errno));
  }
  Progress progress{isatty(STDERR_FILENO) == 1, capture_expected_frames(options.frames), options.fps};
  Feed feed{&encoder, &progress};
  const CaptureResult result = capture_run(options.frames, options.fps, CaptureSink{&feed, feed_frame, feed_sound});
  if (!result.driver || result.status != 1) encoder_kill(&encoder);
  const int encoded = encoder_finish(&encoder);
  if (stop_signal != 0) {
    unlink(partial.c_str());
    if (progress.terminal) std::fputc('\n', stderr);
    complain(0, std::string("interrupted by SIG") + sigabbrev_np(stop_signal) + "; " + options.output + " was not written");
    return 128 + stop_signal;
  }
  if (!result.driver || result.status != 1 || !result.whole || encoded != 0) {
    unlink(partial.c_str());
    if (progress.terminal) std::fputc('\n', stderr);
    if (!result.driver) return complain(1, "libmikmod would not take the capture's sound driver");
    if (result.status != 1) return complain(1, "the intro did not run (no video mode)");
    return complain(1, "ffmpeg failed (exit status " + std::to_string(encoded) + "); " + options.output +
                           " was not written");
  }
  progress_show(progress, true);
  if (rename(partial.c_str(), options.path.c_str()) != 0) {
    const int error = errno;
    unlink(partial.c_str());
    return complain(1, "cannot name the file " + options.output + ": " + std::strerror(error));
  }
  struct stat info {};
  stat(options.path.c_str(), &info);
  std::fprintf(stderr, "vorncapture: wrote %s: %" PRId64 " frames of %dx%d at %d fps, %.1f s, %.1f MB, in %.1f s\n",
               options.output.c_str(), result.frames, side, side, options.fps, video_seconds(result.frames, options.fps),
               static_cast<double>(info.st_size) / 1e6, seconds_since(progress.start));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parse(argc, argv, &options)) return usage_status;
  CaptureFormat format{};
  if (!encoder_format_of(options.output, &format))
    return complain(usage_status, "cannot tell the format of '" + options.output + "': name it .mp4 or .mkv");
  const std::string ffmpeg = encoder_find_ffmpeg();
  if (ffmpeg.empty()) return complain(1, "ffmpeg is not on the PATH (Debian: apt-get install ffmpeg)");
  struct stat info {};
  if (stat(options.output.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
    return complain(1, options.output + " is a folder");
  // The intro reads its files from the working directory; the output stays
  // where it was named.
  options.path = options.output;
  if (options.path[0] != '/') {
    char* here = getcwd(nullptr, 0);
    if (here == nullptr) return complain(1, std::string("cannot tell the working directory: ") + std::strerror(errno));
    options.path = std::string(here) + "/" + options.output;
    std::free(here);
  }
  if (chdir(options.data.c_str()) != 0)
    return complain(1, "cannot read the data folder " + options.data + ": " + std::strerror(errno));
  if (const char* missing = demo_missing_data())
    return complain(1, "the data folder " + options.data + " has no " + missing);
  // Before the temporary file exists, and before the intro starts SDL,
  // which leaves handlers already in place alone.
  catch_stop_signals();
  // Made here, beside the output, so that a missing or read-only folder is
  // told before anything runs; ffmpeg then writes into it.
  const std::string partial = options.path + "." + std::to_string(getpid()) + ".partial";
  const int fd = open(partial.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    return complain(1, "cannot write into the folder " + folder_of(options.output) + ": " + std::strerror(errno));
  }
  close(fd);
  return record(options, format, ffmpeg, partial);
}
