// The XM writer on its own: the delta codec, the file structure read back
// by an independent walker, the modules it must refuse, and the pitch of a
// one-note file as libmikmod actually plays it.
#include "tools/xm_writer.h"

#include <gtest/gtest.h>
#include <mikmod.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "demo/frame_audio.h"
#include "tests/support.h"
#include "tests/xm_walk.h"

namespace {

struct Bytes {
  uint8_t* data = nullptr;
  size_t size = 0;
  ~Bytes() { std::free(data); }
};

uint32_t next_random(uint32_t* state) {
  *state = *state * 1664525u + 1013904223u;
  return *state >> 8;
}

// A module of one pattern of 32 rows and one instrument with a looped
// single-cycle sample; the note starts on row 0 of channel 0.
XmModule* one_note_module(uint8_t bits, const std::vector<int16_t>& cycle, uint8_t note, int8_t relnote,
                          int8_t finetune) {
  XmModule* m = xm_create(4, 1, 1);
  if (m == nullptr) return nullptr;
  std::snprintf(m->tracker, sizeof m->tracker, "xm writer test");
  if (!xm_pattern_alloc(m, 0, 32) ||
      !xm_sample_alloc(&m->instruments[0], static_cast<int32_t>(cycle.size()), bits)) {
    xm_destroy(&m);
    return nullptr;
  }
  XmSample& s = m->instruments[0].sample;
  for (size_t i = 0; i < cycle.size(); ++i) s.data[i] = cycle[i];
  s.loop_length = s.frames;
  s.loop_type = 1;
  s.volume = 48;
  s.panning = 128;
  s.relative_note = relnote;
  s.finetune = finetune;
  *xm_cell(m, 0, 0, 0) = XmCell{note, 1, 0, 0, 0};
  return m;
}

std::vector<int16_t> square_cycle(int n, int16_t level) {
  std::vector<int16_t> v(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) v[static_cast<size_t>(i)] = i < n / 2 ? level : static_cast<int16_t>(-level);
  return v;
}

std::vector<int16_t> saw_cycle(int n) {
  std::vector<int16_t> v(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) v[static_cast<size_t>(i)] = static_cast<int16_t>(-12000 + (24000 * i) / n);
  return v;
}

// Plays the module once through libmikmod's mixer, a frame of the frame
// driver at a time, into left (the left channel as -1 .. 1); empty on
// success, else the library's reason.  (libmikmod 3.3.13's WAV writer
// opens a file name that runs past its copy of the file= option.)
std::string render_with_libmikmod(const std::string& module_path, std::vector<double>* left) {
  static bool registered = false;
  if (!registered) {
    if (frame_audio_select() != 0) return "the frame driver was not taken";
    MikMod_RegisterLoader(&load_xm);
    registered = true;
  }
  md_mixfreq = frame_audio_rate;
  md_mode = DMODE_16BITS | DMODE_STEREO | DMODE_SOFT_MUSIC | DMODE_INTERP;
  if (MikMod_Init("") != 0) return MikMod_strerror(MikMod_errno);
  MODULE* module = Player_Load(module_path.c_str(), 4, 0);
  if (module == nullptr) {
    const std::string reason = MikMod_strerror(MikMod_errno);
    MikMod_Exit();
    return reason;
  }
  module->loop = 0;
  Player_Start(module);
  std::vector<int16_t> frame(1024 * frame_audio_channels);
  for (int i = 0; i < 20000 && Player_Active(); ++i) {
    frame_audio_mix(frame.data(), 1024);
    for (size_t k = 0; k < frame.size(); k += frame_audio_channels) left->push_back(frame[k] / 32768.0);
  }
  Player_Stop();
  Player_Free(module);
  MikMod_Exit();
  return "";
}

// Frequency from the rising zero crossings between from and to seconds,
// each crossing placed between its two samples by linear interpolation.
double zero_crossing_hz(const std::vector<double>& x, int rate, double from, double to) {
  const size_t a = static_cast<size_t>(from * rate);
  const size_t b = std::min(x.size(), static_cast<size_t>(to * rate));
  double first = -1.0, last = -1.0;
  int crossings = 0;
  for (size_t i = a + 1; i < b; ++i) {
    if (x[i - 1] < 0.0 && x[i] >= 0.0) {
      const double t = static_cast<double>(i - 1) + x[i - 1] / (x[i - 1] - x[i]);
      if (first < 0.0) first = t;
      last = t;
      ++crossings;
    }
  }
  if (crossings < 2) return 0.0;
  return (crossings - 1) * static_cast<double>(rate) / (last - first);
}

}  // namespace

