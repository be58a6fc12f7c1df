// A reader of XM files for the tests, independent of the writer: it moves
// through the file only by the size fields the file itself states, decodes
// every pattern cell and checks the rules that the three players need.
// Players accept truncated or overlong files silently, so this is the check
// that the bytes are exactly what the fields say.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

struct XmWalkResult {
  std::string error;  // empty when the file is sound
  int channels = 0, song_length = 0, restart = 0, patterns = 0, instruments = 0;
  int speed = 0, bpm = 0;
  std::vector<int> orders;
  std::vector<int> pattern_rows;
  std::vector<int> notes_per_pattern;  // cells with a note 1..96
  int position_jumps = 0;               // Bxx effects anywhere
  int pattern_breaks = 0;               // Dxx effects anywhere
  int samples = 0;
  size_t end = 0;  // where the walk stopped
};

namespace xm_walk_detail {

struct Reader {
  const uint8_t* data;
  size_t size;
  size_t pos;
  bool past_end;
};

inline uint32_t take(Reader* r, int bytes) {
  uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) {
    if (r->pos >= r->size) {
      r->past_end = true;
      return 0;
    }
    v |= static_cast<uint32_t>(r->data[r->pos++]) << (8 * i);
  }
  return v;
}

inline bool valid_volume_byte(uint8_t v) { return v == 0 || (v >= 0x10 && v <= 0x50) || v >= 0x60; }

// Effect types that every player keeps (libxmp blanks some of the others).
inline bool valid_effect(uint8_t e) {
  static constexpr uint8_t blanked[] = {18, 19, 22, 23, 24, 26, 28, 30, 31, 32};
  if (e > 33) return false;
  for (uint8_t b : blanked) {
    if (e == b) return false;
  }
  return true;
}

inline std::string walk_patterns(Reader* r, XmWalkResult* out) {
  for (int p = 0; p < out->patterns; ++p) {
    const size_t start = r->pos;
    const uint32_t header = take(r, 4);
    const uint32_t packing = take(r, 1);
    const uint32_t rows = take(r, 2);
    const uint32_t packed = take(r, 2);
    if (r->past_end) return "pattern header past the end";
    if (header != 9 || packing != 0) return "pattern header";
    if (rows < 1 || rows > 256) return "pattern rows";
    r->pos = start + header;
    const size_t data_start = r->pos;
    const uint32_t cells = rows * static_cast<uint32_t>(out->channels);
    int notes = 0;
    for (uint32_t c = 0; c < cells; ++c) {
      uint8_t note = 0, instrument = 0, volume = 0, effect = 0;
      const uint32_t first = take(r, 1);
      if (first & 0x80u) {
        if (first & 0x60u) return "packing flag bits 5 and 6";
        if (first & 0x01u) note = static_cast<uint8_t>(take(r, 1));
        if (first & 0x02u) instrument = static_cast<uint8_t>(take(r, 1));
        if (first & 0x04u) volume = static_cast<uint8_t>(take(r, 1));
        if (first & 0x08u) effect = static_cast<uint8_t>(take(r, 1));
        if (first & 0x10u) take(r, 1);
      } else {
        note = static_cast<uint8_t>(first);
        instrument = static_cast<uint8_t>(take(r, 1));
        volume = static_cast<uint8_t>(take(r, 1));
        effect = static_cast<uint8_t>(take(r, 1));
        take(r, 1);
      }
      if (r->past_end) return "pattern data past the end";
      if (note > 97) return "note above key off";
      if (instrument > out->instruments) return "instrument number above the count";
      if (!valid_volume_byte(volume)) return "volume-column byte";
      if (!valid_effect(effect)) return "effect type";
      if (note >= 1 && note <= 96) ++notes;
      if (effect == 0x0B) ++out->position_jumps;
      if (effect == 0x0D) ++out->pattern_breaks;
    }
    if (r->pos - data_start != packed) return "packed size does not match the cells";
    out->pattern_rows.push_back(static_cast<int>(rows));
    out->notes_per_pattern.push_back(notes);
  }
  return "";
}

// An envelope of the instrument block (file offsets 33 .. 262 of the
// instrument); the offsets passed are those of the file layout.
inline std::string walk_envelope(const uint8_t* block, int points_offset, int count_offset, int marks_offset,
                                 int type_offset, int max_y) {
  const int base = points_offset - 33;
  const int points = block[count_offset - 33];
  const int sustain = block[marks_offset - 33];
  const int loop_start = block[marks_offset - 33 + 1];
  const int loop_end = block[marks_offset - 33 + 2];
  const int type = block[type_offset - 33];
  if (type == 0) return "";
  if ((type & 1) == 0 || type > 7) return "envelope type bits";
  if (points < 2 || points > 12) return "enabled envelope with fewer than 2 or more than 12 points";
  if ((type & 2) && sustain >= points) return "envelope sustain point";
  if ((type & 4) && (loop_start > loop_end || loop_end >= points)) return "envelope loop points";
  int last_x = -1;
  for (int i = 0; i < points; ++i) {
    const int x = block[base + 4 * i] | (block[base + 4 * i + 1] << 8);
    const int y = block[base + 4 * i + 2] | (block[base + 4 * i + 3] << 8);
    if ((i == 0 && x != 0) || x <= last_x) return "envelope x not rising from 0";
    if (y > max_y) return "envelope y";
    last_x = x;
  }
  return "";
}

