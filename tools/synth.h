// The instrument synthesiser of the generator: fills XM instruments with
// waveforms and drum sounds made from plain arithmetic (own sine and
// exponential from detmath.h, a fixed-seed noise source), so the samples come
// out the same bit for bit on every run and every IEEE-754 machine.
#pragma once

#include <cstdint>

#include "tools/xm_writer.h"

// Looped tones are built from 64-sample cycles (relative note +12, so that
// note C-4 sounds at middle C); one-shot drums are made at these rates and
// triggered on C-4.
inline constexpr int32_t synth_cycle = 64;
inline constexpr int32_t synth_drum_rate = 33452;  // 8363 x 4: relative note +24

// A pulse lead whose duty sweeps 12 % .. 50 % .. 12 % over a 128-cycle loop.
int synth_lead(XmInstrument* ins);
// A mellow square (band-limited, 50 % duty) for arpeggios.
int synth_arp(XmInstrument* ins);
// A bass: a saw with a strengthened fundamental, softened at the top.
int synth_bass(XmInstrument* ins);
// A pad of two saws detuned by about +-14 cents against each other.
int synth_pad(XmInstrument* ins);
// A sine kick whose pitch sweeps from about 170 Hz down to 45 Hz.
int synth_kick(XmInstrument* ins);
// A snare: a falling tone body under a burst of filtered noise.
int synth_snare(XmInstrument* ins);
// A hi-hat of high-passed noise; open when open is true, else closed.
int synth_hat(XmInstrument* ins, bool open);
