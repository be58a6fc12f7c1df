// The XM writer: a FastTracker 2 v1.04 module held as plain records and
// turned into the bytes of an .xm file.  It writes only the subset that
// libmikmod, libopenmpt and libxmp play alike: a linear frequency table,
// every pattern cell packed, one sample per instrument (or none), 8- or
// 16-bit delta-coded sample data.  Every refused argument or module prints
// "XM error\n" on standard error and the call returns null or 0.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr int32_t xm_max_channels = 32;
inline constexpr int32_t xm_max_patterns = 256;
inline constexpr int32_t xm_max_instruments = 128;
inline constexpr int32_t xm_max_rows = 256;
inline constexpr int32_t xm_max_envelope_points = 12;
inline constexpr uint8_t xm_note_off = 97;  // notes are 1 (C-0) .. 96 (B-7)

// Envelope flag bits, as stored in the file.
inline constexpr uint8_t xm_envelope_on = 1;
inline constexpr uint8_t xm_envelope_sustain = 2;
inline constexpr uint8_t xm_envelope_loop = 4;

struct XmCell {
  uint8_t note;        // 0 none, 1..96, 97 key off
  uint8_t instrument;  // 0 none, 1..instrument count
  uint8_t volume;      // volume-column byte, 0 none
  uint8_t effect;      // effect type 0..35 (letters G.. are letter - 55)
  uint8_t param;
};

struct XmPattern {
  int32_t rows;    // 1..256
  XmCell* cells;   // owned, rows x channels, row by row
};

struct XmEnvelope {
  uint8_t points;      // 0 when unused, else 2..12
  uint8_t sustain;     // point indices
  uint8_t loop_start;
  uint8_t loop_end;
  uint8_t flags;       // xm_envelope_* bits
  uint16_t x[xm_max_envelope_points];  // ticks, x[0] = 0, strictly rising
  uint16_t y[xm_max_envelope_points];  // 0..64 (volume) or 0..63 (panning)
};

struct XmSample {
  int32_t frames;       // 0: the instrument has no sample
  uint8_t bits;         // 8 or 16
  int16_t* data;        // owned, frames values; 8-bit samples hold -128..127
  int32_t loop_start;   // frames
  int32_t loop_length;  // frames, 0 = one-shot
  uint8_t loop_type;    // 1 forward, 2 ping-pong (ignored when loop_length is 0)
  uint8_t volume;       // 0..64
  int8_t finetune;      // 1/128 semitone
  uint8_t panning;      // 0..255, 128 centre
  int8_t relative_note; // semitones added to the played note
};

struct XmInstrument {
  char name[23];        // up to 22 characters
  XmSample sample;
  XmEnvelope volume_envelope;
  XmEnvelope panning_envelope;
  uint16_t fadeout;     // 0..0x0FFF
  uint8_t vibrato_type, vibrato_sweep, vibrato_depth, vibrato_rate;
};

struct XmModule {
  char name[21];        // up to 20 characters
  char tracker[21];     // up to 20 characters, must not be empty
  int32_t channels;     // 1..32
  int32_t speed;        // ticks per row, 1..31
  int32_t bpm;          // 32..255
  int32_t song_length;  // orders used, 1..256
  int32_t restart;      // < song_length
  uint8_t orders[256];
  int32_t pattern_count;
  XmPattern* patterns;        // owned, pattern_count records
  int32_t instrument_count;
  XmInstrument* instruments;  // owned; instrument n of the cells is entry n - 1
};

// New zero-filled module of the given counts (channels 1..32, patterns
// 1..256, instruments 1..128) with speed 6, BPM 125, song length 1, or null.
XmModule* xm_create(int32_t channels, int32_t patterns, int32_t instruments);
// Frees the module, its patterns and samples and nulls *module; null is ignored.
void xm_destroy(XmModule** module);
// Gives pattern index rows (1..256) empty cells, replacing any old ones; 1 or 0.
int xm_pattern_alloc(XmModule* module, int32_t index, int32_t rows);
// The cell at (row, channel) of a pattern, or null outside the pattern.
XmCell* xm_cell(XmModule* module, int32_t pattern, int32_t row, int32_t channel);
// Gives the instrument a zero-filled sample of frames (1..2^24) values of
// bits 8 or 16, replacing any old one; 1 or 0.
int xm_sample_alloc(XmInstrument* instrument, int32_t frames, uint8_t bits);

// Delta-codes frames values into frames x bits / 8 bytes at out (8-bit
// values are taken modulo 256, 16-bit little-endian); returns the byte count.
size_t xm_delta_encode(const int16_t* values, int32_t frames, uint8_t bits, uint8_t* out);
// The inverse: frames values from frames x bits / 8 delta-coded bytes
// (8-bit results sign-extended to -128..127).
void xm_delta_decode(const uint8_t* bytes, int32_t frames, uint8_t bits, int16_t* out);

// The whole file in a malloc'ed buffer of *size bytes, or null (with *size
// 0) when the module breaks one of the rules in the records' comments.
uint8_t* xm_serialize(const XmModule* module, size_t* size);
// Writes xm_serialize's bytes to path; 1 on success, 0 after a report.
int xm_save(const XmModule* module, const char* path);
