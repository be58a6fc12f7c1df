// The composition.  Four channels: 0 melody (lead or pad), 1 arpeggiated
// chords, 2 bass, 3 drums (kick, snare and hi-hats share the channel, as on
// a four-voice machine).  One pattern is one section of four bars; a bar is
// 16 rows of sixteenth notes at speed 6, 128 BPM.
#include "tools/song.h"

#include <cstdio>
#include <cstring>

#include "tools/synth.h"

namespace {

constexpr int32_t channels = 4;
constexpr int32_t bar_rows = 16;
constexpr int32_t bars = 4;
constexpr int32_t section_rows = bar_rows * bars;

enum Channel : int32_t { ch_melody = 0, ch_arp = 1, ch_bass = 2, ch_drums = 3 };
enum Instrument : uint8_t {
  ins_lead = 1, ins_arp, ins_bass, ins_pad, ins_kick, ins_snare, ins_hat, ins_open_hat, ins_count = ins_open_hat
};

constexpr uint8_t fx_arpeggio = 0x0;
constexpr uint8_t fx_tone_porta = 0x3;

constexpr uint8_t note(int semitone, int octave) { return static_cast<uint8_t>(octave * 12 + semitone + 1); }
constexpr uint8_t volume(int v) { return static_cast<uint8_t>(0x10 + v); }

// A chord: the arpeggio's lowest note and its two steps above, the bass root.
struct Chord {
  const char* name;
  uint8_t arp_note;
  uint8_t arp_steps;  // the 0xy parameter
  uint8_t bass_note;
};

// Voiced so that the arpeggios stay between F3 and F4 and the bass roots
// between C2 and A2.
constexpr Chord chord_table[] = {
    {"Am", note(9, 3), 0x37, note(9, 2)},   // A3 C4 E4
    {"F", note(5, 3), 0x47, note(5, 2)},    // F3 A3 C4
    {"C", note(7, 3), 0x59, note(0, 2)},    // G3 C4 E4
    {"G", note(7, 3), 0x47, note(7, 2)},    // G3 B3 D4
    {"E", note(8, 3), 0x38, note(4, 2)},    // G#3 B3 E4
    {"Dm", note(9, 3), 0x58, note(2, 2)},   // A3 D4 F4
    {"Em", note(7, 3), 0x49, note(4, 2)},   // G3 B3 E4
};

// One section.  Figures are one letter per bar:
//   arpeggio  '-' rest, 'h' halves, 'q' quarters, 'e' eighths, 's' 3+3+2
//   bass      '-' rest, 'w' whole, 'h' halves, 'o' octave eighths, 'd' driving
// Drum bars are 16 characters: K k kick, S s snare, H h hi-hat, O open hat
// (capital letters loud), '.' nothing.  Melodies are "NOTE:rows" tokens, bars
// separated by '|', 'r' a rest (key off), '~' before a note a slide into it.
struct Section {
  const char* name;
  const char* chords;
  const char* melody;
  uint8_t melody_instrument;
  uint8_t melody_volume;
  const char* arp;
  uint8_t arp_volume;
  const char* bass;
  uint8_t bass_volume;
  const char* drums[bars];
};

constexpr const char* theme_a =
    "E4:4 A4:2 B4:2 C5:4 B4:2 A4:2 | C5:6 A4:2 F4:4 A4:2 C5:2 |"
    "G4:4 E4:2 G4:2 C5:6 D5:2 | B4:6 A4:2 G4:4 A4:2 B4:2";
constexpr const char* theme_b =
    "E4:4 A4:2 B4:2 C5:4 E5:4 | F5:4 E5:2 C5:2 A4:4 C5:4 |"
    "D5:4 B4:2 G4:2 B4:4 D5:4 | B4:6 G#4:2 E4:6 r:2";
constexpr const char* theme_b_high =
    "E4:4 A4:2 B4:2 C5:4 E5:4 | F5:4 E5:2 C5:2 A4:4 C5:4 |"
    "D5:4 B4:2 G4:2 B4:4 D5:4 | B4:4 G#4:4 E5:6 r:2";
constexpr const char* variation_a =
    "A4:3 C5:3 E5:2 D5:3 C5:3 B4:2 | C5:3 A4:3 F4:2 A4:3 C5:3 F5:2 |"
    "E5:3 D5:3 C5:2 G4:3 C5:3 E5:2 | D5:6 B4:2 G4:4 A4:2 B4:2";
constexpr const char* variation_b =
    "C5:3 B4:3 A4:2 E5:3 D5:3 C5:2 | A4:3 C5:3 F5:2 E5:3 C5:3 A4:2 |"
    "B4:3 D5:3 G5:4 F5:2 D5:2 B4:2 | G#4:4 B4:4 E5:6 r:2";
constexpr const char* bridge_a =
    "A4:12 ~C5:4 | B4:12 ~D5:4 | E5:8 D5:4 B4:4 | C5:14 r:2";
constexpr const char* bridge_b =
    "D5:12 ~F5:4 | E5:8 ~G5:8 | A5:8 G5:4 F5:4 | E5:4 D5:4 C5:4 B4:4";
constexpr const char* pad_intro = "E4:16 | F4:16 | E4:16 | D4:16";
constexpr const char* pad_turn = "E4:16 | F4:16 | D4:16 | E4:16";

constexpr const char* beat = "K.H.S.H.K.K.S.Hh";
constexpr const char* beat_open = "K.H.S.H.K.HKS.HO";
constexpr const char* beat_fill = "K.H.S.H.K.S.SsSS";
constexpr const char* beat_busy = "KhHhShHhKhKhShHh";
constexpr const char* beat_busy_fill = "KhHhShHhKhSsSsSS";
constexpr const char* beat_crash = "K.O.S.H.K.K.S.Hh";
constexpr const char* floor_beat = "K.h.K.h.K.h.K.h.";
constexpr const char* floor_fill = "K.h.K.h.S.s.SsSS";
constexpr const char* half_beat = "K.h.h.h.S.h.h.h.";
constexpr const char* half_turn = "K.h.h.h.S.h.K.h.";
constexpr const char* snare_eighths = "S.s.S.s.S.s.S.s.";
constexpr const char* snare_roll = "SsSsSSSSSSSSSSSS";
constexpr const char* hats = "..h...h...h...h.";
constexpr const char* hats_lead_in = "..h...h...h.s.ss";
constexpr const char* silence = "................";

constexpr Section sections[] = {
    {"intro", "Am F C G", pad_intro, ins_pad, 40, "qqqq", 26, "wwww", 34,
     {silence, silence, hats, hats_lead_in}},
    {"intro, drums", "Am F G E", pad_turn, ins_pad, 40, "qqqq", 30, "oooo", 38,
     {floor_beat, floor_beat, floor_beat, floor_fill}},
    {"theme", "Am F C G", theme_a, ins_lead, 54, "qqqq", 28, "dddd", 40,
     {beat, beat, beat, beat_open}},
    {"theme, answer", "Am F G E", theme_b, ins_lead, 54, "qqqq", 28, "dddd", 40,
     {beat, beat, beat, beat_fill}},
    {"theme again", "Am F C G", theme_a, ins_lead, 54, "eeee", 24, "oooo", 40,
     {beat_busy, beat_busy, beat_busy, beat_busy}},
    {"theme again, answer", "Am F G E", theme_b, ins_lead, 54, "eeee", 24, "oooo", 40,
     {beat_busy, beat_busy, beat_busy, beat_busy_fill}},
    {"variation", "Am F C G", variation_a, ins_lead, 52, "ssss", 28, "dddd", 40,
     {beat_crash, beat, beat, beat_open}},
    {"variation, answer", "Am F G E", variation_b, ins_lead, 52, "ssss", 28, "dddd", 40,
     {beat, beat, beat, beat_fill}},
    {"bridge", "F G Em Am", bridge_a, ins_lead, 50, "hhhh", 26, "hhhh", 38,
     {half_beat, half_beat, half_beat, half_turn}},
    {"bridge, build-up", "Dm Em F E", bridge_b, ins_lead, 52, "qqqq", 28, "oooo", 40,
     {half_beat, half_turn, snare_eighths, snare_roll}},
    {"return", "Am F C G", theme_a, ins_lead, 56, "eeee", 24, "dddd", 40,
     {beat_crash, beat_busy, beat_busy, beat_open}},
    {"return, answer", "Am F G E", theme_b_high, ins_lead, 56, "eeee", 24, "dddd", 40,
     {beat_busy, beat_busy, beat_busy, beat_fill}},
    {"outro", "Am F G E", pad_turn, ins_pad, 40, "qqqq", 28, "wwhw", 36,
     {floor_beat, floor_beat, hats, hats}},
};
constexpr int32_t section_count = static_cast<int32_t>(sizeof sections / sizeof sections[0]);

bool fail(const char* what, const char* where) {
  std::fprintf(stderr, "song: %s in \"%s\"\n", what, where);
  return false;
}

void put(XmModule* m, int32_t pattern, int32_t row, int32_t channel, const XmCell& cell) {
  XmCell* c = xm_cell(m, pattern, row, channel);
  if (c != nullptr) *c = cell;
}

const Chord* find_chord(const char* name, size_t length) {
  for (const Chord& c : chord_table) {
    if (std::strlen(c.name) == length && std::strncmp(c.name, name, length) == 0) return &c;
  }
  return nullptr;
}

// The four chords of a section, read from names separated by spaces.
bool read_chords(const Section& s, const Chord* out[bars]) {
  const char* p = s.chords;
  for (int32_t b = 0; b < bars; ++b) {
    while (*p == ' ') ++p;
    const char* start = p;
    while (*p != '\0' && *p != ' ') ++p;
    out[b] = find_chord(start, static_cast<size_t>(p - start));
    if (out[b] == nullptr) return fail("unknown chord", s.chords);
  }
  return true;
}

// Reads a note name such as "G#4" into an XM note; 0 when malformed.
uint8_t read_note(const char** text) {
  static constexpr int semitones[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
  const char* p = *text;
  if (*p < 'A' || *p > 'G') return 0;
  int semitone = semitones[*p - 'A'];
  ++p;
  if (*p == '#') {
    ++semitone;
    ++p;
  }
  if (*p < '0' || *p > '7') return 0;
  const int octave = *p - '0';
  *text = p + 1;
  return note(semitone, octave);
}

bool write_melody(XmModule* m, int32_t pattern, const Section& s) {
  const char* p = s.melody;
  int32_t row = 0;
  int32_t bar_end = bar_rows;
  while (*p != '\0') {
    if (*p == ' ') {
      ++p;
      continue;
    }
    if (*p == '|') {
      if (row != bar_end) return fail("bar of the wrong length", s.melody);
      bar_end += bar_rows;
      ++p;
      continue;
    }
    XmCell cell{};
    if (*p == 'r') {
      cell.note = xm_note_off;
      ++p;
    } else {
      const bool slide = *p == '~';
      if (slide) ++p;
      cell.note = read_note(&p);
      if (cell.note == 0) return fail("bad note", s.melody);
      cell.volume = volume(s.melody_volume);
      if (slide) {
        cell.effect = fx_tone_porta;
        cell.param = 0x0C;  // about three semitones within one row
      } else {
        cell.instrument = s.melody_instrument;
      }
    }
    if (*p != ':') return fail("missing length", s.melody);
    ++p;
    int32_t length = 0;
    while (*p >= '0' && *p <= '9') length = length * 10 + (*p++ - '0');
    if (length < 1 || row + length > bar_end) return fail("bad length", s.melody);
    put(m, pattern, row, ch_melody, cell);
    row += length;
  }
  if (row != section_rows || bar_end != section_rows) return fail("section of the wrong length", s.melody);
  return true;
}

bool is_arp_row(char style, int32_t r) {
  switch (style) {
    case 'h': return r % 8 == 0;
    case 'q': return r % 4 == 0;
    case 'e': return r % 2 == 0;
    case 's': return r == 0 || r == 3 || r == 6 || r == 8 || r == 11 || r == 14;
    default: return false;
  }
}

bool write_arpeggios(XmModule* m, int32_t pattern, const Section& s, const Chord* chords[bars]) {
  if (std::strlen(s.arp) != bars) return fail("arpeggio figures", s.arp);
  for (int32_t b = 0; b < bars; ++b) {
    const char style = s.arp[b];
    if (std::strchr("-hqes", style) == nullptr) return fail("arpeggio figure", s.arp);
    for (int32_t r = 0; r < bar_rows; ++r) {
      XmCell cell{};
      if (style == '-') {
        if (r == 0) cell.note = xm_note_off;
      } else {
        // The arpeggio effect has to be on every row, or the chord collapses
        // to its lowest note.
        cell.effect = fx_arpeggio;
        cell.param = chords[b]->arp_steps;
        if (is_arp_row(style, r)) {
          cell.note = chords[b]->arp_note;
          cell.instrument = ins_arp;
          cell.volume = volume(s.arp_volume);
        }
      }
      put(m, pattern, b * bar_rows + r, ch_arp, cell);
    }
  }
  return true;
}

// Bass figures: the row of each note and whether it is an octave up.
struct BassHit {
  int8_t row;
  int8_t octave_up;
};

bool write_bass(XmModule* m, int32_t pattern, const Section& s, const Chord* chords[bars]) {
  static constexpr BassHit whole[] = {{0, 0}};
  static constexpr BassHit halves[] = {{0, 0}, {8, 0}};
  static constexpr BassHit octaves[] = {{0, 0}, {2, 1}, {4, 0}, {6, 1}, {8, 0}, {10, 1}, {12, 0}, {14, 1}};
  static constexpr BassHit driving[] = {{0, 0}, {3, 0}, {6, 1}, {8, 0}, {10, 0}, {12, 1}, {14, 0}};
  if (std::strlen(s.bass) != bars) return fail("bass figures", s.bass);
  for (int32_t b = 0; b < bars; ++b) {
    const BassHit* hits = nullptr;
    size_t count = 0;
    switch (s.bass[b]) {
      case 'w': hits = whole; count = 1; break;
      case 'h': hits = halves; count = 2; break;
      case 'o': hits = octaves; count = 8; break;
      case 'd': hits = driving; count = 7; break;
      case '-': break;
      default: return fail("bass figure", s.bass);
    }
    if (hits == nullptr) {
      put(m, pattern, b * bar_rows, ch_bass, XmCell{xm_note_off, 0, 0, 0, 0});
      continue;
    }
    for (size_t i = 0; i < count; ++i) {
      XmCell cell{};
      cell.note = static_cast<uint8_t>(chords[b]->bass_note + 12 * hits[i].octave_up);
      cell.instrument = ins_bass;
      cell.volume = volume(hits[i].octave_up ? s.bass_volume - 6 : s.bass_volume);
      put(m, pattern, b * bar_rows + hits[i].row, ch_bass, cell);
    }
  }
  return true;
}

bool write_drums(XmModule* m, int32_t pattern, const Section& s) {
  for (int32_t b = 0; b < bars; ++b) {
    const char* bar = s.drums[b];
    if (std::strlen(bar) != bar_rows) return fail("drum bar of the wrong length", bar);
    for (int32_t r = 0; r < bar_rows; ++r) {
      uint8_t instrument = 0;
      int level = 0;
      switch (bar[r]) {
        case 'K': instrument = ins_kick; level = 64; break;
        case 'k': instrument = ins_kick; level = 44; break;
        case 'S': instrument = ins_snare; level = 56; break;
        case 's': instrument = ins_snare; level = 30; break;
        case 'H': instrument = ins_hat; level = 40; break;
        case 'h': instrument = ins_hat; level = 24; break;
        case 'O': instrument = ins_open_hat; level = 36; break;
        case '.': continue;
        default: return fail("drum letter", bar);
      }
      put(m, pattern, b * bar_rows + r, ch_drums, XmCell{note(0, 4), instrument, volume(level), 0, 0});
    }
  }
  return true;
}

bool write_section(XmModule* m, int32_t pattern, const Section& s) {
  const Chord* chords[bars];
  if (!xm_pattern_alloc(m, pattern, section_rows)) return false;
  return read_chords(s, chords) && write_melody(m, pattern, s) && write_arpeggios(m, pattern, s, chords) &&
         write_bass(m, pattern, s, chords) && write_drums(m, pattern, s);
}

// ---- instruments ----------------------------------------------------------

struct EnvelopePoint {
  uint16_t x;
  uint16_t y;
};

// A volume envelope that holds at its last point until the key is released.
void set_envelope(XmInstrument* ins, const EnvelopePoint* points, uint8_t count, uint16_t fadeout) {
  XmEnvelope& e = ins->volume_envelope;
  e.points = count;
  for (uint8_t i = 0; i < count; ++i) {
    e.x[i] = points[i].x;
    e.y[i] = points[i].y;
  }
  e.sustain = static_cast<uint8_t>(count - 1);
  e.flags = xm_envelope_on | xm_envelope_sustain;
  ins->fadeout = fadeout;
}

void name(XmInstrument* ins, const char* text) { std::snprintf(ins->name, sizeof ins->name, "%s", text); }

bool make_instruments(XmModule* m) {
  XmInstrument* in = m->instruments;
  XmInstrument* lead = &in[ins_lead - 1];
  XmInstrument* arp = &in[ins_arp - 1];
  XmInstrument* bass = &in[ins_bass - 1];
  XmInstrument* pad = &in[ins_pad - 1];
  if (!synth_lead(lead) || !synth_arp(arp) || !synth_bass(bass) || !synth_pad(pad) ||
      !synth_kick(&in[ins_kick - 1]) || !synth_snare(&in[ins_snare - 1]) || !synth_hat(&in[ins_hat - 1], false) ||
      !synth_hat(&in[ins_open_hat - 1], true)) {
    return false;
  }
  name(lead, "pulse lead");
  name(arp, "square arpeggio");
  name(bass, "saw bass");
  name(pad, "detuned pad");
  name(&in[ins_kick - 1], "sine kick");
  name(&in[ins_snare - 1], "noise snare");
  name(&in[ins_hat - 1], "closed hi-hat");
  name(&in[ins_open_hat - 1], "open hi-hat");

  static constexpr EnvelopePoint lead_env[] = {{0, 40}, {3, 64}, {14, 50}, {60, 42}};
  static constexpr EnvelopePoint arp_env[] = {{0, 64}, {6, 40}, {20, 24}, {48, 16}};
  static constexpr EnvelopePoint bass_env[] = {{0, 64}, {4, 54}, {16, 44}, {48, 38}};
  static constexpr EnvelopePoint pad_env[] = {{0, 0}, {24, 44}, {60, 60}, {100, 56}};
  set_envelope(lead, lead_env, 4, 0x300);
  set_envelope(arp, arp_env, 4, 0x400);
  set_envelope(bass, bass_env, 4, 0x600);
  set_envelope(pad, pad_env, 4, 0x100);
  // No instrument auto-vibrato: libmikmod 3.3.11 never plays the sine one
  // (it reads its table at the sample's position, not the voice's), later
  // releases do, and the intro must sound the same on both.

  lead->sample.panning = 0x70;
  pad->sample.panning = 0x68;
  arp->sample.panning = 0x98;
  in[ins_hat - 1].sample.panning = 0xA0;
  in[ins_open_hat - 1].sample.panning = 0xA8;
  in[ins_snare - 1].sample.panning = 0x88;
  return true;
}

}  // namespace

XmModule* song_compose() {
  XmModule* m = xm_create(channels, section_count, ins_count);
  if (m == nullptr) return nullptr;
  std::snprintf(m->name, sizeof m->name, "%s", "kolmira - vorn 2008");
  std::snprintf(m->tracker, sizeof m->tracker, "%s", "vorngen");
  m->speed = 6;
  m->bpm = 128;
  m->song_length = section_count;  // every section once, no jump back
  m->restart = 0;
  bool ok = make_instruments(m);
  for (int32_t i = 0; i < section_count && ok; ++i) {
    m->orders[i] = static_cast<uint8_t>(i);
    ok = write_section(m, i, sections[i]);
  }
  if (!ok) {
    std::fputs("song: composition failed\n", stderr);
    xm_destroy(&m);
  }
  return m;
}
