// vorncapture as a user runs it, judged by tools that share none of its
// code: ffprobe reads the file's streams, ffmpeg decodes its frames and
// sound, a run of the driver with an observer of its own (in a child
// process) gives the frames the program presents, and xmrender (libmikmod's
// mixer in 32 KiB steps, none of our driver) gives the music.  The run mixes
// 735 samples after each frame, the capture's default 60 frames a second:
// the player's random waveforms and the star field draw from the same
// rand(), so the stars depend on that pace.
// Every program started here runs with a time limit and a limit on the size
// of the files it writes, and is stopped by its process id.
#include <SDL.h>
#include <gtest/gtest.h>
#include <mikmod.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "demo/demo.h"
#include "demo/frame_audio.h"
#include "tests/process.h"
#include "tests/support.h"
#include "video/screen.h"

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> capture_program = program_command(VORN_BINARY_DIR "/capture/vorncapture");
const std::vector<std::string> render_program = program_command(VORN_BINARY_DIR "/tools/xmrender");
const fs::path data_dir = fs::path(VORN_SOURCE_DIR) / "data";

constexpr int32_t side = 256;
constexpr size_t frame_bytes = size_t{side} * side * 3;  // rgb24
constexpr int32_t fps = 60;                            // vorncapture's default
constexpr int32_t frame_samples = 44100 / fps;          // stereo samples per frame
constexpr size_t sound_bytes_per_frame = frame_samples * 2 * 2;

// The program found on the test's PATH, or "" (the way a shell finds it).
std::string on_path(const std::string& name) {
  std::istringstream dirs(getenv("PATH") != nullptr ? getenv("PATH") : "/usr/bin:/bin");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    const fs::path candidate = fs::path(dir.empty() ? "." : dir) / name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate.string();
  }
  return "";
}

// One map of key=value per stream, as ffprobe's compact form prints them.
std::vector<std::map<std::string, std::string>> probe_streams(const fs::path& file, const fs::path& dir) {
  Command probe{{on_path("ffprobe"), "-v", "error", "-count_frames", "-show_entries",
                 "stream=codec_type,codec_name,width,height,pix_fmt,r_frame_rate,avg_frame_rate,nb_read_frames,"
                 "sample_rate,channels",
                 "-of", "compact=p=0", file.string()}};
  probe.out = dir / "probe.txt";
  probe.err = dir / "probe.err";
  std::vector<std::map<std::string, std::string>> streams;
  if (command_run(probe, 120) != 0) {
    ADD_FAILURE() << "ffprobe failed: " << text_of(probe.err);
    return streams;
  }
  for (const std::string& line : lines_of(text_of(probe.out))) {
    std::map<std::string, std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, '|');) {
      const size_t eq = field.find('=');
      if (eq != std::string::npos) fields[field.substr(0, eq)] = field.substr(eq + 1);
    }
    streams.push_back(fields);
  }
  return streams;
}

// A hash of a frame's bytes in ffmpeg's rgb24 order (the standard
// library's, which is compiled without the sanitizers and so quick in
// their build too).
uint64_t rgb_hash(const std::string_view rgb) {
  return std::hash<std::string_view>{}(rgb);
}

std::string rgb_of(const Image* image) {
  std::string rgb(frame_bytes, '\0');
  for (size_t i = 0; i < size_t{side} * side; ++i) {
    const uint32_t p = image->pixels[i];
    rgb[3 * i] = static_cast<char>(p >> 16);
    rgb[3 * i + 1] = static_cast<char>(p >> 8);
    rgb[3 * i + 2] = static_cast<char>(p);
  }
  return rgb;
}

// ---- the reference: the driver's own run, watched at the screen ---------------

constexpr int32_t quit_frame = 300;  // the second logo's zoom, frame 49

