// The screen's life, its video modes, presentation and the pace's glue.
#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "video/screen_internal.h"

ScreenState screen_state;

namespace {

ScreenState& state = screen_state;

constexpr int32_t default_width = 256;
constexpr int32_t default_height = 256;

// Shows the surface: all of it, or of a single buffer only the rectangle
// at (x, y) w x h; (0, 0, 0, 0) is the whole.
void screen_update(int32_t x = 0, int32_t y = 0, int32_t w = 0, int32_t h = 0) {
  if (state.double_buffered) {
    SDL_Flip(state.surface);
  } else {
    SDL_UpdateRect(state.surface, x, y, static_cast<Uint32>(w), static_cast<Uint32>(h));
  }
}

void screen_presented(const Image* image) {
  if (state.observer != nullptr) state.observer(state.observer_context, image);
}

// Copy and swap take only an image of exactly the screen's size.
bool presentable(const Screen* screen, const Image* image) {
  return screen_is_the_screen(screen) && image != nullptr && image->pixels != nullptr &&
         image->width == screen->width && image->height == screen->height;
}

// ---- modes ----------------------------------------------------------------

// The surface just set for a picture of width x height enlarged, if it
// holds the picture at least `scale` times and is 32-bit, with the
// placement set: enlarged as often as it fits, in the middle.  Otherwise
// null, and the caller sets an ordinary window instead.
SDL_Surface* placed(SDL_Surface* surface, int32_t width, int32_t height, int32_t scale) {
  if (surface == nullptr || surface->format->BitsPerPixel != 32) return nullptr;
  const Placement fit = placement_fit(surface->w, surface->h, width, height);
  if (fit.scale < scale) return nullptr;
  state.place = fit;
  return surface;
}

// A full-screen surface at the desktop's size with room for width x height
// at least once (SDL converts for the display where it is not 32-bit), or
// null.
SDL_Surface* set_fullscreen_mode(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0 || state.desktop_width < width || state.desktop_height < height) return nullptr;
  return placed(SDL_SetVideoMode(state.desktop_width, state.desktop_height, 32, state.flags | SDL_FULLSCREEN),
                width, height, 1);
}

// A window of width x height enlarged window_scale times, or null.
SDL_Surface* set_scaled_window(int32_t width, int32_t height) {
  const int32_t scale = state.window_scale;
  if (scale <= 1 || width <= 0 || height <= 0) return nullptr;
  return placed(SDL_SetVideoMode(width * scale, height * scale, 32, state.flags), width, height, scale);
}

// ---- pacing ---------------------------------------------------------------

// Shows the picture being presented; again on a double-buffered surface,
// whose other buffer holds an older picture, it is painted first.
void show_picture(void*) {
  ScreenShowing& showing = state.showing;
  if (showing.shows++ > 0 && state.double_buffered && !screen_paint(showing.image)) return;
  screen_update(showing.x, showing.y, showing.w, showing.h);
  if (state.display_hook.after_show != nullptr) state.display_hook.after_show();
}

double seconds_now(void*) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// SDL_Delay takes whole milliseconds: it may return half of one early.
void sleep_until(void* context, double when) {
  const double left = when - seconds_now(context);
  if (left >= 0.0005) SDL_Delay(static_cast<Uint32>(left * 1000 + 0.5));
}

constexpr PaceDisplay pace_display{nullptr, show_picture, seconds_now, sleep_until};

// SDL's dummy driver shows nothing, and whoever runs the intro there wants
// its frames as fast as they come.
bool pacing_possible() {
  char name[32] = "";
  return state.pacing_wanted && SDL_VideoDriverName(name, sizeof name) != nullptr &&
         std::strcmp(name, "dummy") != 0 && std::strcmp(name, "offscreen") != 0;
}

void present_whole(Screen* screen, const Image* image) {
  if (!presentable(screen, image)) return screen_error();
  if (state.surface == nullptr) return;
  if (!screen_paint(image)) return;
  const Placement& place = state.place;
  state.showing = ScreenShowing{image, 0, 0, 0, 0, 0};
  if (state.enlarged && state.blackouts > 0) {
    --state.blackouts;
  } else if (state.enlarged) {
    state.showing =
        ScreenShowing{image, place.left, place.top, image->width * place.scale, image->height * place.scale, 0};
  }
  pace_show(&state.pace, pace_display);
  screen_presented(image);
}

}  // namespace

