// The C API of zorvik.mjs for JavaScript: file bytes in, texts and samples
// out. Used by the page, the audio worklet and the tests, in browsers and
// in node alike.

const decoder = typeof TextDecoder === "function" ? new TextDecoder() : null;

// Text from the files' bytes, which have no set encoding: what is not
// UTF-8 shows as U+FFFD.
function decode(bytes) {
  return decoder !== null ? decoder.decode(bytes) : String.fromCharCode(...bytes);
}

// A zero-ended text in the module's memory.
function textAt(m, pointer) {
  const heap = m.HEAPU8;
  let end = pointer;
  while (heap[end] !== 0) end++;
  return decode(heap.subarray(pointer, end));
}

// Copies bytes into the module's memory; the caller frees the pointer.
function copyIn(m, bytes) {
  const pointer = m._malloc(Math.max(bytes.length, 1));
  m.HEAPU8.set(bytes, pointer);
  return pointer;
}

const kMessageSize = 512;

// The module made from the bytes of zorvik.wasm at once, ready on return:
// for an audio worklet, which can neither fetch the file nor wait for a
// promise before its first output. createZorvik is zorvik.mjs's export.
export function instantiateNow(createZorvik, wasm) {
  const m = {
    instantiateWasm(imports, receive) {
      const instance = new WebAssembly.Instance(new WebAssembly.Module(wasm), imports);
      receive(instance);
      return instance.exports;
    },
    locateFile: (path) => path,
  };
  createZorvik(m);
  return m;
}

// The library's version, as "1.1.0".
export function version(m) {
  return textAt(m, m._zorvik_version());
}

// The bank file name a song names (a .zvo file's bytes or a song text).
// Throws an Error with the loader's message when the song cannot be read.
export function songBank(m, song) {
  const songPointer = copyIn(m, song);
  const out = m._malloc(kMessageSize);
  try {
    const status = m._zorvik_song_bank(songPointer, song.length, out, kMessageSize);
    const text = textAt(m, out);
    if (status !== 0) throw new Error(text);
    return text;
  } finally {
    m._free(out);
    m._free(songPointer);
  }
}

// A song played with a bank: the endless stream at 32004 Hz and the
// console player's screen. free() releases what it holds in the module.
export class ZorvikPlayer {
  // Throws an Error with the loader's message when the song or the bank
  // cannot be read.
  constructor(m, song, bank) {
    this.m = m;
    const songPointer = copyIn(m, song);
    const bankPointer = copyIn(m, bank);
    const error = m._malloc(kMessageSize);
    try {
      this.pointer = m._zorvik_player_new(
        songPointer,
        song.length,
        bankPointer,
        bank.length,
        error,
        kMessageSize,
      );
      if (this.pointer === 0) throw new Error(textAt(m, error));
    } finally {
      m._free(error);
      m._free(bankPointer);
      m._free(songPointer);
    }
    this.buffer = 0;
    this.capacity = 0;
    this.screenBuffer = 0;
    this.screenCapacity = 0;
    this.view = null;
  }

  get title() {
    return textAt(this.m, this.m._zorvik_player_title(this.pointer));
  }
  get author() {
    return textAt(this.m, this.m._zorvik_player_author(this.pointer));
  }
  // The bank file name the song names.
  get songBank() {
    return textAt(this.m, this.m._zorvik_player_song_bank(this.pointer));
  }
  get bankName() {
    return textAt(this.m, this.m._zorvik_player_bank_name(this.pointer));
  }
  get bankAuthor() {
    return textAt(this.m, this.m._zorvik_player_bank_author(this.pointer));
  }
  get samplesPerStep() {
    return this.m._zorvik_player_samples_per_step(this.pointer);
  }
  // The step the next rendered sample belongs to.
  get step() {
    return this.m._zorvik_player_step(this.pointer);
  }

  seek(step) {
    this.m._zorvik_player_seek(this.pointer, step);
  }

  // The next count samples of the stream, as a view into the module's
  // memory that holds until the next call on this player.
  render(count) {
    if (count > this.capacity) {
      this.m._free(this.buffer);
      this.buffer = this.m._malloc(2 * count);
      this.capacity = count;
      this.view = null;
    }
    this.m._zorvik_player_render(this.pointer, this.buffer, count);
    // The same view while the count stays and the memory does not grow:
    // a new one per call would cost a third of the worklet's time.
    const heap = this.m.HEAP16;
    if (this.view === null || this.view.length !== count || this.view.buffer !== heap.buffer) {
      const start = this.buffer >> 1;
      this.view = heap.subarray(start, start + count);
    }
    return this.view;
  }

  // The 21 lines of the console player's screen at a step.
  screen(step) {
    // Built once into a kept buffer, and again only when it has outgrown it.
    let needed = this.m._zorvik_player_screen(this.pointer, step, this.screenBuffer,
                                              this.screenCapacity);
    if (needed >= this.screenCapacity) {
      this.m._free(this.screenBuffer);
      this.screenCapacity = needed + 1;
      this.screenBuffer = this.m._malloc(this.screenCapacity);
      needed = this.m._zorvik_player_screen(this.pointer, step, this.screenBuffer,
                                            this.screenCapacity);
    }
    // Every byte counts, a note's mark may be a zero; control bytes show
    // as '?', one column each, as in a terminal.
    const text = decode(this.m.HEAPU8.subarray(this.screenBuffer, this.screenBuffer + needed));
    return text.replace(/[\u0000-\u0009\u000b-\u001f\u007f]/g, "?").split("\n").slice(0, -1);
  }

  free() {
    this.m._free(this.buffer);
    this.m._free(this.screenBuffer);
    this.m._zorvik_player_free(this.pointer);
    this.buffer = 0;
    this.capacity = 0;
    this.screenBuffer = 0;
    this.screenCapacity = 0;
    this.view = null;
    this.pointer = 0;
  }
}
