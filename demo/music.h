// The music: one XM module played through libmikmod for the whole run.
// Failures go to standard error and never stop the pictures.
#pragma once

#include <mikmod.h>

inline constexpr const char* music_file = "duSkal-20080501.xm";

extern MODULE* music_module;  // null before start, after a failed load

// Starts the library and the module (at most 4 voices).  When no audio
// output opens, the two lines go to standard error and the run is silent.
void music_start();
// Serves the player once; at the module's end reloads it (up to 8 voices).
void music_update();
// Stops and frees the module and shuts the library down.
void music_stop();
