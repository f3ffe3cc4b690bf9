// What the web player's tests compare with: the native build's `zorvik`
// tool, and the built site's files.
import { execFileSync, spawnSync } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join, resolve } from "node:path";
import { fileURLToPath } from "node:url";

export const repo = resolve(fileURLToPath(new URL("../..", import.meta.url)));
export const site = resolve(repo, process.env.ZORVIK_WEB_SITE ?? "build-web");
export const nativeBuild = resolve(repo, process.env.ZORVIK_NATIVE_BUILD ?? "build");
const tool = join(nativeBuild, "zorvik");

export const demoSongs = JSON.parse(readFileSync(join(site, "demos.json"), "utf8"));

export function siteFile(name) {
  return new Uint8Array(readFileSync(join(site, name)));
}

// A folder for a test's files, removed when the process exits.
export function scratchFolder() {
  const folder = mkdtempSync(join(tmpdir(), "zorvik-web-"));
  process.on("exit", () => rmSync(folder, { recursive: true, force: true }));
  return folder;
}

// The samples of a 16-bit mono WAV file.
export function readWav(path) {
  const bytes = readFileSync(path);
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  const tag = (at) => bytes.toString("latin1", at, at + 4);
  if (tag(0) !== "RIFF" || tag(8) !== "WAVE") throw new Error(`${path}: not a WAV file`);
  for (let at = 12; at + 8 <= bytes.length; ) {
    const size = view.getUint32(at + 4, true);
    if (tag(at) === "data") {
      const samples = new Int16Array(size / 2);
      for (let i = 0; i < samples.length; i++) samples[i] = view.getInt16(at + 8 + 2 * i, true);
      return samples;
    }
    at += 8 + size + (size & 1);
  }
  throw new Error(`${path}: no data chunk`);
}

// Runs `zorvik ARGS...` and returns what it wrote on standard output; its
// warnings are not the test's.
export function nativeTool(args) {
  return execFileSync(tool, args, { encoding: "utf8", stdio: ["ignore", "pipe", "pipe"] });
}

// `zorvik render SONG OUT --samples N [--bank BANK]`, into out.
export function nativeRender(song, samples, out, bank = null) {
  const bankOption = bank === null ? [] : ["--bank", bank];
  execFileSync(tool, ["render", song, out, "--samples", String(samples), ...bankOption]);
  return readWav(out);
}

// The fields `zorvik info SONG` prints, by name ("Title", "Step length"...).
export function nativeInfo(song) {
  const fields = {};
  for (const line of execFileSync(tool, ["info", song], { encoding: "utf8" }).split("\n")) {
    const match = /^([A-Z][a-z ]+):\s+(.*)$/.exec(line);
    if (match) fields[match[1]] = match[2];
  }
  return fields;
}

// The loader's message the tool fails with for a file: "zorvik: FILE: "
// taken off its error line. args are the tool's arguments.
export function nativeError(file, args) {
  const run = spawnSync(tool, args, { encoding: "utf8" });
  if (run.status !== 1) throw new Error(`zorvik ${args.join(" ")}: exit status ${run.status}`);
  const prefix = `zorvik: ${file}: `;
  const line = run.stderr.split("\n").find((l) => l.startsWith(prefix));
  if (line === undefined) throw new Error(`zorvik ${args.join(" ")}: ${run.stderr}`);
  return line.slice(prefix.length);
}
