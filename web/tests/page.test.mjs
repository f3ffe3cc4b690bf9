// The web composer in Debian's Chromium, driven by puppeteer-core and
// served from 127.0.0.1: a song built by clicks and keys only, played
// through the worklet against the native tool's render, shared as a link
// and opened from it, downloaded as .zvo, WAV and MIDI and compared with
// the native tool's files; the bank each song plays with; files a user
// opens or drops. Leaves screenshots of the page at desktop and phone
// width in ZORVIK_SCREENSHOTS (build-wasm/ by default).
import assert from "node:assert/strict";
import {
  existsSync,
  mkdirSync,
  readdirSync,
  readFileSync,
  rmSync,
  truncateSync,
  writeFileSync,
} from "node:fs";
import { join, resolve } from "node:path";
import { after, before, describe, test } from "node:test";

import puppeteer from "puppeteer-core";

import { serve } from "../serve.mjs";
import {
  demoSongs,
  nativeError,
  nativeInfo,
  nativeRender,
  nativeTool,
  readWav,
  repo,
  scratchFolder,
  site,
  siteFile,
} from "./native.mjs";

const chromium = process.env.CHROMIUM ?? "/usr/bin/chromium";
const screenshots = resolve(repo, process.env.ZORVIK_SCREENSHOTS ?? "build-wasm");
const scratch = scratchFolder();
const downloads = join(scratch, "downloads");
const firstSong = demoSongs[0];
const firstInfo = nativeInfo(join(site, firstSong));

let server;
let origin;
let browser;
let page;
const problems = [];

const value = (selector) => page.$eval(selector, (e) => e.value);
const text = (selector) => page.$eval(selector, (e) => e.textContent);
const pageState = (f, ...args) => page.evaluate(f, ...args);
const songBytes = async (on = page) =>
  new Uint8Array(await on.evaluate(() => [...window.zorvikPlayer.current.song.bytes]));
const sleep = (ms) => new Promise((done) => setTimeout(done, ms));

// Clicks a download button and returns the file's bytes once it is whole.
async function download(button, name) {
  rmSync(join(downloads, name), { force: true });
  await page.click(button);
  for (let i = 0; i < 200; i++) {
    const files = existsSync(downloads) ? readdirSync(downloads) : [];
    if (files.includes(name) && !files.some((f) => f.endsWith(".crdownload"))) {
      return readFileSync(join(downloads, name));
    }
    await sleep(50);
  }
  throw new Error(`${name} was not downloaded`);
}

async function openPage(url) {
  const opened = await browser.newPage();
  await opened.setViewport({ width: 1100, height: 900 });
  opened.on("pageerror", (error) => problems.push(error.message));
  opened.on("console", (message) => {
    if (message.type() === "error") problems.push(message.text());
  });
  await opened.goto(url);
  await opened.waitForSelector("body[data-ready]", { timeout: 20000 });
  return opened;
}

// The file chooser that Enter on a focused button opens. Chromium under
// load sometimes opens it before the interception is in place: pressed
// again then.
async function keyboardFileChooser(button) {
  for (let attempt = 1; ; attempt++) {
    await page.focus(button);
    const chooser = page.waitForFileChooser({ timeout: 3000 });
    await sleep(100);
    await page.keyboard.press("Enter");
    try {
      return await chooser;
    } catch (error) {
      if (attempt === 3) throw error;
    }
  }
}

// Drops files on the page, as a user drops them from a file manager:
// [url, name] pairs, fetched by the page.
function drop(files) {
  return page.evaluate(async (files) => {
    const list = new DataTransfer();
    for (const [url, name] of files) {
      list.items.add(new File([await (await fetch(url)).arrayBuffer()], name));
    }
    document.body.dispatchEvent(new DragEvent("drop", { dataTransfer: list, bubbles: true, cancelable: true }));
  }, files);
}

