// The web player's page, a composer: the song's 96 steps as an editable
// roll, heard while it is edited through one audio worklet that plays the
// library's player; the demo songs and the default bank served beside the
// page, files opened or dropped, the song in the page's address, and the
// song saved as .zvo, song text, WAV and MIDI. Every rule of the song
// format and of playing it is the library's (api.js); the page only shows
// and sends.
import createZorvik from "./zorvik.mjs";
import {
  cellSounds,
  compileSong,
  decompileSong,
  defaultBankSound,
  hasMidi,
  instantiate,
  instrumentName,
  kAuthor,
  kBank,
  kTitle,
  pitchName,
  rollShowsRow,
  SongFile,
  songBank,
  songMaxSize,
  songMidi,
  version,
  ZorvikPlayer,
} from "./api.js";
import {
  addWorklet,
  createSongNode,
  heardTime,
  kSampleRate,
  songNode,
  wavParts,
} from "./audio.js";

const kDefaultBank = "default.zvi";
const kSteps = 96;
const kChannels = 3;
const kPitchRows = 16;
const kInstruments = 15;
// The roll in blocks of 24 steps: two a line make the console player's two
// pages of 48; at phone width each block has a line of its own.
const kBlockSteps = 24;
// The largest bank a page opens: each bank is held a few times over (the
// file, the page's player, the worklet's player).
const kMaxBankBytes = 64 << 20;
const kMaxUndo = 500;

const ids = [
  "play", "time", "song", "new", "open-files", "open", "heard-1", "heard-2", "heard-3", "gain",
  "gain-shown", "title", "author", "tempo", "tempo-shown", "bank", "bank-shown", "message",
  "instrument", "undo", "redo", "roll", "cursor", "warnings-box", "warnings-summary", "warnings",
  "copy-link", "link", "save-zvo", "save-text", "save-wav", "save-midi", "version",
];
const ui = Object.fromEntries(ids.map((id) => [id, document.getElementById(id)]));

// Everything the page holds; also reachable from the browser's console as
// window.zorvikPlayer.
const state = {
  m: null,
  compiled: null, // zorvik.wasm, compiled once for the page and the worklet
  wasmBytes: null,
  workletWasm: null, // how the worklet got it: "compiled", or "bytes" to compile
  banks: new Map(), // file name -> bytes
  defaultBank: null, // the bytes served as default.zvi
  entries: [], // the song list: { name, label, song: SongFile }
  current: null, // the entry shown, played and edited
  player: null, // the library's player of the current song: its steps and lengths
  bankFile: kDefaultBank, // the bank the current song plays with
  playerBank: null, // its bytes, as the page's player holds them
  undo: [],
  redo: [],
  mergeKey: null, // the text field being typed in, whose edits are one
  cursor: { step: 0, row: 2 },
  channel: 0,
  instrument: 0,
  context: null,
  node: null,
  nodeBank: null, // the bank bytes the worklet holds
  report: null, // the worklet's last { frame, position }
  shownStep: -1,
  firstSound: null, // performance.now() when the first sound was rendered
  linkVersion: 0,
};
window.zorvikPlayer = state;

// --- Messages --------------------------------------------------------------

function showMessage(text) {
  ui.message.textContent = text;
  ui.message.hidden = false;
}

function clearMessage() {
  ui.message.textContent = "";
  ui.message.hidden = true;
}

// Text from a file shown in the page: bidirectional controls, which could
// make it read as something else (and reorder what follows it), are shown
// as visible marks.
function visible(text) {
  return text.replace(
    /[\u061c\u200e\u200f\u202a-\u202e\u2066-\u2069]/g,
    (c) => `[U+${c.codePointAt(0).toString(16).toUpperCase().padStart(4, "0")}]`,
  );
}

async function fetchBytes(url) {
  const response = await fetch(url);
  if (!response.ok) throw new Error(`${url}: ${response.status} ${response.statusText}`);
  return new Uint8Array(await response.arrayBuffer());
}

