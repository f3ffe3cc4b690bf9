// zorvik.mjs under node, through the page's own wrapper (api.js), against
// the native `zorvik` tool: the same samples, the same steps, the same
// texts and the same messages for damaged files.
import assert from "node:assert/strict";
import { statSync, writeFileSync } from "node:fs";
import { join } from "node:path";
import { describe, test } from "node:test";
import { pathToFileURL } from "node:url";
import { gzipSync } from "node:zlib";

import {
  demoSongs,
  nativeError,
  nativeInfo,
  nativeRender,
  scratchFolder,
  site,
  siteFile,
} from "./native.mjs";

const load = (name) => import(pathToFileURL(join(site, name)).href);
const { default: createZorvik } = await load("zorvik.mjs");
const { instantiateNow, songBank, ZorvikPlayer } = await load("api.js");
const { stepAt, kSteps } = await load("audio.js");

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

test("the module exports the C API with _malloc, _free, HEAPU8 and HEAP16", () => {
  const functions = [
    "zorvik_version",
    "zorvik_player_new",
    "zorvik_player_free",
    "zorvik_player_render",
    "zorvik_player_step",
    "zorvik_player_samples_per_step",
    "zorvik_player_seek",
    "zorvik_player_screen",
    "zorvik_player_title",
    "zorvik_player_author",
    "zorvik_player_song_bank",
    "zorvik_player_bank_name",
    "zorvik_player_bank_author",
    "zorvik_song_bank",
    "malloc",
    "free",
  ];
  for (const name of functions) assert.equal(typeof m[`_${name}`], "function", name);
  assert.ok(m.HEAPU8 instanceof Uint8Array);
  assert.ok(m.HEAP16 instanceof Int16Array);
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
        // the worklet renders; the page's step of every sample rendered so
        // far agrees with the player's.
        const total = kSteps * perStep + 1000;
        const expected = nativeRender(path, total, join(scratch, `${name}.wav`));
        const got = new Int16Array(total);
        for (let done = 0; done < total; done += 128) {
          assert.equal(stepAt(done, perStep), player.step, `step after ${done} samples`);
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
