// The letter skeletons, written as text: polylines of "x,y" points
// separated by spaces, polylines separated by ';'.  A polyline of one point
// is a dot.  Round letters are chamfered octagons, which is the look of the
// whole set.
#include "tools/glyphs.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

struct GlyphText {
  char code;
  const char* strokes;
};

constexpr GlyphText glyph_text[] = {
    {'!', "0,0 0,14; 0,22"},
    {'"', "0,0 0,6; 9,0 9,6"},
    {'#', "5,1 5,21; 16,1 16,21; 0,6 21,6; 0,16 21,16"},
    {'$', "20,2 5,2 0,6 0,7 4,11 16,11 20,15 20,16 15,20 0,20; 10,-3 10,1; 10,21 10,25"},
    {'%', "0,22 20,0; 2,2; 18,20"},
    {'&', "22,22 6,9 4,7 4,3 7,0 12,0 15,3 15,7 0,17 0,19 3,22 13,22 22,13"},
    {'\'', "0,0 0,6"},
    {'(', "8,-1 2,5 2,17 8,23"},
    {')', "0,-1 6,5 6,17 0,23"},
    {'*', "10,1 10,21; 1,6 19,16; 19,6 1,16"},
    {'+', "9,4 9,18; 2,11 16,11"},
    {',', "2,20 2,22 0,25"},
    {'-', "0,11 14,11"},
    {'.', "0,22"},
    {'/', "18,0 0,22"},
    {'0', "4,0 12,0 16,4 16,18 12,22 4,22 0,18 0,4 4,0"},
    {'1', "2,5 8,0 8,22; 2,22 14,22"},
    {'2', "0,5 5,0 15,0 20,5 20,8 0,22 20,22"},
    {'3', "0,0 15,0 20,5 20,6 15,11 20,16 20,17 15,22 0,22; 6,11 15,11"},
    {'4', "14,22 14,0 0,15 20,15"},
    {'5', "20,0 0,0 0,10 15,10 20,14 20,18 16,22 0,22"},
    {'6', "18,0 5,0 0,5 0,17 5,22 15,22 20,17 20,15 15,10 0,10"},
    {'7', "0,0 20,0 8,22"},
    {'8', "5,0 15,0 19,4 19,7 15,11 5,11 1,7 1,4 5,0; 5,11 15,11 20,15 20,18 16,22 4,22 0,18 0,15 5,11"},
    {'9', "20,12 5,12 0,7 0,5 5,0 15,0 20,5 20,17 15,22 2,22"},
    {':', "0,8; 0,21"},
    {';', "2,8; 2,20 2,21 0,25"},
    {'<', "16,1 0,11 16,21"},
    {'=', "0,6 16,6; 0,16 16,16"},
    {'>', "0,1 16,11 0,21"},
    {'?', "0,5 5,0 15,0 20,5 20,7 10,12 10,14; 10,22"},
    {'@', "10,7 10,15 21,15 21,4 17,0 4,0 0,4 0,18 4,22 21,22"},
    {'A', "0,22 0,6 6,0 14,0 20,6 20,22; 0,13 20,13"},
    {'B', "0,0 0,22 16,22 20,18 20,15 16,11 0,11; 0,0 15,0 19,4 19,7 15,11"},
    {'C', "20,0 5,0 0,5 0,17 5,22 20,22"},
    {'D', "0,0 0,22 14,22 20,16 20,6 14,0 0,0"},
    {'E', "20,0 0,0 0,22 20,22; 0,11 15,11"},
    {'F', "20,0 0,0 0,22; 0,11 15,11"},
    {'G', "20,0 5,0 0,5 0,17 5,22 20,22 20,12 11,12"},
    {'H', "0,0 0,22; 20,0 20,22; 0,11 20,11"},
    {'I', "0,0 10,0; 5,0 5,22; 0,22 10,22"},
    {'J', "20,0 20,17 15,22 5,22 0,17"},
    {'K', "0,0 0,22; 20,0 9,11 0,11; 9,11 20,22"},
    {'L', "0,0 0,22 20,22"},
    {'M', "0,22 0,0 11,11 22,0 22,22"},
    {'N', "0,22 0,0 20,22 20,0"},
    {'O', "5,0 15,0 20,5 20,17 15,22 5,22 0,17 0,5 5,0"},
    {'P', "0,22 0,0 15,0 20,5 20,7 15,12 0,12"},
    {'Q', "5,0 15,0 20,5 20,17 15,22 5,22 0,17 0,5 5,0; 13,16 20,23"},
    {'R', "0,22 0,0 15,0 20,5 20,7 15,12 0,12; 10,12 20,22"},
    {'S', "20,0 5,0 0,5 0,7 4,11 16,11 20,15 20,17 15,22 0,22"},
    {'T', "0,0 20,0; 10,0 10,22"},
    {'U', "0,0 0,17 5,22 15,22 20,17 20,0"},
    {'V', "0,0 10,22 20,0"},
    {'W', "0,0 0,22 11,11 22,22 22,0"},
    {'X', "0,0 20,22; 20,0 0,22"},
    {'Y', "0,0 10,11 20,0; 10,11 10,22"},
    {'Z', "0,0 20,0 0,22 20,22"},
    {'[', "8,-1 2,-1 2,23 8,23"},
    {'\\', "0,0 18,22"},
    {']', "0,-1 6,-1 6,23 0,23"},
    {'^', "0,8 9,0 18,8"},
    {'_', "0,24 20,24"},
};