function minutes(seconds) {
  const m = Math.floor(seconds / 60);
  const s = (seconds - 60 * m).toFixed(1).padStart(4, "0");
  return `${m}:${s}`;
}

// --- The bank ---------------------------------------------------------------

// The bank a song plays with: the one it names when that is open, else the
// default bank, as the tools fall back to default.zvi.
function bankFor(song) {
  const named = songBank(state.m, song.bytes);
  return state.banks.has(named) ? named : kDefaultBank;
}

// --- The roll ----------------------------------------------------------------

const cells = []; // cells[step][row]: the roll's cell elements
const heads = []; // heads[step]: the playhead line's cells

function buildRoll() {
  const blocks = [];
  for (let first = 0; first < kSteps; first += kBlockSteps) {
    const block = document.createElement("div");
    block.className = "block";
    block.setAttribute("role", "rowgroup");
    const head = document.createElement("div");
    head.className = "head";
    head.setAttribute("role", "row");
    const corner = document.createElement("span");
    corner.setAttribute("role", "columnheader");
    corner.className = "label";
    corner.textContent = "step";
    head.append(corner);
    for (let step = first; step < first + kBlockSteps; step++) {
      const cell = document.createElement("span");
      cell.setAttribute("role", "columnheader");
      cell.className = "tick";
      cell.dataset.step = String(step);
      cell.title = `Play from step ${step}`;
      if (step % 8 === 0) cell.textContent = String(step);
      heads[step] = cell;
      head.append(cell);
    }
    block.append(head);
    for (let row = kPitchRows - 1; row >= 0; row--) {
      const line = document.createElement("div");
      line.setAttribute("role", "row");
      line.className = "line";
      if (!rollShowsRow(state.m, row)) line.classList.add("off-roll");
      const label = document.createElement("span");
      label.setAttribute("role", "rowheader");
      label.className = "label";
      label.textContent = pitchName(state.m, row);
      if (!rollShowsRow(state.m, row)) label.title = "Plays, but not on the console player's roll";
      line.append(label);
      for (let step = first; step < first + kBlockSteps; step++) {
        const cell = document.createElement("span");
        cell.setAttribute("role", "gridcell");
        cell.id = `cell-${step}-${row}`;
        cell.className = "cell";
        cell.dataset.step = String(step);
        cell.dataset.row = String(row);
        if (step % 4 === 0) cell.classList.add("beat");
        (cells[step] ??= [])[row] = cell;
        line.append(cell);
      }
      block.append(line);
    }
    blocks.push(block);
  }
  ui.roll.replaceChildren(...blocks);
}

const rowNames = [];

// The notes of a step at each pitch row the roll has: [{ channel,
// instrument, sounds }] by row.
function notesAt(song, step) {
  const byRow = Array.from({ length: kPitchRows }, () => []);
  for (let channel = 0; channel < kChannels; channel++) {
    const cell = song.cell(step, channel);
    if (cell !== null && cell.pitch < kPitchRows) {
      byRow[cell.pitch].push({
        channel,
        instrument: cell.instrument,
        sounds: cellSounds(state.m, cell.pitch, cell.instrument),
      });
    }
  }
  return byRow;
}

function noteWords(note) {
  const name = instrumentName(state.m, note.instrument);
  return `${name} on channel ${note.channel + 1}${note.sounds ? "" : " (silent)"}`;
}

function drawStep(step) {
  const byRow = notesAt(state.current.song, step);
  for (let row = 0; row < kPitchRows; row++) {
    const cell = cells[step][row];
    const notes = byRow[row];
    // As on the roll, the highest channel's mark shows.
    const top = notes[notes.length - 1];
    const name = top === undefined ? "" : instrumentName(state.m, top.instrument);
    cell.textContent = name.length === 1 ? name : name === "" ? "" : "#";
    for (let c = 0; c < kChannels; c++) cell.classList.toggle(`ch${c + 1}`, top?.channel === c);
    cell.classList.toggle("stacked", notes.length > 1);
    cell.classList.toggle("silent", top !== undefined && !top.sounds);
    const where = `step ${step}, ${rowNames[row]}`;
    const what = notes.length === 0 ? "no note" : notes.map(noteWords).join(", ");
    cell.setAttribute("aria-label", `${where}: ${what}`);
  }
}