// The hash of every frame the program presents when ESC is pressed in
// quit_frame, and the frames in keep whole as dir/ref-N.rgb; from a child
// process, which mixes each frame's sound as the capture does.
std::vector<std::string> reference_run(const fs::path& dir, const std::vector<int64_t>& keep) {
  const int status = in_data_copy({}, [&] {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    ASSERT_EQ(frame_audio_select(), 0);
    std::FILE* hashes = std::fopen((dir / "reference.txt").c_str(), "w");
    ASSERT_NE(hashes, nullptr);
    FrameWatch watch;
    std::vector<int16_t> sound(frame_samples * 2);
    watch.press(quit_frame, -1, SDLK_ESCAPE).each = [&](const Image* image) {
      frame_audio_mix(sound.data(), frame_samples);
      ASSERT_EQ(image->width, side);
      ASSERT_EQ(image->height, side);
      const std::string rgb = rgb_of(image);
      std::fprintf(hashes, "%016llx\n", static_cast<unsigned long long>(rgb_hash(rgb)));
      if (std::find(keep.begin(), keep.end(), watch.frames) != keep.end())
        std::ofstream((dir / ("ref-" + std::to_string(watch.frames) + ".rgb")).string(), std::ios::binary)
            .write(rgb.data(), static_cast<std::streamsize>(rgb.size()));
    };
    watch.watch();
    EXPECT_EQ(demo_run(), 1);
    std::fclose(hashes);
  });
  EXPECT_EQ(status, 0) << child_codes;
  return lines_of(text_of(dir / "reference.txt"));
}

// The 16-bit samples of a WAV file's data chunk, as bytes.
std::string wav_data(const std::string& wav) {
  size_t at = 12;  // after "RIFF" size "WAVE"
  while (at + 8 <= wav.size()) {
    uint32_t size = 0;
    for (int i = 3; i >= 0; --i) size = size << 8 | static_cast<uint8_t>(wav[at + 4 + static_cast<size_t>(i)]);
    if (wav.compare(at, 4, "data") == 0) return wav.substr(at + 8, size);
    at += 8 + size + (size & 1u);
  }
  return "";
}

