// The XM writer: validation of the module records and their serialisation,
// field by field, little-endian.
#include "tools/xm_writer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int32_t max_sample_frames = int32_t{1} << 24;
constexpr int32_t header_size = 276;       // counted from offset 60: 20 + 256 orders
constexpr int32_t pattern_header_size = 9;
constexpr int32_t instrument_size = 263;   // with one sample
constexpr int32_t empty_instrument_size = 33;
constexpr int32_t sample_header_size = 40;
constexpr int32_t max_packed_size = 32767;  // libmikmod reads the field as signed
constexpr uint8_t max_effect = 35;

int xm_fail() {
  std::fputs("XM error\n", stderr);
  return 0;
}

template <typename T>
T* xm_fail_null() {
  xm_fail();
  return nullptr;
}

// ---- byte buffer ----------------------------------------------------------

struct Bytes {
  uint8_t* data;
  size_t size;
  size_t capacity;
  bool failed;  // set once an allocation fails; later writes do nothing
};

bool bytes_reserve(Bytes* b, size_t extra) {
  if (b->failed) return false;
  if (b->size + extra <= b->capacity) return true;
  size_t capacity = b->capacity == 0 ? 4096 : b->capacity;
  while (capacity < b->size + extra) capacity *= 2;
  uint8_t* data = static_cast<uint8_t*>(std::realloc(b->data, capacity));
  if (data == nullptr) {
    b->failed = true;
    return false;
  }
  b->data = data;
  b->capacity = capacity;
  return true;
}

void put_u8(Bytes* b, uint8_t v) {
  if (!bytes_reserve(b, 1)) return;
  b->data[b->size++] = v;
}

void put_u16(Bytes* b, uint32_t v) {
  put_u8(b, static_cast<uint8_t>(v & 0xFFu));
  put_u8(b, static_cast<uint8_t>((v >> 8) & 0xFFu));
}

void put_u32(Bytes* b, uint32_t v) {
  put_u16(b, v & 0xFFFFu);
  put_u16(b, v >> 16);
}

// A fixed-width text field, padded with spaces or NULs.
void put_text(Bytes* b, const char* text, size_t width, char pad) {
  const size_t length = strnlen(text, width);
  for (size_t i = 0; i < width; ++i) put_u8(b, static_cast<uint8_t>(i < length ? text[i] : pad));
}

void patch_u16(Bytes* b, size_t at, uint32_t v) {
  if (b->failed) return;
  b->data[at] = static_cast<uint8_t>(v & 0xFFu);
  b->data[at + 1] = static_cast<uint8_t>((v >> 8) & 0xFFu);
}

// ---- validation -----------------------------------------------------------

bool cell_valid(const XmCell& c, int32_t instruments) {
  if (c.note > xm_note_off) return false;
  if (c.instrument > instruments) return false;
  if (c.volume != 0 && (c.volume < 0x10 || (c.volume > 0x50 && c.volume < 0x60))) return false;
  return c.effect <= max_effect;
}

bool envelope_valid(const XmEnvelope& e, uint16_t max_y) {
  if (e.points == 0) return e.flags == 0;
  if (e.points < 2 || e.points > xm_max_envelope_points) return false;
  if (e.flags > (xm_envelope_on | xm_envelope_sustain | xm_envelope_loop)) return false;
  if (e.sustain >= e.points || e.loop_end >= e.points || e.loop_start > e.loop_end) return false;
  if (e.x[0] != 0) return false;
  for (int i = 0; i < e.points; ++i) {
    if (e.y[i] > max_y) return false;
    if (i > 0 && e.x[i] <= e.x[i - 1]) return false;
  }
  return true;
}

bool sample_valid(const XmSample& s) {
  if (s.frames == 0) return true;
  if (s.frames < 0 || s.frames > max_sample_frames || s.data == nullptr) return false;
  if (s.bits != 8 && s.bits != 16) return false;
  if (s.volume > 64) return false;
  if (s.loop_start < 0 || s.loop_length < 0 || s.loop_start > s.frames - s.loop_length) return false;
  if (s.loop_length > 0 && s.loop_type != 1 && s.loop_type != 2) return false;
  if (s.bits == 8) {
    for (int32_t i = 0; i < s.frames; ++i) {
      if (s.data[i] < -128 || s.data[i] > 127) return false;
    }
  }
  return true;
}