TEST(XmWriter, DeltaCodecRoundTripsAndMatchesTheReferenceBytes) {
  // The reference file's first samples: +100, +100, then -100 (delta 0x38).
  const int16_t reference[] = {100, 100, -100};
  uint8_t coded[6] = {};
  ASSERT_EQ(xm_delta_encode(reference, 3, 8, coded), 3u);
  EXPECT_EQ(std::vector<uint8_t>(coded, coded + 3), (std::vector<uint8_t>{0x64, 0x00, 0x38}));
  ASSERT_EQ(xm_delta_encode(reference, 3, 16, coded), 6u);
  EXPECT_EQ(std::vector<uint8_t>(coded + 4, coded + 6), (std::vector<uint8_t>{0x38, 0xFF}));  // -200: 0xFF38

  for (uint8_t bits : {uint8_t{8}, uint8_t{16}}) {
    const int16_t lo = bits == 8 ? -128 : -32768;
    const int16_t hi = bits == 8 ? 127 : 32767;
    std::vector<int16_t> values;
    for (int i = 0; i < 64; ++i) values.push_back(i % 2 ? hi : lo);  // the largest steps, wrapping
    values.push_back(lo);
    values.push_back(lo);
    values.push_back(0);
    uint32_t state = 12345u;
    for (int i = 0; i < 4000; ++i) {
      const uint32_t r = next_random(&state);
      values.push_back(static_cast<int16_t>(bits == 8 ? static_cast<int>(r % 256u) - 128
                                                      : static_cast<int>(r % 65536u) - 32768));
    }
    const int32_t frames = static_cast<int32_t>(values.size());
    std::vector<uint8_t> bytes(values.size() * 2 + 8, 0xAA);
    ASSERT_EQ(xm_delta_encode(values.data(), frames, bits, bytes.data()), values.size() * (bits / 8u));
    EXPECT_EQ(bytes[values.size() * (bits / 8u)], 0xAA) << "wrote past its byte count";
    std::vector<int16_t> back(values.size(), 7);
    xm_delta_decode(bytes.data(), frames, bits, back.data());
    EXPECT_EQ(back, values) << int(bits) << "-bit";
  }
}

