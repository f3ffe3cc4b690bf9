// The web player's audio: a song's stream played by an AudioWorklet in an
// AudioContext running at the stream's own rate, and the step being heard.

// The stream's sample rate: the context runs at it, so the worklet hands
// over the exact samples, and the browser resamples them to the device.
export const kSampleRate = 32004;
export const kSteps = 96;

// Loads the processor into a context; once per context.
export function addWorklet(context, base = import.meta.url) {
  return context.audioWorklet.addModule(new URL("worklet.js", base));
}

// A node playing a song from its first step: wasm, song and bank are the
// bytes of zorvik.wasm, of the song and of the bank (the worklet cannot
// fetch, so it gets them all from here). onStart(frame) is called with the
// context frame at which sample 0 of the stream is rendered.
export function createSongNode(context, { wasm, song, bank }, onStart = () => {}) {
  const node = new AudioWorkletNode(context, "zorvik-player", {
    numberOfInputs: 0,
    numberOfOutputs: 1,
    outputChannelCount: [1],
    processorOptions: { wasm, song, bank },
  });
  node.port.onmessage = (event) => {
    if (typeof event.data.start === "number") onStart(event.data.start);
  };
  return node;
}

// Stops a node from createSongNode: the processor frees its player.
export function stopSongNode(node) {
  node.port.postMessage("stop");
  node.disconnect();
}

// Renders the first frames samples of a song through the worklet, as
// played, into a Float32Array of the samples / 32768.
export async function renderOffline(OfflineContext, bytes, frames) {
  const context = new OfflineContext({ numberOfChannels: 1, length: frames, sampleRate: kSampleRate });
  await addWorklet(context);
  createSongNode(context, bytes).connect(context.destination);
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

// The step that sample n of a song's stream belongs to: the stream starts
// at step 0 and every step lasts samplesPerStep samples. Before the stream
// starts (n < 0) that is step 0.
export function stepAt(n, samplesPerStep) {
  if (n <= 0) return 0;
  return Math.floor(n / samplesPerStep) % kSteps;
}
