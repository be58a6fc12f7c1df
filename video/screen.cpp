#include "video/screen.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/pixel_spans.h"
#include "video/pace.h"

namespace {

constexpr int32_t default_width = 256;
constexpr int32_t default_height = 256;
constexpr size_t key_bytes = 8;

// The image's channel layout as SDL masks.
constexpr Uint32 image_rmask = 0x00FF0000;
constexpr Uint32 image_gmask = 0x0000FF00;
constexpr Uint32 image_bmask = 0x000000FF;

// SDL 1.2 keeps a surface's row length in 16 bits.
constexpr int64_t max_pitch = 0xFFFF;

Screen* the_screen = nullptr;
SDL_Surface* video_surface = nullptr;
Uint32 video_flags = 0;
int double_buffered = 0;

// How a whole frame reaches the video surface, decided once per video mode.
enum class Layout {
  block,      // 32-bit 0x00RRGGBB, unpadded rows of the mode's width: one block copy
  words,      // 32-bit, unpadded, one byte per channel in another order
  paletted,   // 8-bit with a palette: through the colour cube
  converted,  // anything else: SDL converts
};
Layout layout = Layout::converted;
int red_shift = 0;  // words: where each channel's byte goes, and the alpha set
int green_shift = 0;
int blue_shift = 0;
Uint32 alpha_bits = 0;
Uint8 cube[256];            // paletted: 3-3-2 colour cube -> palette index
bool cube_identity = false; // paletted: every cube entry is its own index
// Full screen: wanted for the modes to come, the desktop's size as SDL
// reported it before any mode, and where the picture goes on the current
// surface: enlarged `scale` times, its top-left corner at (left, top).
bool fullscreen_wanted = false;
int32_t window_scale = 1;
int32_t desktop_width = 0;
int32_t desktop_height = 0;
struct Placement {
  int32_t left, top, scale;
};
bool enlarged = false;
Placement place{0, 0, 1};
int blackouts = 0;                // presentations that first paint the whole surface black
std::vector<uint32_t> enlarged_view;  // converted layout: the enlarged picture, for SDL to convert
std::vector<uint32_t> moved_row;      // words layout: one row of the image, its channels moved
// Pacing: wanted for the modes to come (the program asks for it), and the
// pace of the current mode.  The picture being presented, the rectangle of
// the surface it covers ((0, 0, 0, 0): the whole) and how often it has been
// shown, for the pace to show it again.
bool pacing_wanted = false;
Pace pace = pace_off();
struct Showing {
  const Image* image;
  int32_t x, y, w, h;
  int32_t shows;
};
Showing showing{};
ScreenDisplayHook display_hook{nullptr, nullptr};
KeyCell* the_cell = nullptr;
ScreenObserver observer = nullptr;
void* observer_context = nullptr;

bool is_the_screen(const Screen* screen) {
  return screen != nullptr && screen == the_screen;
}

// Shows the surface: all of it, or of a single buffer only the rectangle
// at (x, y) w x h; (0, 0, 0, 0) is the whole.
void screen_update(int32_t x = 0, int32_t y = 0, int32_t w = 0, int32_t h = 0) {
  if (double_buffered) {
    SDL_Flip(video_surface);
  } else {
    SDL_UpdateRect(video_surface, x, y, static_cast<Uint32>(w), static_cast<Uint32>(h));
  }
}

void screen_presented(const Image* image) {
  if (observer != nullptr) observer(observer_context, image);
}

// Copy and swap take only an image of exactly the screen's size.
bool presentable(const Screen* screen, const Image* image) {
  return is_the_screen(screen) && image != nullptr && image->pixels != nullptr &&
         image->width == screen->width && image->height == screen->height;
}

// The bit position of a mask that covers exactly one whole byte, or -1.
int byte_shift(Uint32 mask) {
  for (int shift = 0; shift < 32; shift += 8) {
    if (mask == (Uint32{0xFF} << shift)) return shift;
  }
  return -1;
}

// A 32-bit SDL surface viewing the top-left w x h of the image's pixels
// (rows image->width apart), or null.  SDL only reads through it.
SDL_Surface* surface_view(const Image* image, int32_t w, int32_t h) {
  const int64_t pitch = static_cast<int64_t>(image->width) * 4;
  if (w <= 0 || h <= 0 || pitch > max_pitch) return nullptr;
  return SDL_CreateRGBSurfaceFrom(image->pixels, w, h, 32, static_cast<int>(pitch),
                                  image_rmask, image_gmask, image_bmask, 0);
}

// Lets SDL convert the whole image onto the surface, whatever its format.
bool blit_converted(const Image* image) {
  SDL_Surface* view = surface_view(image, image->width, image->height);
  if (view == nullptr) return false;
  const int result = SDL_BlitSurface(view, nullptr, video_surface, nullptr);
  SDL_FreeSurface(view);
  return result == 0;
}

// 8-bit channel levels of a 3-bit and a 2-bit level, by repeating the bits.
uint8_t widen3(uint32_t level) {
  return static_cast<uint8_t>((level << 5) | (level << 2) | (level >> 1));
}
uint8_t widen2(uint32_t level) {
  return static_cast<uint8_t>(level * 0x55u);
}

// The cube's entry of a pixel: its top 3 bits of red and green, 2 of blue.
uint32_t cube_index(uint32_t p) {
  return ((p >> 16) & 0xE0u) | ((p >> 11) & 0x1Cu) | ((p >> 6) & 0x03u);
}

// The colour cube in the surface's palette.  SDL_MapRGB searches the whole
// palette for each entry; under SDL's own palette every entry maps to its
// own index, and painting needs no table.
void map_cube() {
  cube_identity = true;
  for (uint32_t q = 0; q < 256; ++q) {
    cube[q] = static_cast<Uint8>(
        SDL_MapRGB(video_surface->format, widen3(q >> 5), widen3((q >> 2) & 7u), widen2(q & 3u)));
    cube_identity = cube_identity && cube[q] == q;
  }
}

// Paletted surfaces get the top-left of the image (as much as fits) through
// a 3-3-2 colour cube mapped into the palette.  SDL 1.2.15's own 32-to-8-bit
// blit for a 3-3-2 palette (the one SDL sets up) never advances along the
// source row, so it cannot be used there.
bool paint_paletted(const Image* image) {
  if (SDL_LockSurface(video_surface) != 0) return false;
  const int32_t w = std::min(image->width, static_cast<int32_t>(video_surface->w));
  const int32_t h = std::min(image->height, static_cast<int32_t>(video_surface->h));
  for (int32_t y = 0; y < h; ++y) {
    const uint32_t* src = image->pixels + static_cast<size_t>(y) * static_cast<size_t>(image->width);
    Uint8* dst = static_cast<Uint8*>(video_surface->pixels) + static_cast<size_t>(y) * video_surface->pitch;
    if (cube_identity) {
      for (int32_t x = 0; x < w; ++x) dst[x] = static_cast<Uint8>(cube_index(src[x]));
    } else {
      for (int32_t x = 0; x < w; ++x) dst[x] = cube[cube_index(src[x])];
    }
  }
  SDL_UnlockSurface(video_surface);
  return true;
}

// The top-left w x h of the image through SDL_DisplayFormat onto the
// surface's top-left corner.
bool blit_display_format(const Image* image, int32_t w, int32_t h) {
  SDL_Surface* view = surface_view(image, w, h);
  if (view == nullptr) return false;
  SDL_Surface* converted = SDL_DisplayFormat(view);
  SDL_FreeSurface(view);
  if (converted == nullptr) return false;
  const int result = SDL_UpperBlit(converted, nullptr, video_surface, nullptr);
  SDL_FreeSurface(converted);
  return result == 0;
}

bool copy_block(const Image* image) {
  if (SDL_LockSurface(video_surface) != 0) return false;
  const size_t bytes = static_cast<size_t>(image->width) * static_cast<size_t>(image->height) * 4;
  std::memcpy(video_surface->pixels, image->pixels, bytes);
  SDL_UnlockSurface(video_surface);
  return true;
}

// Each word's channels moved to the surface's bytes; its alpha bits, if it
// has any, set (opaque).
void reorder(Uint32* dst, const uint32_t* src, size_t count) {
  const int red = red_shift, green = green_shift, blue = blue_shift;
  const Uint32 alpha = alpha_bits;
  for (size_t i = 0; i < count; ++i) {
    const uint32_t p = src[i];
    dst[i] = (((p >> 16) & 0xFFu) << red) | (((p >> 8) & 0xFFu) << green) | ((p & 0xFFu) << blue) | alpha;
  }
}

bool copy_reordered(const Image* image) {
  if (SDL_LockSurface(video_surface) != 0) return false;
  reorder(static_cast<Uint32*>(video_surface->pixels), image->pixels,
          static_cast<size_t>(image->width) * static_cast<size_t>(image->height));
  SDL_UnlockSurface(video_surface);
  return true;
}

// ---- full screen --------------------------------------------------------

// The image enlarged place.scale times into rows `pitch` pixels apart from
// `to`: each row (its channels moved first, for the words layout) widened
// once and copied to the rows below it.
void enlarge(const Image* image, uint32_t* to, size_t pitch, bool moved) {
  const int32_t scale = place.scale;
  const size_t width = static_cast<size_t>(image->width);
  const size_t wide = width * static_cast<size_t>(scale);
  if (moved) moved_row.resize(width);
  for (int32_t y = 0; y < image->height; ++y) {
    uint32_t* first = to + static_cast<size_t>(y) * static_cast<size_t>(scale) * pitch;
    const uint32_t* row = image->pixels + static_cast<size_t>(y) * width;
    if (moved) {
      reorder(moved_row.data(), row, width);
      row = moved_row.data();
    }
    span_widen(first, row, width, scale);
    for (int32_t k = 1; k < scale; ++k) std::memcpy(first + static_cast<size_t>(k) * pitch, first, wide * 4);
  }
}

// Surfaces of other layouts get the enlarged picture through SDL's
// conversion.
bool blit_enlarged(const Image* image) {
  const int32_t wide = image->width * place.scale;
  const int32_t tall = image->height * place.scale;
  enlarged_view.resize(static_cast<size_t>(wide) * static_cast<size_t>(tall));
  enlarge(image, enlarged_view.data(), static_cast<size_t>(wide), false);
  const Image view{wide, tall, enlarged_view.data()};
  SDL_Surface* from = surface_view(&view, wide, tall);
  if (from == nullptr) return false;
  SDL_Rect to{static_cast<Sint16>(place.left), static_cast<Sint16>(place.top), 0, 0};
  const int result = SDL_BlitSurface(from, nullptr, video_surface, &to);
  SDL_FreeSurface(from);
  return result == 0;
}

bool paint_enlarged(const Image* image) {
  if (blackouts > 0 && SDL_FillRect(video_surface, nullptr, SDL_MapRGB(video_surface->format, 0, 0, 0)) != 0)
    return false;
  if (layout == Layout::converted) return blit_enlarged(image);
  if (SDL_LockSurface(video_surface) != 0) return false;
  const size_t pitch = static_cast<size_t>(video_surface->pitch) / 4;
  uint32_t* corner = static_cast<uint32_t*>(video_surface->pixels) + static_cast<size_t>(place.top) * pitch +
                     static_cast<size_t>(place.left);
  enlarge(image, corner, pitch, layout == Layout::words);
  SDL_UnlockSurface(video_surface);
  return true;
}

// The surface just set for a picture of width x height enlarged, if it
// holds the picture at least `scale` times and is 32-bit, with the
// placement set: enlarged as often as it fits, in the middle.  Otherwise
// null, and the caller sets an ordinary window instead.
SDL_Surface* placed(SDL_Surface* surface, int32_t width, int32_t height, int32_t scale) {
  if (surface == nullptr || surface->format->BitsPerPixel != 32) return nullptr;
  const int32_t fits = std::min(surface->w / width, surface->h / height);
  if (fits < scale) return nullptr;
  place = Placement{(surface->w - width * fits) / 2, (surface->h - height * fits) / 2, fits};
  return surface;
}

// A full-screen surface at the desktop's size with room for width x height
// at least once (SDL converts for the display where it is not 32-bit), or
// null.
SDL_Surface* set_fullscreen_mode(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0 || desktop_width < width || desktop_height < height) return nullptr;
  return placed(SDL_SetVideoMode(desktop_width, desktop_height, 32, video_flags | SDL_FULLSCREEN), width, height, 1);
}

