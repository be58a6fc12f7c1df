// The screen's painters: how a picture reaches the video surface in each
// layout, the colour cube of paletted surfaces, and the enlarged picture.
#include <algorithm>
#include <cstring>

#include "video/screen_internal.h"

namespace {

ScreenState& state = screen_state;

// The image's channel layout as SDL masks.
constexpr Uint32 image_rmask = 0x00FF0000;
constexpr Uint32 image_gmask = 0x0000FF00;
constexpr Uint32 image_bmask = 0x000000FF;

// SDL 1.2 keeps a surface's row length in 16 bits.
constexpr int64_t max_pitch = 0xFFFF;

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
  const int result = SDL_BlitSurface(view, nullptr, state.surface, nullptr);
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
  state.cube_identity = true;
  for (uint32_t q = 0; q < 256; ++q) {
    state.cube[q] = static_cast<Uint8>(
        SDL_MapRGB(state.surface->format, widen3(q >> 5), widen3((q >> 2) & 7u), widen2(q & 3u)));
    state.cube_identity = state.cube_identity && state.cube[q] == q;
  }
}

bool copy_block(const Image* image) {
  if (SDL_LockSurface(state.surface) != 0) return false;
  const size_t bytes = static_cast<size_t>(image->width) * static_cast<size_t>(image->height) * 4;
  std::memcpy(state.surface->pixels, image->pixels, bytes);
  SDL_UnlockSurface(state.surface);
  return true;
}

// Each word's channels moved to the surface's bytes; its alpha bits, if it
// has any, set (opaque).
void reorder(Uint32* dst, const uint32_t* src, size_t count) {
  const int red = state.red_shift, green = state.green_shift, blue = state.blue_shift;
  const Uint32 alpha = state.alpha_bits;
  for (size_t i = 0; i < count; ++i) {
    const uint32_t p = src[i];
    dst[i] = (((p >> 16) & 0xFFu) << red) | (((p >> 8) & 0xFFu) << green) | ((p & 0xFFu) << blue) | alpha;
  }
}

bool copy_reordered(const Image* image) {
  if (SDL_LockSurface(state.surface) != 0) return false;
  reorder(static_cast<Uint32*>(state.surface->pixels), image->pixels,
          static_cast<size_t>(image->width) * static_cast<size_t>(image->height));
  SDL_UnlockSurface(state.surface);
  return true;
}

// ---- enlarged -------------------------------------------------------------

// The image enlarged place.scale times into rows `pitch` pixels apart from
// `to`; for the words layout each row's channels are moved before it is
// widened.
void enlarge(const Image* image, uint32_t* to, size_t pitch, bool moved) {
  const int32_t scale = state.place.scale;
  if (!moved) return placement_enlarge(to, pitch, image->pixels, image->width, image->height, scale, scale);
  const size_t width = static_cast<size_t>(image->width);
  state.moved_row.resize(width);
  for (int32_t y = 0; y < image->height; ++y) {
    reorder(state.moved_row.data(), image->pixels + static_cast<size_t>(y) * width, width);
    placement_enlarge_row(to + static_cast<size_t>(y) * static_cast<size_t>(scale) * pitch, pitch,
                          state.moved_row.data(), image->width, scale, scale);
  }
}

// Surfaces of other layouts get the enlarged picture through SDL's
// conversion.
bool blit_enlarged(const Image* image) {
  const int32_t wide = image->width * state.place.scale;
  const int32_t tall = image->height * state.place.scale;
  state.enlarged_view.resize(static_cast<size_t>(wide) * static_cast<size_t>(tall));
  enlarge(image, state.enlarged_view.data(), static_cast<size_t>(wide), false);
  const Image view{wide, tall, state.enlarged_view.data()};
  SDL_Surface* from = surface_view(&view, wide, tall);
  if (from == nullptr) return false;
  SDL_Rect to{static_cast<Sint16>(state.place.left), static_cast<Sint16>(state.place.top), 0, 0};
  const int result = SDL_BlitSurface(from, nullptr, state.surface, &to);
  SDL_FreeSurface(from);
  return result == 0;
}

