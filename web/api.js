// The C API of zorvik.mjs for JavaScript: file bytes in, texts, samples
// and edited songs out. Used by the page, the audio worklet and the tests,
// in browsers and in node alike. Every rule of the song format is the C
// API's: this file only moves bytes across.

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

// The module made at once from zorvik.wasm, compiled (a WebAssembly.Module)
// or as bytes, ready on return: for an audio worklet, which can neither
// fetch the file nor wait for a promise before its first output.
// createZorvik is zorvik.mjs's export.
export function instantiateNow(createZorvik, wasm) {
  const compiled = wasm instanceof WebAssembly.Module ? wasm : new WebAssembly.Module(wasm);
  const m = {
    instantiateWasm(imports, receive) {
      const instance = new WebAssembly.Instance(compiled, imports);
      receive(instance);
      return instance.exports;
    },
    locateFile: (path) => path,
  };
  createZorvik(m);
  return m;
}

// The module made from an already compiled zorvik.wasm: a page compiles it
// once and makes every instance from it.
export function instantiate(createZorvik, compiled) {
  return createZorvik({
    instantiateWasm(imports, receive) {
      WebAssembly.instantiate(compiled, imports).then((instance) => receive(instance));
      return {};
    },
  });
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

// The size of a .zvo file as zorvik_song_compile writes it (the header's
// ZORVIK_SONG_FILE_SIZE).
export const kSongFileSize = 680;
// zorvik_song_set_text's fields.
export const kTitle = 0;
export const kAuthor = 1;
export const kBank = 2;
const kNoNote = 0xffdf;
const encoder = typeof TextEncoder === "function" ? new TextEncoder() : null;

// Runs f(pointer) on a copy of bytes in the module's memory; the copy is
// freed after. With writeBack, bytes receive what f left there.
function withBytes(m, bytes, f, writeBack = false) {
  const pointer = copyIn(m, bytes);
  try {
    const result = f(pointer);
    if (writeBack) bytes.set(m.HEAPU8.subarray(pointer, pointer + bytes.length));
    return result;
  } finally {
    m._free(pointer);
  }
}

// A text a function writes into a buffer of size bytes and whose length it
// returns: fn(out, size).
function textFrom(m, fn, size = 64) {
  for (;;) {
    const out = m._malloc(size);
    try {
      const needed = Number(fn(out, size));
      if (needed < size) return decode(m.HEAPU8.subarray(out, out + needed));
      size = needed + 1;
    } finally {
      m._free(out);
    }
  }
}

// The .zvo bytes of a song (a .zvo file's bytes or a song text) and the
// warnings about its notes that cannot sound or show, one a string.
// Throws an Error with the loader's message.
export function compileSong(m, song) {
  const out = m._malloc(kSongFileSize);
  const warnings = m._malloc(4096);
  try {
    const count = withBytes(m, song, (pointer) =>
      m._zorvik_song_compile(pointer, song.length, out, warnings, 4096),
    );
    const text = textAt(m, warnings);
    if (count < 0) throw new Error(text);
    return {
      song: m.HEAPU8.slice(out, out + kSongFileSize),
      warnings: text.split("\n").filter((line) => line !== ""),
    };
  } finally {
    m._free(warnings);
    m._free(out);
  }
}

// The song text `zorvik song decompile` writes for a song.
export function decompileSong(m, song) {
  return withBytes(m, song, (pointer) => {
    let size = 16384;
    for (;;) {
      const out = m._malloc(size);
      try {
        const needed = Number(m._zorvik_song_decompile(pointer, song.length, out, size));
        if (needed === 0) throw new Error(textAt(m, out));
        if (needed < size) return decode(m.HEAPU8.subarray(out, out + needed));
        size = needed + 1;
      } finally {
        m._free(out);
      }
    }
  });
}

// Whether the module has the MIDI writer (zorvik_song_midi).
export function hasMidi(m) {
  return typeof m._zorvik_song_midi === "function";
}

// The Standard MIDI File `zorvik render SONG OUT.mid --loops N` writes.
// Throws an Error with the library's message.
export function songMidi(m, song, bank, loops = 1) {
  return withBytes(m, song, (songPointer) =>
    withBytes(m, bank, (bankPointer) => {
      const error = m._malloc(kMessageSize);
      let size = 1 << 16;
      try {
        for (;;) {
          const out = m._malloc(size);
          try {
            const length = Number(
              m._zorvik_song_midi(songPointer, song.length, bankPointer, bank.length, loops, out,
                                  size, error, kMessageSize),
            );
            if (length === 0) throw new Error(textAt(m, error));
            if (length <= size) return m.HEAPU8.slice(out, out + length);
            size = length;
          } finally {
            m._free(out);
          }
        }
      } finally {
        m._free(error);
      }
    }),
  );
}

// A song being edited: the bytes of its .zvo file, changed in place
// through the C API. Edits that the library refuses (a step, channel or
// value out of range, a text too long) throw a RangeError.
export class SongFile {
  constructor(m, bytes) {
    if (bytes.length !== kSongFileSize) throw new RangeError("not the bytes of a .zvo file");
    this.m = m;
    this.bytes = new Uint8Array(bytes);
  }

  // A song with no notes, no title and no author, naming the default bank.
  static empty(m) {
    const bytes = new Uint8Array(kSongFileSize);
    withBytes(m, bytes, (pointer) => m._zorvik_song_empty(pointer), true);
    return new SongFile(m, bytes);
  }

  copy() {
    return new SongFile(this.m, this.bytes);
  }

  #call(f, what) {
    const status = withBytes(this.m, this.bytes, (pointer) => f(pointer, this.bytes.length), true);
    if (status < 0) throw new RangeError(`cannot set ${what}`);
    return status;
  }

  // The cell of a step and channel: { pitch, instrument }, or null when
  // it holds no note.
  cell(step, channel) {
    const value = this.#call((p, n) => this.m._zorvik_song_cell(p, n, step, channel), "a cell");
    return value === kNoNote ? null : { pitch: value >> 8, instrument: value & 0xff };
  }
  setCell(step, channel, pitch, instrument) {
    this.#call((p, n) => this.m._zorvik_song_set_cell(p, n, step, channel, pitch, instrument),
               "the cell");
  }
  clearCell(step, channel) {
    this.#call((p, n) => this.m._zorvik_song_clear_cell(p, n, step, channel), "the cell");
  }
  get tempo() {
    return this.#call((p, n) => this.m._zorvik_song_tempo(p, n), "the tempo");
  }
  set tempo(tempo) {
    this.#call((p, n) => this.m._zorvik_song_set_tempo(p, n, tempo), "the tempo");
  }
  // Sets the title (kTitle), the author (kAuthor) or the bank file name
  // (kBank): at most 32 bytes of UTF-8.
  setText(field, text) {
    const bytes = encoder.encode(text);
    withBytes(this.m, bytes, (textPointer) =>
      this.#call((p, n) => this.m._zorvik_song_set_text(p, n, field, textPointer, bytes.length),
                 "the text"),
    );
  }
}

