// The music glue against the real libmikmod: its drivers, its loader and its
// WAV disk writer.  libmikmod's driver list can be registered only once per
// process, so every case runs in a child process of its own, in a fresh
// folder, with standard error going to a file.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "demo/music.h"
#include "tests/support.h"
#include "tools/xm_writer.h"

namespace fs = std::filesystem;

namespace {

// A short module from the project's XM writer: one pattern of `rows` rows
// at speed 6 and 125 BPM (0.12 s a row) in which every one of `channels`
// channels starts a looped square tone on the first row.
std::vector<uint8_t> make_xm(int channels, int rows) {
  std::vector<uint8_t> bytes;
  XmModule* module = xm_create(channels, 1, 1);
  if (module == nullptr) return bytes;
  snprintf(module->tracker, sizeof module->tracker, "vorn test");
  XmInstrument* tone = &module->instruments[0];
  if (xm_pattern_alloc(module, 0, rows) && xm_sample_alloc(tone, 32, 8)) {
    for (int c = 0; c < channels; ++c) {
      XmCell* cell = xm_cell(module, 0, 0, c);
      cell->note = 49;  // C-4
      cell->instrument = 1;
    }
    for (int i = 0; i < 32; ++i) tone->sample.data[i] = static_cast<int16_t>(i < 16 ? 64 : -64);
    tone->sample.loop_length = 32;
    tone->sample.loop_type = 1;
    tone->sample.volume = 48;
    tone->sample.panning = 128;
    size_t size = 0;
    uint8_t* file = xm_serialize(module, &size);
    if (file != nullptr) bytes.assign(file, file + size);
    free(file);
  }
  xm_destroy(&module);
  return bytes;
}

void write_file(const fs::path& path, const std::vector<uint8_t>& bytes) {
  ASSERT_FALSE(bytes.empty());
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

fs::path fresh_dir(const std::string& name) {
  const fs::path dir = fs::path(VORN_BINARY_DIR) / "test-output" / "music" / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

// Runs body in a child process inside dir with standard error in
// dir/stderr.txt; returns its exit status.
template <typename Body>
int in_dir(const fs::path& dir, Body body) {
  return in_child([&] {
    if (chdir(dir.c_str()) != 0 || freopen("stderr.txt", "w", stderr) == nullptr) return 100;
    setvbuf(stderr, nullptr, _IONBF, 0);
    return body();
  });
}

// Where the registered driver list puts the WAV disk writer.
int wav_driver() {
  return std::max(0, in_child([] {
    MikMod_RegisterAllDrivers();
    return MikMod_DriverFromAlias("wav");
  }));
}

// True while this process still has a file descriptor open on name.
bool holds_open(const char* name) {
  std::error_code ec;
  for (const auto& fd : fs::directory_iterator("/proc/self/fd", ec)) {
    std::error_code link_ec;
    const fs::path target = fs::read_symlink(fd.path(), link_ec);
    if (!link_ec && target.filename() == name) return true;
  }
  return false;
}

// The sizes in a RIFF WAVE header, patched in when the writer is closed.
struct WavSizes {
  uint32_t riff;
  uint32_t data;
  uintmax_t file;
};

WavSizes wav_sizes(const fs::path& path) {
  const std::string bytes = text_of(path);
  auto le32 = [&](size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + i])) << (8 * i);
    return v;
  };
  if (bytes.size() < 44 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(36, 4, "data") != 0) {
    return {0, 0, bytes.size()};
  }
  return {le32(4), le32(40), bytes.size()};
}

// A child's check: prints what failed and counts it.
int failures = 0;
void check(bool ok, const char* what) {
  if (!ok) {
    printf("child check failed: %s\n", what);
    fflush(stdout);
    ++failures;
  }
}

}  // namespace

TEST(Music, NoAudioOutputWritesTheTwoLinesAndStaysSilent) {
  const fs::path dir = fresh_dir("no-audio");
  write_file(dir / music_file, make_xm(4, 8));
  // No sound server and an SDL audio output that cannot be opened: what a
  // machine without sound offers the library.
  const int status = in_dir(dir, [&] {
    setenv("PULSE_SERVER", "unix:/nonexistent/vorn-pulse", 1);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", (dir / "no-such-folder" / "audio.raw").c_str(), 1);
    music_start();
    check(music_module == nullptr, "no module after a failed start");
    for (int i = 0; i < 5; ++i) music_update();
    music_stop();
    check(music_module == nullptr, "still no module");
    return failures;
  });
  EXPECT_EQ(0, status);
  EXPECT_EQ(std::string("Could not initialize sound\nReason: ") + MikMod_strerror(MMERR_OPENING_AUDIO) + "\n",
            text_of(dir / "stderr.txt"));
}

