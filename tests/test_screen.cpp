// The screen: singletons, validity, the placement and enlargement of a
// picture, and the picture that reaches the window, read back from a real
// Xvfb server (xwd, netpbm) at 24 and 16 bits and from the dummy driver's
// surface (8-bit on classic SDL, 32-bit on sdl12-compat).
#include <SDL.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support.h"
#include "tests/xvfb.h"
#include "video/placement.h"
#include "video/screen.h"

namespace {

// ---- pictures -------------------------------------------------------------

struct Owned {
  Image image;
  std::vector<uint32_t> pixels;
};

// A colourful picture in which no pixel equals its mirror image across the
// diagonal, so a transposed or shifted presentation shows.
Owned pattern(int32_t w, int32_t h, uint32_t seed) {
  Owned o{{w, h, nullptr}, std::vector<uint32_t>(static_cast<size_t>(w) * static_cast<size_t>(h))};
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t r = (static_cast<uint32_t>(x) * 3u + seed) & 0xFFu;
      const uint32_t g = (static_cast<uint32_t>(y) * 5u + seed * 7u) & 0xFFu;
      const uint32_t b = ((static_cast<uint32_t>(x) ^ static_cast<uint32_t>(y)) * 9u + seed) & 0xFFu;
      o.pixels[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] =
          (r << 16) | (g << 8) | b;
    }
  }
  o.image.pixels = o.pixels.data();
  return o;
}

struct Rgb {
  int r, g, b;
};

Rgb split(uint32_t p) {
  return {static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF), static_cast<int>(p & 0xFF)};
}

// Largest per-channel difference allowed between what was presented and
// what was read back.
struct Tolerance {
  int r, g, b;
};

// Counts the pixels of the w x h region at (x0, y0) of a read-back picture
// (read_w wide) that differ from the image's pixel at the same place.
int count_mismatches(const std::vector<Rgb>& read, int32_t read_w, const Image& image,
                     int32_t w, int32_t h, Tolerance tol, int32_t x0 = 0, int32_t y0 = 0) {
  if (read.size() < static_cast<size_t>(read_w) * static_cast<size_t>(y0 + h)) return -1;  // too little read
  int bad = 0;
  for (int32_t y = y0; y < y0 + h; ++y) {
    for (int32_t x = x0; x < x0 + w; ++x) {
      const Rgb want = split(image.pixels[static_cast<size_t>(y) * static_cast<size_t>(image.width) +
                                          static_cast<size_t>(x)]);
      const Rgb got = read[static_cast<size_t>(y) * static_cast<size_t>(read_w) + static_cast<size_t>(x)];
      if (std::abs(want.r - got.r) > tol.r || std::abs(want.g - got.g) > tol.g ||
          std::abs(want.b - got.b) > tol.b) {
        ++bad;
      }
    }
  }
  return bad;
}

// The dummy driver's surface: 8-bit through its palette under classic SDL,
// 32-bit under sdl12-compat.
std::vector<Rgb> read_surface() {
  std::vector<Rgb> out;
  SDL_Surface* s = SDL_GetVideoSurface();
  if (s == nullptr || (s->format->BytesPerPixel != 1 && s->format->BytesPerPixel != 4)) return out;
  for (int y = 0; y < s->h; ++y) {
    const Uint8* row = static_cast<const Uint8*>(s->pixels) + static_cast<size_t>(y) * s->pitch;
    for (int x = 0; x < s->w; ++x) {
      Uint32 pixel = row[x];
      if (s->format->BytesPerPixel == 4) std::memcpy(&pixel, row + 4 * x, 4);
      Uint8 r = 0, g = 0, b = 0;
      SDL_GetRGB(pixel, s->format, &r, &g, &b);
      out.push_back({r, g, b});
    }
  }
  return out;
}

// The levels the dummy driver's surface keeps: 3-3-2 through the palette,
// else what its channel masks drop.
Tolerance surface_levels() {
  const SDL_PixelFormat* f = SDL_GetVideoSurface()->format;
  if (f->palette != nullptr) return {31, 31, 63};
  return {(1 << f->Rloss) - 1, (1 << f->Gloss) - 1, (1 << f->Bloss) - 1};
}

