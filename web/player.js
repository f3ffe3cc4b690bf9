// The web player's page: the demo songs and the default bank served beside
// it, files opened or dropped by the user, the stream played by an audio
// worklet, and the console player's piano roll with the step being heard.
import createZorvik from "./zorvik.mjs";
import { songBank, version, ZorvikPlayer } from "./api.js";
import {
  addWorklet,
  createSongNode,
  heardTime,
  kSampleRate,
  stepAt,
  stopSongNode,
} from "./audio.js";

const kDefaultBank = "default.zvi";
// The roll in the console player's 21-line screen: the playhead line and
// the two staves, between the header and the footer.
const kRollFirstLine = 6;
const kRollEndLine = 20;

const ui = Object.fromEntries(
  ["play", "song", "open", "title", "author", "bank", "message", "roll", "status", "version"].map(
    (id) => [id, document.getElementById(id)],
  ),
);

// Everything the page holds; also reachable from the browser's console as
// window.zorvikPlayer.
const state = {
  m: null,
  wasm: null,
  banks: new Map(), // file name -> bytes
  lastBank: null, // the bank file the user opened last
  songs: [], // { name, bytes }, in the order of the song list
  current: null, // the song shown and played: see openSong()
  context: null,
  node: null,
  startFrame: null, // the context frame of the node's first sample
  shownStep: -1,
};
window.zorvikPlayer = state;

async function fetchBytes(url) {
  const response = await fetch(url);
  if (!response.ok) throw new Error(`${url}: ${response.status} ${response.statusText}`);
  return new Uint8Array(await response.arrayBuffer());
}

function showMessage(text) {
  ui.message.textContent = text;
  ui.message.hidden = false;
}

function clearMessage() {
  ui.message.textContent = "";
  ui.message.hidden = true;
}

// A song made ready to play: the bank it names when that was opened, else
// the bank opened last, else the default bank. Throws the loader's message.
function openSong(entry) {
  const named = songBank(state.m, entry.bytes);
  const bankFile = state.banks.has(named) ? named : (state.lastBank ?? kDefaultBank);
  const player = new ZorvikPlayer(state.m, entry.bytes, state.banks.get(bankFile));
  return { entry, player, named, bankFile, screens: [] };
}

function addToList(entry, label) {
  state.songs.push(entry);
  const option = document.createElement("option");
  option.value = String(state.songs.length - 1);
  option.textContent = label;
  ui.song.append(option);
  return option;
}

function show(opened) {
  state.current?.player.free();
  state.current = opened;
  const { player, named, bankFile } = opened;
  ui.title.textContent = player.title;
  ui.author.textContent = player.author;
  let bank = `${player.bankName} by ${player.bankAuthor} (${bankFile})`;
  if (named !== bankFile) bank += `; the song names ${named || "no bank"}, which is not open`;
  ui.bank.textContent = bank;
  ui.song.value = String(state.songs.indexOf(opened.entry));
  state.shownStep = -1;
  if (state.context !== null) startNode();
}

// Plays the current song from its first step, in place of what played.
function startNode() {
  if (state.node !== null) stopSongNode(state.node);
  state.startFrame = null;
  const { entry, bankFile } = state.current;
  const node = createSongNode(
    state.context,
    { wasm: state.wasm, song: entry.bytes, bank: state.banks.get(bankFile) },
    (frame) => {
      if (node === state.node) state.startFrame = frame;
    },
  );
  node.onprocessorerror = () => showMessage("Error: the audio worklet stopped");
  node.connect(state.context.destination);
  state.node = node;
}

async function togglePlay() {
  ui.play.disabled = true;
  try {
    if (state.context === null) {
      // The context runs at the song's rate; the browser resamples to the
      // device. Songs chosen meanwhile start once the worklet is there.
      const context = new AudioContext({ sampleRate: kSampleRate });
      await addWorklet(context);
      state.context = context;
      startNode();
      await context.resume();
    } else if (state.context.state === "running") {
      await state.context.suspend();
    } else {
      await state.context.resume();
    }
  } catch (error) {
    showMessage(`Error: cannot play: ${error.message}`);
  }
  ui.play.textContent = state.context?.state === "running" ? "Pause" : "Play";
  ui.play.disabled = false;
}