// A window of width x height enlarged window_scale times, or null.
SDL_Surface* set_scaled_window(int32_t width, int32_t height) {
  if (window_scale <= 1 || width <= 0 || height <= 0) return nullptr;
  return placed(SDL_SetVideoMode(width * window_scale, height * window_scale, 32, video_flags), width, height,
                window_scale);
}

// Chooses the layout for a surface just set to width x height.
void map_layout(int32_t width, int32_t height) {
  const SDL_PixelFormat* format = video_surface->format;
  if (format->BytesPerPixel == 1 && format->palette != nullptr) {
    layout = Layout::paletted;
    map_cube();
    return;
  }
  const Uint32 r = format->Rmask, g = format->Gmask, b = format->Bmask;
  // Enlarged pictures go row by row, whatever the surface's row length.
  const bool unpadded = format->BitsPerPixel == 32 &&
                        (enlarged || (video_surface->w == width && video_surface->h == height &&
                                      static_cast<int64_t>(video_surface->pitch) == static_cast<int64_t>(width) * 4));
  const bool bytes = byte_shift(r) >= 0 && byte_shift(g) >= 0 && byte_shift(b) >= 0 && r != g && g != b &&
                     r != b && ((r | g | b) & format->Amask) == 0;
  if (unpadded && r == image_rmask && g == image_gmask && b == image_bmask) {
    layout = Layout::block;
  } else if (unpadded && bytes) {
    // A browser canvas keeps red first.
    layout = Layout::words;
    red_shift = byte_shift(r);
    green_shift = byte_shift(g);
    blue_shift = byte_shift(b);
    alpha_bits = format->Amask;
  } else {
    layout = Layout::converted;
  }
}