class DummyScreen : public DummyScreenTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(DummyScreenTest::SetUp());
    scr = screen;
    seen.watch();
  }
  Screen* scr = nullptr;
  FrameWatch seen;
};

// ---- child processes ------------------------------------------------------

void write_line(int fd, const std::string& text) {
  const std::string line = text + "\n";
  if (write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) _exit(3);
}

std::string output_dir() {
  const std::string dir = std::string(VORN_BINARY_DIR) + "/test-output/screen";
  mkdir((std::string(VORN_BINARY_DIR) + "/test-output").c_str(), 0755);
  mkdir(dir.c_str(), 0755);
  return dir;
}

// Reads a binary PPM of maxval 255.
bool read_ppm(const std::string& path, int32_t* w, int32_t* h, std::vector<Rgb>* out) {
  FILE* f = fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  int maxval = 0;
  const bool header = fscanf(f, "P6 %d %d %d", w, h, &maxval) == 3 && fgetc(f) != EOF;
  bool ok = header && maxval == 255 && *w > 0 && *h > 0;
  if (ok) {
    std::vector<unsigned char> bytes(static_cast<size_t>(*w) * static_cast<size_t>(*h) * 3);
    ok = fread(bytes.data(), 1, bytes.size(), f) == bytes.size();
    for (size_t i = 0; ok && i < bytes.size(); i += 3) out->push_back({bytes[i], bytes[i + 1], bytes[i + 2]});
  }
  fclose(f);
  return ok;
}

// The root window of the display as read back by xwd, converted by netpbm.
bool capture_root(const std::string& display, const std::string& path, int32_t* w, int32_t* h,
                  std::vector<Rgb>* out) {
  const std::string command = "xwd -root -silent -display " + display +
                              " | xwdtopnm 2>/dev/null | pnmdepth 255 2>/dev/null > " + path;
  return system(command.c_str()) == 0 && read_ppm(path, w, h, out);
}

// What the X11 child presents, step by step; the parent reads the window
// back after each step.
enum Step { step_copy, step_swap, step_blit_small, step_invalid, step_count };

const Owned& step_picture(int step) {
  static const Owned first = pattern(256, 256, 11);
  static const Owned second = pattern(256, 256, 97);
  static const Owned small = pattern(100, 60, 201);
  static const Owned short_one = pattern(256, 255, 33);
  switch (step) {
    case step_copy: return first;
    case step_swap: return second;
    case step_blit_small: return small;
    default: return short_one;
  }
}

// The child: brings up SDL on the X display, reports the depth, presents each
// step and waits for the parent to read the window.
int x11_child(const std::string& display, int to_parent, int from_parent) {
  setenv("SDL_VIDEODRIVER", "x11", 1);
  setenv("DISPLAY", display.c_str(), 1);
  Screen* scr = screen_create();
  if (scr == nullptr || !screen_has_surface(scr)) {
    write_line(to_parent, "error no video surface");
    return 1;
  }
  write_line(to_parent, "depth " + std::to_string(scr->depth));
  FrameWatch seen;
  seen.watch();
  for (int step = 0; step < step_count; ++step) {
    const Image* image = &step_picture(step).image;
    if (step == step_copy) screen_present_copy(scr, image);
    if (step == step_swap) screen_present_swap(scr, image);
    if (step == step_blit_small) screen_present_blit(scr, image);
    if (step == step_invalid) screen_present_copy(scr, image);
    write_line(to_parent, "presented " + std::to_string(seen.frames));
    if (read_line(from_parent) != "next") return 2;
  }
  screen_destroy(&scr);
  return 0;
}

