// screensize: what the launcher needs to know of the display, asked of SDL
// 1.2 itself, so that nothing beyond what the intro links is needed.
//   screensize         prints "WIDTH HEIGHT" of the desktop; status 1 and a
//                      line on standard error when SDL cannot tell, or
//                      when there is no X or Wayland display and no
//                      SDL_VIDEODRIVER: classic SDL would then take over the
//                      terminal with a text-mode driver just to answer
//   screensize --sdl   prints the version of the SDL 1.2 the loader found,
//                      "1.2.15" for classic SDL, 1.2.50 and up for
//                      sdl12-compat; opens nothing
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int complain(const char* what) {
  std::fprintf(stderr, "screensize: %s: %s\n", what, SDL_GetError());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--sdl") == 0) {
    const SDL_version* linked = SDL_Linked_Version();
    std::printf("%d.%d.%d\n", linked->major, linked->minor, linked->patch);
    return 0;
  }
  if (argc != 1) {
    std::fputs("usage: screensize [--sdl]\n", stderr);
    return 2;
  }
  const bool display = std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr ||
                       std::getenv("SDL_VIDEODRIVER") != nullptr;
  if (!display) {
    std::fputs("screensize: no display\n", stderr);
    return 1;
  }
  if (SDL_Init(SDL_INIT_VIDEO) != 0) return complain("no video");
  const SDL_VideoInfo* info = SDL_GetVideoInfo();
  if (info == nullptr || info->current_w <= 0 || info->current_h <= 0) return complain("no desktop size");
  std::printf("%d %d\n", info->current_w, info->current_h);
  SDL_Quit();
  return 0;
}
