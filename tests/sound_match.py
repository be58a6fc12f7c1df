"""Judges a recording of the intro's sound against libmikmod's own render
of the module: both 16-bit stereo at 44,100 Hz.

    sound_match.py [--near] RECORDING.raw RENDER.wav [SILENT_FROM SILENT_TO]

RECORDING is raw; SILENT_FROM and SILENT_TO are byte offsets into it of a
stretch that must be silent, if given.  From the first sound on, every recorded
sample must be the render's next one, sample for sample.  Where the output
ran dry (a stalled machine) the server played silence, and the music must
go on after it from where it left off, give or take what the server
dropped to catch up (at most a tenth of a second); where the server fell
behind it may have put silence in the place of samples, in one channel or
both.  Such gaps and dropouts are counted and reported, never a repeat, a
sound out of place or a changed sample.
At least six seconds of music must be there.  With --near (for Wine, which
may resample on its way, and whose sound has gaps and garbled pieces where
its mixer falls behind on a loaded machine), each half second of the music
is looked for in the render instead, by cross-correlation near where the
one before it lay: half of them or more must match (normalized correlation
0.99 or more), at the same level.  Prints what it found; exits 1 when a
check fails."""
import sys
import wave

import numpy as np

RATE = 44100
MIN_SECONDS = 6
MAX_DROP = RATE // 10  # samples the server may drop after a gap
RESUME = 64            # samples that must match where the music goes on


class Mismatch(Exception):
    """The recording is not the render."""


def fail(message):
    raise Mismatch(message)


def sounding(samples):
    """Indices of the stereo samples that are not silent."""
    return np.flatnonzero(np.any(samples != 0, axis=1))


def sound_span(recording):
    """The first and the last sounding sample of the recording."""
    loud = sounding(recording)
    if len(loud) == 0:
        fail("the recording is silent")
    return loud[0], loud[-1]


def resumed(recording, i, render, j):
    """Where in render[j:j + MAX_DROP] the recording's samples from i go on,
    or None."""
    piece = recording[i:i + RESUME]
    window = render[j:j + MAX_DROP + len(piece)]
    for k in np.flatnonzero(np.all(window[:MAX_DROP] == piece[0], axis=1)):
        if np.array_equal(window[k:k + len(piece)], piece):
            return j + k
    return None


def silenced(recording, i, render, j):
    """How many samples from i on hold silence, in one channel or both, in
    the place of the render's, before the two are the same again for RESUME
    samples (at most MAX_DROP); None when that is not what happened."""
    window = min(MAX_DROP + RESUME, len(recording) - i, len(render) - j)
    here, there = recording[i:i + window], render[j:j + window]
    same = np.all(here == there, axis=1)
    quiet = np.all((here == there) | (here == 0), axis=1)
    end = np.flatnonzero(~quiet)
    end = end[0] if len(end) else window
    for k in np.flatnonzero(same[:end + 1]):
        if k + RESUME <= window and np.all(same[k:k + RESUME]):
            return int(k)
    return None


def elsewhere(recording, i, render, j):
    """Where else in the render the recording's samples from i lie, nearest
    the render's sample j first, said as a clause: a repeat (they were heard
    before) or a skip (the render's samples between were never heard);
    empty when they are nowhere in it."""
    piece = recording[i:i + RESUME]
    for k in sorted(np.flatnonzero(np.all(render == piece[0], axis=1)), key=lambda k: abs(k - j)):
        if np.array_equal(render[k:k + len(piece)], piece):
            shift = int(k - j)
            return ("; it goes on as the render %d samples (%.3f s) %s: %s" %
                    (abs(shift), abs(shift) / RATE, "before" if shift < 0 else "after",
                     "a repeat" if shift < 0 else "a skip"))
    return ""


def walk(recording, render):
    """The recording from its first to its last sound against the render
    from its first sound: the gaps (recording second, samples of silence,
    samples dropped; silence in the place of samples counts as all of them
    dropped) and the render's samples heard."""
    i, last = sound_span(recording)
    j = sounding(render)[0]
    gaps = []
    heard = 0
    while True:
        n = min(last + 1 - i, len(render) - j)
        if n <= 0:
            fail("the recording goes on %.2f s past the end of the render" % ((last + 1 - i) / RATE))
        differ = np.flatnonzero(np.any(recording[i:i + n] != render[j:j + n], axis=1))
        if len(differ) == 0:
            return gaps, heard + n
        i, j, heard = i + differ[0], j + differ[0], heard + differ[0]
        lost = silenced(recording, i, render, j)
        if lost is not None:
            gaps.append((i / RATE, lost, lost))
            i, j, heard = i + lost, j + lost, heard + lost
            continue
        if np.any(recording[i] != 0):
            fail("%.4f s into the recording a sample is not the render's (%s, not %s)%s"
                 % (i / RATE, recording[i].tolist(), render[j].tolist(), elsewhere(recording, i, render, j)))
        # Silence here that the render does not have: a gap.
        resume = i + sounding(recording[i:last + 1])[0]
        k = resumed(recording, resume, render, j)
        if k is None:
            fail("after %.1f ms of silence %.4f s into the recording the music does not go on from where it was"
                 % ((resume - i) * 1000 / RATE, i / RATE))
        gaps.append((i / RATE, resume - i, k - j))
        i, j = resume, k