TEST(XmWriter, WrittenModuleWalksExactlyToItsEnd) {
  XmModule* m = xm_create(4, 3, 3);
  ASSERT_NE(m, nullptr);
  std::snprintf(m->name, sizeof m->name, "walk test");
  std::snprintf(m->tracker, sizeof m->tracker, "xm writer test");
  m->song_length = 4;
  const uint8_t orders[] = {0, 2, 1, 2};
  std::memcpy(m->orders, orders, sizeof orders);
  m->restart = 1;
  m->speed = 3;
  m->bpm = 140;
  ASSERT_TRUE(xm_pattern_alloc(m, 0, 64));
  ASSERT_TRUE(xm_pattern_alloc(m, 1, 32));
  ASSERT_TRUE(xm_pattern_alloc(m, 2, 1));
  // Cells with every combination of fields, including all-set ones.
  for (int row = 0; row < 64; ++row) {
    for (int ch = 0; ch < 4; ++ch) {
      const int k = row * 4 + ch;
      XmCell c{};
      if (k & 1) c.note = static_cast<uint8_t>(1 + k % 96);
      if (k & 2) c.instrument = static_cast<uint8_t>(1 + k % 3);
      if (k & 4) c.volume = static_cast<uint8_t>(0x10 + k % 65);
      if (k & 8) c.effect = 0x0A;
      if (k & 16) c.param = static_cast<uint8_t>(k);
      *xm_cell(m, 0, row, ch) = c;
    }
  }
  *xm_cell(m, 1, 31, 3) = XmCell{xm_note_off, 0, 0, 0x0F, 0x06};
  ASSERT_EQ(xm_cell(m, 1, 32, 0), nullptr);
  ASSERT_EQ(xm_cell(m, 1, 0, 4), nullptr);
  // Instrument 1: 16-bit looped sample with a volume envelope; 2: 8-bit
  // one-shot; 3: no sample at all.
  XmInstrument& a = m->instruments[0];
  ASSERT_TRUE(xm_sample_alloc(&a, 301, 16));
  for (int i = 0; i < 301; ++i) a.sample.data[i] = static_cast<int16_t>(i * 97 - 15000);
  a.sample.loop_start = 100;
  a.sample.loop_length = 201;
  a.sample.loop_type = 2;
  a.sample.volume = 64;
  a.volume_envelope = XmEnvelope{3, 1, 0, 0, xm_envelope_on | xm_envelope_sustain, {0, 10, 40}, {64, 32, 0}};
  a.fadeout = 0x200;
  XmInstrument& b = m->instruments[1];
  ASSERT_TRUE(xm_sample_alloc(&b, 77, 8));
  for (int i = 0; i < 77; ++i) b.sample.data[i] = static_cast<int16_t>((i * 37) % 256 - 128);
  b.sample.volume = 40;

  Bytes file;
  file.data = xm_serialize(m, &file.size);
  ASSERT_NE(file.data, nullptr);
  const XmWalkResult w = xm_walk(file.data, file.size);
  EXPECT_EQ(w.error, "");
  EXPECT_EQ(w.end, file.size);
  // Channels, song length, restart, speed, BPM and samples as written.
  EXPECT_EQ((std::vector<int>{w.channels, w.song_length, w.restart, w.speed, w.bpm, w.samples}),
            (std::vector<int>{4, 4, 1, 3, 140, 2}));
  EXPECT_EQ(w.orders, (std::vector<int>{0, 2, 1, 2}));
  EXPECT_EQ(w.pattern_rows, (std::vector<int>{64, 32, 1}));
  EXPECT_EQ(w.notes_per_pattern, (std::vector<int>{128, 0, 0}));
  // The 16-bit sample data sits at the end of instrument 1, delta coded.
  const size_t data_at = file.size - 33 - (263 + 40 + 77) - 602;
  std::vector<int16_t> back(301);
  xm_delta_decode(file.data + data_at, 301, 16, back.data());
  EXPECT_EQ(std::memcmp(back.data(), a.sample.data, 301 * sizeof(int16_t)), 0);

  // The walker itself notices a file one byte short or one byte long.
  EXPECT_NE(xm_walk(file.data, file.size - 1).error, "");
  std::vector<uint8_t> longer(file.data, file.data + file.size);
  longer.push_back(0);
  EXPECT_NE(xm_walk(longer.data(), longer.size()).error, "");
  xm_destroy(&m);
  EXPECT_EQ(m, nullptr);
  xm_destroy(&m);  // a null module is ignored
}

