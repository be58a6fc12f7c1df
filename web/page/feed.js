// The audio worklet that plays the intro's sound: 16-bit interleaved stereo
// chunks posted by the page, played one after another at the context's rate
// (44,100 Hz).  When no chunk is waiting it plays silence.
'use strict';

class VornFeed extends AudioWorkletProcessor {
  constructor() {
    super();
    this.chunks = [];  // Int16Array, interleaved left and right
    this.read = 0;     // sample frames of chunks[0] already played
    this.port.onmessage = (event) => this.chunks.push(event.data);
  }

  process(inputs, outputs) {
    const left = outputs[0][0];
    const right = outputs[0][1];
    let i = 0;
    while (i < left.length && this.chunks.length > 0) {
      const chunk = this.chunks[0];
      const frames = chunk.length >> 1;
      const n = Math.min(left.length - i, frames - this.read);
      for (let k = 0; k < n; ++k) {
        left[i + k] = chunk[2 * (this.read + k)] / 32768;
        right[i + k] = chunk[2 * (this.read + k) + 1] / 32768;
      }
      i += n;
      this.read += n;
      if (this.read === frames) {
        this.chunks.shift();
        this.read = 0;
      }
    }
    for (; i < left.length; ++i) {
      left[i] = 0;
      right[i] = 0;
    }
    return true;
  }
}

registerProcessor('vorn-feed', VornFeed);
