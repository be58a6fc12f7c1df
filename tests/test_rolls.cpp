// Tests of the raster-roll part: its colour tables, the bars rebuilt into
// the rows raster, the letter colours, and whole runs of the part under the
// dummy video driver, ended by a SPACE pushed after a chosen frame.
#include "fx/rolls.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <utility>

#include "demo/demo.h"
#include "demo/keys.h"
#include "fx/font.h"
#include "fx/sine.h"
#include "tests/support.h"

namespace {

using Rows = std::array<uint32_t, 256>;

// The green run the bars use, top to bottom.
constexpr uint32_t green_run[16] = {0x002000, 0x004000, 0x006000, 0x008000, 0x00A000, 0x00C000,
                                    0x00E000, 0x00F000, 0x00F000, 0x00E000, 0x00C000, 0x00A000,
                                    0x008000, 0x006000, 0x004000, 0x002000};

// The rows of a frame whose bars stand at these bases: bar i colours rows
// base + 1 .. base + 16, a later bar covering an earlier one.
Rows bars_at(const std::array<int32_t, 16>& bases) {
  Rows rows{};
  for (uint32_t i = 0; i < 16; ++i)
    for (int32_t j = 1; j <= 16; ++j) rows[static_cast<size_t>(bases[i] + j)] = green_run[j - 1] + 8 * i;
  return rows;
}
constexpr std::array<int32_t, 16> first_bases = {128, 139, 151, 162, 172, 181, 189, 196,
                                                 201, 205, 207, 207, 206, 203, 198, 191};

// A white font of cells 0 .. 95 with a different ink pattern in each.
bool ink(int32_t c, int32_t lx, int32_t ly) { return (lx * 5 + ly * 3 + c) % 7 < 4; }
OwnedImage white_font() {
  OwnedImage font = image_of(256, 384, 0);
  for (int32_t y = 0; y < 384; ++y)
    for (int32_t x = 0; x < 256; ++x)
      if (ink(y / 32 * 8 + x / 32, x % 32, y % 32)) img_set_pixel(font.get(), x, y, 0xFFFFFF);
  return font;
}

TEST(Rolls, ColourTablesHoldTheirValues) {
  const std::pair<int, uint32_t> checks[] = {{0, 0xF00000},  {1, 0xF01000},  {15, 0xF0F000}, {16, 0xF0F000},
                                             {17, 0xE0F000}, {31, 0x00F000}, {47, 0x00F0F0}, {63, 0x0000F0},
                                             {79, 0xF000F0}, {95, 0xF00000}};
  for (auto [e, colour] : checks) EXPECT_EQ(letter_colours[e], colour) << "entry " << e;
  ASSERT_EQ(letter_raster.length, 96);
  EXPECT_EQ(std::memcmp(letter_raster.colours, letter_colours, sizeof letter_colours), 0);
  // Run 7 starts after the 2 + 4 + .. + 14 = 56 entries of runs 0 .. 6.
  for (int j = 0; j < 16; ++j) EXPECT_EQ(bar_profiles[56 + j], green_run[j]) << j;

  // Painted into a 10-row image from offset 90: entries 90 .. 95, then 0 .. 3.
  Keep keep_offset(letter_raster.offset);
  letter_raster.offset = 90;
  OwnedImage mask = image_of(12, 10, 0x777777);
  raster_draw(&letter_raster, mask.get());
  const std::tuple<int32_t, int32_t, uint32_t> rows[] = {{0, 0, 0xF00050}, {11, 0, 0xF00050}, {5, 5, 0xF00000},
                                                         {0, 6, 0xF00000}, {3, 7, 0xF01000}};  // 90, 95, 0, 1
  for (auto [x, y, colour] : rows)
    EXPECT_EQ(img_get_pixel(mask.get(), x, y), colour) << x << "," << y;
}

TEST(Rolls, BarsAreRebuiltIntoTheRowsRaster) {
  Keep keep_rows(rows_raster);
  Keep keep_phase(bar_phase);
  OwnedRaster rows(raster_create());
  std::fill(rows->colours, rows->colours + 256, 0xABCDEFu);  // cleared first
  rows_raster = rows.get();
  bar_phase = 0;
  EXPECT_EQ(output_of(demo_raster_rolls), "");
  const Rows want = bars_at(first_bases);
  for (int32_t y = 0; y < 256; ++y) EXPECT_EQ(rows->colours[y], want[static_cast<size_t>(y)]) << "row " << y;
  EXPECT_EQ(rows->colours[208], 0x00E000u + 8 * 14);  // bars 7 .. 14 reach it: 14 on top
  EXPECT_EQ(bar_phase, 4);

  // Elsewhere in the period, straight from the sine table with a rounding
  // down division; bars 1 .. 15 wrap past the table's end.
  bar_phase = 1000;
  demo_raster_rolls();
  std::array<int32_t, 16> bases{};
  for (size_t i = 0; i < 16; ++i) {
    const int64_t scaled = int64_t{sine_table[(1000 + 24 * i) % 1024]} * 80;
    bases[i] = static_cast<int32_t>(scaled >= 0 ? scaled / 32768 : -((-scaled + 32767) / 32768)) + 128;
  }
  EXPECT_LT(bases[0], 128);
  const Rows later = bars_at(bases);
  for (int32_t y = 0; y < 256; ++y) EXPECT_EQ(rows->colours[y], later[static_cast<size_t>(y)]) << "row " << y;
  for (auto [from, to] : {std::pair{1020, 0}, std::pair{1022, 2}, std::pair{1023, 3}}) {  // wrapping
    bar_phase = from;
    demo_raster_rolls();
    EXPECT_EQ(bar_phase, to) << from;
  }
  // 256 frames bring the chain back to where it started.
  bar_phase = 0;
  for (int i = 0; i < 256; ++i) demo_raster_rolls();
  EXPECT_EQ(bar_phase, 0);
  demo_raster_rolls();
  for (int32_t y = 0; y < 256; ++y) ASSERT_EQ(rows->colours[y], want[static_cast<size_t>(y)]) << "row " << y;

  // A short raster keeps only its own rows; no raster, nothing happens.
  raster_resize(rows.get(), 150);
  bar_phase = 0;
  demo_raster_rolls();
  for (int32_t y = 0; y < 150; ++y) EXPECT_EQ(rows->colours[y], want[static_cast<size_t>(y)]) << "row " << y;
  rows_raster = nullptr;
  EXPECT_EQ(output_of(demo_raster_rolls), "");
  EXPECT_EQ(bar_phase, 4);
}

// ---- whole runs of the part -------------------------------------------------

// Pushes a SPACE after the given number of presented frames.
struct FrameCount {
  int32_t count = 0;
  int32_t leave_after = 0;
};
void count_frame(void* context, const Image*) {
  FrameCount* frames = static_cast<FrameCount*>(context);
  if (++frames->count == frames->leave_after) push_key(SDL_KEYDOWN);
}

class RollsPart : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(open_dummy_screen());
    screen_poll_keys(key_cell);
    frame_image = own_frame.get();
    strip = own_strip.get();
    rows_raster = own_rows.get();
    font_image = own_font.get();
    logotype1 = own_logo.get();
  }
  void TearDown() override {
    close_dummy_screen();
  }
  // Runs the part until it leaves after `frames` frames (0: no key at all);
  // returns what it printed, and the frames it presented in `presented`.
  std::string run(int32_t frames) {
    FrameCount counter{0, frames};
    // The SPACE of a run before is released and seen so by the driver,
    // which acts once per press.
    push_key(SDL_KEYUP);
    demo_present_frame();
    key_cell->keys[0] = 0;
    demo_state = 0;
    screen_set_observer(count_frame, &counter);
    const std::string out = output_of(demo_part_rolls);
    screen_set_observer(nullptr, nullptr);
    presented = counter.count;
    EXPECT_EQ(demo_state, frames > 0 ? 2 : 0);
    demo_state = 0;
    return out;
  }
  Keep<Image*> keep_frame{frame_image}, keep_strip{strip}, keep_font{font_image}, keep_logo{logotype1};
  Keep<Raster*> keep_rows{rows_raster};
  Keep<Screen*> keep_screen{screen};
  Keep<KeyCell*> keep_keys{key_cell};
  Keep<int32_t> keep_pos{scroll_pos}, keep_x{scroll_x}, keep_speed{scroll_speed};
  Keep<int32_t> keep_bars{bar_phase}, keep_strip_phase{strip_phase}, keep_letters{letter_raster.offset};
  int32_t presented = 0;
  OwnedImage own_frame = image_of(256, 256, 0xABCDEF);
  OwnedImage own_strip = image_of(256, 32, 0);
  OwnedRaster own_rows{raster_create()};
  OwnedImage own_font = white_font();
  OwnedImage own_logo = image_of(40, 20, 0);
};