function drawRoll() {
  for (let step = 0; step < kSteps; step++) drawStep(step);
  drawCursor();
}

function drawCursor() {
  ui.roll.querySelector(".cursor")?.classList.remove("cursor");
  const { step, row } = state.cursor;
  const cell = cells[step][row];
  cell.classList.add("cursor");
  ui.roll.setAttribute("aria-activedescendant", cell.id);
  ui.cursor.textContent = `Cursor: ${cell.getAttribute("aria-label")}; channel ${state.channel + 1}`;
}

function showPlayhead(step) {
  if (step === state.shownStep) return;
  if (state.shownStep >= 0) {
    heads[state.shownStep].classList.remove("now");
    for (const cell of cells[state.shownStep]) cell.classList.remove("now");
  }
  heads[step].classList.add("now");
  for (const cell of cells[step]) cell.classList.add("now");
  state.shownStep = step;
  ui.roll.dataset.step = String(step);
}

// --- The song's fields ---------------------------------------------------------

function drawFields() {
  const { player, current } = state;
  if (document.activeElement !== ui.title) ui.title.value = player.title;
  if (document.activeElement !== ui.author) ui.author.value = player.author;
  if (document.activeElement !== ui.tempo) ui.tempo.value = String(current.song.tempo);
  const perStep = player.samplesPerStep;
  const ms = ((1000 * perStep) / kSampleRate).toFixed(1);
  ui["tempo-shown"].textContent =
    `${ms} ms a step · ${minutes(player.loopLength / kSampleRate)} a loop`;

  const named = player.songBank;
  const options = [...state.banks.keys()];
  if (!state.banks.has(named)) options.push(named);
  ui.bank.replaceChildren(
    ...options.map((name) => {
      const option = document.createElement("option");
      option.value = name;
      option.textContent = visible(state.banks.has(name) ? name : `${name || "no bank"} (not open)`);
      return option;
    }),
  );
  ui.bank.value = named;
  let bank = `${visible(player.bankName)} by ${visible(player.bankAuthor)}`;
  if (named !== state.bankFile) {
    bank += `; the song names ${visible(named) || "no bank"}, which is not open: ` +
      `playing ${state.bankFile}`;
  }
  ui["bank-shown"].textContent = bank;

  const label = entryLabel(current);
  const option = ui.song.options[state.entries.indexOf(current)];
  if (option.textContent !== label) option.textContent = label;
  drawInstruments();
  ui.undo.disabled = state.undo.length === 0;
  ui.redo.disabled = state.redo.length === 0;
}

function drawInstruments() {
  const withSounds = state.banks.get(state.bankFile) === state.defaultBank;
  if (ui.instrument.dataset.sounds === String(withSounds)) return;
  ui.instrument.dataset.sounds = String(withSounds);
  ui.instrument.replaceChildren(
    ...Array.from({ length: kInstruments }, (_, i) => {
      const option = document.createElement("option");
      option.value = String(i);
      const name = instrumentName(state.m, i);
      option.textContent = withSounds ? `${name}: ${defaultBankSound(state.m, i)}` : name;
      return option;
    }),
  );
  ui.instrument.value = String(state.instrument);
}

function drawWarnings() {
  const { warnings } = compileSong(state.m, state.current.song.bytes);
  ui["warnings-box"].hidden = warnings.length === 0;
  ui["warnings-summary"].textContent =
    `${warnings.length} note${warnings.length === 1 ? "" : "s"} that will not sound or show`;
  ui.warnings.replaceChildren(
    ...warnings.map((w) => {
      const item = document.createElement("li");
      item.textContent = w;
      return item;
    }),
  );
}

function entryLabel(entry) {
  const title = entry === state.current ? state.player.title : entry.title;
  if (entry.demo) return visible(title || entry.name);
  return `${visible(title || "untitled")} (${visible(entry.name)})`;
}

// --- Songs: loading and editing ----------------------------------------------