bool paint_whole(const Image* image) {
  switch (layout) {
    case Layout::block:
      return copy_block(image);
    case Layout::words:
      return copy_reordered(image);
    case Layout::paletted:
      return paint_paletted(image);
    case Layout::converted:
      break;
  }
  return blit_converted(image);
}

bool paint(const Image* image) {
  return enlarged ? paint_enlarged(image) : paint_whole(image);
}

// ---- pacing -------------------------------------------------------------

// Shows the picture being presented; again on a double-buffered surface,
// whose other buffer holds an older picture, it is painted first.
void show_picture(void*) {
  if (showing.shows++ > 0 && double_buffered && !paint(showing.image)) return;
  screen_update(showing.x, showing.y, showing.w, showing.h);
  if (display_hook.after_show != nullptr) display_hook.after_show();
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
  return pacing_wanted && SDL_VideoDriverName(name, sizeof name) != nullptr && std::strcmp(name, "dummy") != 0 &&
         std::strcmp(name, "offscreen") != 0;
}

void present_whole(Screen* screen, const Image* image) {
  if (!presentable(screen, image)) return screen_error();
  if (video_surface == nullptr) return;
  if (!paint(image)) return;
  showing = Showing{image, 0, 0, 0, 0, 0};
  if (enlarged && blackouts > 0) {
    --blackouts;
  } else if (enlarged) {
    showing = Showing{image, place.left, place.top, image->width * place.scale, image->height * place.scale, 0};
  }
  pace_show(&pace, pace_display);
  screen_presented(image);
}