bool instrument_valid(const XmInstrument& ins) {
  return sample_valid(ins.sample) && envelope_valid(ins.volume_envelope, 64) &&
         envelope_valid(ins.panning_envelope, 63) && ins.fadeout <= 0x0FFF &&
         ins.vibrato_type <= 3 && ins.vibrato_depth <= 15 && ins.vibrato_rate <= 63;
}

bool module_valid(const XmModule* m) {
  if (m->channels < 1 || m->channels > xm_max_channels) return false;
  if (m->speed < 1 || m->speed > 31 || m->bpm < 32 || m->bpm > 255) return false;
  if (m->song_length < 1 || m->song_length > 256) return false;
  if (m->restart < 0 || m->restart >= m->song_length) return false;
  if (strnlen(m->tracker, sizeof m->tracker) == 0) return false;
  if (m->pattern_count < 1 || m->pattern_count > xm_max_patterns || m->patterns == nullptr) return false;
  if (m->instrument_count < 1 || m->instrument_count > xm_max_instruments || m->instruments == nullptr) {
    return false;
  }
  for (int32_t i = 0; i < m->song_length; ++i) {
    if (m->orders[i] >= m->pattern_count) return false;
  }
  for (int32_t p = 0; p < m->pattern_count; ++p) {
    const XmPattern& pat = m->patterns[p];
    if (pat.cells == nullptr || pat.rows < 1 || pat.rows > xm_max_rows) return false;
    const int32_t cells = pat.rows * m->channels;
    for (int32_t i = 0; i < cells; ++i) {
      if (!cell_valid(pat.cells[i], m->instrument_count)) return false;
    }
  }
  bool any_sample = false;
  for (int32_t i = 0; i < m->instrument_count; ++i) {
    if (!instrument_valid(m->instruments[i])) return false;
    any_sample = any_sample || m->instruments[i].sample.frames > 0;
  }
  return any_sample;  // libmikmod refuses a module without samples
}

// ---- sections -------------------------------------------------------------

void put_header(Bytes* b, const XmModule* m) {
  put_text(b, "Extended Module: ", 17, ' ');
  put_text(b, m->name, 20, ' ');
  put_u8(b, 0x1A);
  put_text(b, m->tracker, 20, ' ');
  put_u16(b, 0x0104);
  put_u32(b, header_size);
  put_u16(b, static_cast<uint32_t>(m->song_length));
  put_u16(b, static_cast<uint32_t>(m->restart));
  put_u16(b, static_cast<uint32_t>(m->channels));
  put_u16(b, static_cast<uint32_t>(m->pattern_count));
  put_u16(b, static_cast<uint32_t>(m->instrument_count));
  put_u16(b, 1);  // linear frequency table
  put_u16(b, static_cast<uint32_t>(m->speed));
  put_u16(b, static_cast<uint32_t>(m->bpm));
  for (int i = 0; i < 256; ++i) put_u8(b, i < m->song_length ? m->orders[i] : 0);
}

void put_cell(Bytes* b, const XmCell& c) {
  uint8_t flags = 0x80;
  if (c.note != 0) flags |= 0x01;
  if (c.instrument != 0) flags |= 0x02;
  if (c.volume != 0) flags |= 0x04;
  if (c.effect != 0) flags |= 0x08;
  if (c.param != 0) flags |= 0x10;
  put_u8(b, flags);
  if (c.note != 0) put_u8(b, c.note);
  if (c.instrument != 0) put_u8(b, c.instrument);
  if (c.volume != 0) put_u8(b, c.volume);
  if (c.effect != 0) put_u8(b, c.effect);
  if (c.param != 0) put_u8(b, c.param);
}

// Writes one pattern; false when its packed data would not fit the field.
bool put_pattern(Bytes* b, const XmPattern& p, int32_t channels) {
  put_u32(b, pattern_header_size);
  put_u8(b, 0);  // packing type
  put_u16(b, static_cast<uint32_t>(p.rows));
  const size_t size_at = b->size;
  put_u16(b, 0);
  const size_t start = b->size;
  const int32_t cells = p.rows * channels;
  for (int32_t i = 0; i < cells; ++i) put_cell(b, p.cells[i]);
  const size_t packed = b->size - start;
  if (packed > static_cast<size_t>(max_packed_size)) return false;
  patch_u16(b, size_at, static_cast<uint32_t>(packed));
  return true;
}

void put_envelope_points(Bytes* b, const XmEnvelope& e) {
  for (int i = 0; i < xm_max_envelope_points; ++i) {
    const bool used = i < e.points;
    put_u16(b, used ? e.x[i] : 0);
    put_u16(b, used ? e.y[i] : 0);
  }
}

