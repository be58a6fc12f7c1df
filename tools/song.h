// The intro's music: an original four-channel piece in A minor, composed
// here as data (chords, melodies, bass and drum figures per bar) and
// written out as an XM module with synthesised instruments.
#pragma once

#include "tools/xm_writer.h"

// The whole module, or null (after a message on standard error) when memory
// runs out or the composition data is malformed.
XmModule* song_compose();
