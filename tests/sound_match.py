"""Judges a recording of the intro's sound against libmikmod's own render
of the module: both 16-bit stereo at 44,100 Hz.

    sound_match.py RECORDING.raw RENDER.wav SILENT_FROM SILENT_TO [MUSIC_TO]

RECORDING is raw; SILENT_FROM and SILENT_TO are byte offsets into it of a
stretch that must be silent.  Two seconds from a quarter, the middle and
three quarters of the recorded music (up to the byte offset MUSIC_TO, where
given: what a test did to the program after it may break the music) are
found in the render by cross-correlation (through the FFT); one of the
three must match there: normalized correlation 0.99 or more, at the same
level.  (A moment in which the frames stop longer than the sound's margin
is a moment of silence, which would spoil the one piece it falls into.)
Prints what it found; exits 1 when a check fails."""
import sys
import wave

import numpy as np

RATE = 44100
STRETCH = 2 * RATE


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def main():
    recording_path, render_path, silent_from, silent_to = sys.argv[1:5]
    music_to = int(sys.argv[5]) // 4 if len(sys.argv) > 5 else None
    raw = np.fromfile(recording_path, dtype="<i2")
    recording = raw[: len(raw) // 2 * 2].reshape(-1, 2).astype(np.float64)
    with wave.open(render_path, "rb") as w:
        if (w.getnchannels(), w.getsampwidth(), w.getframerate()) != (2, 2, RATE):
            fail("the render is not 16-bit stereo at %d Hz" % RATE)
        render = np.frombuffer(w.readframes(w.getnframes()), dtype="<i2").reshape(-1, 2).astype(np.float64)

    loud = np.flatnonzero(np.abs(recording).max(axis=1) > 0)
    if len(loud) == 0:
        fail("the recording is silent")
    first, last = loud[0], loud[-1]
    if music_to is not None:
        last = min(last, music_to - 1)
    heard = (last - first + 1) / RATE
    print("music recorded: %.2f s (from %.2f s to %.2f s)" % (heard, first / RATE, (last + 1) / RATE))
    if last - first + 1 < 3 * STRETCH:
        fail("less than %d s of music was recorded" % (3 * STRETCH // RATE))

    size = 1 << int(np.ceil(np.log2(len(render) + STRETCH)))
    render_spectrum = np.fft.rfft(render[:, 0], size)
    best = None
    for quarter in (2, 1, 3):
        start = first + (last - first) * quarter // 4 - STRETCH // 2
        piece = recording[start : start + STRETCH]
        # Cross-correlation of the left channels by FFT; the best lag is
        # where the piece lies in the render.
        spectrum = render_spectrum * np.conj(np.fft.rfft(piece[:, 0], size))
        lags = np.fft.irfft(spectrum, size)[: len(render) - STRETCH + 1]
        lag = int(np.argmax(lags))
        match = render[lag : lag + STRETCH]
        r = float(np.sum(piece * match) / np.sqrt(np.sum(piece * piece) * np.sum(match * match)))
        level = float(np.sqrt(np.mean(piece * piece) / np.mean(match * match)))
        print("2 s from %.2f s of the recording match the render at %.4f s: correlation %.4f, level %.4f"
              % (start / RATE, lag / RATE, r, level))
        if best is None or r > best[0]:
            best = (r, level)
        if r >= 0.99:
            break
    r, level = best
    if r < 0.99:
        fail("the recording is not the module's music: correlation %.4f" % r)
    if not 0.98 <= level <= 1.02:
        fail("the recording plays at %.4f times the render's level" % level)

    lo, hi = int(silent_from) // 4, int(silent_to) // 4
    if hi - lo < RATE // 2:
        fail("the stretch to be silent is only %d samples" % (hi - lo))
    peak = float(np.abs(recording[lo:hi]).max())
    print("%.2f s recorded after the fade, before the exit: peak %d" % ((hi - lo) / RATE, peak))
    if peak > 0:
        fail("the recording is not silent after the fade (peak %d)" % peak)


main()
