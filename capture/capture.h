// Recording the intro: the program's own run (demo_run) under SDL's dummy
// video driver with the frame-stepped sound driver.  Every frame the screen
// presents goes to a sink, followed by the sound of one frame at the
// chosen frame rate (44100 / fps stereo samples: 735 at 60 frames a second),
// so picture and sound stay in step.
#pragma once

#include <cstdint>

#include "fx/plasma.h"
#include "fx/rolls.h"
#include "fx/zoom.h"

// One pass of the sequence: 4 x 251 + 1500 + 750 frames.
inline constexpr int32_t capture_default_frames = zoom_logo_count * zoom_frames + rolls_frames + plasma_frames;
inline constexpr int32_t capture_max_frames = 1000000;   // about 6.5 hours
inline constexpr int32_t capture_default_scale = 4;
inline constexpr int32_t capture_max_scale = 8;
inline constexpr int32_t capture_default_fps = 60;
// Matroska keeps time in milliseconds: frames of faster rates would share
// time stamps.
inline constexpr int32_t capture_max_fps = 1000;

// Whether fps frames a second, 1 to capture_max_fps, take a whole number of
// samples each at 44,100 Hz: 50, 60 and 75 do, 48 does not.
bool capture_fps_fits(int32_t fps);

// A presented frame: width x height pixels 0x00RRGGBB, rows top to bottom.
struct CaptureFrame {
  const uint32_t* pixels;
  int32_t width;
  int32_t height;
};

// Where the recording goes.  Either call returns false when the sink takes
// nothing more; the recording then asks the program to quit and hands on
// nothing further.
struct CaptureSink {
  void* context;
  bool (*frame)(void* context, const CaptureFrame& frame);
  // The sound after it: `samples` stereo samples, interleaved 16-bit values.
  bool (*sound)(void* context, const int16_t* values, int32_t samples);
};

struct CaptureResult {
  bool driver;     // the sound driver was taken; nothing ran without it
  int status;      // demo_run's: 1 after a whole run, 2 when no video mode was set
  int64_t frames;  // frames presented
  bool whole;      // the sink took every frame and its sound
};

// Runs the intro from the working directory with ESC pressed in frame
// quit_frame (1 or more), at fps frames a second (capture_fps_fits, else
// nothing runs): the program ends that part, fades out and returns.  Once
// per process: libmikmod builds its driver list only once.
CaptureResult capture_run(int32_t quit_frame, int32_t fps, const CaptureSink& sink);

// Frames a run with every data file presents when ESC is pressed in frame
// quit_frame: the frames up to the quit, one for each zoom still to come
// when the quit falls into the zoom part, and the fade.
int64_t capture_expected_frames(int32_t quit_frame);
