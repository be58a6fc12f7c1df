// The player's own random numbers: libmikmod's random(), apart from the C
// library's rand() (demo/player_random.cpp says why).
#pragma once

#include <cstdint>

// Starts the player's sequence again from seed, as srandom(seed) does; it
// needs no C library that declares srandom (Windows' has none).
void player_random_seed(uint32_t seed);