// What a cell does and how it is named, by the library's rules.
export function cellStartsNote(m, pitch, instrument) {
  return m._zorvik_cell_starts_note(pitch, instrument) === 1;
}
export function cellSounds(m, pitch, instrument) {
  return m._zorvik_cell_sounds(pitch, instrument) === 1;
}
export function rollShowsRow(m, pitch) {
  return m._zorvik_roll_shows_row(pitch) === 1;
}
export function pitchName(m, pitch) {
  return textFrom(m, (out, size) => m._zorvik_pitch_name(pitch, out, size));
}
export function instrumentName(m, instrument) {
  return textFrom(m, (out, size) => m._zorvik_instrument_name(instrument, out, size));
}
export function cellText(m, pitch, instrument) {
  return textFrom(m, (out, size) => m._zorvik_cell_text(pitch, instrument, out, size));
}
export function defaultBankSound(m, instrument) {
  return textFrom(m, (out, size) => m._zorvik_default_bank_sound(instrument, out, size));
}
// The most bytes a song input may hold.
export function songMaxSize(m) {
  return Number(m._zorvik_song_max_size());
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

  // Where the next rendered sample is, in samples from the song's start
  // (loops included), the loop it is in, and the samples of one loop: as
  // Numbers (exact up to 2^53 samples, some 8900 years).
  get position() {
    return Number(this.m._zorvik_player_position(this.pointer));
  }
  get loop() {
    return Number(this.m._zorvik_player_loop(this.pointer));
  }
  get loopLength() {
    return Number(this.m._zorvik_player_loop_length(this.pointer));
  }
  // The step of any sample of the song, counted as position counts.
  stepAt(position) {
    return this.m._zorvik_player_step_at(this.pointer, BigInt(Math.max(0, Math.floor(position))));
  }

  seek(step) {
    this.m._zorvik_player_seek(this.pointer, step);
  }
  seekTo(loop, step, into = 0) {
    this.m._zorvik_player_seek_to(this.pointer, BigInt(loop), step, into);
  }

  // Loops to play (0: for ever), and whether play has ended after them.
  setLoops(loops) {
    this.m._zorvik_player_set_loops(this.pointer, BigInt(loops));
  }
  get ended() {
    return this.m._zorvik_player_ended(this.pointer) === 1;
  }

  // The channels heard, bit 0 for channel 1; the gain in decibels, and the
  // samples limited so far.
  get heard() {
    return this.m._zorvik_player_heard(this.pointer);
  }
  set heard(mask) {
    this.m._zorvik_player_set_heard(this.pointer, mask);
  }
  get gain() {
    return this.m._zorvik_player_gain(this.pointer);
  }
  set gain(decibels) {
    this.m._zorvik_player_set_gain(this.pointer, decibels);
  }
  get limited() {
    return Number(this.m._zorvik_player_limited(this.pointer));
  }

  // Goes on with another version of the song, and another bank when one is
  // given, at the same place: with the same bank the new notes are heard
  // from the next step. Throws an Error with the loader's message (and
  // plays on unchanged).
  replace(song, bank = null) {
    const error = this.m._malloc(kMessageSize);
    try {
      const status = withBytes(this.m, song, (songPointer) =>
        bank === null
          ? this.m._zorvik_player_replace(this.pointer, songPointer, song.length, 0, 0, error,
                                          kMessageSize)
          : withBytes(this.m, bank, (bankPointer) =>
              this.m._zorvik_player_replace(this.pointer, songPointer, song.length, bankPointer,
                                            bank.length, error, kMessageSize),
            ),
      );
      if (status !== 0) throw new Error(textAt(this.m, error));
    } finally {
      this.m._free(error);
    }
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