void put_sample_header(Bytes* b, const XmInstrument& ins) {
  const XmSample& s = ins.sample;
  const uint32_t unit = s.bits == 16 ? 2u : 1u;
  const bool looped = s.loop_length > 0;
  put_u32(b, static_cast<uint32_t>(s.frames) * unit);
  put_u32(b, looped ? static_cast<uint32_t>(s.loop_start) * unit : 0);
  put_u32(b, looped ? static_cast<uint32_t>(s.loop_length) * unit : 0);
  put_u8(b, s.volume);
  put_u8(b, static_cast<uint8_t>(s.finetune));
  put_u8(b, static_cast<uint8_t>((looped ? s.loop_type : 0) | (s.bits == 16 ? 0x10 : 0)));
  put_u8(b, s.panning);
  put_u8(b, static_cast<uint8_t>(s.relative_note));
  put_u8(b, 0);  // reserved: anything else reads as ADPCM in two players
  put_text(b, ins.name, 22, '\0');
}

void put_instrument(Bytes* b, const XmInstrument& ins) {
  const bool has_sample = ins.sample.frames > 0;
  put_u32(b, has_sample ? instrument_size : empty_instrument_size);
  put_text(b, ins.name, 22, '\0');
  put_u8(b, 0);  // type
  put_u16(b, has_sample ? 1 : 0);
  put_u32(b, sample_header_size);
  if (!has_sample) return;
  for (int i = 0; i < 96; ++i) put_u8(b, 0);  // every note plays sample 0
  put_envelope_points(b, ins.volume_envelope);
  put_envelope_points(b, ins.panning_envelope);
  const XmEnvelope& v = ins.volume_envelope;
  const XmEnvelope& p = ins.panning_envelope;
  put_u8(b, v.points);
  put_u8(b, p.points);
  put_u8(b, v.sustain);
  put_u8(b, v.loop_start);
  put_u8(b, v.loop_end);
  put_u8(b, p.sustain);
  put_u8(b, p.loop_start);
  put_u8(b, p.loop_end);
  put_u8(b, v.flags);
  put_u8(b, p.flags);
  put_u8(b, ins.vibrato_type);
  put_u8(b, ins.vibrato_sweep);
  put_u8(b, ins.vibrato_depth);
  put_u8(b, ins.vibrato_rate);
  put_u16(b, ins.fadeout);
  for (int i = 0; i < 22; ++i) put_u8(b, 0);  // reserved
  put_sample_header(b, ins);
  const size_t bytes = static_cast<size_t>(ins.sample.frames) * (ins.sample.bits / 8u);
  if (!bytes_reserve(b, bytes)) return;
  b->size += xm_delta_encode(ins.sample.data, ins.sample.frames, ins.sample.bits, b->data + b->size);
}

}  // namespace

XmModule* xm_create(int32_t channels, int32_t patterns, int32_t instruments) {
  if (channels < 1 || channels > xm_max_channels || patterns < 1 || patterns > xm_max_patterns ||
      instruments < 1 || instruments > xm_max_instruments) {
    return xm_fail_null<XmModule>();
  }
  XmModule* m = static_cast<XmModule*>(std::calloc(1, sizeof(XmModule)));
  if (m == nullptr) return xm_fail_null<XmModule>();
  m->patterns = static_cast<XmPattern*>(std::calloc(static_cast<size_t>(patterns), sizeof(XmPattern)));
  m->instruments =
      static_cast<XmInstrument*>(std::calloc(static_cast<size_t>(instruments), sizeof(XmInstrument)));
  if (m->patterns == nullptr || m->instruments == nullptr) {
    std::free(m->patterns);
    std::free(m->instruments);
    std::free(m);
    return xm_fail_null<XmModule>();
  }
  m->channels = channels;
  m->pattern_count = patterns;
  m->instrument_count = instruments;
  m->speed = 6;
  m->bpm = 125;
  m->song_length = 1;
  return m;
}

void xm_destroy(XmModule** module) {
  if (module == nullptr || *module == nullptr) return;
  XmModule* m = *module;
  for (int32_t i = 0; i < m->pattern_count; ++i) std::free(m->patterns[i].cells);
  for (int32_t i = 0; i < m->instrument_count; ++i) std::free(m->instruments[i].sample.data);
  std::free(m->patterns);
  std::free(m->instruments);
  std::free(m);
  *module = nullptr;
}

