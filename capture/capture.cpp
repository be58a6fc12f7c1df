#include "capture/capture.h"

#include <SDL.h>

#include <cstdlib>
#include <vector>

#include "demo/demo.h"
#include "demo/frame_audio.h"
#include "video/screen.h"

namespace {

struct Recording {
  int32_t quit_frame = 0;
  const CaptureSink* sink = nullptr;
  int64_t frames = 0;
  bool feeding = true;
  int32_t samples = 0;  // per frame
  std::vector<int16_t> sound;
};

// The key goes through SDL's queue, so the frame end's own poll reads it
// and the program quits exactly as it does for a person's ESC.
void press_escape() {
  SDL_Event event{};
  event.type = SDL_KEYDOWN;
  event.key.type = SDL_KEYDOWN;
  event.key.state = SDL_PRESSED;
  event.key.keysym.sym = SDLK_ESCAPE;
  SDL_PushEvent(&event);
}

// The presentation observer: runs inside the presentation, before the
// frame end polls the keys.
void record_frame(void* context, const Image* image) {
  Recording& recording = *static_cast<Recording*>(context);
  ++recording.frames;
  if (recording.frames == recording.quit_frame) press_escape();
  if (!recording.feeding) return;
  frame_audio_mix(recording.sound.data(), recording.samples);
  const CaptureSink& sink = *recording.sink;
  const CaptureFrame frame{image->pixels, image->width, image->height};
  recording.feeding =
      sink.frame(sink.context, frame) && sink.sound(sink.context, recording.sound.data(), recording.samples);
  if (!recording.feeding) press_escape();
}

}  // namespace

bool capture_fps_fits(int32_t fps) {
  return fps >= 1 && fps <= capture_max_fps && frame_audio_rate % fps == 0;
}

CaptureResult capture_run(int32_t quit_frame, int32_t fps, const CaptureSink& sink) {
  CaptureResult result{false, 0, 0, false};
  if (!capture_fps_fits(fps)) return result;
  static char dummy_video[] = "SDL_VIDEODRIVER=dummy";  // SDL keeps the pointer
  SDL_putenv(dummy_video);
  if (frame_audio_select() != 0) return result;
  result.driver = true;
  Recording recording;
  recording.quit_frame = quit_frame;
  recording.sink = &sink;
  recording.samples = frame_audio_rate / fps;
  recording.sound.resize(static_cast<size_t>(recording.samples) * frame_audio_channels);
  screen_set_observer(record_frame, &recording);
  result.status = demo_run();
  screen_set_observer(nullptr, nullptr);
  result.frames = recording.frames;
  result.whole = recording.feeding;
  return result;
}

int64_t capture_expected_frames(int32_t quit_frame) {
  constexpr int32_t zoom_part = zoom_logo_count * zoom_frames;
  const int32_t in_pass = (quit_frame - 1) % capture_default_frames;
  const int32_t zooms_left = in_pass < zoom_part ? zoom_logo_count - 1 - in_pass / zoom_frames : 0;
  return int64_t{quit_frame} + zooms_left + demo_fade_steps;
}
