// The music's way out on a desktop: a libmikmod output driver that plays
// through SDL's audio and never holds a frame.  SDL's audio thread takes
// the sound from a ring; the program's own thread fills the ring, in the
// driver's update (MikMod_Update, once a frame), with exactly as many
// samples as keep it a margin (6,144 samples, 139 ms) ahead of what SDL
// has taken.  SDL takes 1,024 samples at a time and hands them to the sound
// server, which is asked to hold 100 ms (below): the music is therefore at
// most 239 ms ahead of what is heard, and nothing in the intro answers a
// key with sound.  Frames never wait for the sound, and the sound never
// waits for a frame unless the frames stop for longer than the ring and
// the server hold: then the ring runs dry, SDL plays silence, and when the
// frames come back the ring is filled to the margin again and the music
// goes on from where it was, with no burst of catching up.
#pragma once

#include <cstdint>

// Registers the driver and makes it the one MikMod_Init starts (md_device).
// Call it first in main, before SDL starts, and before music_start; the
// later MikMod_RegisterAllDrivers leaves it first in the list.  Returns 0,
// or -1 when the library would not take it.
// It also sets PULSE_LATENCY_MSEC to 100 where the user has set neither it
// nor PIPEWIRE_LATENCY: SDL asks the server for one chunk of 23 ms (SDL 2)
// or two (classic SDL 1.2), which PipeWire's PulseAudio service runs in
// periods of 256 or 512 samples that drop out on a busy machine; for 100 ms
// it runs periods of 1,024.
// PulseAudio (or PipeWire's service) is reached through libpulse, whether
// from SDL 2 under sdl12-compat or from classic SDL 1.2, and libpulse takes
// the setting for the stream SDL opens; SDL's other outputs pass it by.
// Where SDL's audio cannot be opened, MikMod_Init fails with libmikmod's
// "Could not open sound device" and the run is silent.
int audio_out_select();
