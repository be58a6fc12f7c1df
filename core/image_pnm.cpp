// PNM codec: the file loader, the in-memory parser and the P6 writer.
//
// The loader and the parser share one header grammar but differ in small
// ways that callers rely on (see core/image.h): the parser leaves the
// character that ends a header number in place, skips "#" comments even
// right after a digit, rounds bitmap widths up to whole bytes, reads plain
// bitmap samples as single digits and addresses raw bitmaps over the whole
// pixel sequence instead of per row.
//
// Known limitations, on purpose: the maximum sample value is read but never
// applied, and raw samples are always one byte.
#include "core/image.h"
#include "core/image_internal.h"

#include <cstdio>

namespace {

constexpr uint32_t white = 0x00FFFFFF;

struct PnmHeader {
  int magic;       // '1' .. '6'
  int32_t width;
  int32_t height;
  int32_t maxval;  // kept for completeness, never applied
};

// The header scan's "seen" set.
constexpr int seen_magic = 1, seen_width = 2, seen_height = 4, seen_maxval = 8, seen_all = 15;

bool pnm_is_bitmap(int magic) { return magic == '1' || magic == '4'; }

// Reads the magic digit after "P"; false for anything but "1" to "6".
bool pnm_take_magic(PnmHeader* header, int* seen, int digit) {
  if (digit < '1' || digit > '6') return false;
  header->magic = digit;
  *seen |= seen_magic;
  if (pnm_is_bitmap(digit)) *seen |= seen_maxval;  // bitmaps have no maximum
  return true;
}

// Gives a header number to the first of width, height and maximum not yet
// seen; false when all three are taken and it is dropped.  With
// round_bitmap, a bitmap width read after the magic becomes whole bytes.
bool pnm_take_number(PnmHeader* header, int* seen, int32_t value, bool round_bitmap) {
  if ((*seen & seen_width) == 0) {
    if (round_bitmap && (*seen & seen_magic) != 0 && pnm_is_bitmap(header->magic)) {
      const int64_t rounded = (int64_t{value} + 7) / 8 * 8;
      value = rounded > INT32_MAX ? INT32_MAX : static_cast<int32_t>(rounded);
    }
    header->width = value;
    *seen |= seen_width;
  } else if ((*seen & seen_height) == 0) {
    header->height = value;
    *seen |= seen_height;
  } else if ((*seen & seen_maxval) == 0) {
    header->maxval = value;
    *seen |= seen_maxval;
  } else {
    return false;
  }
  return true;
}

size_t pnm_pixel_count(const Image* image) {
  return static_cast<size_t>(image->width) * static_cast<size_t>(image->height);
}

// Header scans skip everything outside "!" to "~".
bool pnm_is_printable(int c) { return c >= 0x21 && c <= 0x7E; }

// ---- file loader ----------------------------------------------------------

// Scans the header; false when it is bad or the file ends inside it.  The
// character that ends each number is consumed with it.
bool file_read_header(FILE* file, PnmHeader* header) {
  int seen = 0;
  while (seen != seen_all) {
    int c = std::getc(file);
    while (c != EOF && !pnm_is_printable(c)) c = std::getc(file);
    if (c == EOF) return false;
    if (c == 'P' && (seen & seen_magic) == 0) {
      if (!pnm_take_magic(header, &seen, std::getc(file))) return false;
    } else if (c == '#') {
      do c = std::getc(file); while (c != EOF && c != '\n');
      if (c == EOF) return false;
    } else {
      // A token that does not start with a digit counts as 0; its one
      // character has been consumed.
      int32_t value = 0;
      while (img_is_digit(c)) {
        value = img_add_digit(value, c - '0');
        c = std::getc(file);
      }
      pnm_take_number(header, &seen, value, false);
    }
  }
  return true;
}

// The next digit run of plain data; false at end of file.
bool file_read_sample(FILE* file, int32_t* sample) {
  int c = std::getc(file);
  while (c != EOF && !img_is_digit(c)) c = std::getc(file);
  if (c == EOF) return false;
  int32_t value = 0;
  while (img_is_digit(c)) {
    value = img_add_digit(value, c - '0');
    c = std::getc(file);
  }
  *sample = value;
  return true;
}

bool file_read_plain(FILE* file, int magic, Image* image) {
  const size_t count = pnm_pixel_count(image);
  uint32_t* pixels = image->pixels;
  int32_t r = 0, g = 0, b = 0;
  for (size_t i = 0; i < count; ++i) {
    if (!file_read_sample(file, &r)) return false;
    if (magic == '1') {
      pixels[i] = r != 0 ? white : 0;
    } else if (magic == '2') {
      pixels[i] = img_pack(static_cast<uint32_t>(r), static_cast<uint32_t>(r), static_cast<uint32_t>(r));
    } else {
      if (!file_read_sample(file, &g) || !file_read_sample(file, &b)) return false;
      pixels[i] = img_pack(static_cast<uint32_t>(r), static_cast<uint32_t>(g), static_cast<uint32_t>(b));
    }
  }
  return true;
}

// Raw data; a byte missing at the end of the file reads as -1, which sets
// every bit position.  Once one is missing all later ones are too, so the
// rest of the image is filled with what -1 makes.
void file_read_raw(FILE* file, int magic, Image* image) {
  const size_t count = pnm_pixel_count(image);
  uint32_t* pixels = image->pixels;
  size_t i = 0;
  uint32_t missing = 0xFFFFFFFF;
  if (magic == '4') {
    missing = white;
    // Each row starts on a new byte.
    const uint32_t width = static_cast<uint32_t>(image->width);
    uint32_t byte = 0;
    uint32_t x = 0;
    for (; i < count; ++i) {
      if (x % 8 == 0) {
        const int c = std::getc(file);
        if (c == EOF) break;
        byte = static_cast<uint32_t>(c);
      }
      pixels[i] = (byte & (128u >> (x % 8))) != 0 ? white : 0;
      if (++x == width) x = 0;
    }
  } else if (magic == '5') {
    for (; i < count; ++i) {
      const int v = std::getc(file);
      if (v == EOF) break;
      pixels[i] = img_pack(static_cast<uint32_t>(v), static_cast<uint32_t>(v), static_cast<uint32_t>(v));
    }
  } else {
    for (; i < count; ++i) {
      const int r = std::getc(file);
      const int g = std::getc(file);
      const int b = std::getc(file);
      if (r == EOF || g == EOF || b == EOF) break;
      pixels[i] = img_pack(static_cast<uint32_t>(r), static_cast<uint32_t>(g), static_cast<uint32_t>(b));
    }
  }
  for (; i < count; ++i) pixels[i] = missing;
}

Image* file_load(FILE* file) {
  PnmHeader header{};
  if (!file_read_header(file, &header)) return img_fail();
  if (header.width == 0 || header.height == 0) return img_fail();
  Image* image = img_new(header.width, header.height);
  if (image == nullptr) return nullptr;
  if (header.magic >= '4') {
    file_read_raw(file, header.magic, image);
  } else if (!file_read_plain(file, header.magic, image)) {
    img_destroy(&image);
    return img_fail();
  }
  return image;
}

// ---- memory parser --------------------------------------------------------

struct MemInput {
  const uint8_t* bytes;
  size_t size;  // SIZE_MAX for the unbounded form
  size_t pos;
  bool at_end() const { return pos >= size; }
  uint8_t peek() const { return bytes[pos]; }
  size_t left() const { return pos < size ? size - pos : 0; }
};

// Scans the header; false when it is bad or the input ends inside it.  The
// character that ends a number stays in place, and so does a stray one
// (it counts as 0 and is met again); one byte is skipped at the end.
bool mem_read_header(MemInput* in, PnmHeader* header) {
  int seen = 0;
  while (seen != seen_all) {
    while (!in->at_end() && !pnm_is_printable(in->peek())) ++in->pos;
    if (in->at_end()) return false;
    const uint8_t c = in->peek();
    if (c == 'P' && (seen & seen_magic) == 0) {
      if (++in->pos >= in->size) return false;
      if (!pnm_take_magic(header, &seen, in->bytes[in->pos++])) return false;
    } else if (c == '#') {
      while (!in->at_end() && in->peek() != '\n') ++in->pos;
      if (in->at_end()) return false;
      ++in->pos;
    } else if (img_is_digit(c)) {
      int32_t value = 0;
      while (!in->at_end() && img_is_digit(in->peek())) value = img_add_digit(value, in->bytes[in->pos++] - '0');
      pnm_take_number(header, &seen, value, true);
    } else if (!pnm_take_number(header, &seen, 0, true)) {
      // Only the magic is missing and the stray character would be met
      // for ever: a header without a magic.
      return false;
    }
  }
  ++in->pos;
  return true;
}

// The next digit run of plain data; false when the input ends first.
bool mem_read_sample(MemInput* in, int32_t* sample) {
  while (!in->at_end() && !img_is_digit(in->peek())) ++in->pos;
  if (in->at_end()) return false;
  int32_t value = 0;
  while (!in->at_end() && img_is_digit(in->peek())) value = img_add_digit(value, in->bytes[in->pos++] - '0');
  *sample = value;
  return true;
}

bool mem_read_plain(MemInput* in, int magic, Image* image) {
  const size_t count = pnm_pixel_count(image);
  uint32_t* pixels = image->pixels;
  int32_t r = 0, g = 0, b = 0;
  for (size_t i = 0; i < count; ++i) {
    if (magic == '1') {
      while (!in->at_end() && !img_is_digit(in->peek())) ++in->pos;
      if (in->at_end()) return false;
      pixels[i] = in->bytes[in->pos++] != '0' ? white : 0;
    } else if (magic == '2') {
      if (!mem_read_sample(in, &r)) return false;
      pixels[i] = img_pack(static_cast<uint32_t>(r), static_cast<uint32_t>(r), static_cast<uint32_t>(r));
    } else {
      if (!mem_read_sample(in, &r) || !mem_read_sample(in, &g) || !mem_read_sample(in, &b)) return false;
      pixels[i] = img_pack(static_cast<uint32_t>(r), static_cast<uint32_t>(g), static_cast<uint32_t>(b));
    }
  }
  return true;
}

// Raw data; the caller has checked that the input holds all of it.
void mem_read_raw(MemInput* in, int magic, Image* image) {
  const size_t count = pnm_pixel_count(image);
  uint32_t* pixels = image->pixels;
  const uint8_t* data = in->bytes + in->pos;
  if (magic == '4') {
    for (size_t j = 0; j < count; ++j) pixels[j] = (data[j / 8] & (128u >> (j % 8))) != 0 ? white : 0;
  } else if (magic == '5') {
    for (size_t j = 0; j < count; ++j) pixels[j] = img_pack(data[j], data[j], data[j]);
  } else {
    for (size_t j = 0; j < count; ++j, data += 3) pixels[j] = img_pack(data[0], data[1], data[2]);
  }
}

// The fewest bytes the pixel data of this header can take: one digit per
// plain sample, the packed bytes of raw data.
size_t mem_min_data(int magic, size_t count) {
  switch (magic) {
    case '3': case '6': return 3 * count;
    case '4': return (count + 7) / 8;
    default: return count;
  }
}

}  // namespace