def describe(gaps, heard):
    """What walk found, in a line: the dropouts (silence in the place of
    samples) and the gaps (silence between samples, some of them perhaps
    dropped) counted apart."""
    dropouts = sum(1 for _, silence, dropped in gaps if silence == dropped)
    return ("%.2f s of the render, sample for sample, with %d dropouts and %d gaps%s"
            % (heard / RATE, dropouts, len(gaps) - dropouts,
               "".join("; at %.2f s %d samples of silence, %d dropped" % gap for gap in gaps[:5])))


def near(recording, render):
    """Finds each half second of the recorded music in the render, near where
    the one before it was found, by cross-correlation: half of them or more
    must match (normalized correlation 0.99 or more), at the same level."""
    first, last = sound_span(recording)
    if last + 1 - first < MIN_SECONDS * RATE:
        fail("less than %d s of music was recorded" % MIN_SECONDS)
    piece_length, reach = RATE // 2, 5 * RATE
    offset = first - sounding(render)[0]  # where the render's samples lie in the recording
    start_offset, pieces, levels = offset, 0, []
    for start in range(first, last + 1 - piece_length, piece_length):
        pieces += 1
        piece = recording[start:start + piece_length].astype(np.float64)
        low = max(0, start - offset - reach)
        window = render[low:start - offset + piece_length + reach].astype(np.float64)
        if len(window) < piece_length:
            continue
        size = 1 << int(np.ceil(np.log2(len(window) + piece_length)))
        lags = np.fft.irfft(np.fft.rfft(window[:, 0], size) * np.conj(np.fft.rfft(piece[:, 0], size)), size)
        k = int(np.argmax(lags[:len(window) - piece_length + 1]))
        match = window[k:k + piece_length]
        r = np.sum(piece * match) / np.sqrt(np.sum(piece * piece) * np.sum(match * match))
        if r >= 0.99:
            levels.append(np.sqrt(np.mean(piece * piece) / np.mean(match * match)))
            offset = start - (low + k)
    level = float(np.median(levels)) if levels else 0.0
    print("music recorded: %.2f s; %d of its %d half seconds are the render's (correlation 0.99 or more) at "
          "%.4f times its level; gaps put it %.3f s behind" % ((last + 1 - first) / RATE, len(levels), pieces, level,
                                                               (offset - start_offset) / RATE))
    if 2 * len(levels) < pieces:
        fail("the recording is not the module's music")
    if not 0.98 <= level <= 1.02:
        fail("the recording plays at %.4f times the render's level" % level)


def judge():
    arguments = sys.argv[1:]
    nearly = arguments[:1] == ["--near"]
    if nearly:
        arguments = arguments[1:]
    recording_path, render_path = arguments[:2]
    raw = np.fromfile(recording_path, dtype="<i2")
    recording = raw[: len(raw) // 2 * 2].reshape(-1, 2)
    with wave.open(render_path, "rb") as w:
        if (w.getnchannels(), w.getsampwidth(), w.getframerate()) != (2, 2, RATE):
            fail("the render is not 16-bit stereo at %d Hz" % RATE)
        render = np.frombuffer(w.readframes(w.getnframes()), dtype="<i2").reshape(-1, 2)

    if nearly:
        near(recording, render)
    else:
        gaps, heard = walk(recording, render)
        print("music recorded: " + describe(gaps, heard))
        if heard < MIN_SECONDS * RATE:
            fail("less than %d s of music was recorded" % MIN_SECONDS)

    if len(arguments) < 4:
        return
    lo, hi = int(arguments[2]) // 4, int(arguments[3]) // 4
    if hi - lo < RATE // 2:
        fail("the stretch to be silent is only %d samples" % (hi - lo))
    peak = int(np.abs(recording[lo:hi].astype(np.int32)).max())
    print("%.2f s recorded after the fade, before the exit: peak %d" % ((hi - lo) / RATE, peak))
    if peak > 0:
        fail("the recording is not silent after the fade (peak %d)" % peak)


def main():
    try:
        judge()
    except Mismatch as mismatch:
        print("FAIL: %s" % mismatch)
        sys.exit(1)


if __name__ == "__main__":
    main()