TEST_F(RollsPart, OneFrameLayersBarsColouredLettersAndLogo) {
  for (int32_t y = 0; y < 20; ++y)
    for (int32_t x = 0; x < 40; ++x)
      if ((x + y) % 4 == 0) img_set_pixel(logotype1, x, y, 0x112233u + static_cast<uint32_t>(x));
  bar_phase = 0, strip_phase = 0, letter_raster.offset = 90;
  scroll_pos = 100, scroll_x = -5, scroll_speed = 2;
  EXPECT_EQ(run(1), "");  // nothing leaves the strip, nothing else prints
  EXPECT_EQ(presented, 1);

  // Expected: the bars; letters at row 112 + r in letter colour 90 + r; logo.
  const Rows rows = bars_at(first_bases);
  int32_t letter_pixels = 0;
  for (int32_t y = 0; y < 256; ++y)
    for (int32_t x = 0; x < 256; ++x) {
      uint32_t want = rows[static_cast<size_t>(y)];
      const int32_t r = y - 112, i = (x + 5) / 32, lx = (x + 5) % 32;
      if (r >= 0 && r < 32 && ink(scroll_text[100 + i], lx, r)) {
        want = letter_colours[(90 + r) % 96];
        ++letter_pixels;
      }
      if (x < 40 && y < 20 && (x + y) % 4 == 0) want = 0x112233u + static_cast<uint32_t>(x);
      ASSERT_EQ(img_get_pixel(frame_image, x, y), want) << x << "," << y;
    }
  EXPECT_GT(letter_pixels, 1000);
  EXPECT_EQ(std::tuple(strip_y, strip_phase, bar_phase, letter_raster.offset, scroll_x), std::tuple(112, 3, 4, 91, -7));
}

