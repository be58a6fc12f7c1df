// vorndemo: the intro.  Everything it reads comes from the working
// directory.  Its one option, --fullscreen, fills the screen with the
// picture enlarged; every other argument is ignored.  SIGINT and SIGTERM
// end it as ESC does.  The display paces its frames, and the music plays
// through SDL's audio without ever holding one.  SDL_main.h makes this SDL's
// main where SDL starts the program itself (Windows:
// demo/platform_windows.cpp).
#include <SDL_main.h>

#include <cstring>

#include "demo/audio_out.h"
#include "demo/demo.h"
#include "demo/signals.h"
#include "video/screen.h"

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--fullscreen") == 0) screen_set_fullscreen(1);
  screen_set_pacing(1);
  audio_out_select();  // without it libmikmod picks an output of its own
  demo_signals_install();
  return demo_run();
}
