#include "demo/music.h"

#include <cstdio>

#include "demo/player_random.h"

MODULE* music_module = nullptr;

namespace {

// The library's text for its last error.
const char* music_reason() {
  return MikMod_strerror(MikMod_errno);
}

}  // namespace

void music_start() {
  player_random_seed(1);  // the player's own draws, from their start
  MikMod_RegisterAllDrivers();
  MikMod_RegisterAllLoaders();
  md_mode |= DMODE_SOFT_MUSIC;
  if (MikMod_Init("") != 0) {
    fputs("Could not initialize sound\n", stderr);
    fprintf(stderr, "Reason: %s\n", music_reason());
    // libmikmod 3.3 crashes loading a module into a library whose start
    // failed, so the run stays silent instead.
    return;
  }
  music_module = Player_Load(music_file, 4, 0);
  if (music_module == nullptr) {
    fprintf(stderr, "Could not load module, reason: %s\n", music_reason());
    return;
  }
  Player_Start(music_module);
}

void music_update() {
  if (music_module == nullptr) return;
  if (Player_Active()) {
    MikMod_Update();
    return;
  }
  // Played to its end: start again from the file, now with up to 8 voices.
  Player_Stop();
  Player_Free(music_module);
  music_module = Player_Load(music_file, 8, 0);
  if (music_module != nullptr) Player_Start(music_module);
}

void music_stop() {
  if (music_module != nullptr) {
    Player_Stop();
    Player_Free(music_module);
    music_module = nullptr;
  }
  MikMod_Exit();
}