bool paint_enlarged(const Image* image) {
  SDL_Surface* surface = state.surface;
  if (state.blackouts > 0 && SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0)) != 0)
    return false;
  if (state.layout == ScreenLayout::converted) return blit_enlarged(image);
  if (SDL_LockSurface(surface) != 0) return false;
  const size_t pitch = static_cast<size_t>(surface->pitch) / 4;
  uint32_t* corner = static_cast<uint32_t*>(surface->pixels) + static_cast<size_t>(state.place.top) * pitch +
                     static_cast<size_t>(state.place.left);
  enlarge(image, corner, pitch, state.layout == ScreenLayout::words);
  SDL_UnlockSurface(surface);
  return true;
}

bool paint_whole(const Image* image) {
  switch (state.layout) {
    case ScreenLayout::block:
      return copy_block(image);
    case ScreenLayout::words:
      return copy_reordered(image);
    case ScreenLayout::paletted:
      return screen_paint_paletted(image);
    case ScreenLayout::converted:
      break;
  }
  return blit_converted(image);
}

}  // namespace

void screen_map_layout(int32_t width, int32_t height) {
  const SDL_Surface* surface = state.surface;
  const SDL_PixelFormat* format = surface->format;
  if (format->BytesPerPixel == 1 && format->palette != nullptr) {
    state.layout = ScreenLayout::paletted;
    map_cube();
    return;
  }
  const Uint32 r = format->Rmask, g = format->Gmask, b = format->Bmask;
  // Enlarged pictures go row by row, whatever the surface's row length.
  const bool unpadded = format->BitsPerPixel == 32 &&
                        (state.enlarged || (surface->w == width && surface->h == height &&
                                            static_cast<int64_t>(surface->pitch) == static_cast<int64_t>(width) * 4));
  const bool bytes = byte_shift(r) >= 0 && byte_shift(g) >= 0 && byte_shift(b) >= 0 && r != g && g != b &&
                     r != b && ((r | g | b) & format->Amask) == 0;
  if (unpadded && r == image_rmask && g == image_gmask && b == image_bmask) {
    state.layout = ScreenLayout::block;
  } else if (unpadded && bytes) {
    // A browser canvas keeps red first.
    state.layout = ScreenLayout::words;
    state.red_shift = byte_shift(r);
    state.green_shift = byte_shift(g);
    state.blue_shift = byte_shift(b);
    state.alpha_bits = format->Amask;
  } else {
    state.layout = ScreenLayout::converted;
  }
}

bool screen_paint(const Image* image) {
  return state.enlarged ? paint_enlarged(image) : paint_whole(image);
}

// Paletted surfaces get the top-left of the image (as much as fits) through
// a 3-3-2 colour cube mapped into the palette.  SDL 1.2.15's own 32-to-8-bit
// blit for a 3-3-2 palette (the one SDL sets up) never advances along the
// source row, so it cannot be used there.
bool screen_paint_paletted(const Image* image) {
  SDL_Surface* surface = state.surface;
  if (SDL_LockSurface(surface) != 0) return false;
  const int32_t w = std::min(image->width, static_cast<int32_t>(surface->w));
  const int32_t h = std::min(image->height, static_cast<int32_t>(surface->h));
  for (int32_t y = 0; y < h; ++y) {
    const uint32_t* src = image->pixels + static_cast<size_t>(y) * static_cast<size_t>(image->width);
    Uint8* dst = static_cast<Uint8*>(surface->pixels) + static_cast<size_t>(y) * surface->pitch;
    if (state.cube_identity) {
      for (int32_t x = 0; x < w; ++x) dst[x] = static_cast<Uint8>(cube_index(src[x]));
    } else {
      for (int32_t x = 0; x < w; ++x) dst[x] = state.cube[cube_index(src[x])];
    }
  }
  SDL_UnlockSurface(surface);
  return true;
}

bool screen_blit_display_format(const Image* image, int32_t w, int32_t h) {
  SDL_Surface* view = surface_view(image, w, h);
  if (view == nullptr) return false;
  SDL_Surface* converted = SDL_DisplayFormat(view);
  SDL_FreeSurface(view);
  if (converted == nullptr) return false;
  const int result = SDL_UpperBlit(converted, nullptr, state.surface, nullptr);
  SDL_FreeSurface(converted);
  return result == 0;
}
