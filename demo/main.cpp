// vorndemo: the intro.  Everything it reads comes from the working
// directory.  Its one option, --fullscreen, fills the screen with the
// picture enlarged; every other argument is ignored.  SIGINT and SIGTERM
// end it as ESC does.  SDL_main.h makes it SDL's main where SDL starts the
// program itself (Windows: demo/platform_windows.cpp).
#include <SDL_main.h>

#include <cstring>

#include "demo/demo.h"
#include "demo/signals.h"
#include "video/screen.h"

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--fullscreen") == 0) screen_set_fullscreen(1);
  demo_signals_install();
  return demo_run();
}
