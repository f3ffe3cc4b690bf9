// zorvik.mjs under node, through the page's own wrapper (api.js), against
// the native `zorvik` tool: the same samples, the same steps, the same
// texts and the same messages for damaged files.
import assert from "node:assert/strict";
import { readFileSync, statSync, writeFileSync } from "node:fs";
import { join } from "node:path";
import { describe, test } from "node:test";
import { pathToFileURL } from "node:url";
import { gzipSync } from "node:zlib";

import {
  demoSongs,
  nativeError,
  nativeInfo,
  nativeRender,
  nativeTool,
  repo,
  scratchFolder,
  site,
  siteFile,
} from "./native.mjs";

const load = (name) => import(pathToFileURL(join(site, name)).href);
const { default: createZorvik } = await load("zorvik.mjs");
const { compileSong, decompileSong, instantiateNow, kAuthor, kBank, kTitle, SongFile, songBank,
  ZorvikPlayer } = await load("api.js");
const { wavParts } = await load("audio.js");
const kSteps = 96;

const m = await createZorvik();
const defaultBank = siteFile("default.zvi");
const scratch = scratchFolder();

// The first index where two sample arrays differ, or -1.
function firstDifference(got, expected) {
  const n = Math.min(got.length, expected.length);
  for (let i = 0; i < n; i++) if (got[i] !== expected[i]) return i;
  return got.length === expected.length ? -1 : n;
}

function assertSameSamples(got, expected, what) {
  const at = firstDifference(got, expected);
  assert.equal(at, -1, `${what}: sample ${at} is ${got[at]}, the native tool's ${expected[at]}`);
}