before(async () => {
  const lanterns = readFileSync(join(repo, "examples", "lanterns.txt"), "utf8");
  const naming = (bank, title = "Lanterns") =>
    lanterns.replace(/^bank .*$/m, `bank "${bank}"`).replace(/^title .*$/m, `title "${title}"`);
  writeFileSync(join(scratch, "names-other.txt"), naming("other.zvi"));
  writeFileSync(join(scratch, "names-missing.txt"), naming("missing.zvi", "Missing"));
  writeFileSync(join(scratch, "spoof.txt"), naming("default.zvi", "evil\u202egnp.exe"));
  const damaged = siteFile(firstSong);
  damaged[4] = 7; // a version from the future
  writeFileSync(join(scratch, "damaged.zvo"), damaged);
  writeFileSync(join(scratch, "huge.txt"), Buffer.alloc((1 << 20) + 1, 0x23));
  writeFileSync(join(scratch, "huge.zvi"), "");
  truncateSync(join(scratch, "huge.zvi"), (64 << 20) + 1); // sparse: nothing written
  writeFileSync(join(scratch, "default-copy.zvi"), siteFile("default.zvi"));

  server = await serve({ "/": site, "/test/": scratch });
  origin = `http://127.0.0.1:${server.address().port}`;
  browser = await puppeteer.launch({
    executablePath: chromium,
    headless: true,
    userDataDir: join(scratch, "profile"),
    downloadBehavior: { policy: "allow", downloadPath: downloads },
    args: [
      "--no-sandbox",
      "--disable-gpu",
      "--disable-quic",
      "--no-first-run",
      "--disable-background-networking",
      "--disable-component-update",
      "--disable-sync",
      "--autoplay-policy=no-user-gesture-required",
    ],
  });
  await browser.defaultBrowserContext().overridePermissions(origin, [
    "clipboard-read",
    "clipboard-write",
    "clipboard-sanitized-write",
  ]);
  page = await openPage(`${origin}/`);
  assert.deepEqual(problems, []);
});

after(async () => {
  await browser?.close();
  server?.close();
});