TEST(Music, MissingModuleWritesOneLineAndTheLibraryStillShutsDown) {
  const int wav = wav_driver();
  ASSERT_GT(wav, 0);
  const fs::path dir = fresh_dir("missing-module");
  const int status = in_dir(dir, [&] {
    md_device = static_cast<UWORD>(wav);
    music_start();
    check(music_module == nullptr, "no module");
    check(holds_open("music.wav"), "the WAV writer is the output");
    for (int i = 0; i < 5; ++i) music_update();
    music_stop();
    check(!holds_open("music.wav"), "MikMod_Exit closed the WAV writer");
    return failures;
  });
  EXPECT_EQ(0, status);
  EXPECT_EQ(std::string("Could not load module, reason: ") + MikMod_strerror(MMERR_OPENING_FILE) + "\n",
            text_of(dir / "stderr.txt"));
  const WavSizes sizes = wav_sizes(dir / "music.wav");
  EXPECT_EQ(44u, sizes.file);
  EXPECT_EQ(0u, sizes.data);
}

TEST(Music, ModuleAtItsEndIsReloadedWithEightVoices) {
  const int wav = wav_driver();
  ASSERT_GT(wav, 0);
  const fs::path dir = fresh_dir("reload");
  // Ten channels, so that the voice limit of each load shows; 0.48 s long.
  write_file(dir / music_file, make_xm(10, 4));
  const int status = in_dir(dir, [&] {
    md_device = static_cast<UWORD>(wav);
    music_start();
    check(music_module != nullptr, "loaded");
    if (music_module == nullptr) return 50;
    check(music_module->numvoices == 4, "first load: 4 voices");
    check(Player_Active(), "playing");

    // Serve until the frame in which the player has stopped at the end.
    auto play_to_end = [] {
      for (int frame = 0; frame < 1000; ++frame) {
        const bool was_active = Player_Active();
        music_update();
        if (!was_active) return frame;
      }
      return -1;
    };
    const int first_pass = play_to_end();
    check(first_pass > 0, "the module ends");
    check(music_module != nullptr, "reloaded");
    if (music_module == nullptr) return 51;
    check(music_module->numvoices == 8, "reload: 8 voices");
    check(Player_Active() && music_module->sngpos == 0, "playing again from the start");
    check(play_to_end() == first_pass, "the second pass is as long as the first");

    // Without the file the next reload fails, silently, for good.
    fs::remove(music_file);
    check(play_to_end() == first_pass, "the third pass plays");
    check(music_module == nullptr, "failed reload leaves no module");
    for (int i = 0; i < 5; ++i) music_update();
    music_stop();
    check(!holds_open("music.wav"), "MikMod_Exit closed the WAV writer");
    return failures;
  });
  EXPECT_EQ(0, status);
  EXPECT_EQ("", text_of(dir / "stderr.txt"));
  const WavSizes sizes = wav_sizes(dir / "music.wav");
  EXPECT_GT(sizes.data, 0u);
  EXPECT_EQ(sizes.file - 8, sizes.riff) << "header finished by MikMod_Exit";
  EXPECT_EQ(sizes.file - 44, sizes.data) << "header finished by MikMod_Exit";
}

TEST(Music, TheIntroModuleIsServedOncePerFrame) {
  const int wav = wav_driver();
  ASSERT_GT(wav, 0);
  const fs::path dir = fresh_dir("intro-module");
  fs::copy_file(fs::path(VORN_SOURCE_DIR) / "data" / music_file, dir / music_file);
  const int status = in_dir(dir, [&] {
    md_device = static_cast<UWORD>(wav);
    music_start();
    check(music_module != nullptr && Player_Active(), "loaded and playing");
    for (int i = 0; i < 20; ++i) music_update();
    check(music_module != nullptr && Player_Active(), "still playing");
    music_stop();
    return failures;
  });
  EXPECT_EQ(0, status);
  EXPECT_EQ("", text_of(dir / "stderr.txt"));
  const WavSizes sizes = wav_sizes(dir / "music.wav");
  EXPECT_EQ(20u * 32768u, sizes.data) << "one 32 KiB block for each served frame";
  EXPECT_EQ(sizes.file - 44, sizes.data);
}
