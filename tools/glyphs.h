// The letter skeletons shared by the font and the logos: every character
// from '!' to '_' as centre lines (polylines) in glyph units, 22 units from
// cap line to base line, y pointing down.  Drawing the skeleton with a thick
// pen gives the bold, chamfered letters of both the scroller and the logos.
#pragma once

#include <cstdint>

inline constexpr int32_t glyph_max_segments = 24;
inline constexpr double glyph_cap_height = 22.0;

struct GlyphSegment {
  double x0, y0, x1, y1;  // a single point when both ends are equal
};

struct Glyph {
  int32_t code;
  double left, right;  // extent of the centre lines in x
  int32_t count;
  GlyphSegment segments[glyph_max_segments];
};

// The skeleton of a character code, or null for codes without one (the
// space, codes below 33 and above 95).
const Glyph* glyph_for(int32_t code);
// Distance from (x, y) to the nearest point of the skeleton, glyph units.
double glyph_distance(const Glyph* glyph, double x, double y);