Glyph glyph_table[128];
bool glyph_table_built = false;

// Parses one skeleton; false when the text is malformed or too long.
bool parse_glyph(const GlyphText& t, Glyph* g) {
  g->code = static_cast<unsigned char>(t.code);
  g->count = 0;
  g->left = 1e9;
  g->right = -1e9;
  const char* p = t.strokes;
  while (*p != '\0') {
    double px = 0.0, py = 0.0;
    bool first = true;
    while (*p != '\0' && *p != ';') {
      char* end = nullptr;
      const double x = std::strtod(p, &end);
      if (end == p || *end != ',') return false;
      p = end + 1;
      const double y = std::strtod(p, &end);
      if (end == p) return false;
      p = end;
      while (*p == ' ') ++p;
      const bool alone = first && (*p == ';' || *p == '\0');
      if (!first || alone) {
        if (g->count >= glyph_max_segments) return false;
        g->segments[g->count++] = alone ? GlyphSegment{x, y, x, y} : GlyphSegment{px, py, x, y};
      }
      g->left = std::fmin(g->left, x);
      g->right = std::fmax(g->right, x);
      px = x;
      py = y;
      first = false;
    }
    if (*p == ';') ++p;
    while (*p == ' ') ++p;
  }
  return g->count > 0;
}

void build_table() {
  glyph_table_built = true;
  for (const GlyphText& t : glyph_text) {
    Glyph* g = &glyph_table[static_cast<unsigned char>(t.code)];
    if (!parse_glyph(t, g)) {
      std::fprintf(stderr, "glyphs: bad skeleton for '%c'\n", t.code);
      *g = Glyph{};
    }
  }
}

}  // namespace

const Glyph* glyph_for(int32_t code) {
  if (!glyph_table_built) build_table();
  if (code < 0 || code >= 128 || glyph_table[code].count == 0) return nullptr;
  return &glyph_table[code];
}

double glyph_distance(const Glyph* glyph, double x, double y) {
  double best = 1e9;
  for (int32_t i = 0; i < glyph->count; ++i) {
    const GlyphSegment& s = glyph->segments[i];
    const double dx = s.x1 - s.x0, dy = s.y1 - s.y0;
    const double length2 = dx * dx + dy * dy;
    double t = 0.0;
    if (length2 > 0.0) t = ((x - s.x0) * dx + (y - s.y0) * dy) / length2;
    t = t < 0.0 ? 0.0 : (t > 1.0 ? 1.0 : t);
    const double ex = x - (s.x0 + t * dx), ey = y - (s.y0 + t * dy);
    best = std::fmin(best, ex * ex + ey * ey);
  }
  return std::sqrt(best);
}