bool is_the_cell(const KeyCell* cell) {
  return cell != nullptr && cell == the_cell && cell->keys != nullptr;
}

}  // namespace

void screen_error() {}

// ---- screen -------------------------------------------------------------

Screen* screen_create() {
  if (the_screen != nullptr) {
    screen_error();
    return the_screen;
  }
  video_flags = SDL_ASYNCBLIT;
  Screen* screen = static_cast<Screen*>(calloc(1, sizeof(Screen)));
  if (screen == nullptr) {
    screen_error();
    return nullptr;
  }
  the_screen = screen;
  screen_set_mode(screen, default_width, default_height);
  return screen;
}

void screen_destroy(Screen** screen) {
  if (screen == nullptr || !is_the_screen(*screen)) return screen_error();
  SDL_FreeSurface(video_surface);
  video_surface = nullptr;
  free(*screen);
  *screen = nullptr;
  the_screen = nullptr;
}

void screen_set_mode(Screen* screen, int32_t width, int32_t height) {
  if (!is_the_screen(screen) || width < 0 || height < 0) return screen_error();
  if (video_surface != nullptr) SDL_FreeSurface(video_surface);  // ignored for the display surface
  video_surface = fullscreen_wanted ? set_fullscreen_mode(width, height) : nullptr;
  if (video_surface == nullptr) video_surface = set_scaled_window(width, height);
  enlarged = video_surface != nullptr;
  if (!enlarged) video_surface = SDL_SetVideoMode(width, height, 0, video_flags);
  if (video_surface == nullptr) return screen_error();
  map_layout(width, height);
  screen->depth = video_surface->format->BitsPerPixel;
  screen->width = width;
  screen->height = height;
  double_buffered = (video_surface->flags & SDL_DOUBLEBUF) != 0 ? 1 : 0;
  blackouts = enlarged ? 1 + double_buffered : 0;  // both buffers of a double-buffered surface
  pace = pacing_possible() ? pace_start(display_hook.refresh_rate != nullptr ? display_hook.refresh_rate() : 0)
                           : pace_off();
}