test("the module exports every function the header declares, with _malloc, _free and the heaps", () => {
  const header = readFileSync(join(repo, "include", "zorvik", "zorvik.h"), "utf8");
  const functions = [...header.matchAll(/^ZORVIK_API [^(]*?\b(zorvik_[a-z_]+)\s*\(/gm)].map((f) => f[1]);
  assert.ok(functions.length > 30, `${functions.length} functions`);
  for (const name of [...functions, "malloc", "free"]) {
    assert.equal(typeof m[`_${name}`], "function", name);
  }
  assert.ok(m.HEAPU8 instanceof Uint8Array);
  assert.ok(m.HEAP16 instanceof Int16Array);
});

test("64-bit positions and loops cross as BigInts, both ways", () => {
  const player = new ZorvikPlayer(m, siteFile(demoSongs[0]), defaultBank);
  try {
    const loop = 2 ** 33; // past what 32 bits hold
    player.seekTo(loop, 5, 7);
    assert.equal(player.loop, loop);
    assert.equal(player.position, loop * player.loopLength + 5 * player.samplesPerStep + 7);
    assert.equal(player.stepAt(player.position), 5);
    player.setLoops(loop);
    assert.equal(player.ended, true);
    player.setLoops(loop + 1);
    assert.equal(player.ended, false);
  } finally {
    player.free();
  }
});

test("zorvik.wasm is under 200 KB, and under 80 KB gzipped", (t) => {
  const size = statSync(join(site, "zorvik.wasm")).size;
  const gzipped = gzipSync(siteFile("zorvik.wasm"), { level: 9 }).length;
  t.diagnostic(`zorvik.wasm: ${size} bytes, ${gzipped} gzipped`);
  assert.ok(size < 200 * 1024, `${size} bytes`);
  assert.ok(gzipped < 80 * 1024, `${gzipped} bytes gzipped`);
});

describe("each demo song plays as the native tool renders it", () => {
  for (const name of demoSongs) {
    test(name, () => {
      const path = join(site, name);
      const info = nativeInfo(path);
      const player = new ZorvikPlayer(m, siteFile(name), defaultBank);
      try {
        assert.equal(player.title, info.Title);
        assert.equal(player.author, info.Author);
        assert.equal(player.songBank, info.Bank);
        const perStep = player.samplesPerStep;
        assert.equal(`${perStep} samples`, info["Step length"].replace(/ \(.*/, ""));

        // One loop and the start of the next, 128 samples at a time as
        // the worklet renders; the step the page shows for a sample (the
        // player's stepAt) is the step the player is in there.
        const total = kSteps * perStep + 1000;
        const expected = nativeRender(path, total, join(scratch, `${name}.wav`));
        const got = new Int16Array(total);
        for (let done = 0; done < total; done += 128) {
          assert.equal(player.stepAt(done), player.step, `step after ${done} samples`);
          assert.equal(player.position, done);
          const count = Math.min(128, total - done);
          got.set(player.render(count), done);
        }
        assertSameSamples(got, expected, name);
      } finally {
        player.free();
      }
    });
  }
});

describe("each demo song's files, as the native tool writes them", () => {
  for (const name of demoSongs) {
    test(name, async () => {
      const path = join(site, name);
      // The WAV file the page downloads: zorvik render's bytes.
      const player = new ZorvikPlayer(m, siteFile(name), defaultBank);
      let wav;
      try {
        wav = Buffer.from(await new Blob(wavParts(player, 1)).arrayBuffer());
      } finally {
        player.free();
      }
      const out = join(scratch, `${name}.wav`);
      nativeTool(["render", path, out]);
      assert.ok(wav.equals(readFileSync(out)), "the WAV file differs from zorvik render's");
      // The song text, and the .zvo bytes compiled back from it.
      const text = nativeTool(["song", "decompile", path]);
      assert.equal(decompileSong(m, siteFile(name)), text);
      const compiled = compileSong(m, new TextEncoder().encode(text));
      assert.deepEqual(compiled, { song: siteFile(name), warnings: [] });
    });
  }
});

test("a song edited through the library is the song its text compiles to", () => {
  const song = SongFile.empty(m);
  song.setCell(0, 0, 1, 0);
  song.setCell(4, 1, 14, 12);
  song.setCell(95, 2, 0, 14);
  song.setCell(8, 2, 200, 40);
  song.setCell(12, 0, 5, 5);
  song.clearCell(12, 0);
  song.tempo = 180;
  song.setText(kTitle, "Été");
  song.setText(kAuthor, "x".repeat(32));
  song.setText(kBank, "mine.zvi");
  assert.deepEqual(song.cell(4, 1), { pitch: 14, instrument: 12 });
  assert.equal(song.cell(12, 0), null);
  assert.throws(() => song.setText(kTitle, "é".repeat(17)), RangeError); // 34 bytes
  assert.throws(() => song.setCell(96, 0, 1, 1), RangeError);
  assert.throws(() => (song.tempo = 256), RangeError);

  const text = [
    'title  "Été"',
    `author "${"x".repeat(32)}"`,
    'bank   "mine.zvi"',
    "tempo  180",
    "0:  B3a ---     ---",
    "4:  --- A5m     ---",
    "8:  --- ---     200:40",
    "95: --- ---     A#3o",
  ].join("\n");
  const textFile = join(scratch, "edited.txt");
  const songFile = join(scratch, "edited.zvo");
  writeFileSync(textFile, text + "\n");
  nativeTool(["song", "compile", textFile, songFile]);
  assert.deepEqual(song.bytes, new Uint8Array(readFileSync(songFile)));
  // The notes that cannot sound or show, as the tools say.
  assert.deepEqual(compileSong(m, song.bytes).warnings, [
    "step 4, channel 2: A5 plays but the roll cannot show it (it shows B3 to G5, pitch rows 1 to 13)",
    "step 8, channel 3: instrument #40 of 200:40 has no sample in the bank; it cuts the step but stays silent",
    "step 95, channel 3: A#3 plays but the roll cannot show it (it shows B3 to G5, pitch rows 1 to 13)",
  ]);
});

test("an edit replaces the song in place: the place is kept, the new note heard from the next step", () => {
  const song = SongFile.empty(m);
  song.tempo = 255;
  const player = new ZorvikPlayer(m, song.bytes, defaultBank);
  try {
    const perStep = player.samplesPerStep;
    player.render(3 * perStep + 100);
    song.setCell(4, 0, 2, 9); // the next step
    player.replace(song.bytes);
    assert.equal(player.position, 3 * perStep + 100);
    const rest = player.render(perStep - 100).slice();
    assert.ok(rest.every((s) => s === 0), "step 3 is still silent");
    assert.ok(player.render(perStep).some((s) => s !== 0), "step 4 sounds");
    assert.throws(() => player.replace(new Uint8Array([0x41, 0, 1])), { message: "not a valid .zvo file" });
    assert.equal(player.position, 5 * perStep);
  } finally {
    player.free();
  }
});

describe("the console screen shows every control byte of a text as ?", () => {
  // Tab, escape, DEL, a C0 byte: each stays one column, never raw.
  for (const [name, byte] of [["NUL", 0x01], ["TAB", 0x09], ["ESC", 0x1b], ["DEL", 0x7f]]) {
    test(name, () => {
      const song = SongFile.empty(m);
      song.setText(kTitle, `a${String.fromCharCode(byte)}b`);
      // Instrument 30's mark on the roll is the byte 'a' + 30, DEL.
      song.setCell(0, 0, 5, 30);
      const player = new ZorvikPlayer(m, song.bytes, defaultBank);
      try {
        const screen = player.screen(0);
        assert.equal(screen[2], "Title:      a?b");
        assert.equal(screen[7 + 13 - 5][2], "?"); // row 5 of the roll, step 0: DEL
        assert.ok(screen.every((line) => !/[\u0000-\u001f\u007f]/.test(line)), screen.join("\n"));
      } finally {
        player.free();
      }
    });
  }
});

test("made at once from the wasm bytes, as the worklet makes it, it plays the same", () => {
  const now = instantiateNow(createZorvik, siteFile("zorvik.wasm"));
  const song = siteFile(demoSongs[0]);
  const a = new ZorvikPlayer(now, song, defaultBank);
  const b = new ZorvikPlayer(m, song, defaultBank);
  try {
    assertSameSamples(a.render(20000).slice(), b.render(20000).slice(), "instantiated at once");
  } finally {
    a.free();
    b.free();
  }
});

// Damaged copies of a demo song or of the default bank.
function damaged(bytes, edit) {
  const copy = new Uint8Array(bytes);
  edit(copy);
  return copy;
}
const song = siteFile(demoSongs[0]);
const songText = (lines) => new TextEncoder().encode(lines.join("\n") + "\n");

describe("a damaged file gets the loader's message, as in the native tool", () => {
  const songs = [
    ["empty.zvo", new Uint8Array(0)],
    ["bad-magic.zvo", damaged(song, (s) => (s[0] = 0x41))],
    ["compressed.zvo", damaged(song, (s) => (s[6] = 1))],
    ["version-0.zvo", damaged(song, (s) => (s[4] = 0))],
    ["version-7.zvo", damaged(song, (s) => (s[4] = 7))],
    ["no-steps.txt", songText(['title "x"'])],
    ["bad-cell.txt", songText(['title "x"', 'author ""', 'bank "default.zvi"', "tempo 1", "1z"])],
  ];
  for (const [name, bytes] of songs) {
    test(`song ${name}`, () => {
      const path = join(scratch, name);
      writeFileSync(path, bytes);
      const expected = nativeError(path, ["info", path]);
      assert.throws(() => new ZorvikPlayer(m, bytes, defaultBank), { message: expected });
      assert.throws(() => songBank(m, bytes), { message: expected });
    });
  }

  const banks = [
    ["hello.zvi", new TextEncoder().encode("hello")],
    ["compressed.zvi", damaged(defaultBank, (b) => (b[6] = 1))],
    // The first sample's bits per value, 8 for 16.
    ["8-bit.zvi", damaged(defaultBank, (b) => (b[84] = 8))],
  ];
  for (const [name, bytes] of banks) {
    test(`bank ${name}`, () => {
      const path = join(scratch, name);
      writeFileSync(path, bytes);
      const songPath = join(site, demoSongs[0]);
      const out = join(scratch, "out.wav");
      const expected = nativeError(path, ["render", songPath, out, "--samples", "1", "--bank", path]);
      assert.throws(() => new ZorvikPlayer(m, song, bytes), { message: expected });
    });
  }
});

test("players opened and freed over and over leave the module's memory as it was", () => {
  const cycle = () => {
    const player = new ZorvikPlayer(m, song, defaultBank);
    player.render(5000);
    player.screen(40);
    songBank(m, song);
    assert.throws(() => new ZorvikPlayer(m, song.subarray(0, 0), defaultBank));
    player.free();
  };
  cycle();
  const size = m.HEAPU8.length;
  // Each cycle copies the 1.3 MB bank twice: a leak would grow the heap
  // by some 250 MB.
  for (let i = 0; i < 100; i++) cycle();
  assert.equal(m.HEAPU8.length, size);
});
