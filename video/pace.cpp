#include "video/pace.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double clock_period = 1.0 / pace_frame_rate;
constexpr double shortest_refresh = 1.0 / pace_fastest_refresh;
constexpr double pace_change = 0.1;  // a watched interval this far off the baseline: measure again
// Two frame rates this close to 60 count as equally close: a measured
// 144 Hz display, whose halves and thirds lie 12 frames a second on either
// side, keeps 72 frames a second however the measurement falls.
constexpr double pace_tie = 0.5;

// The median of n values (reordered).
double median(double* values, int32_t n) {
  std::nth_element(values, values + n / 2, values + n);
  return values[n / 2];
}

// The mode the measurement found.  Showing that waits for the display's
// refresh takes a whole refresh right after another show, and the same a
// quarter of that after it: the show still returns on the display's beat.
// Showing that does not wait takes what the copy takes, and the gap on top.
void decide(Pace* pace, double spaced) {
  const double gap = pace->packed / 4;
  pace->measure_at = 0;
  if (pace->packed < shortest_refresh || spaced >= pace->packed + gap / 2) {
    if (pace->mode != PaceMode::clock) pace->due = pace->last + pace->period;
    pace->mode = PaceMode::clock;
    return;
  }
  pace->mode = PaceMode::display;
  pace->repeats = pace_repeats(pace->packed);
  pace->baseline = 0;
  pace->watched = 0;
}

bool measuring(const Pace& pace) {
  return pace.measure_at > 0 && pace.frames >= pace.measure_at && pace.frames < pace.measure_at + 2 * pace_probe_frames;
}

// One frame of a measurement: the frame shown once more and timed, right
// after its show in the first half, a quarter of the first half's median
// after it in the second.  Showing that never waits is told by the first
// half alone.
void measure(Pace* pace, const PaceDisplay& display) {
  const int64_t step = pace->frames - pace->measure_at;
  const int32_t half = static_cast<int32_t>(step / pace_probe_frames);
  const int32_t index = static_cast<int32_t>(step % pace_probe_frames);
  const double shown = pace->last;
  if (half == 1) display.sleep_until(display.context, shown + pace->packed / 4);
  display.show(display.context);
  pace->last = display.now(display.context);
  pace->probes[index] = pace->last - shown;
  if (index < pace_probe_frames - 1) return;
  const double seen = median(pace->probes, pace_probe_frames);
  if (half == 0) {
    pace->packed = seen;
    if (pace->packed < shortest_refresh) decide(pace, 0);
  } else {
    decide(pace, seen);
  }
}

void show_by_clock(Pace* pace, const PaceDisplay& display) {
  display.sleep_until(display.context, pace->due);
  display.show(display.context);
  const double now = display.now(display.context);
  // More than a frame late (a stalled process, a slow show): the frames
  // after go on from now rather than hurry to catch up.
  pace->due = now - pace->due > pace->period ? now + pace->period : pace->due + pace->period;
  pace->last = now;
}

// Collects the frame's interval per refresh; every pace_watch_frames
// frames their median is compared with the first median after the last
// measurement, and a change asks for a new measurement in this frame.
void watch(Pace* pace, double interval) {
  pace->intervals[pace->watched++] = interval;
  if (pace->watched < pace_watch_frames) return;
  pace->watched = 0;
  const double seen = median(pace->intervals, pace_watch_frames);
  if (pace->baseline == 0) {
    pace->baseline = seen;
  } else if (std::fabs(seen - pace->baseline) > pace_change * pace->baseline) {
    pace->measure_at = pace->frames;
  }
}

void show_by_display(Pace* pace, const PaceDisplay& display) {
  for (int32_t k = 0; k < pace->repeats; ++k) display.show(display.context);
  const double now = display.now(display.context);
  if (!measuring(*pace)) watch(pace, (now - pace->last) / pace->repeats);
  pace->last = now;
}

}  // namespace

int32_t pace_repeats(double period) {
  if (!(period > 0)) return 1;
  // The rate falls as n grows, so the closest lies on either side of the
  // ideal quotient.
  const double ideal = 1.0 / (period * pace_frame_rate);
  const double below = std::max(1.0, std::floor(std::min(ideal, 1e6)));
  const double miss_below = std::fabs(1.0 / (below * period) - pace_frame_rate);
  const double miss_above = std::fabs(1.0 / ((below + 1) * period) - pace_frame_rate);
  return static_cast<int32_t>(miss_above < miss_below - pace_tie ? below + 1 : below);
}

Pace pace_off() {
  Pace pace{};
  pace.mode = PaceMode::off;
  pace.repeats = 1;
  pace.period = clock_period;
  return pace;
}

Pace pace_start(double refresh) {
  Pace pace = pace_off();
  pace.mode = PaceMode::clock;
  if (refresh > 0 && refresh <= pace_fastest_refresh) pace.period = pace_repeats(1 / refresh) / refresh;
  pace.measure_at = pace_clock_frames;
  return pace;
}

void pace_show(Pace* pace, const PaceDisplay& display) {
  ++pace->frames;
  switch (pace->mode) {
    case PaceMode::off:
      display.show(display.context);
      return;
    case PaceMode::clock:
      show_by_clock(pace, display);
      break;
    case PaceMode::display:
      show_by_display(pace, display);
      break;
  }
  if (measuring(*pace)) measure(pace, display);
}