// Presents under Xvfb at the given depth and compares the window with the
// images presented.
void check_x11(int x_depth, int sdl_depth, Tolerance tol) {
  XvfbScope x{xvfb_start(256, 256, x_depth)};
  const XvfbServer& server = x.server;
  ASSERT_FALSE(server.display.empty()) << "Xvfb did not start";
  int down[2], up[2];
  ASSERT_EQ(0, pipe(down));
  ASSERT_EQ(0, pipe(up));
  fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {
    close(up[0]);
    close(down[1]);
    SDL_Quit();
    _exit(x11_child(server.display, up[1], down[0]));
  }
  close(up[1]);
  close(down[0]);
  // A failed assertion leaves early: the child must not outlive the test.
  struct ChildScope {
    pid_t pid;
    int up, down;
    ~ChildScope() {
      close(up);
      close(down);
      if (pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
      }
    }
  } child{pid, up[0], down[1]};
  const std::string dir = output_dir();
  EXPECT_EQ("depth " + std::to_string(sdl_depth), read_line(up[0]));
  const int expected_count[step_count] = {1, 2, 3, 3};
  for (int step = 0; step < step_count; ++step) {
    ASSERT_EQ("presented " + std::to_string(expected_count[step]), read_line(up[0])) << "step " << step;
    int32_t w = 0, h = 0;
    std::vector<Rgb> read;
    const std::string path = dir + "/x" + std::to_string(x_depth) + "-step" + std::to_string(step) + ".ppm";
    ASSERT_TRUE(capture_root(server.display, path, &w, &h, &read)) << path;
    ASSERT_EQ(256, w);
    ASSERT_EQ(256, h);
    const Image& copy = step_picture(step_copy).image;
    const Image& swap = step_picture(step_swap).image;
    const Image& small = step_picture(step_blit_small).image;
    if (step == step_copy) {
      EXPECT_EQ(0, count_mismatches(read, w, copy, 256, 256, tol));
    } else if (step == step_swap) {
      EXPECT_EQ(0, count_mismatches(read, w, swap, 256, 256, tol));
    } else {
      // The small blit covers the top-left 100 x 60, the rest keeps the
      // swapped picture, and the 256 x 255 image changes nothing.
      EXPECT_EQ(0, count_mismatches(read, w, small, 100, 60, tol));
      EXPECT_EQ(0, count_mismatches(read, w, swap, 156, 256, tol, 100, 0));
      EXPECT_EQ(0, count_mismatches(read, w, swap, 100, 196, tol, 0, 60));
    }
    write_line(down[1], "next");
  }
  int status = 0;
  EXPECT_EQ(pid, waitpid(pid, &status, 0));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  child.pid = -1;
}

}  // namespace

// ---- life and placeholders --------------------------------------------------

TEST(ScreenLife, SingleScreenAndItsPlaceholders) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  Screen* scr = screen_create();
  ASSERT_NE(nullptr, scr);
  EXPECT_EQ(256, scr->width);
  EXPECT_EQ(256, scr->height);
  EXPECT_EQ(SDL_GetVideoSurface()->format->BitsPerPixel, scr->depth);  // 8 on classic SDL, 32 on sdl12-compat

  // A second create returns the same screen and sets no new mode.
  screen_set_mode(scr, 128, 96);
  EXPECT_EQ(128, scr->width);
  EXPECT_EQ(96, SDL_GetVideoSurface()->h);
  EXPECT_EQ(scr, screen_create());
  EXPECT_EQ(128, scr->width);
  EXPECT_EQ(96, SDL_GetVideoSurface()->h);

  // Negative sizes and foreign screens change nothing.
  Screen other = *scr;
  screen_set_mode(scr, -1, 256);
  screen_set_mode(&other, 256, 256);
  screen_set_mode(nullptr, 256, 256);
  EXPECT_EQ(128, scr->width);
  EXPECT_EQ(96, SDL_GetVideoSurface()->h);
  screen_set_mode(scr, 256, 256);
  EXPECT_EQ(256, SDL_GetVideoSurface()->h);

  EXPECT_STREQ("", screen_to_text(scr));
  EXPECT_EQ(nullptr, screen_to_text(&other));
  EXPECT_EQ(nullptr, screen_from_text("Screen"));
  EXPECT_EQ(1, screen_equals(scr, scr));
  EXPECT_EQ(0, screen_equals(scr, &other));
  EXPECT_EQ(scr, screen_copy(scr));
  EXPECT_EQ(nullptr, screen_copy(&other));
  EXPECT_EQ(0, screen_has_surface(&other));

  Screen* foreign = &other;
  screen_destroy(&foreign);  // not the screen: ignored
  EXPECT_EQ(&other, foreign);
  screen_destroy(nullptr);
  screen_destroy(&scr);
  EXPECT_EQ(nullptr, scr);
  EXPECT_EQ(0, screen_has_surface(foreign));
  EXPECT_EQ(nullptr, screen_to_text(foreign));

  Screen* again = screen_create();  // a fresh one can be made
  ASSERT_NE(nullptr, again);
  EXPECT_EQ(1, screen_has_surface(again));
  screen_destroy(&again);
}

