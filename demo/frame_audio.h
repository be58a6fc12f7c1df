// A libmikmod output driver that plays nothing by itself.  Its update does
// nothing; whoever drives the frames (the capture, the web page) asks for
// the sound of each frame with frame_audio_mix, and the library's own
// software mixer writes it.  One video frame is 1024 stereo samples at
// 44,100 Hz, the pace of the intro with a desktop sound server.
#pragma once

#include <cstdint>

inline constexpr int32_t frame_audio_rate = 44100;     // samples per second
inline constexpr int32_t frame_audio_channels = 2;     // interleaved left, right
inline constexpr int32_t frame_audio_samples = 1024;   // sample frames per video frame
inline constexpr int32_t frame_audio_values = frame_audio_samples * frame_audio_channels;

// Registers the driver and makes it the one MikMod_Init starts (md_device).
// Call it before music_start; the later MikMod_RegisterAllDrivers leaves it
// first in the list.  Returns 0, or -1 when the library would not take it.
int frame_audio_select();
// Writes the next frame_audio_values 16-bit values into out: the mixer's
// output while the library plays (started by the driver, output enabled),
// silence before the music starts, between a stop and the next start, and
// after the library has shut down.
void frame_audio_mix(int16_t* out);