TEST(XmWriter, RefusesModulesThePlayersWouldDisagreeOn) {
  struct Case {
    const char* what;
    void (*spoil)(XmModule*);
  };
  const Case cases[] = {
      {"speed 0", [](XmModule* m) { m->speed = 0; }},
      {"speed 32", [](XmModule* m) { m->speed = 32; }},
      {"BPM 31", [](XmModule* m) { m->bpm = 31; }},
      {"song length 0", [](XmModule* m) { m->song_length = 0; }},
      {"order past the patterns", [](XmModule* m) { m->orders[0] = 1; }},
      {"restart at the song length", [](XmModule* m) { m->restart = 1; }},
      {"empty tracker name", [](XmModule* m) { m->tracker[0] = '\0'; }},
      {"note 98", [](XmModule* m) { xm_cell(m, 0, 3, 1)->note = 98; }},
      {"instrument 2 of 1", [](XmModule* m) { xm_cell(m, 0, 3, 1)->instrument = 2; }},
      {"volume byte 0x55", [](XmModule* m) { xm_cell(m, 0, 3, 1)->volume = 0x55; }},
      {"no sample anywhere", [](XmModule* m) {
         std::free(m->instruments[0].sample.data);
         m->instruments[0].sample = XmSample{};
       }},
      {"loop past the end", [](XmModule* m) { m->instruments[0].sample.loop_start = 1; }},
      {"loop without a loop type", [](XmModule* m) { m->instruments[0].sample.loop_type = 0; }},
      {"8-bit value out of range", [](XmModule* m) { m->instruments[0].sample.data[0] = 300; }},
      {"one-point envelope", [](XmModule* m) {
         m->instruments[0].volume_envelope = XmEnvelope{1, 0, 0, 0, xm_envelope_on, {0}, {64}};
       }},
      {"envelope x not rising", [](XmModule* m) {
         m->instruments[0].volume_envelope = XmEnvelope{2, 0, 0, 0, xm_envelope_on, {0, 0}, {64, 0}};
       }},
      {"fadeout above 0xFFF", [](XmModule* m) { m->instruments[0].fadeout = 0x1000; }},
  };
  for (const Case& c : cases) {
    XmModule* m = one_note_module(8, square_cycle(32, 100), 49, 0, 0);
    ASSERT_NE(m, nullptr);
    size_t size = 0;
    uint8_t* good = xm_serialize(m, &size);
    ASSERT_NE(good, nullptr) << "the unspoilt module of case " << c.what;
    std::free(good);
    c.spoil(m);
    size = 99;
    uint8_t* bad = xm_serialize(m, &size);
    EXPECT_EQ(bad, nullptr) << c.what;
    EXPECT_EQ(size, 0u) << c.what;
    std::free(bad);
    xm_destroy(&m);
  }
  EXPECT_EQ(xm_create(0, 1, 1), nullptr);
  EXPECT_EQ(xm_create(4, 0, 1), nullptr);
  EXPECT_EQ(xm_create(4, 1, 129), nullptr);
  EXPECT_EQ(xm_save(nullptr, "/tmp/never-written.xm"), 0);
}

TEST(XmWriter, OneNotePlaysAtItsPitchInLibmikmod) {
  struct Case {
    uint8_t bits;
    std::vector<int16_t> cycle;
    uint8_t note;
    int8_t relnote;
    int8_t finetune;
  };
  const Case cases[] = {
      {8, square_cycle(32, 100), 49, 0, 0},      // C-4 at 8363 Hz: 261.34 Hz
      {8, square_cycle(32, 100), 49, 7, 0},      // a fifth up
      {8, square_cycle(32, 100), 49, 0, -128},   // finetune -128: a semitone down
      {16, saw_cycle(64), 58, 12, 2},            // the generator's convention, A-4
      {16, square_cycle(64, 9000), 30, 12, 2},   // a low bass note
  };
  const Scratch scratch;
  ASSERT_FALSE(scratch.dir.empty());
  const std::string folder = scratch.dir.string();
  const std::string module_path = folder + "/tone.xm";
  for (const Case& c : cases) {
    XmModule* m = one_note_module(c.bits, c.cycle, c.note, c.relnote, c.finetune);
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(xm_save(m, module_path.c_str()), 1);
    xm_destroy(&m);
    std::vector<double> left;
    ASSERT_EQ(render_with_libmikmod(module_path, &left), "");
    const int rate = frame_audio_rate;
    ASSERT_GT(left.size(), static_cast<size_t>(3.5 * rate)) << "32 rows at 6/125 last 3.84 s";
    const double semitones = c.note - 49 + c.relnote + c.finetune / 128.0;
    const double expected = 8363.0 * std::pow(2.0, semitones / 12.0) / static_cast<double>(c.cycle.size());
    const double measured = zero_crossing_hz(left, rate, 0.5, 3.5);
    EXPECT_NEAR(measured, expected, expected * 0.005)
        << int(c.bits) << "-bit, note " << int(c.note) << ", relnote " << int(c.relnote) << ", finetune "
        << int(c.finetune);
  }
}