function addEntry(name, song, demo = false) {
  const probe = new ZorvikPlayer(state.m, song.bytes, state.defaultBank);
  const entry = { name, song, demo, title: probe.title };
  probe.free();
  state.entries.push(entry);
  const option = document.createElement("option");
  option.value = String(state.entries.length - 1);
  option.textContent = entryLabel(entry);
  ui.song.append(option);
  return entry;
}

// Shows and plays an entry of the list from its start.
function open(entry) {
  const song = entry.song;
  const bankFile = bankFor(song);
  const bank = state.banks.get(bankFile);
  const player = new ZorvikPlayer(state.m, song.bytes, bank);
  if (state.current !== null) state.current.title = state.player.title;
  state.player?.free();
  state.player = player;
  state.current = entry;
  state.bankFile = bankFile;
  state.playerBank = bank;
  state.undo = [];
  state.redo = [];
  state.mergeKey = null;
  ui.song.value = String(state.entries.indexOf(entry));
  if (state.node !== null) {
    songNode.load(state.node, song.bytes.slice(), bank === state.nodeBank ? null : bank);
    state.nodeBank = bank;
    state.report = null;
  }
  drawRoll();
  drawFields();
  drawWarnings();
  showPlayhead(0);
  updateLink();
}

// After the song changed: the page's player, the worklet (from the next
// step on, in place), the roll's steps that changed, the fields, the link.
function songChanged(steps = null) {
  const song = state.current.song;
  const bankFile = bankFor(song);
  const bank = state.banks.get(bankFile);
  state.player.replace(song.bytes, bank !== state.playerBank ? bank : null);
  state.playerBank = bank;
  state.bankFile = bankFile;
  if (state.node !== null) {
    songNode.replace(state.node, song.bytes.slice(), bank !== state.nodeBank ? bank : null);
    state.nodeBank = bank;
  }
  for (const step of steps ?? Array.from({ length: kSteps }, (_, i) => i)) drawStep(step);
  drawCursor();
  drawFields();
  drawWarnings();
  updateLink();
}

// Changes the song through change(song); one step of undo, or part of the
// last one while the same text field is typed in (mergeKey).
function edit(change, { steps = null, mergeKey = null } = {}) {
  const song = state.current.song;
  const before = song.bytes.slice();
  change(song);
  if (before.every((byte, i) => byte === song.bytes[i])) return;
  if (mergeKey === null || mergeKey !== state.mergeKey) {
    state.undo.push(before);
    if (state.undo.length > kMaxUndo) state.undo.shift();
  }
  state.redo = [];
  state.mergeKey = mergeKey;
  songChanged(steps);
}

function undo(from, to) {
  const bytes = from.pop();
  if (bytes === undefined) return;
  to.push(state.current.song.bytes.slice());
  state.current.song.bytes.set(bytes);
  state.mergeKey = null;
  songChanged();
}

// Places or takes away a note at a step and pitch row: a note there on the
// chosen channel (else the one shown) goes; otherwise the chosen channel's
// cell of the step gets the instrument's note at that row.
function toggleNote(step, row, instrument = state.instrument) {
  const notes = notesAt(state.current.song, step)[row];
  const chosen = notes.find((n) => n.channel === state.channel);
  if (chosen === undefined && notes.length > 0 && instrument === state.instrument) {
    removeNote(step, row);
    return;
  }
  if (chosen !== undefined && chosen.instrument === instrument) {
    removeNote(step, row);
    return;
  }
  edit((song) => song.setCell(step, state.channel, row, instrument), { steps: [step] });
}

function removeNote(step, row) {
  const notes = notesAt(state.current.song, step)[row];
  const note = notes.find((n) => n.channel === state.channel) ?? notes[notes.length - 1];
  if (note === undefined) return;
  edit((song) => song.clearCell(step, note.channel), { steps: [step] });
}

