#include "demo/mixer_driver.h"

namespace {

BOOL always_present() {
  return 1;
}

int nothing_to_reset() {
  return 0;
}

}  // namespace

MDRIVER mixer_driver(const char* name, const char* alias, int (*init)(), void (*exit)(), int (*play_start)(),
                     void (*play_stop)(), void (*update)()) {
  MDRIVER driver{};
  driver.Name = name;
  driver.Version = name;
  driver.HardVoiceLimit = 0;
  driver.SoftVoiceLimit = 255;
  driver.Alias = alias;
  driver.CmdLineHelp = "";
  driver.IsPresent = always_present;
  driver.SampleLoad = VC_SampleLoad;
  driver.SampleUnload = VC_SampleUnload;
  driver.FreeSampleSpace = VC_SampleSpace;
  driver.RealSampleLength = VC_SampleLength;
  driver.Init = init;
  driver.Exit = exit;
  driver.Reset = nothing_to_reset;
  driver.SetNumVoices = VC_SetNumVoices;
  driver.PlayStart = play_start;
  driver.PlayStop = play_stop;
  driver.Update = update;
  driver.VoiceSetVolume = VC_VoiceSetVolume;
  driver.VoiceGetVolume = VC_VoiceGetVolume;
  driver.VoiceSetFrequency = VC_VoiceSetFrequency;
  driver.VoiceGetFrequency = VC_VoiceGetFrequency;
  driver.VoiceSetPanning = VC_VoiceSetPanning;
  driver.VoiceGetPanning = VC_VoiceGetPanning;
  driver.VoicePlay = VC_VoicePlay;
  driver.VoiceStop = VC_VoiceStop;
  driver.VoiceStopped = VC_VoiceStopped;
  driver.VoiceGetPosition = VC_VoiceGetPosition;
  driver.VoiceRealVolume = VC_VoiceRealVolume;
  return driver;
}

int mixer_driver_select(MDRIVER* driver) {
  MikMod_RegisterDriver(driver);
  const int rank = MikMod_DriverFromAlias(driver->Alias);
  if (rank <= 0) return -1;
  md_device = static_cast<UWORD>(rank);
  return 0;
}

bool mixer_format_ok(int32_t rate) {
  const bool ok = (md_mode & DMODE_16BITS) != 0 && (md_mode & DMODE_STEREO) != 0 && (md_mode & DMODE_FLOAT) == 0 &&
                  (rate == 0 || md_mixfreq == rate);
  if (!ok) MikMod_errno = MMERR_INITIALIZING_MIXER;
  return ok;
}
