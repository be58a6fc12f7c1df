// What the parts take from the driver: its shared objects, the music and
// the end of every frame.
#pragma once

#include "demo/demo.h"
#include "demo/music.h"

// Presents frame_image and applies the keys, then serves the music once;
// false, without the music, when a key has set demo_state and the part
// must return.
inline bool demo_part_frame_end() {
  demo_present_frame();
  if (demo_state != 0) return false;
  music_update();
  return true;
}