function setText(field, input, mergeKey) {
  try {
    edit((song) => song.setText(field, input.value), { mergeKey });
    input.removeAttribute("aria-invalid");
    clearMessage();
  } catch (error) {
    if (!(error instanceof RangeError)) throw error;
    input.setAttribute("aria-invalid", "true");
    showMessage(`Error: a ${mergeKey} holds at most 32 bytes (as UTF-8); this one is not kept`);
  }
}

// --- The link ------------------------------------------------------------------

function base64url(bytes) {
  let text = "";
  for (const byte of bytes) text += String.fromCharCode(byte);
  return btoa(text).replace(/\+/g, "-").replace(/\//g, "_").replace(/=+$/, "");
}

function fromBase64url(text) {
  const plain = atob(text.replace(/-/g, "+").replace(/_/g, "/"));
  return Uint8Array.from(plain, (c) => c.charCodeAt(0));
}

async function transform(bytes, stream) {
  const out = new Blob([bytes]).stream().pipeThrough(stream);
  return new Uint8Array(await new Response(out).arrayBuffer());
}

// The address's fragment for a song: #z= and its .zvo bytes compressed
// (raw deflate) where the browser can, else #s= and the bytes as they are,
// both in base64url.
async function songFragment(bytes) {
  if (typeof CompressionStream === "function") {
    return `#z=${base64url(await transform(bytes, new CompressionStream("deflate-raw")))}`;
  }
  return `#s=${base64url(bytes)}`;
}

// The song a fragment holds, or null when it holds none.
async function songOfFragment(fragment) {
  const match = /^#([sz])=([A-Za-z0-9_-]+)$/.exec(fragment);
  if (match === null) return null;
  let bytes = fromBase64url(match[2]);
  if (match[1] === "z") bytes = await transform(bytes, new DecompressionStream("deflate-raw"));
  return compileSong(state.m, bytes).song;
}

function updateLink() {
  const version = ++state.linkVersion;
  songFragment(state.current.song.bytes).then((fragment) => {
    if (version !== state.linkVersion) return;
    history.replaceState(null, "", fragment);
    ui.link.value = location.href;
  });
}

async function openFragment() {
  if (location.hash === "" || location.hash === "#") return false;
  let song;
  try {
    song = await songOfFragment(location.hash);
  } catch (error) {
    showMessage(`Error: the link's song: ${error.message}`);
    return false;
  }
  if (song === null) {
    showMessage("Error: the link holds no song (it should end in #s=... or #z=...)");
    return false;
  }
  open(addEntry("linked.zvo", new SongFile(state.m, song)));
  return true;
}

// --- Playing -------------------------------------------------------------------

function onReport(node, data) {
  if (node !== state.node) return;
  if (typeof data.position === "number") state.report = data;
  if (typeof data.sound === "number") state.firstSound ??= performance.now();
  if (typeof data.error === "string") showMessage(`Error: ${data.error}`);
}

// The audio context and the worklet's node, made on the first play (a
// browser lets a page start sound only after a gesture).
async function startAudio() {
  if (state.context !== null) return;
  // The context runs at the song's rate; the browser resamples to the
  // device.
  const context = new AudioContext({ sampleRate: kSampleRate });
  await addWorklet(context);
  const song = state.current.song.bytes.slice();
  const bank = state.banks.get(state.bankFile);
  let node;
  const report = (data) => onReport(node, data);
  try {
    node = createSongNode(context, { wasm: state.compiled, song, bank }, report);
    state.workletWasm = "compiled";
  } catch (error) {
    // A browser that cannot pass a compiled module to a worklet gets the
    // bytes, compiled there.
    if (error.name !== "DataCloneError") throw error;
    node = createSongNode(context, { wasm: state.wasmBytes, song, bank }, report);
    state.workletWasm = "bytes";
  }
  node.onprocessorerror = () => showMessage("Error: the audio worklet stopped");
  node.connect(context.destination);
  songNode.heard(node, heardMask());
  songNode.gain(node, Number(ui.gain.value));
  state.context = context;
  state.node = node;
  state.nodeBank = bank;
}

async function setPlaying(playing) {
  if (playing) {
    await startAudio();
    await state.context.resume();
  } else if (state.context !== null) {
    await state.context.suspend();
  }
  ui.play.textContent = state.context?.state === "running" ? "Pause" : "Play";
}

function togglePlay() {
  return setPlaying(state.context?.state !== "running");
}

async function playFrom(step) {
  await startAudio();
  songNode.seek(state.node, step);
  state.report = null;
  await setPlaying(true);
}

function heardMask() {
  return [1, 2, 3].reduce((mask, c) => mask | (ui[`heard-${c}`].checked ? 1 << (c - 1) : 0), 0);
}

// The sample of the song being heard now, counted from its start.
function heardPosition() {
  const { context, report } = state;
  if (context === null || report === null) return null;
  const frame = Math.round(heardTime(context) * kSampleRate);
  return Math.max(0, report.position + (frame - report.frame));
}

function animate() {
  const position = heardPosition();
  if (position !== null) {
    showPlayhead(state.player.stepAt(position));
    const loopLength = state.player.loopLength;
    const time = `${minutes((position % loopLength) / kSampleRate)} / ${minutes(loopLength / kSampleRate)}`;
    if (ui.time.textContent !== time) ui.time.textContent = time;
  } else if (state.player !== null) {
    ui.time.textContent = `0:00.0 / ${minutes(state.player.loopLength / kSampleRate)}`;
  }
  requestAnimationFrame(animate);
}

// --- Files -----------------------------------------------------------------------

function download(name, parts, type) {
  const url = URL.createObjectURL(new Blob(parts, { type }));
  const link = document.createElement("a");
  link.href = url;
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 60000);
}

