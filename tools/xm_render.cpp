// xmrender: plays a module once through libmikmod's software mixer, with
// the library's default mixer and player settings plus software mixing (as
// the intro plays it), writes the sound as a 16-bit stereo WAV file, and
// reports what the loader said and whether the player reached the end by
// itself.
//   xmrender MODULE OUT.wav [VOICES]     (VOICES defaults to 4)
// The mixer is asked for 32 KiB at a time, as the library's own WAV disk
// writer asks for it; that writer is not used: libmikmod 3.3.13 copies its
// file= option without the closing zero and opens a name that runs past
// the copy.  The library's silent driver hosts the mixer instead.
#include <mikmod.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr size_t chunk_bytes = 32768;  // one mixer call
constexpr uint32_t rate = 44100;
constexpr uint16_t channels = 2;
constexpr uint16_t sample_bytes = 2;

void put16(std::vector<uint8_t>* out, uint32_t v) {
  out->push_back(static_cast<uint8_t>(v));
  out->push_back(static_cast<uint8_t>(v >> 8));
}
void put32(std::vector<uint8_t>* out, uint32_t v) {
  put16(out, v & 0xFFFFu);
  put16(out, v >> 16);
}

// A canonical 44-byte PCM header followed by the samples (the mixer's
// 16-bit values in the machine's byte order, written little-endian); true
// when the whole file was written.
bool write_wav(const char* path, const std::vector<uint8_t>& mixed) {
  std::vector<uint8_t> data;
  data.reserve(mixed.size());
  for (size_t i = 0; i + 1 < mixed.size(); i += 2) {
    uint16_t value = 0;
    std::memcpy(&value, mixed.data() + i, sizeof value);
    put16(&data, value);
  }
  std::vector<uint8_t> head{'R', 'I', 'F', 'F'};
  put32(&head, static_cast<uint32_t>(36 + data.size()));
  for (char c : std::string("WAVEfmt ")) head.push_back(static_cast<uint8_t>(c));
  put32(&head, 16);
  put16(&head, 1);  // PCM
  put16(&head, channels);
  put32(&head, rate);
  put32(&head, rate * channels * sample_bytes);
  put16(&head, channels * sample_bytes);
  put16(&head, sample_bytes * 8);
  for (char c : std::string("data")) head.push_back(static_cast<uint8_t>(c));
  put32(&head, static_cast<uint32_t>(data.size()));
  FILE* f = std::fopen(path, "wb");
  if (f == nullptr) return false;
  const bool written = std::fwrite(head.data(), 1, head.size(), f) == head.size() &&
                       std::fwrite(data.data(), 1, data.size(), f) == data.size();
  return std::fclose(f) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    std::fputs("usage: xmrender MODULE OUT.wav [VOICES]\n", stderr);
    return 2;
  }
  const int voices = argc == 4 ? std::atoi(argv[3]) : 4;
  MikMod_RegisterDriver(&drv_nos);
  MikMod_RegisterAllLoaders();
  md_device = static_cast<UWORD>(MikMod_DriverFromAlias(const_cast<char*>("nosound")));
  md_mode |= DMODE_SOFT_MUSIC | DMODE_SOFT_SNDFX | DMODE_16BITS | DMODE_STEREO;
  md_mixfreq = rate;
  if (md_device == 0 || MikMod_Init("") != 0) {
    std::fprintf(stderr, "xmrender: could not start the mixer: %s\n", MikMod_strerror(MikMod_errno));
    return 1;
  }
  MODULE* module = Player_Load(argv[1], voices, 0);
  if (module == nullptr) {
    std::fprintf(stderr, "xmrender: could not load the module: %s\n", MikMod_strerror(MikMod_errno));
    MikMod_Exit();
    return 1;
  }
  std::printf("channels %d\nsong length %d\nspeed %d\nbpm %d\ninstruments %d\nsamples %d\n",
              module->numchn, module->numpos, module->initspeed, module->inittempo, module->numins,
              module->numsmp);
  // One pass at the initial speed and tempo, from the order list as loaded.
  long rows = 0;
  for (int i = 0; i < module->numpos; ++i) rows += module->pattrows[module->positions[i]];
  std::printf("rows %ld\nnominal seconds %.3f\n", rows, rows * module->initspeed * 2.5 / module->inittempo);
  // The library's defaults, as the intro has them: a backward jump would
  // loop for ever (and be reported below), the end of the order list stops.
  Player_Start(module);
  long updates = 0;
  std::vector<uint8_t> sound;
  // Each update mixes 32 KiB (0.186 s at 44.1 kHz): 1100 of them are a
  // little over the 180 s one pass of the intro's music may last.
  while (Player_Active() && updates < 1100) {
    sound.resize(sound.size() + chunk_bytes);
    const ULONG mixed = VC_WriteBytes(reinterpret_cast<SBYTE*>(sound.data() + sound.size() - chunk_bytes),
                                      chunk_bytes);
    sound.resize(sound.size() - chunk_bytes + mixed);
    ++updates;
  }
  const bool ended = !Player_Active();
  Player_Stop();
  Player_Free(module);
  MikMod_Exit();
  if (!write_wav(argv[2], sound)) {
    std::fprintf(stderr, "xmrender: could not write %s\n", argv[2]);
    return 1;
  }
  if (!ended) {
    std::fputs("xmrender: the module did not end\n", stderr);
    return 1;
  }
  std::printf("ended after %ld updates\n", updates);
  return 0;
}
