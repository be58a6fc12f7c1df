// The pace of presentation: how long each frame stays on screen.  Where
// showing a picture waits for the display's refresh, every frame stays on
// screen for the same whole number of refreshes, the number that brings the
// frame rate closest to 60 a second; where it does not wait, the frames are
// spaced by the clock, sleeping in between: as many refreshes apart as the
// display would show them, where the platform reports the display's
// refresh rate, else 1/60 s.  The refresh is
// learnt from the shows themselves: the first frames go by the clock, then
// the display is measured over a few frames, each shown once more, and
// while the display paces the frames their intervals are watched, so that a
// window moved to a display of another refresh rate is measured again.  No
// frame is held longer than two shows: the music, served once a frame,
// keeps its lead.  The screen module drives this one through a PaceDisplay;
// nothing here touches SDL.
#pragma once

#include <cstdint>

inline constexpr double pace_frame_rate = 60.0;      // frames a second wanted
inline constexpr int32_t pace_clock_frames = 30;     // frames paced by the clock before the display is measured
inline constexpr int32_t pace_probe_frames = 8;      // frames of each half of a measurement
inline constexpr int32_t pace_watch_frames = 30;     // frames watched for a change of the display's pace
inline constexpr double pace_fastest_refresh = 400;  // refreshes a second beyond which shows do not wait

enum class PaceMode : uint8_t {
  off,      // every frame is shown at once (SDL's dummy driver, capture, tests)
  clock,    // frames spaced `period` apart by the clock
  display,  // every frame shown for `repeats` refreshes of the display
};

struct Pace {
  PaceMode mode;
  int64_t frames;      // frames shown since the pace was started
  int64_t measure_at;  // the first frame of the next measurement; 0: none
  int32_t repeats;     // display: refreshes each frame stays on screen
  double period;       // clock: seconds from one frame to the next
  double due;          // clock: when the next frame is due
  double last;         // when the last frame was shown
  double packed;       // measuring: the median time a show takes right after another
  double probes[pace_probe_frames];  // measuring: the times of this half's second shows
  double baseline;     // display: the watched interval per refresh after the last measurement; 0 before
  int32_t watched;     // display: intervals collected in `intervals`
  double intervals[pace_watch_frames];  // display: seconds from frame to frame, over repeats
};

// What pacing needs of the screen.  show puts the surface's picture on the
// display again and returns when the display has taken it (at the refresh,
// where presentation waits for it); now is a monotonic clock in seconds;
// sleep_until returns at the time given or soon after (at once for a time
// gone by).
struct PaceDisplay {
  void* context;
  void (*show)(void* context);
  double (*now)(void* context);
  void (*sleep_until)(void* context, double when);
};

// The refreshes each frame stays on screen on a display that refreshes
// every `period` seconds: the whole number n that brings 1 / (n * period)
// closest to 60, the smaller where two lie within half a frame a second of
// equally close; 1 for a period of 0 or less.
int32_t pace_repeats(double period);

// A pace that shows every frame at once.
Pace pace_off();
// A pace that starts by the clock and measures the display after the first
// pace_clock_frames frames.  `refresh` is the display's refresh rate as the
// platform reports it, 0 where unknown: the clock then spaces the frames
// pace_repeats(1 / refresh) refreshes apart (72 frames a second at 144 Hz,
// 55 at 165 Hz), or 1/60 s where it is unknown.
Pace pace_start(double refresh = 0);
// Shows the frame just painted, as the pace decides: at once, when it is
// due by the clock, or for `repeats` refreshes.  The 2 * pace_probe_frames
// frames from measure_at on are shown once more each, timed: right after
// the first show, then a moment after it; the last of them chooses the
// mode.
void pace_show(Pace* pace, const PaceDisplay& display);
