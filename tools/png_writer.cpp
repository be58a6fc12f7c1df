#include "tools/png_writer.h"

#include <array>
#include <cstdio>
#include <string>

namespace {

constexpr std::array<uint32_t, 256> crc_table = [] {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1u) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}();

uint32_t crc32_of(const std::string& bytes) {
  uint32_t c = 0xFFFFFFFFu;
  for (unsigned char b : bytes) c = crc_table[(c ^ b) & 0xFFu] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

uint32_t adler32_of(const std::string& bytes) {
  uint32_t a = 1, b = 0;
  for (unsigned char byte : bytes) {
    a = (a + byte) % 65521u;
    b = (b + a) % 65521u;
  }
  return b << 16 | a;
}

void put_be32(std::string* out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<char>((v >> shift) & 0xFFu));
}

void put_le16(std::string* out, uint32_t v) {
  out->push_back(static_cast<char>(v & 0xFFu));
  out->push_back(static_cast<char>((v >> 8) & 0xFFu));
}

// A chunk: length, type, data, CRC of type and data.
void put_chunk(std::string* out, const char* type, const std::string& data) {
  put_be32(out, static_cast<uint32_t>(data.size()));
  const std::string body = std::string(type, 4) + data;
  out->append(body);
  put_be32(out, crc32_of(body));
}

// A zlib stream holding raw in stored deflate blocks of at most 65535 bytes.
std::string zlib_stored(const std::string& raw) {
  std::string out = "\x78\x01";
  size_t at = 0;
  do {
    const size_t length = raw.size() - at < 65535 ? raw.size() - at : 65535;
    const bool last = at + length == raw.size();
    out.push_back(last ? '\x01' : '\x00');
    put_le16(&out, static_cast<uint32_t>(length));
    put_le16(&out, static_cast<uint32_t>(~length & 0xFFFFu));
    out.append(raw, at, length);
    at += length;
  } while (at < raw.size());
  put_be32(&out, adler32_of(raw));
  return out;
}

}  // namespace

int png_save_rgba(const char* path, const uint32_t* pixels, int32_t width, int32_t height) {
  if (path == nullptr || pixels == nullptr || width <= 0 || height <= 0 || width > 8192 || height > 8192) return 0;
  std::string header;
  put_be32(&header, static_cast<uint32_t>(width));
  put_be32(&header, static_cast<uint32_t>(height));
  header.append("\x08\x06\x00\x00\x00", 5);  // 8 bits, RGBA, deflate, filter 0, no interlace
  std::string raw;
  raw.reserve(static_cast<size_t>(height) * (1 + 4 * static_cast<size_t>(width)));
  for (int32_t y = 0; y < height; ++y) {
    raw.push_back('\0');  // no filter
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t p = pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
      for (int shift : {16, 8, 0, 24}) raw.push_back(static_cast<char>((p >> shift) & 0xFFu));
    }
  }
  std::string png = "\x89PNG\r\n\x1a\n";
  put_chunk(&png, "IHDR", header);
  put_chunk(&png, "IDAT", zlib_stored(raw));
  put_chunk(&png, "IEND", "");
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return 0;
  const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
  return std::fclose(file) == 0 && written ? 1 : 0;
}
