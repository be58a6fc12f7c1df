// libmikmod's player draws numbers from random(): for the volume and
// panning variations of every new note (multiplied by zero in an XM
// module) and for random vibrato shapes.  In the C library random() and
// rand() share one generator, and rand() is the star field's: the stars
// would then follow how much sound had been mixed by each frame, which the
// sound output decides, not the frame count.  These definitions, which the
// linker takes before the C library's (for a shared libmikmod too), give
// the player a sequence of its own: the C library's simplest generator,
// x = 1103515245 x + 12345 mod 2^31.  The C library's declarations are not
// included here: they carry attributes of their own.
#include "demo/player_random.h"

#include <cstdint>

namespace {

uint32_t player_state = 1;

}  // namespace

extern "C" long random(void) {
  player_state = (player_state * 1103515245u + 12345u) & 0x7FFFFFFFu;
  return static_cast<long>(player_state);
}

extern "C" void srandom(unsigned int seed) {
  player_state = seed;
}

void player_random_seed(uint32_t seed) {
  player_state = seed;
}
