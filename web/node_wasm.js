// Put at the start of createZorvik(). In node, the generated code would
// fetch() zorvik.wasm by its path, which node's fetch cannot: the bytes
// are read from the file here, unless the caller brought its own.
if (__dirname !== undefined && !Module["wasmBinary"] && !Module["instantiateWasm"]) {
  const path = Module["locateFile"]
    ? Module["locateFile"]("zorvik.wasm", __dirname + "/")
    : __dirname + "/zorvik.wasm";
  Module["wasmBinary"] = require("fs").readFileSync(path);
}
