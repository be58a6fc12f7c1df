// The page around the intro: it fits the picture to the window, starts the
// intro on a click or a key (at once with #autostart), paces the frames by
// the display's refresh, plays the sound the intro mixes for it through an
// audio worklet, offers a new start when the intro has ended, and fills the
// screen on F or its button.
'use strict';

(function () {
  const sampleRate = 44100;
  const targetFps = 60;
  // The sound is kept queued this far ahead of what is heard: room for the
  // browser's hiccups before it breaks up.
  const marginSeconds = 0.1;
  // Running to a test's stop, every frame takes the samples of a frame at
  // 60 frames a second, as vorncapture records it by default.
  const heldFrameSamples = sampleRate / targetFps;
  const width = 256;          // the intro's picture, square

  const stage = document.getElementById('stage');
  const overlay = document.getElementById('overlay');
  const message = document.getElementById('message');

  // ---- the picture: the largest whole scale that fits, in device pixels ----
  function fit() {
    const ratio = window.devicePixelRatio || 1;
    const room = Math.min(window.innerWidth, window.innerHeight) * ratio;
    const factor = Math.max(1, Math.floor(room / width));
    stage.style.setProperty('--size', (width * factor / ratio) + 'px');
  }
  window.addEventListener('resize', fit);
  fit();

  // ---- full screen: the whole page, start and end screens too ----
  // F (the intro has no use for it) or the button; the picture keeps its
  // whole factor, now of the screen's size.
  const fullscreenButton = document.getElementById('fullscreen');

  function toggleFullscreen() {
    if (document.fullscreenElement) {
      document.exitFullscreen();
    } else if (document.documentElement.requestFullscreen) {
      document.documentElement.requestFullscreen().catch((error) => console.warn('no full screen: ' + error));
    }
  }

  function isFullscreenKey(event) {
    return (event.key || '').toLowerCase() === 'f' && !event.ctrlKey && !event.altKey && !event.metaKey;
  }

  window.addEventListener('keydown', (event) => {
    if (isFullscreenKey(event) && !event.repeat) toggleFullscreen();
  }, true);
  fullscreenButton.addEventListener('click', (event) => {
    event.stopPropagation();  // the start screen's click would start the intro
    toggleFullscreen();
  });
  document.addEventListener('fullscreenchange', () => {
    fullscreenButton.textContent = document.fullscreenElement ? 'leave full screen (F)' : 'full screen (F)';
    fit();
  });

  // ---- sound: one context and one worklet node for the page's life ----
  let audio = null;  // {context, node, ready}

  function openAudio() {
    if (audio === null && typeof AudioWorkletNode === 'undefined') {
      // Browsers give audio worklets only to pages from https or localhost.
      console.warn('no sound: the page needs to come from https (or localhost) for its audio');
      audio = {context: null, node: null, ready: Promise.resolve()};
    }
    if (audio === null) {
      try {
        const context = new AudioContext({sampleRate: sampleRate, latencyHint: 'interactive'});
        audio = {context: context, node: null, ready: null};
        audio.ready = context.audioWorklet.addModule('feed.js').then(() => {
          const node = new AudioWorkletNode(context, 'vorn-feed',
                                            {numberOfInputs: 0, numberOfOutputs: 1, outputChannelCount: [2]});
          node.connect(context.destination);
          audio.node = node;
        });
      } catch (error) {
        console.warn('no sound: ' + error);
        audio = {context: null, node: null, ready: Promise.resolve()};
      }
    }
    // Allowed after a click or a key; otherwise it stays suspended (muted).
    if (audio.context !== null && audio.context.state !== 'running') audio.context.resume();
    return audio.ready;
  }

  function sounding() {
    return audio !== null && audio.node !== null && audio.context.state === 'running';
  }

  // Without a gesture the browser may hold the sound back; the first click
  // or key on the page lets it play.
  function unmuteOnGesture() {
    const unmute = () => {
      if (audio !== null && audio.context !== null) audio.context.resume();
    };
    window.addEventListener('pointerdown', unmute, {once: true, capture: true});
    window.addEventListener('keydown', unmute, {once: true, capture: true});
  }

  // ---- the pace: one frame per n refreshes of the display ----
  // The refresh period is the median of the last intervals between
  // animation frames, watched for as long as the page is open; each frame
  // stays on screen for the whole number n of refreshes that brings
  // refresh / n closest to 60 frames a second (on a tie the smaller n), as
  // the desktop program does.
  const intervals = [];        // the last animation frame intervals, in ms
  const keptIntervals = 60;
  let lastTick = null;
  let refreshes = 0;           // animation frames since the last frame was let go
  let nextFrame = null;        // the intro's go, while it waits
  let frame = 0;               // frames presented in this run
  let holdAt = 0;              // the test interface's stop, 0 for none

  function refreshRate() {
    if (intervals.length < 8) return targetFps;  // not measured yet
    const sorted = intervals.slice().sort((a, b) => a - b);
    return 1000 / sorted[sorted.length >> 1];
  }

  function refreshesPerFrame(rate) {
    let best = 1;
    for (let n = 2; n <= Math.ceil(rate / targetFps) + 1; ++n) {
      // Within half a frame a second counts as a tie, which the smaller n
      // wins: a measured 144 Hz keeps 72 frames a second.
      if (Math.abs(rate / n - targetFps) < Math.abs(rate / best - targetFps) - 0.5) best = n;
    }
    return best;
  }

  function tick(time) {
    requestAnimationFrame(tick);
    if (lastTick !== null) {
      intervals.push(time - lastTick);
      if (intervals.length > keptIntervals) intervals.shift();
    }
    lastTick = time;
    ++refreshes;
    if (nextFrame !== null && refreshes >= refreshesPerFrame(refreshRate())) {
      const go = nextFrame;
      nextFrame = null;
      refreshes = 0;
      go();  // draws the next frame and presents it, now
    }
  }
  requestAnimationFrame(tick);

  function runningToStop() {
    return holdAt > frame;
  }

  function waitForNextFrame(go) {
    if (runningToStop()) {
      setTimeout(go, 0);  // no pace on the way to a stop
    } else {
      nextFrame = go;
    }
  }

  function frameHeld(presented) {
    frame = presented;
    return presented === holdAt;
  }

  // ---- the sound: queued up to the margin after every frame ----
  // soundEnd is when the sound handed over so far is done, on the audio
  // context's clock while sound plays, on the wall clock before (so the
  // music keeps its time while the browser holds the sound back).
  let soundEnd = 0;
  let soundClockLive = false;

  function soundWanted() {
    if (runningToStop()) return heldFrameSamples;  // mixed and dropped
    const live = sounding();
    if (live !== soundClockLive) {
      soundClockLive = live;
      soundEnd = 0;
    }
    const now = live ? audio.context.currentTime : performance.now() / 1000;
    if (soundEnd < now) soundEnd = now;  // behind (start, a held or hidden page): on from now
    const wanted = Math.ceil((now + marginSeconds - soundEnd) * sampleRate);
    return wanted > 0 ? wanted : 0;
  }

  function sound(values) {
    if (runningToStop()) return;
    soundEnd += (values.length >> 1) / sampleRate;
    if (soundClockLive) {
      const chunk = values.slice();
      audio.node.port.postMessage(chunk, [chunk.buffer]);
    }
  }

  // ---- start and end ----
  let running = false;
  let endStatus = null;

  function showOverlay(text) {
    message.textContent = text;
    overlay.hidden = false;
    overlay.addEventListener('click', startByGesture);
    window.addEventListener('keydown', startByGesture);
  }

  function hideOverlay() {
    overlay.hidden = true;
    overlay.removeEventListener('click', startByGesture);
    window.removeEventListener('keydown', startByGesture);
  }

  function startByGesture(event) {
    if (event.type === 'keydown' && isFullscreenKey(event)) return;
    event.preventDefault();
    start(true);
  }

  // A fresh canvas for every run, so nothing of the last run listens on it.
  function freshCanvas() {
    const old = document.getElementById('screen');
    const canvas = old.cloneNode(false);
    old.replaceWith(canvas);
    return canvas;
  }

  async function start(byGesture) {
    if (running) return;
    running = true;
    endStatus = null;
    hideOverlay();
    const ready = openAudio();
    if (byGesture) {
      // The sound's first frames should not be lost while the worklet loads.
      await Promise.race([ready, new Promise((resolve) => setTimeout(resolve, 1000))]);
    } else {
      unmuteOnGesture();
    }
    frame = 0;
    soundEnd = 0;
    nextFrame = null;
    const canvas = freshCanvas();
    canvas.focus();
    createVornDemo({
      canvas: canvas,
      print: (line) => console.log(line),
      printErr: (line) => console.error(line),
      vornFrameHeld: frameHeld,
      vornSoundWanted: soundWanted,
      vornSound: sound,
      vornNextFrame: waitForNextFrame,
      vornEnded: ended,
      onAbort: (what) => {
        running = false;
        showOverlay('The intro stopped (' + what + '). Click or press a key to start it again.');
      },
    });
  }

  function ended(status) {
    running = false;
    endStatus = status;
    if (audio !== null && audio.context !== null) audio.context.suspend();
    showOverlay('The intro has ended. Click or press a key to start it again.');
  }

  // ---- for tests: the frame count and a stop at a chosen frame ----
  window.vorn = {
    frame: () => frame,
    // Stops the run when frame n has been presented (0: no stop); the frames
    // up to it run without sound or waiting, with the sound of 60 frames a
    // second mixed after each.
    holdAt: (n) => { holdAt = n; },
    held: () => running && holdAt !== 0 && frame === holdAt,
    sounding: sounding,
    endStatus: () => endStatus,
  };

  if (window.location.hash === '#autostart') {
    start(false);
  } else {
    showOverlay('click or press a key to start');
  }
})();
