// The web player's page in Debian's Chromium, driven by puppeteer-core and
// served from 127.0.0.1: what it shows, the stream its worklet plays
// (against the native tool's render), the playhead while playing, and the
// files a user opens or drops. Leaves a screenshot of the playing page in
// ZORVIK_SCREENSHOT (build-wasm/web-player.png by default).
import assert from "node:assert/strict";
import { mkdirSync, readFileSync, writeFileSync } from "node:fs";
import { dirname, join, resolve } from "node:path";
import { after, before, describe, test } from "node:test";
import { pathToFileURL } from "node:url";

import puppeteer from "puppeteer-core";

import { serve } from "../serve.mjs";
import {
  demoSongs,
  nativeError,
  nativeInfo,
  nativeRender,
  repo,
  scratchFolder,
  site,
  siteFile,
} from "./native.mjs";

const { kSampleRate } = await import(pathToFileURL(join(site, "audio.js")).href);
const chromium = process.env.CHROMIUM ?? "/usr/bin/chromium";
const screenshot = resolve(
  repo,
  process.env.ZORVIK_SCREENSHOT ?? join("build-wasm", "web-player.png"),
);
const scratch = scratchFolder();
const firstSong = demoSongs[0];
const firstInfo = nativeInfo(join(site, firstSong));

let server;
let browser;
let page;

// The texts of the page's elements, by id.
const text = (id) => page.$eval(`#${id}`, (e) => e.textContent);
const shownStep = () => page.$eval("#roll", (e) => Number(e.dataset.step));

before(async () => {
  // The files the page fetches from /test/: the native render of the
  // first demo song's loop, a damaged song and a song text naming a bank
  // of another name.
  const perStep = Number.parseInt(firstInfo["Step length"], 10);
  const native = nativeRender(join(site, firstSong), 96 * perStep, join(scratch, "native.wav"));
  writeFileSync(join(scratch, "native.raw"), native);
  const damaged = siteFile(firstSong);
  damaged[4] = 7; // a version from the future
  writeFileSync(join(scratch, "damaged.zvo"), damaged);
  const lanterns = readFileSync(join(repo, "examples", "lanterns.txt"), "utf8");
  writeFileSync(join(scratch, "other-bank.txt"), lanterns.replace(/^bank .*$/m, 'bank "other.zvi"'));

  server = await serve({ "/": site, "/test/": scratch });
  browser = await puppeteer.launch({
    executablePath: chromium,
    headless: true,
    userDataDir: join(scratch, "profile"),
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
  page = await browser.newPage();
  await page.setViewport({ width: 800, height: 640 });
  const problems = [];
  page.on("pageerror", (error) => problems.push(error.message));
  page.on("console", (message) => {
    if (message.type() === "error") problems.push(message.text());
  });
  await page.goto(`http://127.0.0.1:${server.address().port}/`);
  await page.waitForSelector("body[data-ready]", { timeout: 20000 });
  assert.deepEqual(problems, []);
});

after(async () => {
  await browser?.close();
  server?.close();
});

describe("the web player's page", { timeout: 60000 }, () => {
  test("shows the first demo song, every demo song's title, and the roll at step 0", async () => {
    assert.equal(await text("title"), firstInfo.Title);
    assert.equal(await text("author"), firstInfo.Author);
    assert.equal(await text("bank"), "Zorvik Default by Zorvik Player (default.zvi)");
    const titles = await page.$$eval("#song option", (options) => options.map((o) => o.text));
    assert.deepEqual(
      titles,
      demoSongs.map((name) => nativeInfo(join(site, name)).Title),
    );
    assert.equal(await shownStep(), 0);
    const roll = (await text("roll")).split("\n");
    assert.equal(roll[0], "  @");
    assert.equal(roll.length, 15); // the playhead line, 13 of the roll, and the last newline
    assert.equal(await page.$eval("#message", (e) => e.hidden), true);
  });

  test("plays through the worklet exactly the stream the native tool renders", async () => {
    const result = await page.evaluate(async (song) => {
      const { renderOffline } = await import("./audio.js");
      const bytes = async (url) => new Uint8Array(await (await fetch(url)).arrayBuffer());
      const expected = new Int16Array((await bytes("/test/native.raw")).buffer);
      const played = await renderOffline(
        OfflineAudioContext,
        { wasm: await bytes("zorvik.wasm"), song: await bytes(song), bank: await bytes("default.zvi") },
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

  test("moves the playhead with the sound heard, and holds it while paused", async () => {
    await page.click("#play");
    await page.waitForFunction(() => Number(document.getElementById("roll").dataset.step) >= 6, {
      timeout: 10000,
    });
    // Shown, the step of the sample being heard: never one not rendered
    // yet, nor one rendered more than 100 ms before (the context's
    // latencies and a frame).
    const at = await page.evaluate(
      () =>
        new Promise((done) => {
          requestAnimationFrame(() => {
            const state = window.zorvikPlayer;
            done({
              shown: Number(document.getElementById("roll").dataset.step),
              rendered: Math.round(state.context.currentTime * 32004) - state.startFrame,
              perStep: state.current.player.samplesPerStep,
            });
          });
        }),
    );
    const latest = Math.floor(at.rendered / at.perStep);
    const earliest = Math.floor((at.rendered - 0.1 * kSampleRate) / at.perStep);
    assert.ok(at.shown <= latest && at.shown >= earliest, JSON.stringify(at));

    await page.click("#play");
    await page.waitForFunction(() => window.zorvikPlayer.context.state === "suspended");
    assert.equal(await text("play"), "Play");
    const paused = await shownStep();
    await new Promise((done) => setTimeout(done, 400));
    assert.equal(await shownStep(), paused);
    // The playhead's column, marked on every line of the roll.
    const roll = (await text("roll")).split("\n");
    const column = (paused % 48) + 2;
    assert.equal(roll[0], `${" ".repeat(column)}@`);
    const marks = await page.$$eval("#roll .now", (spans) => spans.length);
    assert.equal(marks, 14);
    mkdirSync(dirname(screenshot), { recursive: true });
    await page.screenshot({ path: screenshot });
  });

  test("shows the loader's message for a damaged song, and keeps the song it had", async () => {
    const expected = nativeError(join(scratch, "damaged.zvo"), ["info", join(scratch, "damaged.zvo")]);
    const input = await page.$("#open");
    await input.uploadFile(join(scratch, "damaged.zvo"));
    await page.waitForSelector("#message:not([hidden])");
    assert.equal(await text("message"), `Error: damaged.zvo: ${expected}`);
    assert.equal(await text("title"), firstInfo.Title);
  });

  test("plays a dropped song text with the dropped bank it names", async () => {
    await page.evaluate(async () => {
      const file = async (url, name) => new File([await (await fetch(url)).arrayBuffer()], name);
      const files = new DataTransfer();
      files.items.add(await file("/test/other-bank.txt", "other-bank.txt"));
      files.items.add(await file("default.zvi", "other.zvi"));
      document.body.dispatchEvent(
        new DragEvent("drop", { dataTransfer: files, bubbles: true, cancelable: true }),
      );
    });
    await page.waitForFunction(() => document.getElementById("title").textContent === "Lanterns");
    assert.equal(await text("bank"), "Zorvik Default by Zorvik Player (other.zvi)");
    assert.equal(await page.$eval("#message", (e) => e.hidden), true);
    const selected = await page.$eval("#song", (s) => s.selectedOptions[0].text);
    assert.equal(selected, "Lanterns (other-bank.txt)");
  });
});
