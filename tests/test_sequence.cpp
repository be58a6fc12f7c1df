// The three parts with the driver's own objects under SDL's dummy video
// driver: frame budgets counted at the screen, and the motion that carries over from one pass of the
// sequence to the next.  The music start registers libmikmod's driver and
// loader lists, which can be done once per process only (a second
// demo_init hangs in the registration), so every case runs its demo_init ..
// demo_shutdown in a child process of its own (in_data_copy), inside a
// fresh copy of the data folder.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "demo/demo.h"
#include "fx/font.h"
#include "fx/plasma.h"
#include "fx/rolls.h"
#include "fx/zoom.h"
#include "tests/support.h"

namespace {

// What the screen observer sees: presentations counted since the last
// reset and the zoom logo of each.
struct Watch {
  int64_t frames = 0;
  bool scan = false;      // look for light in every presented pixel
  int64_t last_lit = 0;   // last presentation with a non-black pixel
  std::vector<const Image*> logos;
};

void observe(void* context, const Image* image) {
  Watch& watch = *static_cast<Watch*>(context);
  ++watch.frames;
  watch.logos.push_back(zoom_logo);
  const size_t n = static_cast<size_t>(image->width) * static_cast<size_t>(image->height);
  for (size_t i = 0; watch.scan && i < n; ++i)
    if (image->pixels[i] != 0) watch.last_lit = watch.frames;
}

Watch watch;

void start_watch(bool scan = false) {
  watch = Watch{0, scan, 0, {}};
  screen_set_observer(observe, &watch);
}

// One part as the main loop runs it: the count of its presentations; a
// skip is cleared afterwards, a quit would be left standing.
int64_t run_part(void (*part)()) {
  start_watch();
  part();
  if ((demo_state & 1u) == 0) demo_state = 0;
  return watch.frames;
}

int32_t wrap(int64_t value, int32_t n) {
  return static_cast<int32_t>(((value % n) + n) % n);
}

// The motion the parts carry from one visit to the next.
struct Motion {
  int32_t bar, strip, letters;
  int64_t scrolled;  // pixels the text has moved
  int32_t plasma[6];
  int32_t bounce;
  bool operator==(const Motion&) const = default;
};

void PrintTo(const Motion& m, std::ostream* os) {
  *os << "bar " << m.bar << " strip " << m.strip << " letters " << m.letters << " scrolled " << m.scrolled
      << " plasma " << m.plasma[0] << "," << m.plasma[1] << "," << m.plasma[2] << "," << m.plasma[3] << ","
      << m.plasma[4] << "," << m.plasma[5] << " bounce " << m.bounce;
}

Motion motion() {
  return {bar_phase, strip_phase, letter_raster.offset,
          int64_t{scroll_pos} * scroll_char_width - scroll_x,
          {plasma_phase[0], plasma_phase[1], plasma_phase[2], plasma_phase[3], plasma_phase[4],
           plasma_phase[5]},
          bounce_phase};
}

// Per frame: bars 4 table steps, strip 3, letter colours one row of 96,
// text 2 pixels; the plasma waves 4, 6, 2, -3, -2, -1 and the bounce 4.
Motion after_rolls(Motion m, int64_t frames) {
  m.bar = wrap(m.bar + 4 * frames, 1024);
  m.strip = wrap(m.strip + 3 * frames, 1024);
  m.letters = wrap(m.letters + frames, 96);
  m.scrolled += 2 * frames;
  return m;
}

Motion after_plasma(Motion m, int64_t frames) {
  constexpr int32_t steps[6] = {4, 6, 2, -3, -2, -1};
  for (int i = 0; i < 6; ++i) m.plasma[i] = wrap(m.plasma[i] + steps[i] * frames, 1024);
  m.bounce = wrap(m.bounce + 4 * frames, 1024);
  return m;
}

TEST(Sequence, InitAndShutdownLeaveNothingBehind) {
  const int status = in_data_copy({}, [] {
    demo_init();
    ASSERT_EQ(screen_has_surface(screen), 1);
    ASSERT_NE(key_cell, nullptr);
    ASSERT_NE(frame_image, nullptr);
    EXPECT_EQ(std::pair(frame_image->width, frame_image->height), std::pair(256, 256));
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(std::pair(strip->width, strip->height), std::pair(256, 32));
    ASSERT_NE(rows_raster, nullptr);
    EXPECT_EQ(rows_raster->length, 256);
    EXPECT_EQ(scroll_x, 256);
    for (const Image* image : {logo_vorn, logo_present, logo_kolmira, logo_2008, logotype0, logotype1,
                               font_image, star_a, star_b, star_c, star_d})
      EXPECT_NE(image, nullptr);
    start_watch();
    demo_shutdown();
    EXPECT_EQ(watch.frames, 256);  // the fade
    EXPECT_TRUE(screen == nullptr && key_cell == nullptr && strip == nullptr && rows_raster == nullptr);
    for (const Image* image : {frame_image, logo_vorn, logo_present, logo_kolmira, logo_2008, logotype0,
                               logotype1, font_image, star_a, star_b, star_c, star_d})
      EXPECT_EQ(image, nullptr);
  });
  EXPECT_EQ(status, 0) << child_codes;
}

TEST(Sequence, ThreePassesRunTheirBudgetsAndCarryTheMotionOn) {
  const int status = in_data_copy({}, [] {
    demo_init();
    ASSERT_EQ(screen_has_surface(screen), 1);
    const Image* gradient = nullptr;
    for (int pass = 0; pass < 3; ++pass) {
      SCOPED_TRACE(pass);
      Motion before = motion();
      EXPECT_EQ(run_part(demo_part_zoom), 1004);
      EXPECT_EQ(zoom_field, nullptr);
      EXPECT_EQ(motion(), before);  // the zoom moves none of it
      EXPECT_EQ(run_part(demo_part_rolls), 1500);
      EXPECT_EQ(motion(), after_rolls(before, 1500));
      before = motion();
      EXPECT_EQ(run_part(demo_part_plasma), 750);
      EXPECT_EQ(motion(), after_plasma(before, 750));
      if (pass == 0) gradient = plasma_gradient;
      EXPECT_NE(plasma_gradient, nullptr);
      EXPECT_EQ(plasma_gradient, gradient);  // made once, kept
      EXPECT_EQ(demo_state, 0);
    }
    // From the bar phase 0 at start the three rolls runs end at 6000,
    // 12000 and 18000 steps: 880, 736 and 592 in the table.
    EXPECT_EQ(bar_phase, 592);
    start_watch(true);
    demo_shutdown();
    // The plasma's last frame fades out: no channel survives 128 steps of 2.
    EXPECT_EQ(watch.frames, 256);
    EXPECT_GE(watch.last_lit, 1);
    EXPECT_LE(watch.last_lit, 128);
  });
  EXPECT_EQ(status, 0) << child_codes;
}

TEST(Sequence, WithoutKolmiraTheZoomShowsThreeLogos) {
  const int status = in_data_copy({"kolmira.ppm"}, [] {
    demo_init();
    ASSERT_EQ(screen_has_surface(screen), 1);
    EXPECT_EQ(logo_kolmira, nullptr);
    EXPECT_EQ(run_part(demo_part_zoom), 753);
    ASSERT_EQ(watch.logos.size(), 753u);
    EXPECT_EQ(watch.logos[0], logo_vorn);
    EXPECT_EQ(watch.logos[250], logo_vorn);
    EXPECT_EQ(watch.logos[251], logo_present);
    EXPECT_EQ(watch.logos[501], logo_present);
    EXPECT_EQ(watch.logos[502], logo_2008);
    EXPECT_EQ(watch.logos[752], logo_2008);
    EXPECT_EQ(zoom_field, nullptr);
    demo_shutdown();
  });
  EXPECT_EQ(status, 0) << child_codes;
}

}  // namespace
