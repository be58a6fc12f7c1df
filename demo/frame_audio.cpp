#include "demo/frame_audio.h"

#include <mikmod.h>

#include <algorithm>

#include "demo/mixer_driver.h"

namespace {

bool audio_started = false;  // between the driver's Init and Exit
bool audio_playing = false;  // between PlayStart and PlayStop

// The formats frame_audio_mix hands out; the library's defaults are these.
int frame_init() {
  if (!mixer_format_ok(frame_audio_rate) || VC_Init() != 0) return 1;
  audio_started = true;
  return 0;
}

void frame_exit() {
  audio_playing = false;
  audio_started = false;
  VC_Exit();
}

int frame_play_start() {
  if (VC_PlayStart() != 0) return 1;
  audio_playing = true;
  return 0;
}

void frame_play_stop() {
  audio_playing = false;
  VC_PlayStop();
}

// The program's MikMod_Update lands here: the frames are mixed on demand.
void frame_update() {
}

MDRIVER frame_driver =
    mixer_driver("Frame-stepped mixer, mixed on demand", "frames", frame_init, frame_exit, frame_play_start,
                 frame_play_stop, frame_update);

}  // namespace

int frame_audio_select() {
  return mixer_driver_select(&frame_driver);
}

void frame_audio_mix(int16_t* out, int32_t samples) {
  if (samples <= 0) return;
  const size_t values = static_cast<size_t>(samples) * frame_audio_channels;
  if (!audio_started || !audio_playing) {
    std::fill(out, out + values, int16_t{0});
    return;
  }
  MikMod_Lock();
  VC_WriteBytes(reinterpret_cast<SBYTE*>(out), static_cast<ULONG>(values * sizeof(int16_t)));
  MikMod_Unlock();
}