int xm_pattern_alloc(XmModule* module, int32_t index, int32_t rows) {
  if (module == nullptr || index < 0 || index >= module->pattern_count || rows < 1 || rows > xm_max_rows) {
    return xm_fail();
  }
  const size_t cells = static_cast<size_t>(rows) * static_cast<size_t>(module->channels);
  XmCell* data = static_cast<XmCell*>(std::calloc(cells, sizeof(XmCell)));
  if (data == nullptr) return xm_fail();
  std::free(module->patterns[index].cells);
  module->patterns[index].cells = data;
  module->patterns[index].rows = rows;
  return 1;
}

XmCell* xm_cell(XmModule* module, int32_t pattern, int32_t row, int32_t channel) {
  if (module == nullptr || pattern < 0 || pattern >= module->pattern_count) return nullptr;
  XmPattern& p = module->patterns[pattern];
  if (p.cells == nullptr || row < 0 || row >= p.rows || channel < 0 || channel >= module->channels) {
    return nullptr;
  }
  return &p.cells[static_cast<size_t>(row) * static_cast<size_t>(module->channels) + static_cast<size_t>(channel)];
}

int xm_sample_alloc(XmInstrument* instrument, int32_t frames, uint8_t bits) {
  if (instrument == nullptr || frames < 1 || frames > max_sample_frames || (bits != 8 && bits != 16)) {
    return xm_fail();
  }
  int16_t* data = static_cast<int16_t*>(std::calloc(static_cast<size_t>(frames), sizeof(int16_t)));
  if (data == nullptr) return xm_fail();
  std::free(instrument->sample.data);
  instrument->sample.data = data;
  instrument->sample.frames = frames;
  instrument->sample.bits = bits;
  return 1;
}

size_t xm_delta_encode(const int16_t* values, int32_t frames, uint8_t bits, uint8_t* out) {
  if (values == nullptr || out == nullptr || frames < 0) return 0;
  // Differences are taken on unsigned values so that wrap-around is defined.
  uint16_t old = 0;
  size_t n = 0;
  for (int32_t i = 0; i < frames; ++i) {
    const uint16_t v = static_cast<uint16_t>(values[i]);
    const uint16_t d = static_cast<uint16_t>(v - old);
    old = v;
    out[n++] = static_cast<uint8_t>(d & 0xFFu);
    if (bits == 16) out[n++] = static_cast<uint8_t>(d >> 8);
  }
  return n;
}

void xm_delta_decode(const uint8_t* bytes, int32_t frames, uint8_t bits, int16_t* out) {
  if (bytes == nullptr || out == nullptr || frames < 0) return;
  uint16_t acc = 0;
  size_t n = 0;
  for (int32_t i = 0; i < frames; ++i) {
    uint16_t d = bytes[n++];
    if (bits == 16) d = static_cast<uint16_t>(d | (bytes[n++] << 8));
    acc = static_cast<uint16_t>(acc + d);
    if (bits == 16) {
      out[i] = static_cast<int16_t>(acc);
    } else {
      const uint8_t low = static_cast<uint8_t>(acc & 0xFFu);
      out[i] = static_cast<int16_t>(static_cast<int8_t>(low));
    }
  }
}

uint8_t* xm_serialize(const XmModule* module, size_t* size) {
  if (size != nullptr) *size = 0;
  if (module == nullptr || size == nullptr || !module_valid(module)) return xm_fail_null<uint8_t>();
  Bytes b{};
  put_header(&b, module);
  bool fits = true;
  for (int32_t i = 0; i < module->pattern_count && fits; ++i) {
    fits = put_pattern(&b, module->patterns[i], module->channels);
  }
  for (int32_t i = 0; i < module->instrument_count && fits; ++i) put_instrument(&b, module->instruments[i]);
  if (b.failed || !fits) {
    std::free(b.data);
    return xm_fail_null<uint8_t>();
  }
  *size = b.size;
  return b.data;
}

int xm_save(const XmModule* module, const char* path) {
  if (path == nullptr) return xm_fail();
  size_t size = 0;
  uint8_t* bytes = xm_serialize(module, &size);
  if (bytes == nullptr) return 0;
  FILE* f = std::fopen(path, "wb");
  const bool ok = f != nullptr && std::fwrite(bytes, 1, size, f) == size;
  const bool closed = f != nullptr && std::fclose(f) == 0;
  std::free(bytes);
  if (!ok || !closed) return xm_fail();
  return 1;
}
