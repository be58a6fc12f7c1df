// The pace against simulated displays: a clock that only moves when the
// intro draws, sleeps or shows, and shows that either return at the next
// refresh or as soon as the copy is done.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "video/pace.h"

namespace {

struct FakeDisplay {
  double refresh = 0;       // seconds; 0: shows do not wait for the display
  double show_cost = 0.0005;
  bool flush = false;       // shows that cost nothing, then wait for the compositor's next frame
  double time = 0;
  int32_t shows = 0;
};

PaceDisplay display_of(FakeDisplay* fake) {
  return PaceDisplay{
      fake,
      [](void* context) {
        FakeDisplay& d = *static_cast<FakeDisplay*>(context);
        d.time += d.show_cost;
        if (d.flush) {
          d.time = (std::floor(d.time / d.refresh + 1e-9) + 1) * d.refresh;
        } else if (d.refresh > 0) {
          d.time = std::ceil(d.time / d.refresh - 1e-9) * d.refresh;
        }
        ++d.shows;
      },
      [](void* context) { return static_cast<FakeDisplay*>(context)->time; },
      [](void* context, double when) {
        FakeDisplay& d = *static_cast<FakeDisplay*>(context);
        if (when > d.time) d.time = when;
      },
  };
}

// Draws and shows `frames` frames (1 ms of drawing each); the time each
// frame's showing ended.
std::vector<double> run(Pace* pace, FakeDisplay* fake, int32_t frames) {
  std::vector<double> ends;
  for (int32_t i = 0; i < frames; ++i) {
    fake->time += 0.001;
    pace_show(pace, display_of(fake));
    ends.push_back(fake->time);
  }
  return ends;
}

// Every interval between the last `count` frame ends is `interval`.
void expect_steady(const std::vector<double>& ends, int32_t count, double interval) {
  for (size_t i = ends.size() - static_cast<size_t>(count); i < ends.size(); ++i)
    EXPECT_NEAR(ends[i] - ends[i - 1], interval, 1e-6) << "frame " << i;
}

}  // namespace

TEST(Pace, RepeatsBringTheRateClosestToSixty) {
  const double rates[] = {60, 50, 75, 100, 120, 144, 143.8, 144.2, 165, 240, 80, 59.94, 360};
  const int32_t repeats[] = {1, 1, 1, 2, 2, 2, 2, 2, 3, 4, 1, 1, 6};
  for (size_t i = 0; i < std::size(rates); ++i) EXPECT_EQ(pace_repeats(1 / rates[i]), repeats[i]) << rates[i] << " Hz";
  EXPECT_EQ(pace_repeats(0), 1);
}

// Shows that wait for the display, and (at a reported 144 Hz) shows that
// cost nothing and then wait for the compositor's next frame.
TEST(Pace, AWaitingDisplayShowsEveryFrameForTheSameRefreshes) {
  for (const auto& [hz, reported] : {std::pair{60.0, 0.0}, {144.0, 0.0}, {240.0, 0.0}, {144.0, 144.0}}) {
    FakeDisplay fake{1 / hz, reported > 0 ? 0 : 0.0005, reported > 0};
    Pace pace = pace_start(reported);
    const std::vector<double> ends = run(&pace, &fake, 200);
    EXPECT_EQ(pace.mode, PaceMode::display) << hz << " Hz";
    EXPECT_EQ(pace.repeats, pace_repeats(1 / hz)) << hz << " Hz";
    expect_steady(ends, 100, pace.repeats / hz);
  }
}

// A reported refresh rate spaces the frames as many refreshes apart as a
// waiting display would show them.
TEST(Pace, WhereShowingDoesNotWaitTheClockSpacesTheFrames) {
  for (const double cost : {0.0001, 0.003, 0.01}) {  // a window, a large or slow surface
    for (const auto& [reported, interval] : {std::pair{0.0, 1 / 60.0}, {144.0, 1 / 72.0}, {120.0, 1 / 60.0},
                                            {165.0, 1 / 55.0}, {59.94, 1 / 59.94}}) {
      FakeDisplay fake{0, cost};
      Pace pace = pace_start(reported);
      const std::vector<double> ends = run(&pace, &fake, 200);
      EXPECT_EQ(pace.mode, PaceMode::clock) << cost << " s, " << reported << " Hz";
      expect_steady(ends, 100, interval);
    }
  }
}

TEST(Pace, ADisplayOfAnotherRateIsMeasuredAgainAndAStallIsNotCaughtUp) {
  FakeDisplay fake{1 / 60.0};
  Pace pace = pace_start();
  run(&pace, &fake, 200);
  ASSERT_EQ(pace.repeats, 1);
  fake.refresh = 1 / 144.0;  // the window moved
  std::vector<double> ends = run(&pace, &fake, 200);
  EXPECT_EQ(pace.repeats, 2);
  expect_steady(ends, 100, 2 / 144.0);

  FakeDisplay still{0};
  Pace clock = pace_start();
  run(&clock, &still, 100);
  still.time += 5;  // the process was stopped
  ends = run(&clock, &still, 10);
  expect_steady(ends, 8, 1 / pace_frame_rate);
}

TEST(Pace, OffShowsEachFrameOnceAtOnce) {
  FakeDisplay fake{0, 0};
  Pace pace = pace_off();
  const std::vector<double> ends = run(&pace, &fake, 50);
  EXPECT_EQ(fake.shows, 50);
  EXPECT_NEAR(ends.back(), 0.05, 1e-9);
}