// ---- placement and enlargement -----------------------------------------------

TEST(Placement, FitsTheLargestWholeFactorCentred) {
  auto fit = [](int32_t aw, int32_t ah, int32_t w, int32_t h) {
    const Placement p = placement_fit(aw, ah, w, h);
    return std::vector<int32_t>{p.left, p.top, p.scale};
  };
  EXPECT_EQ((std::vector<int32_t>{448, 28, 4}), fit(1920, 1080, 256, 256));
  EXPECT_EQ((std::vector<int32_t>{28, 448, 4}), fit(1080, 1920, 256, 256));
  EXPECT_EQ((std::vector<int32_t>{20, 50, 3}), fit(1000, 700, 320, 200));  // the height bounds it
  EXPECT_EQ((std::vector<int32_t>{0, 0, 1}), fit(256, 256, 256, 256));
  EXPECT_EQ(0, fit(255, 300, 256, 256)[2]);
  EXPECT_EQ(0, fit(300, 255, 256, 256)[2]);
  EXPECT_EQ(0, fit(300, 300, 0, 256)[2]);
}

TEST(Placement, EnlargesEveryPixelIntoItsBlockUpToTheLastColumn) {
  const Owned picture = pattern(5, 3, 9);  // x != y
  for (int32_t scale : {1, 8}) {
    for (int32_t copies : {1, scale}) {
      const size_t pitch = 5 * static_cast<size_t>(scale) + 3;  // padded rows stay untouched
      std::vector<uint32_t> out(pitch * 3 * static_cast<size_t>(copies), 0xDEADBEEFu);
      placement_enlarge(out.data(), pitch, picture.pixels.data(), 5, 3, scale, copies);
      for (size_t row = 0; row < out.size() / pitch; ++row) {
        for (size_t x = 0; x < pitch; ++x) {
          const size_t px = x / static_cast<size_t>(scale), py = row / static_cast<size_t>(copies);
          const uint32_t want = px < 5 ? picture.pixels[py * 5 + px] : 0xDEADBEEFu;
          ASSERT_EQ(want, out[row * pitch + x]) << "scale " << scale << " copies " << copies << " at " << x
                                                << "," << row;
        }
      }
    }
  }
}

// ---- presentation under the dummy driver ------------------------------------

TEST_F(DummyScreen, InvalidPresentationsTouchNothing) {
  const Owned shown = pattern(256, 256, 5);
  screen_present_copy(scr, &shown.image);
  ASSERT_EQ(1, seen.frames);
  const std::vector<Rgb> before = read_surface();
  ASSERT_EQ(256u * 256u, before.size());

  const Owned short_one = pattern(256, 255, 77);
  const Owned narrow = pattern(255, 256, 77);
  Image no_pixels{256, 256, nullptr};
  Screen other = *scr;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  for (auto present : {screen_present_copy, screen_present_swap}) {
    present(scr, &short_one.image);
    present(scr, &narrow.image);
    present(scr, &no_pixels);
    present(scr, nullptr);
    present(&other, &shown.image);
    present(nullptr, &shown.image);
  }
  screen_present_blit(scr, &no_pixels);
  screen_present_blit(scr, nullptr);
  screen_present_blit(&other, &short_one.image);
  EXPECT_EQ("", testing::internal::GetCapturedStdout());
  EXPECT_EQ("", testing::internal::GetCapturedStderr());
  EXPECT_EQ(1, seen.frames);
  const std::vector<Rgb> after = read_surface();
  ASSERT_EQ(before.size(), after.size());
  EXPECT_EQ(0, memcmp(before.data(), after.data(), before.size() * sizeof(Rgb)));
}