inline std::string walk_instruments(Reader* r, XmWalkResult* out) {
  for (int i = 0; i < out->instruments; ++i) {
    const size_t start = r->pos;
    const uint32_t size = take(r, 4);
    r->pos += 22 + 1;  // name, type
    const uint32_t samples = take(r, 2);
    const uint32_t sample_header = take(r, 4);
    if (r->past_end || r->pos > r->size) return "instrument header past the end";
    if (samples == 0) {
      if (size != 33 && size != 29) return "size of an instrument without samples";
      r->pos = start + size;
      continue;
    }
    if (size != 263 || sample_header != 40 || samples > 16) return "instrument or sample-header size";
    if (start + size > r->size) return "instrument header past the end";
    const uint8_t* block = r->data + start + 33;  // offsets 33 .. 262
    for (int k = 0; k < 96; ++k) {
      if (block[k] >= samples) return "keymap names a missing sample";
    }
    std::string e = walk_envelope(block, 129, 225, 227, 233, 64);
    if (e.empty()) e = walk_envelope(block, 177, 226, 230, 234, 63);
    if (!e.empty()) return e;
    for (int k = 241 - 33; k < 263 - 33; ++k) {
      if (block[k] != 0) return "reserved instrument bytes";
    }
    r->pos = start + size;
    std::vector<uint32_t> lengths;
    for (uint32_t s = 0; s < samples; ++s) {
      const uint32_t length = take(r, 4);
      const uint32_t loop_start = take(r, 4);
      const uint32_t loop_length = take(r, 4);
      const uint32_t volume = take(r, 1);
      take(r, 1);  // finetune
      const uint32_t type = take(r, 1);
      take(r, 1);  // panning
      take(r, 1);  // relative note
      const uint32_t reserved = take(r, 1);
      r->pos += 22;
      if (r->past_end || r->pos > r->size) return "sample header past the end";
      if (reserved != 0) return "sample reserved byte";
      if (volume > 64) return "sample volume";
      if (type & ~0x13u) return "sample type bits";
      if ((type & 0x10u) && (length % 2 || loop_start % 2 || loop_length % 2)) return "odd 16-bit length";
      if (loop_start > length || loop_length > length - loop_start) return "loop past the sample";
      if ((loop_length == 0) != ((type & 0x03u) == 0)) return "loop bits and loop length disagree";
      lengths.push_back(length);
    }
    for (uint32_t length : lengths) {
      if (length > r->size - r->pos) return "sample data past the end";
      r->pos += length;
      ++out->samples;
    }
  }
  return "";
}

}  // namespace xm_walk_detail

// Walks the whole file; result.error names the first rule broken.
inline XmWalkResult xm_walk(const uint8_t* data, size_t size) {
  using namespace xm_walk_detail;
  XmWalkResult out;
  Reader r{data, size, 0, false};
  if (size < 336) {
    out.error = "shorter than a module header";
    return out;
  }
  if (std::memcmp(data, "Extended Module: ", 17) != 0 || data[37] != 0x1A) {
    out.error = "identification";
    return out;
  }
  bool named = false;
  for (int i = 38; i < 58; ++i) named = named || (data[i] != ' ' && data[i] != 0);
  r.pos = 58;
  const uint32_t version = take(&r, 2);
  const uint32_t header = take(&r, 4);
  out.song_length = static_cast<int>(take(&r, 2));
  out.restart = static_cast<int>(take(&r, 2));
  out.channels = static_cast<int>(take(&r, 2));
  out.patterns = static_cast<int>(take(&r, 2));
  out.instruments = static_cast<int>(take(&r, 2));
  const uint32_t flags = take(&r, 2);
  out.speed = static_cast<int>(take(&r, 2));
  out.bpm = static_cast<int>(take(&r, 2));
  for (int i = 0; i < out.song_length && i < 256; ++i) out.orders.push_back(data[80 + i]);
  if (!named) out.error = "empty tracker name";
  else if (version != 0x0104 || header != 276) out.error = "version or header size";
  else if (flags != 1) out.error = "flags (linear table expected)";
  else if (out.channels < 1 || out.channels > 32) out.error = "channel count";
  else if (out.speed < 1 || out.speed > 31 || out.bpm < 32 || out.bpm > 255) out.error = "speed or BPM";
  else if (out.song_length < 1 || out.song_length > 256) out.error = "song length";
  else if (out.restart >= out.song_length) out.error = "restart position";
  else if (out.patterns < 1 || out.patterns > 256) out.error = "pattern count";
  else if (out.instruments < 1 || out.instruments > 128) out.error = "instrument count";
  for (int o : out.orders) {
    if (out.error.empty() && o >= out.patterns) out.error = "order names a missing pattern";
  }
  if (!out.error.empty()) return out;
  r.pos = 60 + header;
  out.error = walk_patterns(&r, &out);
  if (out.error.empty()) out.error = walk_instruments(&r, &out);
  if (out.error.empty() && out.samples == 0) out.error = "no samples at all";
  out.end = r.pos;
  if (out.error.empty() && r.pos != size) out.error = "the walk does not end at the end of the file";
  return out;
}
