#!/usr/bin/env python3
"""The web version in a real browser, checked against the Linux program.

    python3 tests/web_page.py SITE_DIR NATIVE_BUILD_DIR

Serves SITE_DIR (make web's build-web/site) on a loopback port of its own,
drives Debian's Chromium, headless, through its DevTools protocol over a pipe,
and compares what the page does with the Linux build in NATIVE_BUILD_DIR:
the pictures with vorncapture's lossless frames (the presentation observer
under SDL's dummy driver), the scroll-text echo with vorncapture's standard
output, the sound with libmikmod's own mixer (xmrender), the pace with the
browser's own animation frames.  The page's test interface (window.vorn)
tells the frame count and stops the run at a chosen frame.  Everything
started here -- the browser by its process group, the web server, the
temporary folders -- is gone when the script ends, however it ends.
"""
import base64
import functools
import http.server
import json
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import wave

import numpy

import sound_match

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SIZE = 256                     # the intro's picture
RATE = 44100
TARGET_FPS = 60                # the pace the display's refresh is divided down to

# Frames (numbered from 1, as the page counts presentations) compared with the
# Linux program's: four zooms, the raster rolls, the plasma.  ESC is pressed in
# QUIT_FRAME, as vorncapture does; then 256 frames fade to black.  The zoom's
# frames are compared in a run of their own, held from its first frame.  The
# parts' frame budgets come from the Linux build's vorndump (set_frame_plan).
ZOOM_FRAMES = ROLLS_FRAMES = PLASMA_FRAMES = REFERENCE_FRAMES = []
QUIT_FRAME = FADE_FRAME = LAST_FRAME = ROLLS_START = 0
# After a restart: SPACE seen in frame SKIP_FRAME ends the zoom part; the
# three zooms left show one frame each, then the raster rolls start afresh.
SKIP_FRAME = 30