// The current song's file name without its extension.
function baseName() {
  return state.current.name.replace(/\.[^.]*$/, "") || "song";
}

function saveWav() {
  const player = new ZorvikPlayer(state.m, state.current.song.bytes, state.banks.get(state.bankFile));
  try {
    download(`${baseName()}.wav`, wavParts(player, 1), "audio/wav");
  } finally {
    player.free();
  }
}

// Opens files: banks (.zvi) first, each checked with the current song,
// then songs (any other file: .zvo or song text); the last song that
// opens is shown. A bank opened on its own becomes the current song's.
async function openFiles(files) {
  const errors = [];
  const isBank = (file) => /\.zvi$/i.test(file.name);
  const fits = (file) => {
    const limit = isBank(file) ? kMaxBankBytes : songMaxSize(state.m);
    if (file.size <= limit) return true;
    const what = isBank(file) ? "a bank this page opens" : "a song";
    errors.push(`Error: ${file.name}: larger than ${what} can be (${limit >> 20} MiB)`);
    return false;
  };
  const read = await Promise.all(
    [...files].filter(fits).map(async (file) => ({
      name: file.name,
      bytes: new Uint8Array(await file.arrayBuffer()),
    })),
  );
  let lastBank = null;
  for (const file of read.filter(isBank)) {
    try {
      new ZorvikPlayer(state.m, state.current.song.bytes, file.bytes).free();
      state.banks.set(file.name, file.bytes);
      lastBank = file.name;
    } catch (error) {
      errors.push(`Error: ${file.name}: ${error.message}`);
    }
  }
  let opened = null;
  for (const file of read.filter((f) => !isBank(f))) {
    try {
      opened = addEntry(file.name, new SongFile(state.m, compileSong(state.m, file.bytes).song));
    } catch (error) {
      errors.push(`Error: ${file.name}: ${error.message}`);
    }
  }
  if (opened !== null) {
    open(opened);
  } else if (lastBank !== null && songBank(state.m, state.current.song.bytes) !== lastBank) {
    edit((song) => song.setText(kBank, lastBank));
  } else if (lastBank !== null) {
    songChanged(); // the bank of that name is new
  }
  if (errors.length > 0) {
    showMessage(errors.join("\n"));
  } else {
    clearMessage();
  }
}

// --- Keys ----------------------------------------------------------------------------

function moveCursor(steps, rows) {
  const { step, row } = state.cursor;
  state.cursor = {
    step: Math.min(kSteps - 1, Math.max(0, step + steps)),
    row: Math.min(kPitchRows - 1, Math.max(0, row + rows)),
  };
  drawCursor();
}

