// The audio worklet: the library's player renders the song's stream
// straight into the context's output, 128 samples at a time, and takes the
// page's commands between two blocks (web/audio.js says which).
import createZorvik from "./zorvik.mjs";
import { instantiateNow, ZorvikPlayer } from "./api.js";

// Blocks between two reports of where the stream is: about 32 ms.
const kReportEvery = 8;

class ZorvikProcessor extends AudioWorkletProcessor {
  constructor(options) {
    super();
    const { wasm, song, bank } = options.processorOptions;
    this.m = instantiateNow(createZorvik, wasm);
    this.bank = bank;
    this.heard = 7;
    this.gain = 0;
    this.player = null;
    this.blocks = 0;
    this.sounded = false;
    this.load(song);
    this.port.onmessage = (event) => {
      try {
        this.command(event.data);
      } catch (error) {
        this.port.postMessage({ error: error.message });
      }
      this.blocks = 0; // reported with the next block
    };
  }

  load(song) {
    const player = new ZorvikPlayer(this.m, song, this.bank);
    player.heard = this.heard;
    player.gain = this.gain;
    this.player?.free();
    this.player = player;
  }

  command(c) {
    switch (c.type) {
      case "load":
        if (c.bank !== null) this.bank = c.bank;
        this.load(c.song);
        break;
      case "replace":
        this.player.replace(c.song, c.bank);
        if (c.bank !== null) this.bank = c.bank;
        break;
      case "seek":
        this.player.seek(c.step);
        break;
      case "heard":
        this.heard = c.mask;
        this.player.heard = c.mask;
        break;
      case "gain":
        this.gain = c.decibels;
        this.player.gain = c.decibels;
        break;
    }
  }

  process(inputs, outputs) {
    const out = outputs[0][0];
    if (this.blocks++ % kReportEvery === 0) {
      this.port.postMessage({ frame: currentFrame, position: this.player.position });
    }
    const samples = this.player.render(out.length);
    for (let i = 0; i < samples.length; i++) out[i] = samples[i] / 32768;
    if (!this.sounded && samples.some((s) => s !== 0)) {
      this.sounded = true;
      this.port.postMessage({ sound: currentFrame });
    }
    return true;
  }
}

registerProcessor("zorvik-player", ZorvikProcessor);
