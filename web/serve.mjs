// A static file server for the web player, on 127.0.0.1 only:
//
//   node web/serve.mjs [FOLDER] [PORT]      (build-web and 8000 by default)
//
// serve() is also what the browser test serves the page and its own files
// with. AudioWorklet needs a secure context: http://127.0.0.1 and
// http://localhost are; another host needs HTTPS.
import { createReadStream } from "node:fs";
import { stat } from "node:fs/promises";
import { createServer } from "node:http";
import { extname, join, normalize, resolve, sep } from "node:path";
import { fileURLToPath } from "node:url";

const kTypes = {
  ".html": "text/html; charset=utf-8",
  ".css": "text/css; charset=utf-8",
  ".js": "text/javascript; charset=utf-8",
  ".mjs": "text/javascript; charset=utf-8",
  ".json": "application/json",
  ".wasm": "application/wasm",
  ".png": "image/png",
  ".txt": "text/plain; charset=utf-8",
};

// Serves folders under URL prefixes ({ "/": "build-web", "/test/": dir })
// on 127.0.0.1:port (0: any free port). Resolves to the listening server.
export function serve(mounts, port = 0) {
  const roots = Object.entries(mounts)
    .map(([prefix, folder]) => [prefix, resolve(folder)])
    .sort((a, b) => b[0].length - a[0].length);
  const server = createServer(async (request, response) => {
    const fail = (status) => {
      response.writeHead(status, { "content-type": "text/plain" });
      response.end(`${status}\n`);
    };
    if (request.method !== "GET" && request.method !== "HEAD") return fail(405);
    let path;
    try {
      path = decodeURIComponent(new URL(request.url, "http://127.0.0.1").pathname);
    } catch {
      return fail(400);
    }
    const mount = roots.find(([prefix]) => path.startsWith(prefix));
    if (mount === undefined) return fail(404);
    const [prefix, root] = mount;
    let file = join(root, normalize(path.slice(prefix.length)));
    if (file !== root && !file.startsWith(root + sep)) return fail(403);
    try {
      let info = await stat(file);
      if (info.isDirectory()) {
        file = join(file, "index.html");
        info = await stat(file);
      }
      response.writeHead(200, {
        "content-type": kTypes[extname(file)] ?? "application/octet-stream",
        "content-length": info.size,
        "cache-control": "no-cache",
      });
      if (request.method === "HEAD") return response.end();
      createReadStream(file).pipe(response);
    } catch {
      fail(404);
    }
  });
  return new Promise((done, failed) => {
    server.once("error", failed);
    server.listen(port, "127.0.0.1", () => done(server));
  });
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
  const folder = process.argv[2] ?? "build-web";
  const server = await serve({ "/": folder }, Number(process.argv[3] ?? 8000));
  console.log(`Serving ${folder} at http://127.0.0.1:${server.address().port}/`);
}