function chooseChannel(channel) {
  state.channel = channel;
  document.querySelector(`input[name=channel][value="${channel}"]`).checked = true;
  drawCursor();
}

function chooseInstrument(instrument) {
  state.instrument = instrument;
  ui.instrument.value = String(instrument);
}

function rollKey(event) {
  if (event.ctrlKey || event.metaKey || event.altKey) return;
  const { step, row } = state.cursor;
  const moves = {
    ArrowLeft: [-1, 0], ArrowRight: [1, 0], ArrowUp: [0, 1], ArrowDown: [0, -1],
    Home: [-kSteps, 0], End: [kSteps, 0], PageUp: [-kBlockSteps, 0], PageDown: [kBlockSteps, 0],
  };
  const key = event.key;
  if (key in moves) {
    moveCursor(...moves[key]);
  } else if (/^[a-o]$/.test(key)) {
    const instrument = key.charCodeAt(0) - 97;
    chooseInstrument(instrument);
    const chosen = state.current.song.cell(step, state.channel);
    if (chosen?.pitch !== row || chosen?.instrument !== instrument) {
      edit((song) => song.setCell(step, state.channel, row, instrument), { steps: [step] });
    }
  } else if (key === "Enter") {
    toggleNote(step, row);
  } else if (key === "Delete" || key === "Backspace") {
    removeNote(step, row);
  } else if (/^[1-3]$/.test(key)) {
    chooseChannel(Number(key) - 1);
  } else {
    return;
  }
  event.preventDefault();
}

function isTyping(target) {
  return target.matches?.("input:not([type=checkbox]):not([type=radio]):not([type=range]), select, textarea");
}

function pageKey(event) {
  const key = event.key.toLowerCase();
  if ((event.ctrlKey || event.metaKey) && !event.altKey && (key === "z" || key === "y")) {
    if (isTyping(event.target)) return; // the field's own undo
    event.preventDefault();
    if (key === "y" || event.shiftKey) undo(state.redo, state.undo);
    else undo(state.undo, state.redo);
    return;
  }
  if (event.key === " " && !event.ctrlKey && !event.metaKey && !event.altKey) {
    if (isTyping(event.target) || event.target.matches?.("button")) return;
    event.preventDefault();
    togglePlay().catch(failed);
  }
}

// --- Start ---------------------------------------------------------------------------

function failed(error) {
  showMessage(`Error: ${error?.message ?? String(error)}`);
}