TEST_F(RollsPart, StripHeightFollowsTheSineAndMotionCarriesOver) {
  for (auto [phase, row] : {std::pair{0, 112}, std::pair{256, 223}, std::pair{768, 0}}) {
    strip_phase = phase;
    run(1);
    EXPECT_EQ(strip_y, row) << "phase " << phase;
    EXPECT_EQ(strip_phase, phase + 3);
  }
  strip_phase = 1022, bar_phase = 1000, letter_raster.offset = 94;
  run(5);
  EXPECT_EQ(presented, 5);
  EXPECT_EQ(std::tuple(strip_phase, bar_phase, letter_raster.offset), std::tuple(1037 % 1024, 1020, 99 % 96));
  run(3);  // the next run goes on from there
  EXPECT_EQ(std::tuple(strip_phase, bar_phase, letter_raster.offset), std::tuple(1046 % 1024, 1032 % 1024, 102 % 96));
}

TEST_F(RollsPart, RunsItsFullBudgetAndEchoesTheText) {
  bar_phase = 10, strip_phase = 20, letter_raster.offset = 30;
  scroll_pos = 0, scroll_x = 256, scroll_speed = 2;
  // The first character leaves after 144 frames, then one every 16.
  EXPECT_EQ(run(0), std::string(scroll_text, 1 + (1500 - 144) / 16));
  EXPECT_EQ(presented, 1500);
  EXPECT_EQ(std::tuple(bar_phase, strip_phase, letter_raster.offset), std::tuple(6010 % 1024, 4520 % 1024, 1530 % 96));
}

TEST_F(RollsPart, MissingObjectsAreSurvived) {
  rows_raster = nullptr;
  EXPECT_EQ(run(3), "RASTER error\nRASTER error\nRASTER error\n");
  rows_raster = own_rows.get();
  logotype1 = nullptr;
  EXPECT_EQ(run(2), "");
  logotype1 = own_logo.get();
  strip = nullptr;
  EXPECT_EQ(run(2), "");
  EXPECT_EQ(presented, 2);
  font_image = nullptr, strip = own_strip.get(), scroll_x = 0;
  EXPECT_EQ(run(1), "");
}

}  // namespace
