// A small PNG writer for the generator's icons: 8-bit RGBA, no interlace,
// the image data in zlib's "stored" blocks (no compression), so the bytes
// depend on nothing but the pixels.
#pragma once

#include <cstdint>

// Writes width x height pixels 0xAARRGGBB, rows top to bottom, as a PNG
// file; 1 on success, 0 on failure (bad size, null pixels, a write error).
int png_save_rgba(const char* path, const uint32_t* pixels, int32_t width, int32_t height);
