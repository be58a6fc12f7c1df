// The music's way out on a desktop: a libmikmod output driver that plays
// through SDL's audio and never holds a frame.  SDL's audio thread takes
// the sound from a ring; the program's own thread fills the ring, in the
// driver's update (MikMod_Update, once a frame), with exactly as many
// samples as keep it a margin (4,096 samples, 93 ms) ahead of what SDL has taken.  Frames
// therefore never wait for the sound, and the sound never waits for a
// frame unless the frames stop for longer than the margin: then the ring
// runs dry, SDL plays silence, and when the frames come back the ring is
// filled to the margin again and the music goes on from where it was, with
// no burst of catching up.
#pragma once

#include <cstdint>

// Registers the driver and makes it the one MikMod_Init starts (md_device).
// Call it before music_start; the later MikMod_RegisterAllDrivers leaves it
// first in the list.  Returns 0, or -1 when the library would not take it.
// Where SDL's audio cannot be opened, MikMod_Init fails with libmikmod's
// "Could not open sound device" and the run is silent.
int audio_out_select();