describe("the web composer", { timeout: 120000 }, () => {
  test("shows the first demo song, the demo songs' titles and the roll's 96 steps by 16 rows", async () => {
    assert.equal(await value("#title"), firstInfo.Title);
    assert.equal(await value("#author"), firstInfo.Author);
    // zorvik info gives the tempo byte, then beats a minute.
    assert.equal(await value("#tempo"), firstInfo.Tempo.split(" ")[0]);
    assert.equal(await text("#bank-shown"), "Zorvik Default by Zorvik Player");
    const titles = await page.$$eval("#song option", (options) => options.map((o) => o.text));
    assert.deepEqual(titles, demoSongs.map((name) => nativeInfo(join(site, name)).Title));
    const roll = await page.$eval("#roll", (e) => ({
      role: e.getAttribute("role"),
      label: e.getAttribute("aria-label"),
      cells: e.querySelectorAll("[role=gridcell]").length,
      offRoll: [...e.querySelectorAll(".off-roll [role=rowheader]")].map((r) => r.textContent),
    }));
    assert.equal(roll.role, "grid");
    assert.match(roll.label, /^Piano roll/);
    assert.equal(roll.cells, 96 * 16);
    // Rows 15, 14 and 0, in each of the four blocks.
    assert.deepEqual(roll.offRoll, Array(4).fill(["B5", "A5", "A#3"]).flat());
    // Each cell says what it holds; the song's first step starts its notes.
    const text0 = nativeTool(["song", "decompile", join(site, firstSong)]);
    const step0 = /^\s*(\S+)\s+(\S+)\s+(\S+)\s+# step 0$/m.exec(text0);
    assert.ok(step0, text0);
    const labels = await page.$$eval("[role=gridcell][data-step='0']", (cells) =>
      cells.map((c) => c.getAttribute("aria-label")).filter((l) => !l.endsWith("no note")),
    );
    assert.ok(labels.length > 0 && labels.length <= 3, labels.join("; "));
    assert.equal(await page.$eval("#message", (e) => e.hidden), true);
  });

  test("plays through the worklet exactly the stream the native tool renders", async () => {
    const perStep = Number.parseInt(firstInfo["Step length"], 10);
    const expected = nativeRender(join(site, firstSong), 96 * perStep, join(scratch, "native.wav"));
    writeFileSync(join(scratch, "native.raw"), expected);
    const result = await page.evaluate(async (song) => {
      const { renderOffline } = await import("./audio.js");
      const bytes = async (url) => new Uint8Array(await (await fetch(url)).arrayBuffer());
      const expected = new Int16Array((await bytes("/test/native.raw")).buffer);
      const state = window.zorvikPlayer;
      const played = await renderOffline(
        OfflineAudioContext,
        { wasm: state.compiled, song: await bytes(song), bank: state.defaultBank },
        expected.length,
      );
      for (let i = 0; i < expected.length; i++) {
        const sample = played[i] * 32768;
        if (sample !== expected[i]) return { length: expected.length, at: i, sample, expected: expected[i] };
      }
      return { length: expected.length, at: -1 };
    }, firstSong);
    assert.ok(result.length > 400000, `${result.length} samples`);
    assert.deepEqual(result, { length: result.length, at: -1 });
  });

  test("builds a song by clicks and keys; plays, saves and shares exactly that song", async (t) => {
    await page.click("#new");
    await page.click("#title");
    await page.keyboard.type("By hand");
    await page.click("#tempo", { clickCount: 3 });
    await page.keyboard.type("200");
    // Clicks: a kick at step 0 (B3), a note placed at step 4 and taken away.
    await page.click("#cell-0-1");
    await page.click("#cell-4-2");
    await page.click("#cell-4-2");
    // Keys: channel 2, up three rows (F4) and instrument g at step 4, then
    // four steps on, h; channel 3, a row up, Enter places h there; undone,
    // redone, and deleted. A note an unshown row up (B5 on channel 1).
    await page.focus("#roll");
    for (const key of ["2", "ArrowUp", "ArrowUp", "ArrowUp", "g"]) await page.keyboard.press(key);
    for (const key of ["ArrowRight", "ArrowRight", "ArrowRight", "ArrowRight", "h"]) await page.keyboard.press(key);
    for (const key of ["3", "ArrowUp", "Enter"]) await page.keyboard.press(key);
    const held = await songBytes();
    await page.keyboard.down("Control");
    await page.keyboard.press("z");
    assert.equal(await pageState(() => window.zorvikPlayer.current.song.cell(8, 2)), null);
    await page.keyboard.down("Shift");
    await page.keyboard.press("Z");
    await page.keyboard.up("Shift");
    await page.keyboard.up("Control");
    assert.deepEqual(await songBytes(), held);
    await page.keyboard.press("Delete");
    for (const key of ["1", "End", ...Array(10).fill("ArrowUp"), "o"]) await page.keyboard.press(key);

    const expectedText = [
      'title  "By hand"',
      'author ""',
      'bank   "default.zvi"',
      "tempo  200",
      "0:  B3a ---  ---",
      "4:  --- F4g  ---",
      "8:  --- F4h  ---",
      "95: B5o ---  ---",
    ].join("\n");
    writeFileSync(join(scratch, "by-hand.txt"), expectedText + "\n");
    const songPath = join(scratch, "by-hand.zvo");
    nativeTool(["song", "compile", join(scratch, "by-hand.txt"), songPath]);
    const expected = readFileSync(songPath);
    assert.deepEqual(await songBytes(), new Uint8Array(expected));
    assert.match(await text("#warnings-summary"), /^1 note that will not sound or show/);

    // What the page plays: the worklet's stream, against the native render.
    const loop = Number.parseInt(nativeInfo(songPath)["Loop length"], 10);
    const native = nativeRender(songPath, loop, join(scratch, "by-hand.wav"));
    const played = await page.evaluate(async (frames) => {
      const { renderOffline } = await import("./audio.js");
      const state = window.zorvikPlayer;
      const song = state.current.song.bytes;
      const out = await renderOffline(OfflineAudioContext,
        { wasm: state.compiled, song, bank: state.defaultBank }, frames);
      return [...out].map((s) => s * 32768);
    }, loop);
    assert.ok(played.some((s) => s !== 0));
    assert.deepEqual(new Int16Array(played), native);

    // The downloads: the .zvo bytes, the song text zorvik song decompile
    // writes, and zorvik render's WAV file byte for byte.
    assert.deepEqual(await download("#save-zvo", "untitled.zvo"), expected);
    assert.equal(
      (await download("#save-text", "untitled.txt")).toString("utf8"),
      nativeTool(["song", "decompile", songPath]),
    );
    const wav = await download("#save-wav", "untitled.wav");
    nativeTool(["render", songPath, join(scratch, "native-by-hand.wav")]);
    assert.ok(wav.equals(readFileSync(join(scratch, "native-by-hand.wav"))), "WAV differs");

    // The link, copied, opened in a new page: the same song, played.
    await page.click("#copy-link");
    await page.waitForFunction(() => document.getElementById("copy-link").textContent === "Copied");
    const link = await page.evaluate(() => navigator.clipboard.readText());
    assert.match(link, /^http:\/\/127\.0\.0\.1:\d+\/#[sz]=[A-Za-z0-9_-]+$/);
    assert.equal(link, await value("#link"));
    const linked = await openPage(link);
    try {
      assert.deepEqual(await songBytes(linked), new Uint8Array(expected));
      assert.equal(await linked.$eval("#title", (e) => e.value), "By hand");
      await linked.click("#play");
      await linked.waitForFunction(() => window.zorvikPlayer.firstSound !== null, { timeout: 10000 });
      const times = await linked.evaluate(() => ({
        ready: performance.getEntriesByType("navigation")[0].domContentLoadedEventEnd,
        sound: window.zorvikPlayer.firstSound,
      }));
      t.diagnostic(`zorvik link: first sound ${Math.round(times.sound)} ms after opening the link`);
    } finally {
      await linked.close();
    }
    // A link with the bytes as they are (#s=) opens the same song; a link
    // that holds no song says so, and the page opens its first song.
    const plain = await openPage(`${origin}/#s=${Buffer.from(expected).toString("base64url")}`);
    try {
      assert.deepEqual(await songBytes(plain), new Uint8Array(expected));
      await plain.goto(`${origin}/#s=AAAA`, { waitUntil: "load" });
      await plain.reload();
      await plain.waitForSelector("body[data-ready]");
      // What the library says of those bytes, whichever reader's words.
      assert.match(await plain.$eval("#message", (e) => e.textContent), /^Error: the link's song: \S/);
      assert.equal(await plain.$eval("#title", (e) => e.value), firstInfo.Title);
    } finally {
      await plain.close();
      await page.bringToFront();
    }

    // The MIDI file, when the library has its writer.
    if (await page.$eval("#save-midi", (b) => b.disabled)) {
      t.diagnostic("zorvik: no MIDI writer in this build: the MIDI download is not tested");
      return;
    }
    const midi = await download("#save-midi", "untitled.mid");
    nativeTool(["render", songPath, join(scratch, "by-hand.mid")]);
    assert.ok(midi.equals(readFileSync(join(scratch, "by-hand.mid"))), "MIDI differs from zorvik render's");
    // Four notes, at steps 0, 4, 8 and 95.
    const times = midiNotes(midi).map((n) => n.time);
    const perStep = times[1] / 4;
    assert.deepEqual(times, [0, 4, 8, 95].map((step) => step * perStep));
  });

  test("hears an edit while playing, without restarting, and plays from a step clicked", async () => {
    await page.click("#play");
    await page.waitForFunction(() => Number(document.getElementById("roll").dataset.step) >= 3, { timeout: 10000 });
    const before = await pageState(() => window.zorvikPlayer.report.position);
    await page.click("#cell-30-5");
    await sleep(300);
    const later = await pageState(() => ({
      position: window.zorvikPlayer.report.position,
      cell: window.zorvikPlayer.current.song.cell(30, 0),
    }));
    assert.ok(later.position > before, `${later.position} after ${before}`);
    // The worklet was handed the page's compiled module.
    assert.equal(await pageState(() => window.zorvikPlayer.workletWasm), "compiled");
    assert.deepEqual(later.cell, { pitch: 5, instrument: 14 });
    const loop = Number.parseInt(nativeInfo(join(scratch, "by-hand.zvo"))["Loop length"], 10);
    const length = `0:${(loop / 32004).toFixed(1).padStart(4, "0")}`;
    assert.match(await text("#time"), new RegExp(`^0:0\\d\\.\\d / ${length}$`));

    // Song switches send the worklet a song and no bank while the bank
    // stays: a bank crosses over once, not on every switch.
    const sent = await page.evaluate(() => {
      const port = window.zorvikPlayer.node.port;
      const post = port.postMessage.bind(port);
      const messages = [];
      port.postMessage = (message) => {
        messages.push(`${message.type} ${message.song?.length} ${message.bank?.length ?? "no bank"}`);
        post(message);
      };
      const select = document.getElementById("song");
      for (const entry of [0, 1, 2, 3, 0, 4]) {
        select.value = String(entry);
        select.dispatchEvent(new Event("change"));
      }
      port.postMessage = post;
      return messages;
    });
    assert.deepEqual(sent, Array(6).fill("load 680 no bank"));
    assert.equal(await value("#title"), "By hand");

    await page.click(".tick[data-step='60']");
    await page.waitForFunction(() => {
      const step = Number(document.getElementById("roll").dataset.step);
      return step >= 60 && step < 70;
    }, { timeout: 5000 });
    await page.click("#play");
    await page.waitForFunction(() => window.zorvikPlayer.context.state === "suspended");
    const paused = await pageState(() => document.getElementById("roll").dataset.step);
    await sleep(300);
    assert.equal(await pageState(() => document.getElementById("roll").dataset.step), paused);
    assert.equal(await text("#play"), "Play");
  });

  test("plays each song with the bank it names when that is open, else the default bank", async () => {
    // Two banks, the one the song names first: the song's wins.
    await drop([
      ["/test/default-copy.zvi", "other.zvi"],
      ["/test/default-copy.zvi", "last.zvi"],
      ["/test/names-other.txt", "names-other.txt"],
    ]);
    await page.waitForFunction(() => document.getElementById("title").value === "Lanterns");
    assert.equal(await pageState(() => window.zorvikPlayer.bankFile), "other.zvi");
    assert.equal(await value("#bank"), "other.zvi");
    // A bank that is not open: the default, and the page says so.
    await drop([["/test/names-missing.txt", "names-missing.txt"]]);
    await page.waitForFunction(() => document.getElementById("title").value === "Missing");
    assert.equal(await pageState(() => window.zorvikPlayer.bankFile), "default.zvi");
    assert.equal(
      await text("#bank-shown"),
      "Zorvik Default by Zorvik Player; the song names missing.zvi, which is not open: playing default.zvi",
    );
    // A bank opened on its own (from the keyboard) becomes the song's, an
    // edit that can be undone.
    writeFileSync(join(scratch, "mine.zvi"), siteFile("default.zvi"));
    const chooser = await keyboardFileChooser("#open-files");
    await chooser.accept([join(scratch, "mine.zvi")]);
    await page.waitForFunction(() => window.zorvikPlayer.bankFile === "mine.zvi");
    assert.equal(await value("#bank"), "mine.zvi");
    await page.click("#undo");
    assert.equal(await pageState(() => window.zorvikPlayer.bankFile), "default.zvi");
    assert.equal(await value("#bank"), "missing.zvi");
  });

  test("refuses damaged and oversized files with a message, keeping the song it had", async () => {
    const expected = nativeError(join(scratch, "damaged.zvo"), ["info", join(scratch, "damaged.zvo")]);
    const input = await page.$("#open");
    await input.uploadFile(join(scratch, "damaged.zvo"), join(scratch, "huge.txt"), join(scratch, "huge.zvi"));
    await page.waitForSelector("#message:not([hidden])");
    assert.equal(
      await text("#message"),
      [
        "Error: huge.txt: larger than a song can be (1 MiB)",
        "Error: huge.zvi: larger than a bank this page opens can be (64 MiB)",
        `Error: damaged.zvo: ${expected}`,
      ].join("\n"),
    );
    assert.equal(await value("#title"), "Missing");
    // A promise that fails anywhere in the page says so too (one of the
    // page's own scripts: the test's evaluations are not the page's).
    await page.evaluate(() => {
      const script = document.createElement("script");
      script.textContent = 'Promise.reject(new Error("lost on the way"));';
      document.body.append(script);
    });
    await page.waitForFunction(() => document.getElementById("message").textContent === "Error: lost on the way");
  });

  test("shows bidirectional controls in a title as marks, in the song list", async () => {
    await drop([["/test/spoof.txt", "spoof.txt"]]);
    await page.waitForFunction(() => document.getElementById("title").value.startsWith("evil"));
    const label = await page.$eval("#song", (s) => s.selectedOptions[0].text);
    assert.equal(label, "evil[U+202E]gnp.exe (spoof.txt)");
  });

  test("fits a phone's width without sideways scrolling; screenshots", async () => {
    mkdirSync(screenshots, { recursive: true });
    await page.select("#song", "0");
    await page.evaluate(() => window.scrollTo(0, 0));
    await page.focus("#roll");
    await page.screenshot({ path: join(screenshots, "web-composer.png") });
    await page.setViewport({ width: 390, height: 844, deviceScaleFactor: 1 });
    const widths = await page.evaluate(() => ({
      page: document.documentElement.scrollWidth,
      roll: document.getElementById("roll").scrollWidth,
      window: document.documentElement.clientWidth,
    }));
    assert.ok(widths.page <= widths.window && widths.roll <= widths.window, JSON.stringify(widths));
    await page.screenshot({ path: join(screenshots, "web-composer-phone.png"), fullPage: true });
    assert.deepEqual(problems, []);
  });
});

// The note-on events of a Standard MIDI File, of all its tracks, in ticks
// from its start.
function midiNotes(bytes) {
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  assert.equal(bytes.toString("latin1", 0, 4), "MThd");
  const notes = [];
  let at = 8 + view.getUint32(4);
  while (at < bytes.length) {
    assert.equal(bytes.toString("latin1", at, at + 4), "MTrk");
    const end = at + 8 + view.getUint32(at + 4);
    let time = 0;
    let status = 0;
    for (let p = at + 8; p < end; ) {
      let delta = 0;
      let byte;
      do {
        byte = bytes[p++];
        delta = (delta << 7) | (byte & 0x7f);
      } while (byte & 0x80);
      time += delta;
      if (bytes[p] & 0x80) status = bytes[p++];
      if (status === 0xff) {
        p++; // the meta type
        let length = 0;
        do {
          byte = bytes[p++];
          length = (length << 7) | (byte & 0x7f);
        } while (byte & 0x80);
        p += length;
      } else if (status === 0xf0 || status === 0xf7) {
        throw new Error("a SysEx event");
      } else {
        const kind = status & 0xf0;
        const data = kind === 0xc0 || kind === 0xd0 ? 1 : 2;
        if (kind === 0x90 && bytes[p + 1] > 0) notes.push({ time, note: bytes[p] });
        p += data;
      }
    }
    at = end;
  }
  notes.sort((a, b) => a.time - b.time);
  return notes;
}