TEST(CaptureFile, LosslessRunHoldsEveryPresentedFrameAndTheMusicInStep) {
  Scratch scratch;
  ASSERT_FALSE(scratch.dir.empty());
  const fs::path& dir = scratch.dir;
  ASSERT_NE(on_path("ffmpeg"), "") << "ffmpeg is not installed";
  ASSERT_NE(on_path("ffprobe"), "") << "ffprobe is not installed";

  // With every data file, ESC in the second zoom's frame 49: the third and
  // fourth zooms draw one frame each (301, 302), then 256 fade frames.
  const int64_t expected = quit_frame + 2 + demo_fade_steps;
  const int64_t last = expected, first_fade = quit_frame + 3;
  const std::vector<int64_t> keep = {1, 150, 251, 252, quit_frame, quit_frame + 2, first_fade, last};
  const std::vector<std::string> reference = reference_run(dir, keep);
  ASSERT_EQ(static_cast<int64_t>(reference.size()), expected);

  Command capture{capture_program,
                  {"--frames", std::to_string(quit_frame), "--scale", "1", (dir / "capture.mkv").string()}};
  capture.cwd = data_dir;
  capture.out = dir / "capture.out";
  capture.err = dir / "capture.err";
  ASSERT_EQ(command_run(capture, 600), 0) << text_of(capture.err);
  const std::vector<std::string> said = lines_of(text_of(capture.err));
  ASSERT_FALSE(said.empty());
  EXPECT_EQ(said.back().rfind("vorncapture: wrote ", 0), 0u) << said.back();
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, " %.1f s,", static_cast<double>(expected) / fps);
  EXPECT_NE(said.back().find(seconds), std::string::npos) << said.back();

  // The streams as ffprobe reads them.
  const auto streams = probe_streams(dir / "capture.mkv", dir);
  ASSERT_EQ(streams.size(), 2u);
  const std::string rate = std::to_string(fps) + "/1";
  auto video = streams[0], audio = streams[1];
  if (video["codec_type"] != "video") std::swap(video, audio);
  EXPECT_EQ(video["codec_type"], "video");
  EXPECT_EQ(video["codec_name"], "ffv1");
  EXPECT_EQ(video["width"], "256");
  EXPECT_EQ(video["height"], "256");
  EXPECT_EQ(video["r_frame_rate"], rate);
  EXPECT_EQ(video["avg_frame_rate"], rate);
  EXPECT_EQ(video["nb_read_frames"], std::to_string(expected));
  EXPECT_EQ(audio["codec_type"], "audio");
  EXPECT_EQ(audio["codec_name"], "flac");
  EXPECT_EQ(audio["sample_rate"], "44100");
  EXPECT_EQ(audio["channels"], "2");

  // Every decoded frame against the one the screen presented.
  Command decode{{on_path("ffmpeg"), "-v", "error", "-i", (dir / "capture.mkv").string(), "-map", "0:v", "-f",
                  "rawvideo", "-pix_fmt", "rgb24", (dir / "frames.rgb").string(), "-map", "0:a", "-f", "s16le",
                  (dir / "sound.raw").string()}};
  decode.err = dir / "decode.err";
  ASSERT_EQ(command_run(decode, 300), 0) << text_of(decode.err);
  const std::string frames = text_of(dir / "frames.rgb");
  ASSERT_EQ(frames.size(), static_cast<size_t>(expected) * frame_bytes);
  int64_t differing = 0, first_differing = 0;
  for (int64_t n = 1; n <= expected; ++n) {
    char hash[17];
    const std::string_view frame(frames.data() + static_cast<size_t>(n - 1) * frame_bytes, frame_bytes);
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(rgb_hash(frame)));
    if (reference[static_cast<size_t>(n - 1)] != hash && differing++ == 0) first_differing = n;
  }
  EXPECT_EQ(differing, 0) << "frames differ from the presented ones, the first is frame " << first_differing;
  for (int64_t n : keep) {
    const std::string presented = text_of(dir / ("ref-" + std::to_string(n) + ".rgb"));
    ASSERT_EQ(presented.size(), frame_bytes) << "frame " << n;
    EXPECT_TRUE(frames.compare(static_cast<size_t>(n - 1) * frame_bytes, frame_bytes, presented) == 0)
        << "frame " << n;
  }
  const std::string black(frame_bytes, '\0');
  EXPECT_TRUE(frames.compare(static_cast<size_t>(last - 1) * frame_bytes, frame_bytes, black) == 0)
      << "the fade's last frame is not black";
  EXPECT_FALSE(frames.compare(static_cast<size_t>(first_fade - 1) * frame_bytes, frame_bytes, black) == 0)
      << "the fade starts from a black frame";

  // The sound: libmikmod's own render of the module up to the quit, then
  // silence through the fade; 735 samples for every frame.
  Command render{render_program, {(data_dir / "duSkal-20080501.xm").string(), (dir / "module.wav").string(), "4"}};
  render.err = dir / "render.err";
  ASSERT_EQ(command_run(render, 300), 0) << text_of(render.err);
  const std::string music = wav_data(text_of(dir / "module.wav"));
  const std::string sound = text_of(dir / "sound.raw");
  ASSERT_EQ(sound.size(), static_cast<size_t>(expected) * sound_bytes_per_frame);
  const size_t played = static_cast<size_t>(expected - demo_fade_steps) * sound_bytes_per_frame;
  ASSERT_GE(music.size(), played);
  EXPECT_NE(music.substr(0, played), std::string(played, '\0')) << "the module's render is silent";
  size_t first_difference = 0;
  while (first_difference < played && sound[first_difference] == music[first_difference]) ++first_difference;
  EXPECT_EQ(first_difference, played) << "the sound departs from libmikmod's render at sample "
                                      << first_difference / 4 << " (frame " << first_difference / sound_bytes_per_frame + 1
                                      << ")";
  EXPECT_EQ(sound.substr(played), std::string(sound.size() - played, '\0')) << "the fade is not silent";
}

// A folder's entries, names only.
std::vector<std::string> entries(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  return names;
}

