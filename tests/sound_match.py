"""Judges a recording of the intro's sound against libmikmod's own render
of the module: both 16-bit stereo at 44,100 Hz.

    sound_match.py [--glitches] RECORDING.raw RENDER.wav [SILENT_FROM SILENT_TO]

RECORDING is raw; SILENT_FROM and SILENT_TO are byte offsets into it of a
stretch that must be silent, if given.  From the first sound on, every recorded
sample must be the render's next one, sample for sample.  Where the output
ran dry (a stalled machine) the server played silence, and the music must
go on after it from where it left off, give or take what the server
dropped to catch up (at most a tenth of a second): such a gap is counted
and reported, never a repeat, a sound out of place or a changed sample.
At least six seconds of music must be there.  With --glitches (for Wine,
whose DirectSound plays a stale piece of its buffer, or a piece cut short,
when its mixer falls behind on a loaded machine), a stretch that is neither
the render's nor silence is passed over where the music then goes on from
about where it was (within half a second); such stretches are counted and
reported, and may make up at most 2 % of the music.  Prints what it found;
exits 1 when a check fails."""
import sys
import wave

import numpy as np

RATE = 44100
MIN_SECONDS = 6
MAX_DROP = RATE // 10  # samples the server may drop after a gap
RESUME = 64            # samples that must match where the music goes on
MAX_GLITCH = RATE // 2  # samples a glitch may last, and the music move meanwhile
GLITCH_SHARE = 0.02     # of the music heard, the most that glitches may take


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def sounding(samples):
    """Indices of the stereo samples that are not silent."""
    return np.flatnonzero(np.any(samples != 0, axis=1))


def resumed(recording, i, render, j):
    """Where in render[j:j + MAX_DROP] the recording's samples from i go on,
    or None."""
    piece = recording[i:i + RESUME]
    window = render[j:j + MAX_DROP + len(piece)]
    for k in np.flatnonzero(np.all(window[:MAX_DROP] == piece[0], axis=1)):
        if np.array_equal(window[k:k + len(piece)], piece):
            return j + k
    return None


def regained(recording, i, last, render, j):
    """Where, after the glitch at recording[i], the recording goes on as the
    render near j: (recording index, render index), or None."""
    low = max(0, j - MAX_GLITCH)
    for p in range(i + 1, min(i + MAX_GLITCH, last + 1 - RESUME), RESUME // 2):
        piece = recording[p:p + RESUME]
        if not np.any(piece != 0):
            continue
        window = render[low:j + 2 * MAX_GLITCH]
        for k in np.flatnonzero(np.all(window == piece[0], axis=1)):
            if np.array_equal(window[k:k + RESUME], piece):
                return p, low + k
    return None


def walk(recording, render, glitches=None):
    """The recording from its first to its last sound against the render
    from its first sound: the gaps (recording second, samples of silence,
    samples dropped) and the render's samples heard.  Glitches, where a list
    is given for them, go there (recording second, samples passed over)."""
    loud = sounding(recording)
    if len(loud) == 0:
        fail("the recording is silent")
    i, last = loud[0], loud[-1]
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
        if np.any(recording[i] != 0):
            problem = "%.4f s into the recording a sample is not the render's (%s, not %s)" % (
                i / RATE, recording[i].tolist(), render[j].tolist())
            k = None
        else:
            # Silence here that the render does not have: a gap.
            resume = i + sounding(recording[i:last + 1])[0]
            k = resumed(recording, resume, render, j)
            problem = "after %.1f ms of silence %.4f s into the recording the music does not go on from where it was" % (
                (resume - i) * 1000 / RATE, i / RATE)
        if k is None:
            found = regained(recording, i, last, render, j) if glitches is not None else None
            if found is None:
                fail(problem)
            glitches.append((i / RATE, found[0] - i))
            i, j = found
            continue
        gaps.append((i / RATE, resume - i, k - j))
        i, j = resume, k


def main():
    arguments = sys.argv[1:]
    glitches = [] if arguments[:1] == ["--glitches"] else None
    if glitches is not None:
        arguments = arguments[1:]
    recording_path, render_path = arguments[:2]
    raw = np.fromfile(recording_path, dtype="<i2")
    recording = raw[: len(raw) // 2 * 2].reshape(-1, 2)
    with wave.open(render_path, "rb") as w:
        if (w.getnchannels(), w.getsampwidth(), w.getframerate()) != (2, 2, RATE):
            fail("the render is not 16-bit stereo at %d Hz" % RATE)
        render = np.frombuffer(w.readframes(w.getnframes()), dtype="<i2").reshape(-1, 2)

    gaps, heard = walk(recording, render, glitches)
    print("music recorded: %.2f s of the render, sample for sample, with %d gaps%s"
          % (heard / RATE, len(gaps), "".join("; at %.2f s %d samples of silence, %d dropped" % gap
                                              for gap in gaps[:5])))
    if heard < MIN_SECONDS * RATE:
        fail("less than %d s of music was recorded" % MIN_SECONDS)
    if glitches is not None:
        passed = sum(n for _, n in glitches)
        print("%d glitches, %.3f s in all%s" % (len(glitches), passed / RATE,
                                               "".join("; at %.2f s %d samples" % g for g in glitches[:5])))
        if passed > GLITCH_SHARE * heard:
            fail("glitches take %.1f %% of the music" % (100 * passed / heard))

    if len(arguments) < 4:
        return
    lo, hi = int(arguments[2]) // 4, int(arguments[3]) // 4
    if hi - lo < RATE // 2:
        fail("the stretch to be silent is only %d samples" % (hi - lo))
    peak = int(np.abs(recording[lo:hi].astype(np.int32)).max())
    print("%.2f s recorded after the fade, before the exit: peak %d" % ((hi - lo) / RATE, peak))
    if peak > 0:
        fail("the recording is not silent after the fade (peak %d)" % peak)


main()
