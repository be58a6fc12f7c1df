// vorndemo for the web: the Linux program's driver and parts, run inside the
// page.  After every presented frame the page gets the frame's 1024 stereo
// samples from libmikmod's own mixer and says how long to wait: one frame
// per 1024 samples by the audio clock, or by the wall clock while the
// browser allows no sound.  Every wait, even of 0 ms, returns to the browser,
// which shows the frame and delivers the keys.
#include <SDL.h>
#include <emscripten.h>

#include <cstdio>

#include "demo/demo.h"
#include "demo/frame_audio.h"
#include "video/screen.h"
#include "web/page.h"

namespace {

// How often a held frame asks the page whether to go on.
constexpr unsigned hold_poll_ms = 10;

int32_t frames_presented = 0;

// The screen's observer: called after every presentation, the fade's too.
void frame_presented(void*, const Image*) {
  ++frames_presented;
  while (page_frame_held(frames_presented) != 0) emscripten_sleep(hold_poll_ms);
  int16_t samples[frame_audio_values];
  frame_audio_mix(samples);
  emscripten_sleep(static_cast<unsigned>(page_frame_sound(samples, frame_audio_values)));
}

}  // namespace

int main() {
  // SDL on the page listens to the keyboard only once initialised; on Linux
  // the first video mode brings SDL up by itself.
  page_prepare_sdl();
  SDL_Init(SDL_INIT_VIDEO);
  if (frame_audio_select() != 0) fputs("The frame-stepped sound output is not available\n", stderr);
  screen_set_observer(frame_presented, nullptr);
  const int status = demo_run();
  page_ended(status);
  return status;
}
