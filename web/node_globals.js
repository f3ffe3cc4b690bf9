// Put before the generated module code, at the top of zorvik.mjs. In node,
// that code wants require() and __dirname, which an ES module lacks: they
// are made here from import.meta.url. Pages, workers and worklets skip
// this.
const [require, __dirname] =
  typeof process === "object" && typeof process.versions?.node === "string"
    ? await (async () => {
        const { createRequire } = await import("node:module");
        const { fileURLToPath } = await import("node:url");
        return [createRequire(import.meta.url), fileURLToPath(new URL(".", import.meta.url))];
      })()
    : [undefined, undefined];
