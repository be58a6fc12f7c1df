// vorngen: writes the intro's data files into the folder given on the
// command line, the same bytes on every run; with --icons, the icons
// vorndemo-N.png instead, N x N pixels for every N of icon_sizes.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/image.h"
#include "tools/art.h"
#include "tools/font_gen.h"
#include "tools/png_writer.h"
#include "tools/song.h"
#include "tools/xm_writer.h"

namespace {

std::string path_in(const char* folder, const char* file) { return std::string(folder) + "/" + file; }

bool write_pictures(const char* folder) {
  for (int32_t i = 0; i < art_picture_count; ++i) {
    Image* picture = art_draw(i);
    if (picture == nullptr) return false;
    const bool ok = img_save_ppm(picture, path_in(folder, art_file_name(i)).c_str()) == 1;
    img_destroy(&picture);
    if (!ok) return false;
  }
  return font_save_pbm(path_in(folder, "font32.pbm").c_str()) == 1;
}

bool write_music(const char* folder) {
  XmModule* song = song_compose();
  if (song == nullptr) return false;
  const bool ok = xm_save(song, path_in(folder, "duSkal-20080501.xm").c_str()) == 1;
  xm_destroy(&song);
  return ok;
}

// The sizes of the hicolor icon theme's folders, 16x16 to 256x256.
constexpr int32_t icon_sizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

bool write_icons(const char* folder) {
  for (int32_t size : icon_sizes) {
    std::vector<uint32_t> pixels(static_cast<size_t>(size) * static_cast<size_t>(size));
    const std::string name = "vorndemo-" + std::to_string(size) + ".png";
    if (!art_draw_icon(size, pixels.data()) ||
        png_save_rgba(path_in(folder, name.c_str()).c_str(), pixels.data(), size, size) != 1)
      return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--icons") == 0) {
    if (write_icons(argv[2])) return 0;
    std::fputs("vorngen: could not write the icons\n", stderr);
    return 1;
  }
  if (argc != 2) {
    std::fputs("usage: vorngen FOLDER | vorngen --icons FOLDER\n", stderr);
    return 2;
  }
  if (!write_pictures(argv[1]) || !write_music(argv[1])) {
    std::fputs("vorngen: could not write the data files\n", stderr);
    return 1;
  }
  return 0;
}
