// Tests of the vertical bar plasma: the gradient rows and the first frame
// from the level formula, whole frames against the image module's wrapped
// row operations, the phase and bounce motion, bad frames, and the part's
// frame loop under the dummy video driver.
#include "fx/plasma.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "demo/demo.h"
#include "fx/sine.h"
#include "video/screen.h"
#include "tests/support.h"

namespace {

// The wave table: frame step, row step, amplitude; red, green, blue first
// terms, then their second terms.
constexpr int32_t waves[6][3] = {{4, 1, 500}, {6, 2, 600}, {2, 3, 700}, {-3, 1, 400}, {-2, 2, 300}, {-1, 3, 400}};

uint32_t at(const Image* image, int32_t x, int32_t y) { return image->pixels[y * image->width + x]; }

int32_t floor_div(int64_t value, int64_t d) { return static_cast<int32_t>(value >= 0 ? value / d : -((-value + d - 1) / d)); }
int32_t mod1024(int64_t value) { return static_cast<int32_t>(((value % 1024) + 1024) % 1024); }

// Gradient level of table entry e.
uint32_t level(int32_t e) { return static_cast<uint32_t>(((sine_table[e] + 0x7FFF) * 255) >> 16); }
uint32_t red(uint32_t p) { return (p >> 16) & 0xFF; }
uint32_t green(uint32_t p) { return (p >> 8) & 0xFF; }
uint32_t blue(uint32_t p) { return p & 0xFF; }

// The frame the three passes give: for each channel, from the bottom row
// up, offset (sine[a] * amp_first + sine[b] * amp_second) >> 16, red stored,
// green and blue ORed, a and b moving by the row step.
void compose(const Image* gradient, Image* frame, const int32_t phase[6]) {
  for (int32_t c = 0; c < 3; ++c) {
    int32_t a = phase[c], b = phase[c + 3];
    for (int32_t y = frame->height - 1; y >= 0; --y) {
      const int32_t offset = floor_div(int64_t{sine_table[a]} * waves[c][2] + int64_t{sine_table[b]} * waves[c + 3][2], 65536);
      if (c == 0)
        img_copy_row_wrapped(gradient, frame, c, y, offset);
      else
        img_or_row_wrapped(gradient, frame, c, y, offset);
      a = mod1024(a + waves[c][1]);
      b = mod1024(b + waves[c + 3][1]);
    }
  }
}

// The phases after n frame advances from 0.
std::vector<int32_t> phases_after(int32_t n) {
  std::vector<int32_t> p(6);
  for (int32_t i = 0; i < 6; ++i) p[i] = mod1024(int64_t{n} * waves[i][0]);
  return p;
}

// The logo's top row for a bounce phase.
int32_t bounce_row(int32_t phase) {
  const int32_t t = floor_div(int64_t{208} * sine_table[phase], 32768);
  return 208 - (t > 0 ? t : -t);
}

// Every test starts as the program does: phases 0 and no gradient yet.
class Plasma : public ::testing::Test {
 protected:
  void SetUp() override {
    std::copy(plasma_phase, plasma_phase + 6, saved_phase);
    std::fill(plasma_phase, plasma_phase + 6, 0);
    plasma_gradient = nullptr;
    bounce_phase = 0;
    ASSERT_NO_FATAL_FAILURE(open_dummy_screen());
    frame_image = img_create();
    img_resize(frame_image, 256, 256);
    watch.each = [this](const Image*) {
      bounce_ys.push_back(bounce_y);
      bounce_phases.push_back(bounce_phase);
    };
    watch.watch();
  }
  void TearDown() override {
    close_dummy_screen();
    img_destroy(&frame_image);
    if (plasma_gradient != nullptr) img_destroy(&plasma_gradient);
    std::copy(saved_phase, saved_phase + 6, plasma_phase);
    logotype0 = nullptr;
    demo_state = 0;
    error_report = 0;
  }
  int32_t saved_phase[6] = {};
  Keep<Image*> keep_gradient{plasma_gradient};
  Keep<int32_t> keep_bounce{bounce_phase};
  FrameWatch watch;
  std::vector<int32_t> bounce_ys, bounce_phases;
};

TEST_F(Plasma, FirstFrameIsTheGradientsOredAndTheRowAboveIsShifted) {
  OwnedImage frame = image_of(256, 256);
  demo_plasma_draw(frame.get());
  ASSERT_NE(nullptr, plasma_gradient);
  ASSERT_EQ(256, plasma_gradient->width);
  ASSERT_EQ(3, plasma_gradient->height);
  for (int32_t x = 0; x < 256; ++x) {
    const int32_t e = 255 - x;
    EXPECT_EQ(level(4 * e) << 16, at(plasma_gradient, x, 0)) << x;
    EXPECT_EQ(level((8 * e) % 1024) << 8, at(plasma_gradient, x, 1)) << x;
    EXPECT_EQ(level((12 * e) % 1024), at(plasma_gradient, x, 2)) << x;
    EXPECT_EQ(at(plasma_gradient, x, 0) | at(plasma_gradient, x, 1) | at(plasma_gradient, x, 2), at(frame.get(), x, 255)) << x;
  }
  const uint32_t want[5][4] = {{255, 127, 127, 127}, {191, 254, 127, 0}, {128, 129, 122, 136}, {64, 0, 132, 254}, {0, 125, 122, 118}};
  for (const auto& w : want) {
    const uint32_t p = at(frame.get(), static_cast<int32_t>(w[0]), 255);
    EXPECT_EQ((Px{w[1], w[2], w[3]}), (Px{red(p), green(p), blue(p)})) << w[0];
  }
  for (int32_t x = 0; x < 256; ++x) {
    const uint32_t p = at(frame.get(), x, 254);
    EXPECT_EQ(red(at(frame.get(), (x + 256 - 2) % 256, 255)), red(p)) << x;
    EXPECT_EQ(green(at(frame.get(), (x + 256 - 5) % 256, 255)), green(p)) << x;
    EXPECT_EQ(blue(at(frame.get(), (x + 256 - 10) % 256, 255)), blue(p)) << x;
  }
  // A second draw keeps the gradient and rewrites every pixel.
  const Image* gradient = plasma_gradient;
  const Px first = pixels_of(frame.get());
  std::fill(frame->pixels, frame->pixels + 256 * 256, 0xFFFFFFu);
  demo_plasma_draw(frame.get());
  EXPECT_EQ(gradient, plasma_gradient);
  EXPECT_EQ(first, pixels_of(frame.get()));
}

TEST_F(Plasma, GradientRowOrsAndTakesNegativePhaseAndPeriod) {
  // Width 8, two periods: 256 table entries a pixel; phase -3 entries
  // starts on entry 1021 at the rightmost pixel.
  OwnedImage image = image_of(8, 2);
  std::fill(image->pixels, image->pixels + 16, 0x80000001u);
  demo_plasma_gradient_row(image.get(), -0x20000, 100, -3 * 65536, 1, 4);
  const int32_t entries[8] = {765, 509, 253, 1021, 765, 509, 253, 1021};
  for (int32_t x = 0; x < 8; ++x) {
    const uint32_t v = static_cast<uint32_t>(((sine_table[entries[x]] + 0x7FFF) * 100) >> 16);
    EXPECT_EQ(0x80000001u | (v << 4), at(image.get(), x, 1)) << x;
    EXPECT_EQ(0x80000001u, at(image.get(), x, 0)) << x;
  }
  EXPECT_EQ("", output_of([] { demo_plasma_gradient_row(nullptr, 0x10000, 255, 0, 0, 0); }));
  error_report = 1;
  EXPECT_EQ("VORNDEMO Error.\n", output_of([] { demo_plasma_gradient_row(nullptr, 0x10000, 255, 0, 0, 0); }));
}

TEST_F(Plasma, AdvanceWrapsEveryPhaseByItsFrameStep) {
  for (int32_t i = 0; i < 6; ++i)
    EXPECT_EQ((std::vector<int32_t>(waves[i], waves[i] + 3)),
              (std::vector<int32_t>{plasma_waves[i].frame_step, plasma_waves[i].row_step, plasma_waves[i].amplitude})) << i;
  demo_plasma_advance();
  const int32_t once[6] = {4, 6, 2, 1021, 1022, 1023};
  for (int32_t i = 0; i < 6; ++i) EXPECT_EQ(once[i], plasma_phase[i]) << i;
  plasma_phase[3] = 1;
  plasma_phase[0] = 1022;
  demo_plasma_advance();
  EXPECT_EQ(1022, plasma_phase[3]);
  EXPECT_EQ(2, plasma_phase[0]);
}

TEST_F(Plasma, DrawMatchesTheWrappedRowOperations) {
  // A gradient of distinct pixels shows any column out of place.
  auto coded = [](int32_t w) {
    OwnedImage g = image_of(w, 3);
    for (int32_t i = 0; i < w * 3; ++i) g->pixels[i] = 0x010000u * static_cast<uint32_t>(i % 3 + 1) + static_cast<uint32_t>(i);
    return g;
  };
  const int32_t phase_sets[3][6] = {{0, 0, 0, 0, 0, 0}, {1023, 7, 512, 3, 1000, 77}, {100, 900, 255, 768, 1, 640}};
  // Frame as wide as the gradient (also one that is no whole number of
  // 16-pixel lines, and one too wide for a table on the stack), wider, and
  // narrower; the two wider and narrower keep what the passes do not reach.
  const int32_t sizes[5][3] = {{256, 256, 256}, {100, 100, 9}, {1100, 1100, 5}, {256, 300, 7}, {256, 100, 6}};
  for (const auto& size : sizes) {
    OwnedImage gradient = coded(size[0]);
    plasma_gradient = gradient.get();
    for (const auto& phases : phase_sets) {
      std::copy(phases, phases + 6, plasma_phase);
      OwnedImage got = image_of(size[1], size[2]), want = image_of(size[1], size[2]);
      for (int32_t i = 0; i < size[1] * size[2]; ++i) got->pixels[i] = want->pixels[i] = 0x00ABCDEFu ^ static_cast<uint32_t>(i);
      demo_plasma_draw(got.get());
      compose(gradient.get(), want.get(), phases);
      EXPECT_EQ(pixels_of(want.get()), pixels_of(got.get())) << size[1] << " x " << size[2] << " phase " << phases[1];
    }
    plasma_gradient = nullptr;
  }
}

TEST_F(Plasma, BadFramesDrawNothingAndAreReportedWhileErrorReportIsOn) {
  uint32_t sentinel = 0x5A5A5Au;
  Image no_pixels{256, 256, nullptr};
  Image no_width{0, 256, &sentinel};
  for (uint8_t report : {0, 1}) {
    error_report = report;
    const std::string line = report ? "VORNDEMO Error.\n" : "";
    EXPECT_EQ(line, output_of([] { demo_plasma_draw(nullptr); }));
    EXPECT_EQ(line, output_of([&] { demo_plasma_draw(&no_pixels); }));
    EXPECT_EQ(line, output_of([&] { demo_plasma_draw(&no_width); }));
    EXPECT_EQ(0x5A5A5Au, sentinel);
  }
}

TEST_F(Plasma, PartRuns750FramesWithTheLogoBouncing) {
  watch.keep({1});
  demo_part_plasma();
  EXPECT_EQ(750, watch.frames);
  EXPECT_EQ(0, demo_state);
  ASSERT_EQ(750u, bounce_ys.size());
  // Frames 0 and 1, then the samples 32766 and -32766.
  EXPECT_EQ((std::vector<int32_t>{208, 203, 1, 0}), (std::vector<int32_t>{bounce_ys[0], bounce_ys[1], bounce_ys[64], bounce_ys[192]}));
  for (int n = 0; n < 750; ++n) {
    EXPECT_TRUE(bounce_ys[n] >= 0 && bounce_ys[n] <= 208) << n;
    EXPECT_EQ(n % 256 == 255, bounce_phases[n] == 0) << n;
  }
  EXPECT_EQ(phases_after(750), std::vector<int32_t>(plasma_phase, plasma_phase + 6));
  // Frame 1 (no logo) is the first plasma frame.
  const Px& first = watch.kept[1];
  EXPECT_EQ((129u << 16) | (122u << 8) | 136u, first[255 * 256 + 128]);
}

TEST_F(Plasma, SpaceEndsThePartAndTheNextVisitContinues) {
  OwnedImage logo = image_of(8, 4);
  for (uint32_t i = 0; i < 32; ++i) logo->pixels[i] = i == 5 ? 0u : 0x00F00000u | i;
  logotype0 = logo.get();
  // The expected frame: the plasma at the phases before the frame's
  // advance, the logo at (0, top row) with its 0 pixel transparent.
  auto expected = [&](int32_t frames_before, int32_t top) {
    OwnedImage gradient = image_of(256, 3), want = image_of(256, 256);
    for (int32_t x = 0; x < 256; ++x) {
      gradient->pixels[x] = level(4 * (255 - x)) << 16;
      gradient->pixels[256 + x] = level((8 * (255 - x)) % 1024) << 8;
      gradient->pixels[512 + x] = level((12 * (255 - x)) % 1024);
    }
    compose(gradient.get(), want.get(), phases_after(frames_before).data());
    for (int32_t y = 0; y < 4; ++y)
      for (int32_t x = 0; x < 8; ++x)
        if (at(logo.get(), x, y) != 0) want->pixels[(top + y) * 256 + x] = at(logo.get(), x, y);
    return pixels_of(want.get());
  };
  watch.press(10).keep({10});
  demo_part_plasma();
  EXPECT_EQ(10, watch.frames);
  EXPECT_EQ(2, demo_state);
  EXPECT_EQ(phases_after(10), std::vector<int32_t>(plasma_phase, plasma_phase + 6));
  EXPECT_EQ(40, bounce_phase);
  EXPECT_EQ(bounce_row(36), bounce_ys[9]);
  EXPECT_EQ(expected(9, bounce_row(36)), watch.kept[10]);
  const Image* gradient = plasma_gradient;

  demo_state = 0;
  push_key(SDL_KEYUP);
  watch.frames = 0;
  bounce_ys.clear();
  watch.press(3).keep({1});
  demo_part_plasma();
  EXPECT_EQ(3, watch.frames);
  EXPECT_EQ(gradient, plasma_gradient);
  EXPECT_EQ(bounce_row(40), bounce_ys[0]);
  EXPECT_EQ(expected(10, bounce_row(40)), watch.kept[1]);
  EXPECT_EQ(phases_after(13), std::vector<int32_t>(plasma_phase, plasma_phase + 6));
  push_key(SDL_KEYUP);
  screen_poll_keys(key_cell);
}

}  // namespace
