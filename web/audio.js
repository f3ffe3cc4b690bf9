// The web player's audio: one AudioWorklet node, in an AudioContext running
// at the stream's own rate, playing through the library's player whatever
// the page tells it (a song and its bank, a new version of the song, a
// seek, the channels heard, the volume) and reporting where it is; the
// time of the sound being heard; and the WAV file of a song's stream.

// The stream's sample rate: the context runs at it, so the worklet hands
// over the exact samples, and the browser resamples them to the device.
export const kSampleRate = 32004;

// Loads the processor into a context; once per context.
export function addWorklet(context, base = import.meta.url) {
  return context.audioWorklet.addModule(new URL("worklet.js", base));
}

// The node that plays songs. wasm is zorvik.wasm, compiled (a
// WebAssembly.Module, compiled once by the page) or as bytes: the worklet
// can fetch nothing. It starts with song and bank, from the song's start.
// onReport receives what the worklet says: { frame, position } (the next
// sample the worklet renders at context frame `frame` is sample `position`
// of the song), { sound: frame } once, when the first sample that is not
// silence is rendered, and { error: message }.
export function createSongNode(context, { wasm, song, bank }, onReport = () => {}) {
  const node = new AudioWorkletNode(context, "zorvik-player", {
    numberOfInputs: 0,
    numberOfOutputs: 1,
    outputChannelCount: [1],
    processorOptions: { wasm, song, bank },
  });
  node.port.onmessage = (event) => onReport(event.data);
  return node;
}

// The commands a node takes. A bank is sent only when it changes: the
// worklet keeps the one it plays.
export const songNode = {
  // Another song from its start, with its bank when that is not the one
  // playing.
  load: (node, song, bank = null) => node.port.postMessage({ type: "load", song, bank }),
  // A new version of the song at the same place (and its bank, when that
  // changed): the edits are heard from the next step.
  replace: (node, song, bank = null) => node.port.postMessage({ type: "replace", song, bank }),
  seek: (node, step) => node.port.postMessage({ type: "seek", step }),
  heard: (node, mask) => node.port.postMessage({ type: "heard", mask }),
  gain: (node, decibels) => node.port.postMessage({ type: "gain", decibels }),
};

// Renders the first frames samples of a song through the worklet, as
// played, into a Float32Array of the samples / 32768. edits, when given,
// is called with the node and the context once the rendering has started
// suspended at each of the frames it names ({ frame: f => ... }).
export async function renderOffline(OfflineContext, files, frames, edits = {}) {
  const context = new OfflineContext({ numberOfChannels: 1, length: frames, sampleRate: kSampleRate });
  await addWorklet(context);
  const node = createSongNode(context, files);
  node.connect(context.destination);
  for (const [frame, edit] of Object.entries(edits)) {
    context.suspend(Number(frame) / kSampleRate).then(() => {
      edit(node);
      context.resume();
    });
  }
  const buffer = await context.startRendering();
  return buffer.getChannelData(0);
}

// The context time of the sound leaving the speakers now. The context
// renders ahead of the device by its base and output latencies; the
// browser's output timestamp says where the device is, and while the
// context runs, the time passed since that stamp moves it on between
// render callbacks. Never past currentTime, the end of what was rendered.
export function heardTime(context, now = performance.now()) {
  if (typeof context.getOutputTimestamp === "function") {
    const stamp = context.getOutputTimestamp();
    if (stamp.performanceTime > 0) {
      const running = context.state === "running";
      const moved = running ? Math.max(0, now - stamp.performanceTime) / 1000 : 0;
      return Math.min(stamp.contextTime + moved, context.currentTime);
    }
  }
  return Math.max(0, context.currentTime - (context.baseLatency || 0) - (context.outputLatency || 0));
}

// The 44-byte header of a 16-bit mono WAV file of `count` samples at the
// stream's rate, as libsndfile writes it for `zorvik render`: RIFF, a
// 16-byte fmt chunk (PCM), then the data chunk.
export function wavHeader(count) {
  const header = new DataView(new ArrayBuffer(44));
  const tag = (at, text) => [...text].forEach((c, i) => header.setUint8(at + i, c.charCodeAt(0)));
  const dataBytes = 2 * count;
  tag(0, "RIFF");
  header.setUint32(4, 36 + dataBytes, true);
  tag(8, "WAVE");
  tag(12, "fmt ");
  header.setUint32(16, 16, true);
  header.setUint16(20, 1, true); // PCM
  header.setUint16(22, 1, true); // mono
  header.setUint32(24, kSampleRate, true);
  header.setUint32(28, 2 * kSampleRate, true); // bytes a second
  header.setUint16(32, 2, true); // bytes a frame
  header.setUint16(34, 16, true); // bits a sample
  tag(36, "data");
  header.setUint32(40, dataBytes, true);
  return new Uint8Array(header.buffer);
}

// The parts of the WAV file of `loops` loops of a player's stream from
// where it is (a new player: the song's start), for a Blob: the header,
// then the samples in blocks, little-endian.
export function wavParts(player, loops = 1) {
  player.setLoops(loops);
  const count = player.loopLength * loops - player.position;
  const parts = [wavHeader(count)];
  const block = 1 << 18;
  for (let done = 0; done < count; ) {
    const samples = player.render(Math.min(block, count - done));
    if (samples.length === 0) break;
    const bytes = new Uint8Array(2 * samples.length);
    const view = new DataView(bytes.buffer);
    for (let i = 0; i < samples.length; i++) view.setInt16(2 * i, samples[i], true);
    parts.push(bytes);
    done += samples.length;
  }
  return parts;
}