function wire() {
  ui.play.addEventListener("click", () => togglePlay().catch(failed));
  ui.song.addEventListener("change", () => open(state.entries[Number(ui.song.value)]));
  ui.new.addEventListener("click", () => open(addEntry("untitled.zvo", SongFile.empty(state.m))));
  ui["open-files"].addEventListener("click", () => ui.open.click());
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
    openFiles(event.dataTransfer.files).catch(failed);
  });
  for (const c of [1, 2, 3]) {
    ui[`heard-${c}`].addEventListener("change", () => {
      if (state.node !== null) songNode.heard(state.node, heardMask());
    });
  }
  ui.gain.addEventListener("input", () => {
    ui["gain-shown"].textContent = `${ui.gain.value} dB`;
    if (state.node !== null) songNode.gain(state.node, Number(ui.gain.value));
  });
  ui.title.addEventListener("input", () => setText(kTitle, ui.title, "title"));
  ui.author.addEventListener("input", () => setText(kAuthor, ui.author, "author"));
  ui.title.addEventListener("change", () => drawFields());
  ui.author.addEventListener("change", () => drawFields());
  ui.tempo.addEventListener("input", () => {
    const tempo = Number(ui.tempo.value);
    if (ui.tempo.value === "" || !Number.isInteger(tempo) || tempo < 0 || tempo > 255) return;
    edit((song) => (song.tempo = tempo), { mergeKey: "tempo" });
  });
  ui.tempo.addEventListener("change", () => drawFields());
  ui.bank.addEventListener("change", () => edit((song) => song.setText(kBank, ui.bank.value)));
  for (const radio of document.querySelectorAll("input[name=channel]")) {
    radio.addEventListener("change", () => chooseChannel(Number(radio.value)));
  }
  ui.instrument.addEventListener("change", () => chooseInstrument(Number(ui.instrument.value)));
  ui.undo.addEventListener("click", () => undo(state.undo, state.redo));
  ui.redo.addEventListener("click", () => undo(state.redo, state.undo));
  ui.roll.addEventListener("click", (event) => {
    const cell = event.target.closest(".cell, .tick");
    if (cell === null) return;
    const step = Number(cell.dataset.step);
    if (cell.classList.contains("tick")) {
      playFrom(step).catch(failed);
      return;
    }
    const row = Number(cell.dataset.row);
    state.cursor = { step, row };
    toggleNote(step, row);
    drawCursor();
  });
  ui.roll.addEventListener("keydown", rollKey);
  document.addEventListener("keydown", pageKey);
  ui["copy-link"].addEventListener("click", async () => {
    ui.link.select();
    try {
      await navigator.clipboard.writeText(ui.link.value);
      ui["copy-link"].textContent = "Copied";
      setTimeout(() => (ui["copy-link"].textContent = "Copy link"), 1500);
    } catch {
      showMessage("The browser did not let the page copy: the link is selected, copy it from there");
    }
  });
  ui["save-zvo"].addEventListener("click", () =>
    download(`${baseName()}.zvo`, [state.current.song.bytes], "application/octet-stream"),
  );
  ui["save-text"].addEventListener("click", () =>
    download(`${baseName()}.txt`, [decompileSong(state.m, state.current.song.bytes)], "text/plain"),
  );
  ui["save-wav"].addEventListener("click", saveWav);
  if (hasMidi(state.m)) {
    ui["save-midi"].addEventListener("click", () =>
      download(
        `${baseName()}.mid`,
        [songMidi(state.m, state.current.song.bytes, state.banks.get(state.bankFile), 1)],
        "audio/midi",
      ),
    );
  } else {
    ui["save-midi"].disabled = true;
    ui["save-midi"].title = "This build of the library has no MIDI writer";
  }
  window.addEventListener("hashchange", () => {
    songOfFragment(location.hash)
      .then((song) => {
        if (song !== null && !song.every((b, i) => b === state.current.song.bytes[i])) {
          open(addEntry("linked.zvo", new SongFile(state.m, song)));
        }
      })
      .catch(failed);
  });
}

async function start() {
  state.wasmBytes = await fetchBytes("zorvik.wasm");
  state.compiled = await WebAssembly.compile(state.wasmBytes);
  state.m = await instantiate(createZorvik, state.compiled);
  ui.version.textContent = `libzorvik ${version(state.m)}`;
  state.defaultBank = await fetchBytes(kDefaultBank);
  state.banks.set(kDefaultBank, state.defaultBank);
  for (let row = 0; row < kPitchRows; row++) {
    rowNames[row] = rollShowsRow(state.m, row)
      ? pitchName(state.m, row)
      : `${pitchName(state.m, row)} (not on the console roll)`;
  }
  buildRoll();
  const response = await fetch("demos.json");
  if (!response.ok) throw new Error(`demos.json: ${response.status} ${response.statusText}`);
  for (const name of await response.json()) {
    addEntry(name, new SongFile(state.m, compileSong(state.m, await fetchBytes(name)).song), true);
  }
  if (state.entries.length === 0) throw new Error("no demo songs");
  wire();
  if (!(await openFragment())) open(state.entries[0]);
  ui.play.disabled = false;
  ui.song.disabled = false;
  document.body.dataset.ready = "true";
  requestAnimationFrame(animate);
}

// A promise that fails anywhere shows its message rather than vanishing.
window.addEventListener("unhandledrejection", (event) => {
  event.preventDefault();
  failed(event.reason);
});
window.addEventListener("error", (event) => failed(event.error ?? { message: event.message }));

start().catch(failed);