void screen_error() {}

// ---- life -----------------------------------------------------------------

Screen* screen_create() {
  if (state.screen != nullptr) {
    screen_error();
    return state.screen;
  }
  state.flags = SDL_ASYNCBLIT;
  Screen* screen = static_cast<Screen*>(calloc(1, sizeof(Screen)));
  if (screen == nullptr) {
    screen_error();
    return nullptr;
  }
  state.screen = screen;
  screen_set_mode(screen, default_width, default_height);
  return screen;
}

void screen_destroy(Screen** screen) {
  if (screen == nullptr || !screen_is_the_screen(*screen)) return screen_error();
  SDL_FreeSurface(state.surface);
  state.surface = nullptr;
  free(*screen);
  *screen = nullptr;
  state.screen = nullptr;
}

void screen_set_mode(Screen* screen, int32_t width, int32_t height) {
  if (!screen_is_the_screen(screen) || width < 0 || height < 0) return screen_error();
  if (state.surface != nullptr) SDL_FreeSurface(state.surface);  // ignored for the display surface
  state.surface = state.fullscreen_wanted ? set_fullscreen_mode(width, height) : nullptr;
  if (state.surface == nullptr) state.surface = set_scaled_window(width, height);
  state.enlarged = state.surface != nullptr;
  if (!state.enlarged) state.surface = SDL_SetVideoMode(width, height, 0, state.flags);
  if (state.surface == nullptr) return screen_error();
  screen_map_layout(width, height);
  screen->depth = state.surface->format->BitsPerPixel;
  screen->width = width;
  screen->height = height;
  state.double_buffered = (state.surface->flags & SDL_DOUBLEBUF) != 0 ? 1 : 0;
  state.blackouts = state.enlarged ? 1 + state.double_buffered : 0;  // both buffers of a double-buffered surface
  const ScreenDisplayHook& hook = state.display_hook;
  state.pace = pacing_possible() ? pace_start(hook.refresh_rate != nullptr ? hook.refresh_rate() : 0) : pace_off();
}

void screen_set_pacing(int on) {
  state.pacing_wanted = on != 0;
}

void screen_set_display_hook(ScreenDisplayHook hook) {
  state.display_hook = hook;
}

void screen_set_fullscreen(int on) {
  state.fullscreen_wanted = on != 0;
  // Once a mode is set SDL reports that mode's size instead.
  if (!state.fullscreen_wanted || state.desktop_width > 0 || SDL_GetVideoSurface() != nullptr) return;
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return;
  const SDL_VideoInfo* info = SDL_GetVideoInfo();
  if (info == nullptr) return;
  state.desktop_width = info->current_w;
  state.desktop_height = info->current_h;
}

void screen_set_window_scale(int32_t scale) {
  // Beyond 16 the window is wider than any screen.
  state.window_scale = std::clamp(scale, int32_t{1}, int32_t{16});
}

int screen_has_surface(const Screen* screen) {
  return screen_is_the_screen(screen) && state.surface != nullptr ? 1 : 0;
}

const char* screen_failure() {
  return SDL_GetError();
}

// ---- presentation -----------------------------------------------------------

void screen_present_copy(Screen* screen, const Image* image) {
  present_whole(screen, image);
}

void screen_present_swap(Screen* screen, const Image* image) {
  present_whole(screen, image);
}

void screen_present_blit(Screen* screen, const Image* image) {
  if (!screen_is_the_screen(screen) || image == nullptr || image->pixels == nullptr) return screen_error();
  if (state.surface == nullptr) return;
  if (state.layout == ScreenLayout::paletted) {
    if (!screen_paint_paletted(image)) return screen_error();
  } else if (!screen_blit_display_format(image, std::min(image->width, screen->width),
                                         std::min(image->height, screen->height))) {
    return screen_error();
  }
  screen_update();
  screen_presented(image);
}

void screen_set_observer(ScreenObserver new_observer, void* context) {
  state.observer = new_observer;
  state.observer_context = new_observer != nullptr ? context : nullptr;
}
