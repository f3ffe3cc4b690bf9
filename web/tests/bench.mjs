// Throughput of zorvik_player_render in WebAssembly under node, on the
// busy song of the native benchmark (bench/engine_bench.cpp): every step
// starts notes on all three channels at mixed pitch rows, on samples long
// enough that all three voices sound all the time.
//
//   node web/tests/bench.mjs [--min MILLIONS]
//
// Prints samples per second for blocks of 128 samples (the audio worklet's)
// and of 4096; with --min, fails when either is below MILLIONS million.
import { execFileSync } from "node:child_process";
import { readFileSync } from "node:fs";
import { join } from "node:path";
import { pathToFileURL } from "node:url";
import { setFlagsFromString } from "node:v8";

import { nativeBuild, scratchFolder, site } from "./native.mjs";

// The optimising compiler from the start, for the figures of a player that
// has run for a while: otherwise node first runs the baseline compiler's
// code, and when the optimised code takes over depends on how busy the
// machine's other core is.
setFlagsFromString("--no-liftoff");

const load = (name) => import(pathToFileURL(join(site, name)).href);
const { default: createZorvik } = await load("zorvik.mjs");
const { ZorvikPlayer } = await load("api.js");

// The native benchmark's busy song, at tempo 100, and its bank.
const scratch = scratchFolder();
execFileSync(join(nativeBuild, "bench", "make_busy_song"), [scratch, "100"]);
const busySong = readFileSync(join(scratch, "busy.zvo"));
const busyBank = readFileSync(join(scratch, "busy.zvi"));

// Samples per second rendering in blocks: the best of ten rounds of about
// 100 ms each, after 300 ms for the engine to settle (the optimising
// compiler takes over from the first one); the best round is the one the
// machine's other work disturbed least.
function measure(player, block) {
  const round = (ms) => {
    let samples = 0;
    const start = performance.now();
    let elapsed = 0;
    while (elapsed < ms) {
      for (let i = 0; i < 1 << 18; i += block) player.render(block);
      samples += Math.ceil((1 << 18) / block) * block;
      elapsed = performance.now() - start;
    }
    return (samples / elapsed) * 1000;
  };
  round(300);
  let best = 0;
  for (let i = 0; i < 10; i++) best = Math.max(best, round(100));
  return best;
}

const minimum = process.argv.includes("--min")
  ? Number(process.argv[process.argv.indexOf("--min") + 1]) * 1e6
  : 0;
const m = await createZorvik();
const player = new ZorvikPlayer(m, busySong, busyBank);
let ok = true;
for (const block of [128, 4096]) {
  const rate = measure(player, block);
  const verdict = rate >= minimum ? "" : ` (below ${minimum / 1e6} million)`;
  console.log(`render in blocks of ${block}: ${(rate / 1e6).toFixed(0)} million samples/s${verdict}`);
  ok &&= rate >= minimum;
}
player.free();
process.exitCode = ok ? 0 : 1;