TEST_F(DummyScreen, EightBitSurfaceGetsAConvertedPicture) {
  const SDL_version* sdl = SDL_Linked_Version();
  if (SDL_VERSIONNUM(sdl->major, sdl->minor, sdl->patch) >= SDL_VERSIONNUM(1, 2, 50)) {
    GTEST_SKIP() << "classic SDL 1.2 is not installed: SDL 1.2." << int(sdl->patch)
                 << " is sdl12-compat, whose dummy driver grants no 8-bit surface";
  }
  // A block copy of 256 KB into this 64 KB surface would run far past it.
  ASSERT_EQ(8, SDL_GetVideoSurface()->format->BitsPerPixel);
  const Owned first = pattern(256, 256, 3);
  const Owned second = pattern(256, 256, 140);
  screen_present_copy(scr, &first.image);
  EXPECT_EQ(1, seen.frames);
  EXPECT_EQ(&first.image, seen.last);
  EXPECT_EQ(0, count_mismatches(read_surface(), 256, first.image, 256, 256, surface_levels()));
  screen_present_swap(scr, &second.image);
  EXPECT_EQ(2, seen.frames);
  EXPECT_EQ(&second.image, seen.last);
  EXPECT_EQ(0, count_mismatches(read_surface(), 256, second.image, 256, 256, surface_levels()));
  EXPECT_EQ(second.pixels, pattern(256, 256, 140).pixels) << "the image itself is left alone";
}

TEST_F(DummyScreen, BlitShowsTheTopLeftRegion) {
  const Owned large = pattern(300, 280, 21);
  screen_present_blit(scr, &large.image);
  EXPECT_EQ(1, seen.frames);
  EXPECT_EQ(&large.image, seen.last);
  EXPECT_EQ(0, count_mismatches(read_surface(), 256, large.image, 256, 256, surface_levels()));

  const Owned small = pattern(100, 60, 180);
  screen_present_blit(scr, &small.image);
  EXPECT_EQ(2, seen.frames);
  const std::vector<Rgb> read = read_surface();
  EXPECT_EQ(0, count_mismatches(read, 256, small.image, 100, 60, surface_levels()));
  EXPECT_EQ(0, count_mismatches(read, 256, large.image, 156, 256, surface_levels(), 100, 0));
  EXPECT_EQ(0, count_mismatches(read, 256, large.image, 100, 196, surface_levels(), 0, 60));
}

TEST(ScreenWithoutSurface, PresentsNothingAndDoesNotCrash) {
  const int status = in_child([] {
    SDL_Quit();  // forget the driver the parent brought up
    setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
    Screen* scr = screen_create();
    if (scr == nullptr || screen_has_surface(scr) || scr->depth != 0) return 1;
    FrameWatch seen;
    seen.watch();
    // The never-set mode is 0 x 0, so an empty image passes every other test.
    std::vector<uint32_t> one(1);
    Image empty{0, 0, one.data()};
    const Owned full = pattern(256, 256, 1);
    screen_present_copy(scr, &empty);
    screen_present_swap(scr, &empty);
    screen_present_blit(scr, &full.image);
    screen_present_copy(scr, &full.image);
    screen_set_mode(scr, 256, 256);  // fails again, silently
    KeyCell* cell = screen_keys_create();
    if (cell == nullptr) return 2;
    screen_poll_keys(cell);
    screen_keys_destroy(&cell);
    screen_destroy(&scr);
    return seen.frames == 0 && scr == nullptr ? 0 : 3;
  });
  EXPECT_EQ(0, status);
}

// ---- presentation under a real X server -----------------------------------

TEST(ScreenX11, Depth24ShowsTheImageExactly) {
  check_x11(24, 32, Tolerance{0, 0, 0});
}

TEST(ScreenX11, Depth16ShowsTheImageWithin565Levels) {
  check_x11(16, 16, Tolerance{8, 4, 8});
}
