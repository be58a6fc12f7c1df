// xmrender: plays a module once through libmikmod's WAV disk writer, with
// the library's default mixer and player settings plus software mixing (as
// the intro plays it), and reports what the loader said and whether the
// player reached the end by itself.
//   xmrender MODULE OUT.wav [VOICES]     (VOICES defaults to 4)
#include <mikmod.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    std::fputs("usage: xmrender MODULE OUT.wav [VOICES]\n", stderr);
    return 2;
  }
  const int voices = argc == 4 ? std::atoi(argv[3]) : 4;
  MikMod_RegisterDriver(&drv_wav);
  MikMod_RegisterAllLoaders();
  md_device = static_cast<UWORD>(MikMod_DriverFromAlias(const_cast<char*>("wav")));
  md_mode |= DMODE_SOFT_MUSIC | DMODE_16BITS | DMODE_STEREO;
  md_mixfreq = 44100;
  const std::string options = std::string("file=") + argv[2];
  if (md_device == 0 || MikMod_Init(options.c_str()) != 0) {
    std::fprintf(stderr, "xmrender: could not start the WAV writer: %s\n", MikMod_strerror(MikMod_errno));
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
  // Each update mixes 32 KiB (0.186 s at 44.1 kHz): 1100 of them are a
  // little over the 180 s one pass of the intro's music may last.
  while (Player_Active() && updates < 1100) {
    MikMod_Update();
    ++updates;
  }
  const bool ended = !Player_Active();
  Player_Stop();
  Player_Free(module);
  MikMod_Exit();  // writes the WAV sizes
  if (!ended) {
    std::fputs("xmrender: the module did not end\n", stderr);
    return 1;
  }
  std::printf("ended after %ld updates\n", updates);
  return 0;
}
