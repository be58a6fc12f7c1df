// The pictures.  A logo is a distance field of its word's skeletons: inside
// the pen lies the metal, lit from the upper left over a bevel at its edge
// and coloured by a vertical gradient; a ring outside it is the outline; a
// copy of both, offset down and right, is the drop shadow.  Stars are sums of
// a core, a glow and spikes.
#include "tools/art.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tools/detmath.h"
#include "tools/glyphs.h"

namespace {

struct Rgb {
  double r, g, b;
};

struct Stop {
  double at;
  uint32_t colour;
};

constexpr int32_t max_stops = 6;

struct LogoStyle {
  const char* word;
  double scale;       // pixels per glyph unit
  double stretch;     // extra horizontal scale
  double pen;         // pen radius, glyph units
  double spacing;     // between the letters' ink, glyph units
  double slant;       // rightward shift of the top, pixels per pixel of height
  double outline;     // pixels
  int32_t shadow;     // offset of the drop shadow, pixels
  int32_t stops;
  Stop fill[max_stops];
  uint32_t outline_colour;
  uint32_t shadow_colour;
  int32_t stripe_period;  // every n-th row of the metal darkened; 0 for none
  int32_t canvas_width;   // 0: as wide as the logo, else centred on this width
};

constexpr LogoStyle logo_styles[] = {
    // VORN: classic chrome, sky above the horizon line and earth below.
    {"VORN", 1.55, 1.0, 3.6, 4.0, 0.18, 2.0, 3, 6,
     {{0.0, 0x1C3C9C}, {0.30, 0x7AB8FF}, {0.49, 0xF4FAFF}, {0.51, 0x4A3218}, {0.75, 0xB0682C}, {1.0, 0xFFD890}},
     0x0C0A24, 0x06040E, 0, 0},
    // present: gold.
    {"PRESENT", 0.92, 1.0, 3.4, 3.4, 0.12, 2.0, 2, 5,
     {{0.0, 0xFFF6C8}, {0.35, 0xF8C23A}, {0.55, 0xA04A08}, {0.80, 0xE89A20}, {1.0, 0xFFE88A}},
     0x1E0C02, 0x0A0402, 0, 0},
    // kolmira: emerald glass.
    {"KOLMIRA", 0.95, 1.0, 3.6, 3.2, 0.14, 2.0, 2, 5,
     {{0.0, 0xD8FFF4}, {0.35, 0x30E8B0}, {0.52, 0x046A5A}, {0.75, 0x12B0A0}, {1.0, 0x70F0FF}},
     0x021A18, 0x020A0A, 0, 0},
    // 2008: fire.
    {"2008", 1.6, 1.0, 3.6, 4.0, 0.18, 2.0, 3, 5,
     {{0.0, 0xFFFF9C}, {0.30, 0xFFA830}, {0.60, 0xF03A30}, {0.85, 0xB01070}, {1.0, 0x6A1498}},
     0x200418, 0x0C020A, 0, 0},
    // logotype0: silver with a heavy black outline, to read over the plasma.
    {"KOLMIRA", 1.16, 1.0, 3.5, 3.0, 0.14, 3.0, 2, 5,
     {{0.0, 0xFFFFFF}, {0.45, 0xB8C4DC}, {0.52, 0x3C4458}, {0.75, 0x8C98B8}, {1.0, 0xF0F4FF}},
     0x040408, 0x020204, 0, 256},
    // logotype1: wide copper with scan-line cuts.
    {"VORN", 1.36, 1.52, 3.4, 4.0, 0.10, 2.0, 2, 5,
     {{0.0, 0xFFE8C0}, {0.45, 0xE08838}, {0.52, 0x6A2410}, {0.78, 0xC86020}, {1.0, 0xFFC070}},
     0x180804, 0x0A0402, 4, 256},
};

Rgb rgb_of(uint32_t c) {
  return Rgb{static_cast<double>((c >> 16) & 0xFFu) / 255.0, static_cast<double>((c >> 8) & 0xFFu) / 255.0,
             static_cast<double>(c & 0xFFu) / 255.0};
}

uint32_t channel(double v) { return static_cast<uint32_t>(std::floor(dm_clamp(v, 0.0, 1.0) * 255.0 + 0.5)); }

// An opaque pixel: never the transparent value 0.
uint32_t pixel_of(Rgb c) {
  const uint32_t v = channel(c.r) << 16 | channel(c.g) << 8 | channel(c.b);
  return v == 0 ? 0x000001u : v;
}

Rgb mix(Rgb a, Rgb b, double t) { return Rgb{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }

Rgb gradient(const LogoStyle& s, double t) {
  if (t <= s.fill[0].at) return rgb_of(s.fill[0].colour);
  for (int32_t i = 1; i < s.stops; ++i) {
    if (t <= s.fill[i].at) {
      const double u = (t - s.fill[i - 1].at) / (s.fill[i].at - s.fill[i - 1].at);
      return mix(rgb_of(s.fill[i - 1].colour), rgb_of(s.fill[i].colour), u);
    }
  }
  return rgb_of(s.fill[s.stops - 1].colour);
}

// ---- logos ----------------------------------------------------------------

struct Layout {
  const Glyph* glyphs[16];
  double offset[16];  // left edge of each letter's ink, glyph units
  int32_t count;
  double width;       // of the whole word's ink, glyph units
};

Layout lay_out(const LogoStyle& s) {
  Layout l{};
  double x = 0.0;
  for (const char* p = s.word; *p != '\0' && l.count < 16; ++p) {
    const Glyph* g = glyph_for(static_cast<unsigned char>(*p));
    if (g == nullptr) continue;
    l.glyphs[l.count] = g;
    l.offset[l.count] = x;
    ++l.count;
    x += (g->right - g->left) + 2.0 * s.pen + s.spacing;
  }
  l.width = x - s.spacing;
  return l;
}

// Signed distance in pixels from the pixel centre to the metal's edge
// (negative inside), and the glyph-space height there.
struct Field {
  int32_t width, height;
  double* distance;
  double* depth_y;  // glyph y of each pixel, for the gradient
};

void field_fill(Field* f, const LogoStyle& s, const Layout& l, double margin) {
  const double ink_height = (glyph_cap_height + 2.0 * s.pen) * s.scale;
  for (int32_t py = 0; py < f->height; ++py) {
    const double y = py + 0.5 - margin;  // from the top of the ink
    const double gy = y / s.scale - s.pen;
    for (int32_t px = 0; px < f->width; ++px) {
      const double x = px + 0.5 - margin - s.slant * (ink_height - y);
      const double u = x / (s.scale * s.stretch);
      double best = 1e9;
      for (int32_t i = 0; i < l.count; ++i) {
        const Glyph* g = l.glyphs[i];
        const double gx = u - l.offset[i] - s.pen + g->left;
        if (gx < g->left - 3.0 * s.pen || gx > g->right + 3.0 * s.pen) continue;
        best = std::fmin(best, glyph_distance(g, gx, gy));
      }
      const size_t at = static_cast<size_t>(py) * static_cast<size_t>(f->width) + static_cast<size_t>(px);
      f->distance[at] = (best - s.pen) * s.scale;
      f->depth_y[at] = gy;
    }
  }
}

double field_at(const Field& f, int32_t x, int32_t y) {
  if (x < 0 || y < 0 || x >= f.width || y >= f.height) return 1e9;
  return f.distance[static_cast<size_t>(y) * static_cast<size_t>(f.width) + static_cast<size_t>(x)];
}

// The lit metal at one pixel inside the pen.
Rgb shade_metal(const LogoStyle& s, const Field& f, int32_t x, int32_t y) {
  const double d = field_at(f, x, y);
  double gx = (dm_clamp(field_at(f, x + 1, y), -1e3, 1e3) - dm_clamp(field_at(f, x - 1, y), -1e3, 1e3)) / 2.0;
  double gy = (dm_clamp(field_at(f, x, y + 1), -1e3, 1e3) - dm_clamp(field_at(f, x, y - 1), -1e3, 1e3)) / 2.0;
  const double glen = std::sqrt(gx * gx + gy * gy);
  if (glen > 0.0) {
    gx /= glen;
    gy /= glen;
  }
  const double bevel = 0.55 * s.pen * s.scale;
  const double depth = -d;
  const double tilt = depth < bevel ? 1.5 * (1.0 - depth / bevel) : 0.0;
  double nx = gx * tilt, ny = gy * tilt, nz = 1.0;
  const double nlen = std::sqrt(nx * nx + ny * ny + nz * nz);
  nx /= nlen;
  ny /= nlen;
  nz /= nlen;
  // Light from the upper left, in front.
  const double lx = -0.6 / 1.4142135623730951, ly = -0.8 / 1.4142135623730951, lz = 1.0 / 1.4142135623730951;
  const double diffuse = std::fmax(0.0, nx * lx + ny * ly + nz * lz);
  const double shade = 0.28 + 0.72 * diffuse / lz;
  const double glint = dm_clamp((diffuse - 0.88) / 0.12, 0.0, 1.0);
  const double t = (f.depth_y[static_cast<size_t>(y) * static_cast<size_t>(f.width) + static_cast<size_t>(x)] + s.pen) /
                   (glyph_cap_height + 2.0 * s.pen);
  const Rgb base = gradient(s, dm_clamp(t, 0.0, 1.0));
  const double specular = 0.85 * glint * glint;
  Rgb c{base.r * shade + specular, base.g * shade + specular, base.b * shade + specular};
  if (s.stripe_period > 0 && y % s.stripe_period == s.stripe_period - 1) c = mix(c, Rgb{0, 0, 0}, 0.45);
  return c;
}

uint32_t logo_pixel(const LogoStyle& s, const Field& f, int32_t x, int32_t y) {
  const double d = field_at(f, x, y);
  const Rgb edge = rgb_of(s.outline_colour);
  if (d < 0.5) {
    // The outer half-pixel blends the metal into the outline.
    const Rgb metal = shade_metal(s, f, x, y);
    return pixel_of(mix(edge, metal, dm_clamp(0.5 - d, 0.0, 1.0)));
  }
  if (d < s.outline) return pixel_of(edge);
  if (field_at(f, x - s.shadow, y - s.shadow) < s.outline) return pixel_of(rgb_of(s.shadow_colour));
  return 0;
}

// Pockets of transparency smaller than this, enclosed by the logo (a tight
// counter squeezed by the outline, a gap between one letter's outline and
// the next one's shadow), are filled with the outline colour: stars blinking
// through pin-holes look like faults.
constexpr int32_t smallest_pocket = 16;

void fill_pockets(uint32_t* pixels, int32_t w, int32_t h, uint32_t fill) {
  const size_t n = static_cast<size_t>(w) * static_cast<size_t>(h);
  uint8_t* seen = static_cast<uint8_t*>(std::calloc(n, 1));
  int32_t* region = static_cast<int32_t*>(std::calloc(n, sizeof(int32_t)));
  if (seen == nullptr || region == nullptr) {
    std::free(seen);
    std::free(region);
    return;
  }
  for (size_t start = 0; start < n; ++start) {
    if (seen[start] || pixels[start] != 0) continue;
    // Depth-first fill; region doubles as the stack and the member list.
    size_t top = 0, count = 0;
    bool open = false;
    region[top++] = static_cast<int32_t>(start);
    seen[start] = 1;
    while (top > count) {
      const int32_t i = region[count++];
      const int32_t x = i % w, y = i / w;
      if (x == 0 || y == 0 || x == w - 1 || y == h - 1) open = true;
      const int32_t next[4] = {x > 0 ? i - 1 : -1, x < w - 1 ? i + 1 : -1, y > 0 ? i - w : -1, y < h - 1 ? i + w : -1};
      for (int32_t j : next) {
        if (j >= 0 && !seen[j] && pixels[j] == 0) {
          seen[j] = 1;
          region[top++] = j;
        }
      }
    }
    if (!open && count < static_cast<size_t>(smallest_pocket)) {
      for (size_t k = 0; k < count; ++k) pixels[region[k]] = fill;
    }
  }
  std::free(seen);
  std::free(region);
}

Image* draw_logo(const LogoStyle& s) {
  const Layout l = lay_out(s);
  const double margin = s.outline + s.shadow + 2.0;
  const double ink_height = (glyph_cap_height + 2.0 * s.pen) * s.scale;
  Field f{};
  f.width = static_cast<int32_t>(std::ceil(l.width * s.scale * s.stretch + s.slant * ink_height + 2.0 * margin));
  f.height = static_cast<int32_t>(std::ceil(ink_height + 2.0 * margin));
  const size_t n = static_cast<size_t>(f.width) * static_cast<size_t>(f.height);
  f.distance = static_cast<double*>(std::calloc(n, sizeof(double)));
  f.depth_y = static_cast<double*>(std::calloc(n, sizeof(double)));
  uint32_t* pixels = static_cast<uint32_t*>(std::calloc(n, sizeof(uint32_t)));
  Image* out = nullptr;
  if (f.distance != nullptr && f.depth_y != nullptr && pixels != nullptr) {
    field_fill(&f, s, l, margin);
    int32_t x0 = f.width, y0 = f.height, x1 = -1, y1 = -1;
    for (int32_t y = 0; y < f.height; ++y) {
      for (int32_t x = 0; x < f.width; ++x) {
        const uint32_t p = logo_pixel(s, f, x, y);
        pixels[static_cast<size_t>(y) * static_cast<size_t>(f.width) + static_cast<size_t>(x)] = p;
        if (p != 0) {
          x0 = x < x0 ? x : x0;
          y0 = y < y0 ? y : y0;
          x1 = x > x1 ? x : x1;
          y1 = y > y1 ? y : y1;
        }
      }
    }
    fill_pockets(pixels, f.width, f.height, pixel_of(rgb_of(s.outline_colour)));
    // Crop to the opaque pixels, then centre on the requested width.
    const int32_t w = x1 - x0 + 1, h = y1 - y0 + 1;
    const int32_t canvas = s.canvas_width > w ? s.canvas_width : w;
    const int32_t left = (canvas - w) / 2;
    out = x1 >= 0 ? img_create() : nullptr;
    if (out != nullptr) img_resize(out, canvas, h);
    if (out != nullptr && out->pixels != nullptr) {
      for (int32_t y = 0; y < h; ++y) {
        std::memcpy(out->pixels + static_cast<size_t>(y) * static_cast<size_t>(canvas) + static_cast<size_t>(left),
                    pixels + static_cast<size_t>(y + y0) * static_cast<size_t>(f.width) + static_cast<size_t>(x0),
                    static_cast<size_t>(w) * sizeof(uint32_t));
      }
    } else if (out != nullptr) {
      img_destroy(&out);
    }
  }
  std::free(f.distance);
  std::free(f.depth_y);
  std::free(pixels);
  return out;
}

// ---- stars ----------------------------------------------------------------

// A spike along the axis (u across, v along) of the given length.
double spike(double u, double v, double length, double thickness) {
  const double along = dm_clamp(1.0 - std::fabs(v) / length, 0.0, 1.0);
  return dm_exp(-(u * u) / thickness) * along;
}

struct StarStyle {
  Rgb tint;
  double core;        // width of the white-hot core
  double glow;        // reach of the soft glow
  double glow_level;
  double cross;       // length of the horizontal and vertical spikes, 0 for none
  double diagonal;    // length of the diagonal spikes, 0 for none
  double ring;        // radius of a halo ring, 0 for none
};

constexpr StarStyle star_styles[] = {
    {{0.55, 0.78, 1.00}, 1.4, 1.3, 0.60, 9.0, 0.0, 0.0},   // a: blue-white, four long spikes
    {{1.00, 0.76, 0.25}, 1.3, 1.2, 0.60, 8.0, 5.0, 0.0},   // b: gold, eight spikes
    {{1.00, 0.30, 0.78}, 1.1, 1.0, 0.55, 0.0, 9.0, 0.0},   // c: pink, a diagonal cross
    {{0.30, 1.00, 0.55}, 1.7, 1.0, 0.60, 3.5, 0.0, 5.0},   // d: green, round with a halo
};

Image* draw_star(const StarStyle& s) {
  Image* img = img_create();  // 16 x 16
  if (img == nullptr || img->pixels == nullptr || img->width != 16 || img->height != 16) {
    img_destroy(&img);
    return nullptr;
  }
  constexpr double root_half = 0.7071067811865476;
  for (int32_t y = 0; y < 16; ++y) {
    for (int32_t x = 0; x < 16; ++x) {
      const double dx = x - 8.0, dy = y - 8.0;
      const double r2 = dx * dx + dy * dy;
      const double r = std::sqrt(r2);
      double level = dm_exp(-r2 / (s.core * s.core)) + s.glow_level * dm_exp(-r / s.glow);
      if (s.cross > 0.0) level += 0.9 * (spike(dy, dx, s.cross, 0.30) + spike(dx, dy, s.cross, 0.30));
      if (s.diagonal > 0.0) {
        const double a = (dx + dy) * root_half, b = (dx - dy) * root_half;
        level += 0.8 * (spike(b, a, s.diagonal, 0.30) + spike(a, b, s.diagonal, 0.30));
      }
      if (s.ring > 0.0) level += 0.45 * dm_exp(-(r - s.ring) * (r - s.ring) / 0.4);
      if (level < 0.13) continue;  // the faintest glow stays transparent
      const double hot = level * level * level;
      const Rgb c{s.tint.r * level + (1.0 - s.tint.r) * hot, s.tint.g * level + (1.0 - s.tint.g) * hot,
                  s.tint.b * level + (1.0 - s.tint.b) * hot};
      img->pixels[y * 16 + x] = pixel_of(c);
    }
  }
  return img;
}

// ---- the icon --------------------------------------------------------------

// Drawn icon_samples x icon_samples times larger, then each block of samples
// averaged into one pixel whose alpha is the share of the block covered.
constexpr int32_t icon_samples = 4;

// The tile: a rounded square a little inside the icon, dark violet at the
// top to near black at the bottom, as the intro's own backgrounds.
constexpr double tile_inset = 1.0 / 32.0;  // of the side
constexpr double tile_corner = 0.2;        // radius, of the side
constexpr uint32_t tile_top = 0x2A1C58;
constexpr uint32_t tile_bottom = 0x08061A;

bool in_tile(double x, double y, double side) {
  const double inset = side * tile_inset, radius = side * tile_corner;
  const double lo = inset + radius, hi = side - inset - radius;
  const double dx = x < lo ? lo - x : (x > hi ? x - hi : 0.0);
  const double dy = y < lo ? lo - y : (y > hi ? y - hi : 0.0);
  if (x < inset || y < inset || x > side - inset || y > side - inset) return false;
  return dx * dx + dy * dy <= radius * radius;
}

// The V of the VORN logo, sized for a tile of side samples.
Image* draw_icon_letter(int32_t side) {
  LogoStyle s = logo_styles[art_vorn];
  s.word = "V";
  s.scale = 0.58 * side / (glyph_cap_height + 2.0 * s.pen);
  // Outline and shadow keep the logo's proportions but stay a pixel wide.
  s.outline = std::fmax(1.3 * s.scale, icon_samples);
  s.shadow = static_cast<int32_t>(std::floor(std::fmax(1.9 * s.scale, icon_samples) + 0.5));
  return draw_logo(s);
}

constexpr const char* file_names[art_picture_count] = {
    "VORN.ppm",      "present.ppm",   "kolmira.ppm",   "2008.ppm",    "logotype0.ppm",
    "logotype1.ppm", "star16a.ppm",   "star16b.ppm",   "star16c.ppm", "star16d.ppm",
};

}  // namespace

const char* art_file_name(int32_t picture) {
  if (picture < 0 || picture >= art_picture_count) return nullptr;
  return file_names[picture];
}

Image* art_draw(int32_t picture) {
  if (picture < 0 || picture >= art_picture_count) return nullptr;
  if (picture <= art_logotype1) return draw_logo(logo_styles[picture]);
  return draw_star(star_styles[picture - art_star_a]);
}

bool art_draw_icon(int32_t size, uint32_t* argb) {
  if (size < art_icon_min || size > art_icon_max || argb == nullptr) return false;
  const int32_t side = size * icon_samples;
  Image* letter = draw_icon_letter(side);
  if (letter == nullptr) return false;
  // The letter's box centred on the tile.
  const int32_t left = (side - letter->width) / 2, top = (side - letter->height) / 2;
  std::vector<uint32_t> samples(static_cast<size_t>(side) * static_cast<size_t>(side), 0);
  std::vector<uint8_t> covered(samples.size(), 0);
  const Rgb upper = rgb_of(tile_top), lower = rgb_of(tile_bottom);
  for (int32_t y = 0; y < side; ++y) {
    const uint32_t ground = pixel_of(mix(upper, lower, (y + 0.5) / side));
    for (int32_t x = 0; x < side; ++x) {
      const size_t at = static_cast<size_t>(y) * static_cast<size_t>(side) + static_cast<size_t>(x);
      const int32_t lx = x - left, ly = y - top;
      const bool on_letter = lx >= 0 && ly >= 0 && lx < letter->width && ly < letter->height &&
                             letter->pixels[ly * letter->width + lx] != 0;
      if (on_letter) {
        samples[at] = letter->pixels[ly * letter->width + lx];
      } else if (in_tile(x + 0.5, y + 0.5, side)) {
        samples[at] = ground;
      } else {
        continue;
      }
      covered[at] = 1;
    }
  }
  img_destroy(&letter);
  for (int32_t py = 0; py < size; ++py) {
    for (int32_t px = 0; px < size; ++px) {
      uint32_t count = 0, r = 0, g = 0, b = 0;
      for (int32_t sy = 0; sy < icon_samples; ++sy) {
        for (int32_t sx = 0; sx < icon_samples; ++sx) {
          const size_t at = static_cast<size_t>(py * icon_samples + sy) * static_cast<size_t>(side) +
                            static_cast<size_t>(px * icon_samples + sx);
          if (covered[at] == 0) continue;
          ++count;
          r += (samples[at] >> 16) & 0xFFu;
          g += (samples[at] >> 8) & 0xFFu;
          b += samples[at] & 0xFFu;
        }
      }
      constexpr uint32_t all = icon_samples * icon_samples;
      uint32_t pixel = 0;
      if (count > 0) {
        const uint32_t alpha = (count * 255 + all / 2) / all;
        pixel = alpha << 24 | ((r + count / 2) / count) << 16 | ((g + count / 2) / count) << 8 | (b + count / 2) / count;
      }
      argb[static_cast<size_t>(py) * static_cast<size_t>(size) + static_cast<size_t>(px)] = pixel;
    }
  }
  return true;
}
