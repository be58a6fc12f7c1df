// The program's own libmikmod output drivers all mix with the library's
// software mixer and differ only in where its sound goes: the capture's and
// the web page's on demand, the desktop's into SDL's audio.  This fills in
// the rest of such a driver and selects it.
#pragma once

#include <mikmod.h>

#include <cstdint>

// A driver of the given name and alias (both static text) with these
// hooks; every voice and sample operation is the software mixer's (VC_*),
// the driver is always present and its reset does nothing.
MDRIVER mixer_driver(const char* name, const char* alias, int (*init)(), void (*exit)(), int (*play_start)(),
                     void (*play_stop)(), void (*update)());
// Registers the driver and makes it the one MikMod_Init starts (md_device).
// Call it before music_start; the later MikMod_RegisterAllDrivers leaves it
// first in the list.  Returns 0, or -1 when the library would not take it.
int mixer_driver_select(MDRIVER* driver);
// Whether the library is set to mix 16-bit integer stereo, at `rate`
// samples a second unless rate is 0; if not, MikMod_errno says so.
bool mixer_format_ok(int32_t rate);
