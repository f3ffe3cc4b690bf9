// The audio worklet: a player renders the song's stream straight into the
// context's output, 128 samples at a time.
import createZorvik from "./zorvik.mjs";
import { instantiateNow, ZorvikPlayer } from "./api.js";

class ZorvikProcessor extends AudioWorkletProcessor {
  constructor(options) {
    super();
    const { wasm, song, bank } = options.processorOptions;
    this.player = new ZorvikPlayer(instantiateNow(createZorvik, wasm), song, bank);
    this.started = false;
    this.stopped = false;
    this.port.onmessage = (event) => {
      if (event.data === "stop") this.stopped = true;
    };
  }

  process(inputs, outputs) {
    if (this.stopped) {
      this.player.free();
      return false;
    }
    const out = outputs[0][0];
    if (!this.started) {
      // Where the stream begins on the context's timeline: the page
      // places the playhead from it.
      this.started = true;
      this.port.postMessage({ start: currentFrame });
    }
    const samples = this.player.render(out.length);
    for (let i = 0; i < out.length; i++) out[i] = samples[i] / 32768;
    return true;
  }
}

registerProcessor("zorvik-player", ZorvikProcessor);