Image* img_load_pnm(const char* path) {
  if (path == nullptr) return img_fail();
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return img_fail();
  Image* image = file_load(file);
  std::fclose(file);
  return image;
}

Image* img_parse_pnm(const uint8_t* bytes) {
  // No length: the caller vouches for a complete image.
  if (bytes == nullptr) return img_fail();
  return img_parse_pnm_n(bytes, SIZE_MAX);
}

Image* img_parse_pnm_n(const uint8_t* bytes, size_t size) {
  if (bytes == nullptr) return img_fail();
  MemInput in{bytes, size, 0};
  PnmHeader header{};
  if (!mem_read_header(&in, &header)) return img_fail();
  if (header.width == 0 || header.height == 0) return img_fail();
  if (!img_size_ok(header.width, header.height)) return img_fail();
  // Refuse input too short for its pixels before allocating for them.
  const size_t count = static_cast<size_t>(header.width) * static_cast<size_t>(header.height);
  if (in.left() < mem_min_data(header.magic, count)) return img_fail();
  Image* image = img_new(header.width, header.height);
  if (image == nullptr) return nullptr;
  if (header.magic >= '4') {
    mem_read_raw(&in, header.magic, image);
  } else if (!mem_read_plain(&in, header.magic, image)) {
    img_destroy(&image);
    return img_fail();
  }
  return image;
}

int img_save_ppm(const Image* image, const char* path) {
  const int64_t count = img_usable_count(image);
  if (count <= 0 || path == nullptr) return img_fail(0);
  FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return img_fail(0);
  std::fprintf(file, "P6\n%d %d\n255\n", static_cast<int>(image->width), static_cast<int>(image->height));
  uint8_t chunk[3 * 1024];
  size_t used = 0;
  for (int64_t i = 0; i < count; ++i) {
    const uint32_t p = image->pixels[i];
    chunk[used] = static_cast<uint8_t>(p >> 16);
    chunk[used + 1] = static_cast<uint8_t>(p >> 8);
    chunk[used + 2] = static_cast<uint8_t>(p);
    used += 3;
    if (used == sizeof chunk) {
      std::fwrite(chunk, 1, used, file);
      used = 0;
    }
  }
  std::fwrite(chunk, 1, used, file);
  // A full disk must not pass for a saved picture.
  const bool failed = std::ferror(file) != 0;
  if (std::fclose(file) != 0 || failed) return img_fail(0);
  return 1;
}
