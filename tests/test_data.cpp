// The data files the intro reads: the generator reproduces them exactly,
// every picture loads through the program's own loader with the sizes the
// effects need and the properties that make it work on screen, the font has
// ink for every character of the scroll text, and the music module is sound
// by its own size fields.
#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "core/image.h"
#include "tests/support.h"
#include "tests/xm_walk.h"

namespace {

const std::string data_dir = VORN_SOURCE_DIR "/data";
const std::string generator = program_line(VORN_BINARY_DIR "/tools/vorngen");

const char* const data_files[] = {
    "VORN.ppm",    "present.ppm", "kolmira.ppm", "2008.ppm",    "logotype0.ppm",      "logotype1.ppm",
    "star16a.ppm", "star16b.ppm", "star16c.ppm", "star16d.ppm", "font32.pbm",         "duSkal-20080501.xm",
};
const char* const logo_files[] = {"VORN.ppm", "present.ppm", "kolmira.ppm", "2008.ppm", "logotype0.ppm", "logotype1.ppm"};
const char* const star_files[] = {"star16a.ppm", "star16b.ppm", "star16c.ppm", "star16d.ppm"};

struct Picture {
  Image* image = nullptr;
  explicit Picture(const std::string& file) : image(img_load_pnm((data_dir + "/" + file).c_str())) {}
  ~Picture() {
    if (image != nullptr) img_destroy(&image);
  }
  uint32_t at(int32_t x, int32_t y) const {
    return image->pixels[static_cast<size_t>(y) * static_cast<size_t>(image->width) + static_cast<size_t>(x)];
  }
};

int max_channel(uint32_t p) { return static_cast<int>(std::max({(p >> 16) & 0xFFu, (p >> 8) & 0xFFu, p & 0xFFu})); }

// Sizes of the 4-connected regions of transparent pixels that do not touch
// the border: the counters of letters such as O, R, A and 8, or holes.
std::vector<int> enclosed_transparent_regions(const Picture& p) {
  const int32_t w = p.image->width, h = p.image->height;
  std::vector<int> label(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
  std::vector<int> sizes;
  std::vector<int32_t> stack;
  for (int32_t start = 0; start < w * h; ++start) {
    if (label[static_cast<size_t>(start)] != 0 || p.image->pixels[start] != 0) continue;
    bool touches_border = false;
    int size = 0;
    label[static_cast<size_t>(start)] = 1;
    stack.push_back(start);
    while (!stack.empty()) {
      const int32_t i = stack.back();
      stack.pop_back();
      ++size;
      const int32_t x = i % w, y = i / w;
      if (x == 0 || y == 0 || x == w - 1 || y == h - 1) touches_border = true;
      const int32_t next[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
      for (const auto& n : next) {
        if (n[0] < 0 || n[1] < 0 || n[0] >= w || n[1] >= h) continue;
        const int32_t j = n[1] * w + n[0];
        if (label[static_cast<size_t>(j)] == 0 && p.image->pixels[j] == 0) {
          label[static_cast<size_t>(j)] = 1;
          stack.push_back(j);
        }
      }
    }
    if (!touches_border) sizes.push_back(size);
  }
  return sizes;
}

std::vector<uint8_t> font_cell(const Picture& font, int code) {
  std::vector<uint8_t> ink(32 * 32, 0);
  const int32_t x0 = (code * 32) % font.image->width;
  const int32_t y0 = (code * 32) / font.image->width * 32;
  for (int32_t y = 0; y < 32; ++y) {
    for (int32_t x = 0; x < 32; ++x) ink[static_cast<size_t>(y * 32 + x)] = font.at(x0 + x, y0 + y) != 0;
  }
  return ink;
}

}  // namespace

TEST(Data, GeneratorReproducesTheDataFolderByteForByte) {
  char name[] = "/tmp/vorngen-XXXXXX";
  ASSERT_NE(mkdtemp(name), nullptr);
  const std::string folder = name;
  const std::string command = generator + " " + folder;
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  std::set<std::string> written;
  if (DIR* d = opendir(folder.c_str())) {
    while (dirent* e = readdir(d)) {
      if (e->d_name[0] != '.') written.insert(e->d_name);
    }
    closedir(d);
  }
  EXPECT_EQ(written, std::set<std::string>(std::begin(data_files), std::end(data_files)));
  for (const char* file : data_files) {
    const std::string committed = text_of(data_dir + "/" + file), fresh = text_of(folder + "/" + file);
    EXPECT_FALSE(committed.empty()) << file << " is missing from data/";
    EXPECT_TRUE(committed == fresh) << file << " differs from a fresh run (" << committed.size() << " and "
                                    << fresh.size() << " bytes)";
    std::remove((folder + "/" + file).c_str());
  }
  // The icons, from the same art.
  const std::string icons = generator + " --icons " + folder;
  ASSERT_EQ(std::system(icons.c_str()), 0) << icons;
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    const std::string file = "vorndemo-" + std::to_string(size) + ".png";
    const std::string committed = text_of(VORN_SOURCE_DIR "/icons/" + file);
    EXPECT_FALSE(committed.empty()) << file << " is missing from icons/";
    EXPECT_TRUE(committed == text_of(folder + "/" + file)) << file << " differs from a fresh run";
    std::remove((folder + "/" + file).c_str());
  }
  rmdir(folder.c_str());
  EXPECT_NE(std::system((generator + " /nonexistent/folder 2>/dev/null").c_str()), 0)
      << "a folder it cannot write to is a failure";
}

TEST(Data, PicturesLoadWithTheSizesTheEffectsNeed) {
  // The zoomed logos grow by a pixel a frame for 251 frames over a 256 x 256
  // frame; logotype1 lies above the bars, which start at row 49; logotype0's
  // top row bounces between 0 and 208.
  struct Size { const char* file; int32_t min_w, max_w, min_h, max_h; };
  const Size sizes[] = {{"VORN.ppm", 100, 200, 32, 80},   {"present.ppm", 100, 200, 32, 80},
                        {"kolmira.ppm", 100, 200, 32, 80}, {"2008.ppm", 100, 200, 32, 80},
                        {"logotype1.ppm", 256, 256, 1, 48}, {"logotype0.ppm", 1, 256, 1, 48},
                        {"star16a.ppm", 16, 16, 16, 16},   {"star16b.ppm", 16, 16, 16, 16},
                        {"star16c.ppm", 16, 16, 16, 16},   {"star16d.ppm", 16, 16, 16, 16}};
  for (const Size& s : sizes) {
    Picture p(s.file);
    ASSERT_NE(p.image, nullptr) << s.file;
    const int32_t w = p.image->width, h = p.image->height;
    EXPECT_TRUE(w >= s.min_w && w <= s.max_w && h >= s.min_h && h <= s.max_h) << s.file << " is " << w << " x " << h;
  }
}

TEST(Data, LogosAreOpaqueInsideTheirLettersAndOutlinedInDark) {
  for (const char* file : logo_files) {
    Picture p(file);
    ASSERT_NE(p.image, nullptr) << file;
    const int32_t w = p.image->width, h = p.image->height;
    // A letter colour that came out as 0 would be a pin-hole through which
    // the stars show; the only enclosed transparent regions are counters.
    for (int size : enclosed_transparent_regions(p)) {
      EXPECT_GE(size, 12) << file << ": a hole inside a letter";
    }
    std::set<uint32_t> colours;
    int opaque = 0;
    for (int32_t y = 0; y < h; ++y) {
      for (int32_t x = 0; x < w; ++x) {
        const uint32_t c = p.at(x, y);
        if (c == 0) continue;
        ++opaque;
        colours.insert(c);
        // Every edge pixel of the logo is dark, so the letters stand out from
        // stars and from the plasma's bright colours alike.
        const bool edge = x == 0 || y == 0 || x == w - 1 || y == h - 1 || p.at(x - 1, y) == 0 ||
                          p.at(x + 1, y) == 0 || p.at(x, y - 1) == 0 || p.at(x, y + 1) == 0;
        if (edge) {
          EXPECT_LE(max_channel(c), 0x30) << file << " at " << x << "," << y;
        }
      }
    }
    EXPECT_GT(opaque, w * h / 4) << file;
    EXPECT_GE(colours.size(), 200u) << file << " looks flat: gradients and shading expected";
    // Most of the logo is lit metal, not outline or shadow.
    int bright = 0;
    for (int32_t i = 0; i < w * h; ++i) bright += max_channel(p.image->pixels[i]) >= 0x60;
    EXPECT_GE(bright, opaque * 4 / 10) << file << ": too little bright metal";
  }
}

TEST(Data, StarsGlowFromTheirCentreEachInItsOwnColourAndShape) {
  struct Seen {
    std::vector<bool> mask;
    double r = 0, g = 0, b = 0;  // mean colour direction
  };
  std::vector<Seen> seen;
  for (const char* file : star_files) {
    Picture p(file);
    ASSERT_NE(p.image, nullptr) << file;
    ASSERT_EQ(p.image->width, 16);
    ASSERT_EQ(p.image->height, 16);
    Seen s;
    int best = -1, opaque = 0;
    double cx = 0, cy = 0;
    for (int32_t y = 0; y < 16; ++y) {
      for (int32_t x = 0; x < 16; ++x) {
        const uint32_t c = p.at(x, y);
        s.mask.push_back(c != 0);
        if (c == 0) continue;
        ++opaque;
        const int sum = static_cast<int>(((c >> 16) & 0xFFu) + ((c >> 8) & 0xFFu) + (c & 0xFFu));
        best = std::max(best, sum);
        cx += x;
        cy += y;
        s.r += (c >> 16) & 0xFFu;
        s.g += (c >> 8) & 0xFFu;
        s.b += c & 0xFFu;
      }
    }
    EXPECT_EQ(p.at(0, 0) | p.at(15, 0) | p.at(0, 15) | p.at(15, 15), 0u) << file << ": background is 0";
    const uint32_t centre = p.at(8, 8);
    EXPECT_EQ(static_cast<int>(((centre >> 16) & 0xFFu) + ((centre >> 8) & 0xFFu) + (centre & 0xFFu)), best)
        << file << ": the brightest pixel is (8, 8)";
    EXPECT_NEAR(cx / opaque, 8.0, 1.0) << file << ": centred on (8, 8)";
    EXPECT_NEAR(cy / opaque, 8.0, 1.0) << file << ": centred on (8, 8)";
    EXPECT_GE(best, 3 * 0xE0) << file << ": a bright core";
    EXPECT_GE(opaque, 20) << file;
    EXPECT_LE(opaque, 160) << file << ": a star, not a blob";
    const double length = std::sqrt(s.r * s.r + s.g * s.g + s.b * s.b);
    s.r /= length;
    s.g /= length;
    s.b /= length;
    seen.push_back(s);
  }
  for (size_t i = 0; i < seen.size(); ++i) {
    for (size_t j = i + 1; j < seen.size(); ++j) {
      EXPECT_NE(seen[i].mask, seen[j].mask) << star_files[i] << " and " << star_files[j] << " have one shape";
      const double cosine = seen[i].r * seen[j].r + seen[i].g * seen[j].g + seen[i].b * seen[j].b;
      EXPECT_LT(cosine, 0.985) << star_files[i] << " and " << star_files[j] << " have one colour";
    }
  }
}

TEST(Data, FontHasInkForEveryScrollCharacterAndBlankSpaces) {
  Picture font("font32.pbm");
  ASSERT_NE(font.image, nullptr);
  ASSERT_EQ(font.image->width % 32, 0);
  ASSERT_GE((font.image->width / 32) * (font.image->height / 32), 96) << "cells 0 to 95 inside the image";
  for (int32_t i = 0; i < font.image->width * font.image->height; ++i) {
    ASSERT_TRUE(font.image->pixels[i] == 0 || font.image->pixels[i] == 0xFFFFFF) << "1-bit ink only";
  }
  // Characters the scroll text is made of.
  std::vector<int> used = {32, 33, 34, 35, 38, 39, 41, 95};
  for (int c = 43; c <= 58; ++c) used.push_back(c);
  for (int c = 64; c <= 90; ++c) used.push_back(c);
  std::vector<std::vector<uint8_t>> glyphs;
  for (int code : used) {
    const std::vector<uint8_t> ink = font_cell(font, code);
    int count = 0, edge = 0;
    for (int y = 0; y < 32; ++y) {
      for (int x = 0; x < 32; ++x) {
        count += ink[static_cast<size_t>(y * 32 + x)];
        if (x == 0 || x == 31) edge += ink[static_cast<size_t>(y * 32 + x)];
      }
    }
    if (code == 32) {
      EXPECT_EQ(count, 0) << "the space has no ink";
      continue;
    }
    EXPECT_GT(count, 20) << "code " << code << " has no ink";
    EXPECT_LT(count, 32 * 32 * 8 / 10) << "code " << code << " is a blob";
    EXPECT_EQ(edge, 0) << "code " << code << " touches its neighbours";
    for (size_t i = 0; i < glyphs.size(); ++i) {
      EXPECT_NE(glyphs[i], ink) << "code " << code << " repeats a glyph";
    }
    glyphs.push_back(ink);
  }
  const std::vector<uint8_t> line_break = font_cell(font, 10);
  EXPECT_EQ(std::count(line_break.begin(), line_break.end(), 1), 0) << "a line break scrolls by as a blank cell";
}

TEST(Data, MusicModuleIsSoundByItsOwnSizeFieldsAndPlaysOnePass) {
  const std::string song = text_of(data_dir + "/duSkal-20080501.xm");
  ASSERT_FALSE(song.empty());
  const XmWalkResult w = xm_walk(reinterpret_cast<const uint8_t*>(song.data()), song.size());
  ASSERT_EQ(w.error, "");
  EXPECT_EQ(w.end, song.size());
  EXPECT_GE(w.channels, 1);
  EXPECT_LE(w.channels, 4) << "the first load gets 4 voices";
  EXPECT_EQ(w.position_jumps, 0) << "the song ends at the end of its order list";
  EXPECT_EQ(w.pattern_breaks, 0);
  EXPECT_GE(w.instruments, 5);
  long rows = 0;
  std::set<int> ordered;
  for (int o : w.orders) {
    rows += w.pattern_rows[static_cast<size_t>(o)];
    ordered.insert(o);
    EXPECT_GT(w.notes_per_pattern[static_cast<size_t>(o)], 0) << "pattern " << o << " is silent";
  }
  EXPECT_EQ(ordered.size(), static_cast<size_t>(w.patterns)) << "every stored pattern is played";
  const double seconds = static_cast<double>(rows) * w.speed * 2.5 / w.bpm;
  EXPECT_GE(seconds, 60.0);
  EXPECT_LE(seconds, 180.0);
}