TEST(CaptureFile, BadInputsGiveOneLineAndLeaveNoFile) {
  Scratch scratch;
  ASSERT_FALSE(scratch.dir.empty());
  const fs::path out = scratch.dir / "out";
  const fs::path no_tools = scratch.dir / "bin";
  fs::create_directories(out);
  fs::create_directories(no_tools);
  struct Case {
    std::vector<std::string> args;
    int status;  // 1: it could not record; 2: a bad command line
    std::string path_variable;
    std::string names;  // a word the line must hold
  };
  const std::string mkv = (out / "capture.mkv").string();
  const std::vector<Case> cases = {
      {{mkv}, 1, no_tools.string(), "ffmpeg"},
      {{(out / "missing" / "capture.mkv").string()}, 1, "", "missing"},
      {{"/sys/vorn-capture-test.mkv"}, 1, "", "/sys"},  // refused even to root
      {{(out / "capture.avi").string()}, 2, "", "capture.avi"},
      {{"--data", no_tools.string(), mkv}, 1, "", "the data folder " + no_tools.string() + " has no "},
      {{"--scale", "0", mkv}, 2, "", "--scale"},
      {{"--scale", "9", mkv}, 2, "", "--scale"},
      {{"--frames", "0", mkv}, 2, "", "--frames"},
      {{"--frames", "12x", mkv}, 2, "", "--frames"},
      {{"--fps", "48", mkv}, 2, "", "44100"},  // 918.75 samples a frame
  };
  for (const Case& c : cases) {
    std::string shown;
    for (const std::string& arg : c.args) shown += " " + arg;
    SCOPED_TRACE("vorncapture" + shown + (c.path_variable.empty() ? "" : " with PATH=" + c.path_variable));
    Command capture{capture_program, c.args};
    capture.cwd = data_dir;
    capture.out = scratch.dir / "said.out";
    capture.err = scratch.dir / "said.err";
    capture.path_variable = c.path_variable;
    const int status = command_run(capture, 60);
    EXPECT_EQ(status, c.status);  // its own refusal, not a crash or a signal
    const std::vector<std::string> lines = lines_of(text_of(capture.err));
    ASSERT_EQ(lines.size(), 1u) << text_of(capture.err);
    EXPECT_EQ(lines[0].rfind("vorncapture: ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(c.names), std::string::npos) << lines[0];
    EXPECT_EQ(text_of(capture.out), "");
    EXPECT_EQ(entries(out), std::vector<std::string>{}) << "a file was left behind";
  }
}

// Processes whose command line mentions text.
std::vector<std::string> processes_naming(const std::string& text) {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string pid = entry.path().filename().string();
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    std::string command = text_of(entry.path() / "cmdline");
    std::replace(command.begin(), command.end(), '\0', ' ');
    if (command.find(text) != std::string::npos) found.push_back(pid + ": " + command);
  }
  return found;
}

TEST(CaptureFile, CtrlCEndsTheCaptureAndLeavesNoFile) {
  Scratch scratch;
  ASSERT_FALSE(scratch.dir.empty());
  const fs::path out = scratch.dir / "out";
  fs::create_directories(out);
  // A terminal's Ctrl-C goes to the whole foreground job: the capture runs
  // in a process group of its own and the group is signalled.  The capture
  // as a user starts it: H.264 at 4x, whose frames are larger than a pipe
  // holds, and 60 frames a second, whose sound fills no whole audio packet
  // of ffmpeg's.
  Command capture{capture_program, {(out / "capture.mp4").string()}};
  capture.cwd = data_dir;
  capture.err = scratch.dir / "capture.err";
  capture.own_group = true;
  Started started;
  command_start(capture, &started);
  // Plain progress lines, the first after a tenth of the pass.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(300);
  while (text_of(capture.err).find("frames (") == std::string::npos) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "no progress: " << text_of(capture.err);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_FALSE(entries(out).empty()) << "the capture writes nothing while it runs";
  ASSERT_EQ(kill(-started.pid, SIGINT), 0);
  const int status = command_finish(&started, 60);
  EXPECT_EQ(status, 128 + SIGINT) << text_of(capture.err);
  const std::vector<std::string> lines = lines_of(text_of(capture.err));
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines.back().find("interrupted"), std::string::npos) << lines.back();
  EXPECT_EQ(entries(out), std::vector<std::string>{}) << "a file was left behind";
  EXPECT_EQ(processes_naming(out.string()), std::vector<std::string>{}) << "the encoder still runs";
}

}  // namespace