def set_frame_plan(build):
    """The frames compared, from the parts' budgets that vorndump tells."""
    global ZOOM_FRAMES, ROLLS_FRAMES, PLASMA_FRAMES, REFERENCE_FRAMES
    global QUIT_FRAME, FADE_FRAME, LAST_FRAME, ROLLS_START
    result = subprocess.run([os.path.join(build, 'capture', 'vorndump'), '--budgets'],
                            stdout=subprocess.PIPE, timeout=60, check=True)
    budgets = dict((name, int(n)) for name, n in (line.split() for line in result.stdout.decode().splitlines()))
    zoom, rolls, plasma = budgets['zoom'], budgets['rolls'], budgets['plasma']
    # Two frames of the first logos, the fourth logo's first frame and the part's last.
    ZOOM_FRAMES = [400, 600, zoom * 3 // 4 + 1, zoom]
    ROLLS_START = zoom + 1
    ROLLS_FRAMES = [ROLLS_START, ROLLS_START + 1, zoom + rolls // 2, zoom + rolls]
    PLASMA_FRAMES = [zoom + rolls + 1, zoom + rolls + 2, zoom + rolls + plasma * 8 // 15]
    QUIT_FRAME = zoom + rolls + plasma
    FADE_FRAME = QUIT_FRAME + 64
    LAST_FRAME = QUIT_FRAME + 256
    REFERENCE_FRAMES = sorted(set(ZOOM_FRAMES + ROLLS_FRAMES + PLASMA_FRAMES +
                                  [1, QUIT_FRAME, FADE_FRAME, LAST_FRAME, ROLLS_START]))


KEYS = {'Escape': (27, 'Escape'), ' ': (32, 'Space'), 'f': (70, 'KeyF')}  # key: its code and name


class Failure(Exception):
    pass


# ---- reference data from the Linux build ------------------------------------

def linux_references(build, work):
    """Frames (RGB bytes by frame number), scroll-text lines and the module's
    render, from the Linux build."""
    capture = os.path.join(build, 'capture', 'vorncapture')
    render = os.path.join(build, 'tools', 'xmrender')
    movie = os.path.join(work, 'linux.mkv')
    data = os.path.join(SOURCE, 'data')
    env = dict(os.environ, SDL_VIDEODRIVER='dummy', SDL_AUDIODRIVER='dummy', PULSE_SERVER='/nonexistent')
    result = subprocess.run([capture, '--scale', '1', '--frames', str(QUIT_FRAME), movie], cwd=data, env=env,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=300)
    if result.returncode != 0:
        raise Failure('vorncapture failed: ' + result.stderr.decode(errors='replace')[-800:])
    # Only whole lines: the last one may still be incomplete.
    echo = result.stdout.decode().split('\n')[:-1]

    wanted = '+'.join('eq(n\\,%d)' % (n - 1) for n in REFERENCE_FRAMES)
    raw = os.path.join(work, 'frames.rgb')
    subprocess.run(['ffmpeg', '-v', 'error', '-nostdin', '-i', movie, '-map', '0:v', '-vf', "select='%s'" % wanted,
                    '-fps_mode', 'passthrough', '-f', 'rawvideo', '-pix_fmt', 'rgb24', '-y', raw],
                   check=True, timeout=300)
    with open(raw, 'rb') as f:
        pixels = f.read()
    frame_bytes = SIZE * SIZE * 3
    if len(pixels) != frame_bytes * len(REFERENCE_FRAMES):
        raise Failure('ffmpeg gave %d bytes for %d frames' % (len(pixels), len(REFERENCE_FRAMES)))
    frames = {n: pixels[i * frame_bytes:(i + 1) * frame_bytes] for i, n in enumerate(REFERENCE_FRAMES)}
    os.remove(movie)
    os.remove(raw)

    wav = os.path.join(work, 'module.wav')
    subprocess.run([render, os.path.join(data, 'duSkal-20080501.xm'), wav, '4'], check=True,
                   stdout=subprocess.DEVNULL, timeout=120)
    with wave.open(wav) as w:
        if (w.getnchannels(), w.getsampwidth(), w.getframerate()) != (2, 2, RATE):
            raise Failure('xmrender wrote %d channels, %d bytes, %d Hz' %
                          (w.getnchannels(), w.getsampwidth(), w.getframerate()))
        sound = numpy.frombuffer(w.readframes(w.getnframes()), dtype='<i2').reshape(-1, 2)
    return frames, echo, sound


# ---- the web server ---------------------------------------------------------

class SiteServer:
    """The site on a free loopback port, every request remembered."""

    def __init__(self, site):
        self.requests = []
        requests = self.requests

        class Handler(http.server.SimpleHTTPRequestHandler):
            def log_request(self, code='-', size='-'):
                requests.append((self.path, int(code) if str(code).isdigit() else 0))

            def log_message(self, *args):
                pass

        self.server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), functools.partial(Handler, directory=site))
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()
        self.base = 'http://127.0.0.1:%d/' % self.server.server_address[1]

    def stop(self):
        self.server.shutdown()
        self.server.server_close()


# ---- the browser, over the DevTools protocol on a pipe ----------------------

class Browser:
    """Chromium with --remote-debugging-pipe: JSON messages ended by NUL, ours
    on its descriptor 3, its own on 4.  Runs in a session of its own so that
    its whole process group can be killed."""

    def __init__(self, work):
        self.profile = os.path.join(work, 'profile')
        os.mkdir(self.profile)
        self.log_path = os.path.join(work, 'chromium.log')
        command_read, self.command_write = os.pipe()
        self.reply_read, reply_write = os.pipe()
        args = ['/usr/bin/chromium', '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic',
                '--no-first-run', '--disable-background-networking', '--disable-component-update',
                '--disable-sync', '--user-data-dir=' + self.profile, '--remote-debugging-pipe',
                '--window-size=800,600', 'about:blank']
        # No sound server to reach or start: the browser's audio runs on its fake output.
        env = dict(os.environ, PULSE_SERVER='/nonexistent/pulse')
        with open(self.log_path, 'wb') as log:
            self.pid = os.posix_spawn(args[0], args, env, setsid=True, file_actions=[
                (os.POSIX_SPAWN_DUP2, command_read, 3), (os.POSIX_SPAWN_DUP2, reply_write, 4),
                (os.POSIX_SPAWN_OPEN, 0, '/dev/null', os.O_RDONLY, 0),
                (os.POSIX_SPAWN_DUP2, log.fileno(), 1), (os.POSIX_SPAWN_DUP2, log.fileno(), 2)])
        os.close(command_read)
        os.close(reply_write)
        self.buffer = b''
        self.last_id = 0
        self.replies = {}
        self.listeners = []

    def stop(self):
        try:
            os.killpg(self.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        try:
            os.waitpid(self.pid, 0)
        except ChildProcessError:
            pass
        for fd in (self.command_write, self.reply_read):
            try:
                os.close(fd)
            except OSError:
                pass

    def log_tail(self):
        with open(self.log_path, 'rb') as f:
            return f.read()[-2000:].decode(errors='replace')

    def _receive(self, timeout):
        ready, _, _ = select.select([self.reply_read], [], [], max(0.0, timeout))
        if not ready:
            return
        chunk = os.read(self.reply_read, 1 << 20)
        if not chunk:
            raise Failure('the browser closed its pipe:\n' + self.log_tail())
        self.buffer += chunk
        while b'\0' in self.buffer:
            raw, self.buffer = self.buffer.split(b'\0', 1)
            message = json.loads(raw)
            if 'id' in message:
                self.replies[message['id']] = message
            else:
                for listener in self.listeners:
                    listener(message)

    def call(self, method, params=None, session=None, timeout=30):
        self.last_id += 1
        number = self.last_id
        message = {'id': number, 'method': method, 'params': params or {}}
        if session is not None:
            message['sessionId'] = session
        os.write(self.command_write, json.dumps(message).encode() + b'\0')
        deadline = time.monotonic() + timeout
        while number not in self.replies:
            if time.monotonic() > deadline:
                raise Failure('no answer to %s in %d s' % (method, timeout))
            self._receive(deadline - time.monotonic())
        reply = self.replies.pop(number)
        if 'error' in reply:
            raise Failure('%s: %s' % (method, reply['error'].get('message')))
        return reply['result']

    def pump(self, seconds):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            self._receive(deadline - time.monotonic())


# Injected before the page's own scripts: a recorder of everything the page
# sends to its audio output, at the output's rate, as 16-bit stereo.
RECORDER = r'''
(() => {
  if (typeof AudioWorklet === 'undefined') return;  // about:blank
  const source = `
    class TestRecorder extends AudioWorkletProcessor {
      constructor() { super(); this.blocks = []; }
      process(inputs) {
        const input = inputs[0];
        const block = new Int16Array(256);
        if (input.length >= 2) {
          for (let i = 0; i < 128; ++i) {
            block[2 * i] = Math.round(input[0][i] * 32768);
            block[2 * i + 1] = Math.round(input[1][i] * 32768);
          }
        }
        this.blocks.push(block);
        if (this.blocks.length === 64) {
          const all = new Int16Array(256 * 64);
          this.blocks.forEach((b, k) => all.set(b, 256 * k));
          this.blocks = [];
          this.port.postMessage(all, [all.buffer]);
        }
        return true;
      }
    }
    registerProcessor('test-recorder', TestRecorder);`;
  const url = URL.createObjectURL(new Blob([source], {type: 'text/javascript'}));
  const recorded = [];
  const addModule = AudioWorklet.prototype.addModule;
  AudioWorklet.prototype.addModule = function (module, options) {
    return addModule.call(this, url).then(() => addModule.call(this, module, options));
  };
  const connect = AudioNode.prototype.connect;
  AudioNode.prototype.connect = function (target, ...rest) {
    const result = connect.call(this, target, ...rest);
    if (target instanceof AudioDestinationNode) {
      const recorder = new AudioWorkletNode(this.context, 'test-recorder', {numberOfInputs: 1, numberOfOutputs: 0});
      recorder.port.onmessage = (event) => recorded.push(event.data);
      connect.call(this, recorder);
      window.testRecorder = recorder;
    }
    return result;
  };
  window.testRecording = () => {
    if (window.testRecorder) window.testRecorder.port.onmessage = null;
    let total = 0;
    recorded.forEach((part) => { total += part.length; });
    const bytes = new Uint8Array(total * 2);
    let at = 0;
    recorded.forEach((part) => { bytes.set(new Uint8Array(part.buffer), at); at += part.byteLength; });
    let text = '';
    for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
    return btoa(text);
  };
})();
'''

# Every animation frame of the browser from now on, its time stamp and the
# intro's frame count then; TICKS_TAKE hands them over and stops.
TICKS_START = r'''(() => {
  window.testTicks = [];
  const tick = (time) => { if (testTicks) { testTicks.push([time, vorn.frame()]); requestAnimationFrame(tick); } };
  requestAnimationFrame(tick);
})()'''
TICKS_TAKE = '(() => { const ticks = testTicks; testTicks = null; return ticks; })()'


def check_pace(ticks):
    """One frame per n animation frames, n the whole number that brings their
    rate / n closest to 60 (the smaller on a tie), both counted in the same stretch."""
    seconds = (ticks[-1][0] - ticks[0][0]) / 1000
    refresh, fps = (len(ticks) - 1) / seconds, (ticks[-1][1] - ticks[0][1]) / seconds
    n = min(range(1, int(refresh // TARGET_FPS) + 3), key=lambda k: (abs(refresh / k - TARGET_FPS), k))
    shown = [t for (t, f), (_, before) in zip(ticks[1:], ticks) if f != before]
    steady = [abs(b - a - 1000 / TARGET_FPS) <= 2 for a, b in zip(shown, shown[1:])]
    print('# pace: %.2f frames per second, %.2f animation frames per second (n = %d); %.1f %% of %d frame '
          'intervals within 16.7 +- 2 ms' % (fps, refresh, n, 100 * sum(steady) / max(1, len(steady)), len(steady)), flush=True)
    return '' if abs(fps * n / refresh - 1) <= 0.1 else '%.2f frames per second for %.2f animation frames' % (
        fps, refresh)


# The canvas as RGB bytes, base64.
CANVAS = r'''
(() => {
  const canvas = document.getElementById('screen');
  const rgba = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
  const rgb = new Uint8Array(rgba.length / 4 * 3);
  for (let i = 0, j = 0; i < rgba.length; i += 4, j += 3) {
    rgb[j] = rgba[i]; rgb[j + 1] = rgba[i + 1]; rgb[j + 2] = rgba[i + 2];
  }
  let text = '';
  for (let i = 0; i < rgb.length; i += 0x8000) text += String.fromCharCode.apply(null, rgb.subarray(i, i + 0x8000));
  return [canvas.width, canvas.height, btoa(text)];
})()
'''


class Page:
    """One tab, with what it logs and requests."""

    def __init__(self, browser, base):
        self.browser = browser
        self.base = base
        self.console = []      # console.log lines: the scroll-text echo
        self.errors = []       # console errors, exceptions, failed or outside requests
        self.session = None
        browser.listeners.append(self.on_event)
        target = browser.call('Target.createTarget', {'url': 'about:blank'})['targetId']
        self.session = browser.call('Target.attachToTarget', {'targetId': target, 'flatten': True})['sessionId']
        for domain in ('Runtime', 'Network', 'Page', 'Log'):
            self.call(domain + '.enable')
        self.call('Page.addScriptToEvaluateOnNewDocument', {'source': RECORDER})

    def call(self, method, params=None, timeout=30):
        return self.browser.call(method, params, self.session, timeout)

    def on_event(self, message):
        if message.get('sessionId') != self.session:
            return
        method, params = message['method'], message['params']
        if method == 'Runtime.consoleAPICalled':
            args = params['args']
            text = ' '.join(str(a.get('value', a.get('description', ''))) for a in args)
            if params['type'] == 'log':
                self.console.append(text)
            elif params['type'] in ('error', 'assert'):
                self.errors.append('console error: ' + text)
        elif method == 'Runtime.exceptionThrown':
            details = params['exceptionDetails']
            self.errors.append('exception: ' + details.get('exception', {}).get('description', details.get('text')))
        elif method == 'Log.entryAdded' and params['entry']['level'] == 'error':
            self.errors.append('browser error: %s %s' % (params['entry']['text'], params['entry'].get('url', '')))
        elif method == 'Network.loadingFailed' and not params.get('canceled'):
            self.errors.append('request failed: %s' % params.get('errorText'))
        elif method == 'Network.responseReceived' and params['response']['status'] >= 400:
            self.errors.append('HTTP %d for %s' % (params['response']['status'], params['response']['url']))
        elif method == 'Network.requestWillBeSent':
            url = params['request']['url']
            if not (url.startswith(self.base) or url.startswith('data:') or url.startswith('blob:')):
                self.errors.append('request outside the site: ' + url)

    def evaluate(self, expression, timeout=30):
        reply = self.call('Runtime.evaluate', {'expression': expression, 'returnByValue': True,
                                               'awaitPromise': True}, timeout)
        if 'exceptionDetails' in reply:
            raise Failure('%s: %s' % (expression, reply['exceptionDetails'].get('text')))
        return reply['result'].get('value')

    def wait_for(self, expression, what, timeout):
        deadline = time.monotonic() + timeout
        while True:
            value = self.evaluate(expression)
            if value:
                return value
            if time.monotonic() > deadline:
                raise Failure('waited %d s for %s' % (timeout, what))
            self.browser.pump(0.02)

    def open(self, url):
        self.call('Page.navigate', {'url': 'about:blank'})
        self.call('Page.navigate', {'url': url})
        self.wait_for('document.readyState === "complete" && typeof vorn === "object"', 'the page to load', 20)

    def click(self, x, y):
        for kind in ('mousePressed', 'mouseReleased'):
            self.call('Input.dispatchMouseEvent', {'type': kind, 'x': x, 'y': y, 'button': 'left', 'clickCount': 1})

    def key(self, kind, key):
        code, name = KEYS[key]
        self.call('Input.dispatchKeyEvent', {'type': 'rawKeyDown' if kind == 'down' else 'keyUp', 'key': key,
                                             'code': name,
                                             'windowsVirtualKeyCode': code, 'nativeVirtualKeyCode': code})

    def canvas(self):
        width, height, data = self.evaluate(CANVAS)
        if (width, height) != (SIZE, SIZE):
            raise Failure('the canvas is %dx%d' % (width, height))
        return base64.b64decode(data)

    def hold_at(self, frame):
        """Runs (without sound or wait) to `frame` and stops there."""
        self.evaluate('vorn.holdAt(%d)' % frame)
        self.wait_for('vorn.held()', 'frame %d' % frame, 120)

    def frame(self):
        return self.evaluate('vorn.frame()')


def picture_difference(web, linux):
    """'' when equal, else how they differ."""
    if web == linux:
        return ''
    wrong = [i // 3 for i in range(0, len(linux), 3) if web[i:i + 3] != linux[i:i + 3]]
    first = wrong[0]
    return '%d of %d pixels differ, the first at (%d, %d): web %s, Linux %s' % (
        len(wrong), SIZE * SIZE, first % SIZE, first // SIZE,
        tuple(web[3 * first:3 * first + 3]), tuple(linux[3 * first:3 * first + 3]))


def frame_problems(page, frames, label, n, problems):
    """Adds to problems how the canvas differs from Linux frame n, if it does."""
    difference = picture_difference(page.canvas(), frames[n])
    if difference:
        problems.append('%s: %s' % (label, difference))


# ---- the checks ---------------------------------------------------------------

class Checks:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def record(self, name, problem):
        if problem:
            self.failed += 1
            print('FAIL - %s: %s' % (name, problem), flush=True)
        else:
            self.passed += 1
            print('ok - %s' % name, flush=True)


def check_sound(web_bytes, linux):
    """The page's output is silence until the music starts, then the module's
    render sample for sample (tests/sound_match.py: a gap of silence where the
    browser stalled longer than the page's margin is reported, not failed);
    at least four seconds of it."""
    web = numpy.frombuffer(web_bytes, dtype='<i2')
    try:
        gaps, heard = sound_match.walk(web[:len(web) // 2 * 2].reshape(-1, 2), linux)
    except sound_match.Mismatch as mismatch:
        return str(mismatch)
    if heard < 4 * RATE:
        return 'only %.2f s of the render' % (heard / RATE)
    print('# sound: ' + sound_match.describe(gaps, heard))
    return ''


def run(site, build, work):
    checks = Checks()
    t = time.monotonic()
    frames, echo, sound = linux_references(build, work)
    print('# Linux references ready in %.1f s' % (time.monotonic() - t), flush=True)

    server = SiteServer(site)
    browser = Browser(work)
    try:
        page = Page(browser, server.base)
        url = server.base + 'index.html'

        # The start screen: nothing runs before a click or a key.
        page.open(url)
        browser.pump(1.0)
        text = page.evaluate('document.getElementById("overlay").hidden ? "" : '
                             'document.getElementById("message").textContent')
        checks.record('start screen', '' if text == 'click or press a key to start' and page.frame() == 0
                      else 'overlay %r, frame %d' % (text, page.frame()))

        # The version CMake has; F and the button fill the screen (the picture
        # at the whole factor that fits it), and neither starts the intro.
        with open(os.path.join(build, 'CMakeCache.txt')) as f:
            version = next(line.split('=', 1)[1].strip() for line in f if line.startswith('CMAKE_PROJECT_VERSION:'))
        shown = page.evaluate('document.getElementById("version").textContent')
        checks.record('the page states version ' + version, '' if shown == 'vorndemo %s by Vorn' % version else shown)
        problems = []
        for how in ('F', 'the button'):
            if how == 'F':
                page.key('down', 'f')
                page.key('up', 'f')
            else:
                page.click(*page.evaluate('(r => [r.x + r.width / 2, r.y + r.height / 2])'
                                          '(document.getElementById("fullscreen").getBoundingClientRect())'))
            page.wait_for('document.fullscreenElement !== null', how + ' to fill the screen', 10)
            browser.pump(0.3)
            width, room = page.evaluate('[document.getElementById("screen").getBoundingClientRect().width, '
                                        'Math.min(screen.width, screen.height)]')
            if width != room // SIZE * SIZE:
                problems.append('after %s the canvas is %d wide on a screen %d high' % (how, width, room))
            page.evaluate('document.exitFullscreen()')
            page.wait_for('document.fullscreenElement === null', 'the end of full screen', 10)
        if page.frame() != 0 or page.evaluate('document.getElementById("overlay").hidden'):
            problems.append('the intro started')
        checks.record('F and the button fill the screen', '; '.join(problems))

        # The picture: the largest whole scale that fits, again after a resize.
        sizes = []
        for width, height in ((800, 600), (1100, 900)):
            page.call('Emulation.setDeviceMetricsOverride', {'width': width, 'height': height,
                                                             'deviceScaleFactor': 1, 'mobile': False})
            browser.pump(0.2)
            sizes.append(page.evaluate('document.getElementById("screen").getBoundingClientRect().width'))
        checks.record('scaled to fit', '' if sizes == [512, 768] else 'canvas widths %s for 600 and 900 rows' % sizes)
        page.call('Emulation.clearDeviceMetricsOverride')

        # A click starts it with sound; the pace over 5 s and the sound's first seconds.
        t_click = time.monotonic()
        page.click(400, 60)  # on the start screen, above its button
        page.wait_for('vorn.frame() >= 1', 'the first frame', 20)
        print('# first frame %.2f s after the click' % (time.monotonic() - t_click), flush=True)
        browser.pump(0.5)
        first = page.canvas()
        browser.pump(0.3)
        second = page.canvas()
        checks.record('the canvas changes from frame to frame',
                      '' if first != second and any(second) else 'two pictures 0.3 s apart are the same')
        page.evaluate(TICKS_START)
        browser.pump(5.0)
        print('# sound %s' % page.evaluate('vorn.sounding()'), flush=True)
        checks.record('one frame per n animation frames, within 10 %', check_pace(page.evaluate(TICKS_TAKE)))
        checks.record('sound is libmikmod\'s mixer output',
                      check_sound(base64.b64decode(page.evaluate('testRecording()')), sound))

        # The same pictures as on Linux in the parts without stars.
        for name, numbers in (('raster rolls', ROLLS_FRAMES), ('plasma', PLASMA_FRAMES)):
            problems = []
            for n in numbers:
                page.hold_at(n)
                frame_problems(page, frames, 'frame %d' % n, n, problems)
            checks.record('%s frames %s equal the Linux program\'s' % (name, numbers), '; '.join(problems))

        # ESC: the fade to black, then the page says the intro has ended.
        page.hold_at(QUIT_FRAME)
        problems = []
        frame_problems(page, frames, 'frame %d' % QUIT_FRAME, QUIT_FRAME, problems)
        page.key('down', 'Escape')
        page.hold_at(FADE_FRAME)
        frame_problems(page, frames, 'fade frame %d' % FADE_FRAME, FADE_FRAME, problems)
        browser.pump(0.1)
        page.key('up', 'Escape')
        page.evaluate('vorn.holdAt(0)')
        page.wait_for('vorn.endStatus() !== null', 'the end', 30)
        last = page.canvas()
        if any(frames[LAST_FRAME]) or last != frames[LAST_FRAME]:
            problems.append('the last picture is not black')
        if page.frame() != LAST_FRAME:
            problems.append('the run ended after frame %d, not %d' % (page.frame(), LAST_FRAME))
        text = page.evaluate('document.getElementById("overlay").hidden ? "" : '
                             'document.getElementById("message").textContent')
        if 'ended' not in text or page.evaluate('vorn.endStatus()') != 1:
            problems.append('the page says %r, status %r' % (text, page.evaluate('vorn.endStatus()')))
        checks.record('ESC fades to black and the page reports the end', '; '.join(problems))

        checks.record('the scroll text on the console, in order, as on Linux',
                      '' if page.console == echo and len(echo) >= 5 else
                      '%d lines on the console, %d from the Linux program; first difference at line %s' % (
                          len(page.console), len(echo),
                          next((i for i, (a, b) in enumerate(zip(page.console, echo)) if a != b),
                               min(len(page.console), len(echo)))))

        # Start again: a fresh run, its first frame as on Linux; SPACE skips to the rolls.
        page.evaluate('vorn.holdAt(1)')
        page.click(400, 60)  # on the start screen, above its button
        page.wait_for('vorn.held()', 'the first frame of the new run', 20)
        problems = []
        frame_problems(page, frames, 'frame 1 after the new start', 1, problems)
        checks.record('the page starts the intro again', '; '.join(problems))
        page.hold_at(SKIP_FRAME)
        page.key('down', ' ')
        page.hold_at(SKIP_FRAME + 1)
        browser.pump(0.1)
        page.key('up', ' ')
        page.hold_at(SKIP_FRAME + 4)
        difference = picture_difference(page.canvas(), frames[ROLLS_START])
        checks.record('SPACE moves on to the next part', difference and
                      'frame %d after SPACE in frame %d is not the raster rolls\' first: %s' % (
                          SKIP_FRAME + 4, SKIP_FRAME, difference))

        # The zoom's pictures as on Linux, in a run held from its first frame.
        page.open(url)
        page.evaluate('vorn.holdAt(1)')
        page.click(400, 60)
        page.wait_for('vorn.held()', 'the first frame of the held run', 20)
        problems = []
        for n in ZOOM_FRAMES:
            page.hold_at(n)
            frame_problems(page, frames, 'frame %d' % n, n, problems)
        checks.record('zoom frames %s equal the Linux program\'s' % ZOOM_FRAMES, '; '.join(problems))

        # #autostart: running at once, without a gesture.
        page.open(url + '#autostart')
        page.wait_for('vorn.frame() >= 20', 'frames without a gesture', 20)
        hidden = page.evaluate('document.getElementById("overlay").hidden')
        print('# #autostart: sound %s' % page.evaluate('vorn.sounding()'), flush=True)
        checks.record('#autostart runs at once', '' if hidden else 'the start screen is showing')

        # Nothing went wrong on the way, and nothing was fetched from elsewhere.
        outside = ['%s (%d)' % (path, code) for path, code in server.requests
                   if code not in (200, 304) or path.split('?')[0].lstrip('/') not in os.listdir(site)]
        checks.record('no console errors, no failed requests',
                      '; '.join(page.errors[:5] + outside[:5]))
    except Exception as failure:  # a check that cannot go on fails the run, reported with the browser's log
        checks.record('the run', '%s: %s' % (type(failure).__name__, failure))
        print('# chromium said:\n' + browser.log_tail())
    finally:
        browser.stop()
        server.stop()
    print('web: %d passed, %d failed' % (checks.passed, checks.failed))
    return checks.failed == 0


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    site, build = (os.path.abspath(p) for p in sys.argv[1:])

    def stop(signum, frame):
        raise SystemExit('stopped by signal %d' % signum)
    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    set_frame_plan(build)
    work = tempfile.mkdtemp(prefix='vorn-web-test-')
    try:
        return 0 if run(site, build, work) else 1
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == '__main__':
    sys.exit(main())
