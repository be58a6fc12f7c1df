// A libmikmod output driver that plays nothing by itself.  Its update does
// nothing; whoever drives the frames (the capture, the web page) asks for
// sound with frame_audio_mix, as much as it needs at a time, and the
// library's own software mixer writes it: stereo 16-bit samples at
// 44,100 Hz, the same stream however it is cut into pieces.
#pragma once

#include <cstdint>

inline constexpr int32_t frame_audio_rate = 44100;     // samples per second
inline constexpr int32_t frame_audio_channels = 2;     // interleaved left, right

// Registers the driver and makes it the one MikMod_Init starts (md_device).
// Call it before music_start; the later MikMod_RegisterAllDrivers leaves it
// first in the list.  Returns 0, or -1 when the library would not take it.
int frame_audio_select();
// Writes the next `samples` stereo samples (2 * samples interleaved 16-bit
// values, none when samples is 0 or less) into out: the mixer's output
// while the library plays (started by the driver, output enabled), silence
// before the music starts, between a stop and the next start, and after the
// library has shut down.
void frame_audio_mix(int16_t* out, int32_t samples);
