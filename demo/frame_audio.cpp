#include "demo/frame_audio.h"

#include <mikmod.h>

#include <algorithm>

namespace {

bool audio_started = false;  // between the driver's Init and Exit
bool audio_playing = false;  // between PlayStart and PlayStop

char driver_name[] = "Frame-stepped mixer";
char driver_version[] = "Frame-stepped mixer for capture and the web, mixed on demand";
char driver_alias[] = "frames";
char driver_help[] = "";

BOOL frame_is_present() {
  return 1;
}

// The formats frame_audio_mix hands out; the library's defaults are these.
int frame_init() {
  const bool format_ok = (md_mode & DMODE_16BITS) != 0 && (md_mode & DMODE_STEREO) != 0 &&
                         (md_mode & DMODE_FLOAT) == 0 && md_mixfreq == frame_audio_rate;
  if (!format_ok) {
    MikMod_errno = MMERR_INITIALIZING_MIXER;
    return 1;
  }
  if (VC_Init() != 0) return 1;
  audio_started = true;
  return 0;
}

void frame_exit() {
  audio_playing = false;
  audio_started = false;
  VC_Exit();
}

int frame_reset() {
  return 0;
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

MDRIVER frame_driver = {
    nullptr,
    driver_name,
    driver_version,
    0,    // hardware voices
    255,  // software voices
    driver_alias,
    driver_help,
    nullptr,  // no command line
    frame_is_present,
    VC_SampleLoad,
    VC_SampleUnload,
    VC_SampleSpace,
    VC_SampleLength,
    frame_init,
    frame_exit,
    frame_reset,
    VC_SetNumVoices,
    frame_play_start,
    frame_play_stop,
    frame_update,
    nullptr,  // no pause
    VC_VoiceSetVolume,
    VC_VoiceGetVolume,
    VC_VoiceSetFrequency,
    VC_VoiceGetFrequency,
    VC_VoiceSetPanning,
    VC_VoiceGetPanning,
    VC_VoicePlay,
    VC_VoiceStop,
    VC_VoiceStopped,
    VC_VoiceGetPosition,
    VC_VoiceRealVolume,
};

}  // namespace

int frame_audio_select() {
  MikMod_RegisterDriver(&frame_driver);
  const int rank = MikMod_DriverFromAlias(driver_alias);
  if (rank <= 0) return -1;
  md_device = static_cast<UWORD>(rank);
  return 0;
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
