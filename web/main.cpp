// vorndemo for the web: the Linux program's driver and parts, run inside the
// page.  After every presented frame the page gets as much of libmikmod's
// mixer output as it wants to keep its sound queued ahead, and then the
// program waits for the page's go for the next frame, which comes on an
// animation frame of the browser: the display paces the pictures, the sound
// never does.  Every wait returns to the browser, which shows the frame and
// delivers the keys.
#include <SDL.h>
#include <emscripten.h>

#include <algorithm>
#include <cstdio>

#include "demo/demo.h"
#include "demo/frame_audio.h"
#include "video/screen.h"
#include "web/page.h"

namespace {

// How often a held frame asks the page whether to go on.
constexpr unsigned hold_poll_ms = 10;
// Sound is mixed and handed over in pieces of at most this many samples.
constexpr int32_t piece_samples = 4096;

int32_t frames_presented = 0;
int16_t piece[piece_samples * frame_audio_channels];

// The screen's observer: called after every presentation, the fade's too.
void frame_presented(void*, const Image*) {
  ++frames_presented;
  while (page_frame_held(frames_presented) != 0) emscripten_sleep(hold_poll_ms);
  for (int32_t wanted = page_sound_wanted(); wanted > 0;) {
    const int32_t samples = std::min(wanted, piece_samples);
    frame_audio_mix(piece, samples);
    page_sound(piece, samples);
    wanted -= samples;
  }
  page_next_frame();
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