void screen_set_pacing(int on) {
  pacing_wanted = on != 0;
}

void screen_set_display_hook(ScreenDisplayHook hook) {
  display_hook = hook;
}

void screen_set_fullscreen(int on) {
  fullscreen_wanted = on != 0;
  // Once a mode is set SDL reports that mode's size instead.
  if (!fullscreen_wanted || desktop_width > 0 || SDL_GetVideoSurface() != nullptr) return;
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return;
  const SDL_VideoInfo* info = SDL_GetVideoInfo();
  if (info == nullptr) return;
  desktop_width = info->current_w;
  desktop_height = info->current_h;
}

void screen_set_window_scale(int32_t scale) {
  // Beyond 16 the window is wider than any screen.
  window_scale = std::clamp(scale, int32_t{1}, int32_t{16});
}

int screen_has_surface(const Screen* screen) {
  return is_the_screen(screen) && video_surface != nullptr ? 1 : 0;
}

const char* screen_failure() {
  return SDL_GetError();
}

void screen_present_copy(Screen* screen, const Image* image) {
  present_whole(screen, image);
}

void screen_present_swap(Screen* screen, const Image* image) {
  present_whole(screen, image);
}

void screen_present_blit(Screen* screen, const Image* image) {
  if (!is_the_screen(screen) || image == nullptr || image->pixels == nullptr) return screen_error();
  if (video_surface == nullptr) return;
  if (layout == Layout::paletted) {
    if (!paint_paletted(image)) return screen_error();
  } else if (!blit_display_format(image, std::min(image->width, screen->width),
                                  std::min(image->height, screen->height))) {
    return screen_error();
  }
  screen_update();
  screen_presented(image);
}

void screen_set_observer(ScreenObserver new_observer, void* context) {
  observer = new_observer;
  observer_context = new_observer != nullptr ? context : nullptr;
}

// ---- screen placeholders ------------------------------------------------

const char* screen_to_text(const Screen* screen) {
  if (!is_the_screen(screen)) {
    screen_error();
    return nullptr;
  }
  return "";
}

Screen* screen_from_text(const char* text) {
  if (text == nullptr || the_screen != nullptr) screen_error();
  return nullptr;
}

int screen_equals(const Screen* a, const Screen* b) {
  if (a != b || !is_the_screen(a)) {
    screen_error();
    return 0;
  }
  return 1;
}

Screen* screen_copy(const Screen* screen) {
  if (!is_the_screen(screen)) {
    screen_error();
    return nullptr;
  }
  return the_screen;
}

// ---- key cell -----------------------------------------------------------

KeyCell* screen_keys_create() {
  if (the_screen == nullptr) return nullptr;
  if (the_cell != nullptr) return the_cell;
  KeyCell* cell = static_cast<KeyCell*>(calloc(1, sizeof(KeyCell)));
  if (cell == nullptr) return nullptr;
  cell->keys = static_cast<uint8_t*>(calloc(key_bytes, 1));
  if (cell->keys == nullptr) {
    free(cell);
    return nullptr;
  }
  the_cell = cell;
  return cell;
}

void screen_keys_destroy(KeyCell** cell) {
  if (cell == nullptr || *cell == nullptr || *cell != the_cell) return;
  free((*cell)->keys);
  free(*cell);
  *cell = nullptr;
  the_cell = nullptr;
}

void screen_poll_keys(KeyCell* cell) {
  if (!is_the_cell(cell)) return screen_error();
  SDL_Event event;
  while (SDL_PollEvent(&event) != 0) {
    if (event.type == SDL_KEYDOWN) {
      cell->keys[0] = static_cast<uint8_t>(static_cast<uint32_t>(event.key.keysym.sym) & 0xFFu);
    } else if (event.type == SDL_KEYUP) {
      cell->keys[0] = 0;
    }
  }
}

// ---- key cell placeholders ----------------------------------------------

const char* screen_keys_to_text(const KeyCell* cell) {
  return cell != nullptr ? "" : nullptr;
}

KeyCell* screen_keys_from_text(const char*) {
  return nullptr;
}

int screen_keys_equals(const KeyCell* a, const KeyCell* b) {
  return a != nullptr && a == b ? 1 : 0;
}

KeyCell* screen_keys_copy(const KeyCell*) {
  return nullptr;
}