// Opens files: banks (.zvi) first, each checked with the current song,
// then songs (any other file: .zvo or song text); the last song that
// opens is shown. A bank alone applies to the current song.
async function openFiles(files) {
  const read = await Promise.all(
    [...files].map(async (file) => ({
      name: file.name,
      bytes: new Uint8Array(await file.arrayBuffer()),
    })),
  );
  const isBank = (file) => /\.zvi$/i.test(file.name);
  const errors = [];
  let banksAdded = false;
  for (const file of read.filter(isBank)) {
    try {
      new ZorvikPlayer(state.m, state.current.entry.bytes, file.bytes).free();
      state.banks.set(file.name, file.bytes);
      state.lastBank = file.name;
      banksAdded = true;
    } catch (error) {
      errors.push(`Error: ${file.name}: ${error.message}`);
    }
  }
  let opened = null;
  for (const file of read.filter((f) => !isBank(f))) {
    try {
      const next = openSong(file);
      opened?.player.free();
      opened = next;
      addToList(file, `${next.player.title || file.name} (${file.name})`);
    } catch (error) {
      errors.push(`Error: ${file.name}: ${error.message}`);
    }
  }
  if (opened !== null) {
    show(opened);
  } else if (banksAdded) {
    show(openSong(state.current.entry));
  }
  if (errors.length > 0) {
    showMessage(errors.join("\n"));
  } else {
    clearMessage();
  }
}

function drawRoll(step) {
  const { player, screens } = state.current;
  screens[step] ??= player.screen(step).slice(kRollFirstLine, kRollEndLine);
  const lines = screens[step];
  // The playhead's column, marked down the whole roll.
  const column = lines[0].indexOf("@");
  const nodes = [];
  for (const line of lines) {
    if (column >= 0 && column < line.length) {
      const mark = document.createElement("span");
      mark.className = "now";
      mark.textContent = line[column];
      nodes.push(line.slice(0, column), mark, line.slice(column + 1) + "\n");
    } else {
      nodes.push(line + "\n");
    }
  }
  ui.roll.replaceChildren(...nodes);
  ui.roll.dataset.step = String(step);
  const perStep = player.samplesPerStep;
  const ms = ((1000 * perStep) / kSampleRate).toFixed(1);
  ui.status.textContent = `Step ${step} · ${perStep} samples (${ms} ms) a step`;
  state.shownStep = step;
}

// The step being heard: the sample leaving the speakers now, counted from
// the node's first sample.
function heardStep() {
  if (state.context === null || state.startFrame === null) return 0;
  const frame = Math.floor(heardTime(state.context) * kSampleRate);
  return stepAt(frame - state.startFrame, state.current.player.samplesPerStep);
}

function animate() {
  if (state.current !== null) {
    const step = heardStep();
    if (step !== state.shownStep) drawRoll(step);
  }
  requestAnimationFrame(animate);
}

async function start() {
  state.wasm = await fetchBytes("zorvik.wasm");
  state.m = await createZorvik({ wasmBinary: state.wasm });
  ui.version.textContent = `libzorvik ${version(state.m)}`;
  state.banks.set(kDefaultBank, await fetchBytes(kDefaultBank));
  const response = await fetch("demos.json");
  if (!response.ok) throw new Error(`demos.json: ${response.status} ${response.statusText}`);
  const demos = await response.json();
  let first = null;
  for (const name of demos) {
    const entry = { name, bytes: await fetchBytes(name) };
    const opened = openSong(entry);
    addToList(entry, opened.player.title || name);
    if (first === null) {
      first = opened;
    } else {
      opened.player.free();
    }
  }
  if (first === null) throw new Error("no demo songs");
  show(first);

  ui.play.addEventListener("click", togglePlay);
  ui.song.addEventListener("change", () => {
    const entry = state.songs[Number(ui.song.value)];
    try {
      show(openSong(entry));
      clearMessage();
    } catch (error) {
      showMessage(`Error: ${entry.name}: ${error.message}`);
    }
  });
  ui.open.addEventListener("change", async () => {
    await openFiles(ui.open.files);
    ui.open.value = "";
  });
  document.addEventListener("dragover", (event) => {
    event.preventDefault();
    document.body.classList.add("dropping");
  });
  document.addEventListener("dragleave", () => document.body.classList.remove("dropping"));
  document.addEventListener("drop", (event) => {
    event.preventDefault();
    document.body.classList.remove("dropping");
    openFiles(event.dataTransfer.files);
  });
  ui.play.disabled = false;
  ui.song.disabled = false;
  document.body.dataset.ready = "true";
  requestAnimationFrame(animate);
}

start().catch((error) => {
  ui.status.textContent = "";
  showMessage(`Error: ${error.message}`);
});
