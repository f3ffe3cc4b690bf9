/* libzorvik: plays Zorvik songs, for any program and any language.
 *
 * A song is one pattern of 96 steps of three channels and a tempo; its
 * instruments are the 16 samples of a bank. A player turns a song and a bank
 * into the endless stream of signed 16-bit mono samples at 32004 Hz that the
 * Zorvik console player sends to the sound card, sample for sample, and into
 * that player's 21-line screen.
 *
 * Every function is safe to call with any input: bad files are an error
 * return, never a crash. There is no global state; a player may be used
 * from any thread, one thread at a time. */
#ifndef ZORVIK_ZORVIK_H
#define ZORVIK_ZORVIK_H

#include <stddef.h>
#include <stdint.h>

#include "zorvik/version.h"

#if defined(_WIN32)
#define ZORVIK_API __declspec(dllexport)
#elif defined(__GNUC__)
#define ZORVIK_API __attribute__((visibility("default")))
#else
#define ZORVIK_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The output sample rate, in samples per second. */
#define ZORVIK_SAMPLE_RATE 32004
/* Steps in a song, and the lines of its screen. */
#define ZORVIK_STEPS 96
#define ZORVIK_SCREEN_LINES 21

typedef struct zorvik_player zorvik_player;

/* The library's version, "1.1.0". */
ZORVIK_API const char *zorvik_version(void);

/* Loads a song (a .zvo file's bytes, or a song text) and a bank (a .zvi
   file's bytes) from memory; the player keeps copies of what it needs. A
   song text may end with zero bytes: a C string may be given with its
   terminator (sizeof a string literal counts it). On
   failure returns NULL and, when error is not NULL, copies the loader's
   message (at most error_size bytes, zero-ended). */
ZORVIK_API zorvik_player *zorvik_player_new(const void *song, size_t song_size, const void *bank,
                                            size_t bank_size, char *error, size_t error_size);

/* Frees a player and all it holds; NULL is ignored. */
ZORVIK_API void zorvik_player_free(zorvik_player *player);

/* Writes the next count samples of the stream (16-bit mono, 32004 Hz) to
   out; returns count. The stream is endless unless zorvik_player_set_loops
   limited it: then fewer samples (down to 0) once play has ended. */
ZORVIK_API size_t zorvik_player_render(zorvik_player *player, int16_t *out, size_t count);

/* The step (0 to 95) that the next rendered sample belongs to. */
ZORVIK_API int zorvik_player_step(const zorvik_player *player);

/* Output samples per step for the song's tempo (2353 to 600010). */
ZORVIK_API int32_t zorvik_player_samples_per_step(const zorvik_player *player);

/* Goes to the start of a step (0 to 95; others are taken modulo 96), all
   voices silent: the step's notes start with the next rendered sample. */
ZORVIK_API void zorvik_player_seek(zorvik_player *player, int step);

/* Goes to a place in the song: loop (0 the first time through), step (0
   to 95) and the samples already played of that step (held within the
   step), all voices silent; the step's notes start only when into is 0.
   A loop past the last one set ends play. */
ZORVIK_API void zorvik_player_seek_to(zorvik_player *player, uint64_t loop, int step, int32_t into);

/* Where the next rendered sample is, counted in samples from the song's
   start, loops included; the loop it is in; and the samples of one loop. */
ZORVIK_API uint64_t zorvik_player_position(const zorvik_player *player);
ZORVIK_API uint64_t zorvik_player_loop(const zorvik_player *player);
ZORVIK_API uint64_t zorvik_player_loop_length(const zorvik_player *player);

/* The step (0 to 95) of any sample of the song, counted as
   zorvik_player_position counts: which step a listener hears. */
ZORVIK_API int zorvik_player_step_at(const zorvik_player *player, uint64_t position);

/* Plays the song `loops` times in all, then ends (0, the default: for
   ever); play ends at once if it is already past them. */
ZORVIK_API void zorvik_player_set_loops(zorvik_player *player, uint64_t loops);
/* 1 once play has ended after its last loop, else 0. */
ZORVIK_API int zorvik_player_ended(const zorvik_player *player);

/* The channels heard: bit 0 for channel 1, bit 1 for channel 2, bit 2 for
   channel 3 (7, the default: all). A muted channel plays on unheard. */
ZORVIK_API void zorvik_player_set_heard(zorvik_player *player, unsigned heard);
ZORVIK_API unsigned zorvik_player_heard(const zorvik_player *player);

/* The volume after the mix, in decibels, held within -60 to 60 (0, the
   default, leaves the samples exactly as they are); samples past full
   scale are limited, and counted. */
ZORVIK_API void zorvik_player_set_gain(zorvik_player *player, double decibels);
ZORVIK_API double zorvik_player_gain(const zorvik_player *player);
ZORVIK_API uint64_t zorvik_player_limited(const zorvik_player *player);

/* Goes on with another version of the song (a .zvo file's bytes or a song
   text) and, when bank is not NULL, another bank, at the same place: the
   same loop and step, as far into it as the new tempo allows. With the
   same bank the voices sound on and the new notes are heard from the next
   step. Returns 0, or -1 with the loader's message in error (the player
   then plays on unchanged). */
ZORVIK_API int zorvik_player_replace(zorvik_player *player, const void *song, size_t song_size,
                                     const void *bank, size_t bank_size, char *error,
                                     size_t error_size);

/* The 21-line screen the console player shows at a step (0 to 95), lines
   ended by '\n', zero-ended, the files' bytes as stored (a note's mark may
   be any byte, even 0: use the length); returns the length it needs (call
   again with a larger buffer when that is >= size). */
ZORVIK_API size_t zorvik_player_screen(const zorvik_player *player, int step, char *out,
                                       size_t size);

/* The song's title and author, the bank file name the song names, and the
   bank's own name and author: zero-ended texts of at most 32 bytes, owned
   by the player. */
ZORVIK_API const char *zorvik_player_title(const zorvik_player *player);
ZORVIK_API const char *zorvik_player_author(const zorvik_player *player);
ZORVIK_API const char *zorvik_player_song_bank(const zorvik_player *player);
ZORVIK_API const char *zorvik_player_bank_name(const zorvik_player *player);
ZORVIK_API const char *zorvik_player_bank_author(const zorvik_player *player);

/* The bank file name a song names (a .zvo file's bytes or a song text),
   so that a program can find the bank before making a player: copied into
   out (at most size bytes, zero-ended). Returns 0, or -1 with the loader's
   message in out when the song cannot be read. */
ZORVIK_API int zorvik_song_bank(const void *song, size_t song_size, char *out, size_t size);

/* The bytes of a .zvo file (ZORVIK_SONG_FILE_SIZE of them) for a song
   given as a .zvo file's bytes or as a song text, into out. The notes that
   will not sound or not show go into warnings (at most warnings_size
   bytes, zero-ended), one a line: "line L, column C: message" for a text,
   "step S, channel C: message" for a .zvo file. Returns the number of
   warnings, or -1 with the loader's message in warnings. */
#define ZORVIK_SONG_FILE_SIZE 680
ZORVIK_API int zorvik_song_compile(const void *song, size_t song_size, uint8_t *out,
                                   char *warnings, size_t warnings_size);

/* The song text of a song (a .zvo file's bytes or a song text), as
   `zorvik song decompile` writes it, zero-ended in out (at most size
   bytes). Returns the length it needs (call again with a larger buffer
   when that is >= size), or 0 with the loader's message in out. */
ZORVIK_API size_t zorvik_song_decompile(const void *song, size_t song_size, char *out, size_t size);

/* The song (a .zvo file's bytes or a song text) played `loops` times (0:
   once) with the bank (a .zvi file's bytes), as a Standard MIDI File, the
   one `zorvik render SONG OUT.mid --loops N` writes (zorvik(1) says what
   it holds): written to out only when it fits in size bytes. Returns the
   file's length (call again with a larger buffer when that is more than
   size), or 0 with the loader's message in error (at most error_size
   bytes, zero-ended); so too when the song played that often would last
   longer than a MIDI file holds here, 268435455 samples (2 h 19 min). */
ZORVIK_API size_t zorvik_song_midi(const void *song, size_t song_size, const void *bank,
                                   size_t bank_size, unsigned loops, uint8_t *out, size_t size,
                                   char *error, size_t error_size);

/* Editing a song, for editors: each function works on the bytes of a
   version-2 .zvo file (ZORVIK_SONG_FILE_SIZE of them, as
   zorvik_song_compile writes them) and returns -1, changing nothing, when
   song is not one or an argument is out of range. A step is 0 to 95, a
   channel 0 to 2, a pitch row and an instrument any byte. */

/* An empty song: no title, no author, the default bank, tempo 100, no
   notes. Writes ZORVIK_SONG_FILE_SIZE bytes. */
ZORVIK_API void zorvik_song_empty(uint8_t *song);

/* The cell of a step and channel, as pitch * 256 + instrument, or -1.
   ZORVIK_NO_NOTE is the cell with no note. */
#define ZORVIK_NO_NOTE 0xFFDF
ZORVIK_API int zorvik_song_cell(const uint8_t *song, size_t song_size, int step, int channel);
/* Sets a cell (pitch and instrument 0 to 255), or empties it; 0 or -1. */
ZORVIK_API int zorvik_song_set_cell(uint8_t *song, size_t song_size, int step, int channel,
                                    int pitch, int instrument);
ZORVIK_API int zorvik_song_clear_cell(uint8_t *song, size_t song_size, int step, int channel);

/* The tempo byte (0 to 255), or -1; setting it returns 0 or -1. */
ZORVIK_API int zorvik_song_tempo(const uint8_t *song, size_t song_size);
ZORVIK_API int zorvik_song_set_tempo(uint8_t *song, size_t song_size, int tempo);

/* Sets the title, the author or the bank file name the song names to text
   (text_size bytes, at most 32, with no zero byte among them): 0 or -1. */
#define ZORVIK_TITLE 0
#define ZORVIK_AUTHOR 1
#define ZORVIK_BANK 2
ZORVIK_API int zorvik_song_set_text(uint8_t *song, size_t song_size, int field, const char *text,
                                    size_t text_size);

/* What a cell does: 1 when it starts a note (every cell but the empty
   ones: a note cuts all three channels), 1 when that note sounds (its
   instrument has a sample and its pitch row is in the note table). */
ZORVIK_API int zorvik_cell_starts_note(int pitch, int instrument);
ZORVIK_API int zorvik_cell_sounds(int pitch, int instrument);

/* Pitch rows: 16 play (0 to 15); the console player's roll shows rows 1
   to 13 only. ZORVIK_INSTRUMENTS instruments (0 to 14) play a sample. */
#define ZORVIK_PITCH_ROWS 16
#define ZORVIK_INSTRUMENTS 15
ZORVIK_API int zorvik_roll_shows_row(int pitch);

/* Names, zero-ended in out (at most size bytes); each returns the length
   it needs. A pitch row as song texts write it ("C4", or "20" past the
   note table); an instrument as the roll and the tools name it ("a" for 0,
   "#26" past "z"); a cell as song texts write it ("C4a", "D4:30", "---");
   and what an instrument (0 to 14) sounds like in the default bank
   ("kick"; empty for others). */
ZORVIK_API size_t zorvik_pitch_name(int pitch, char *out, size_t size);
ZORVIK_API size_t zorvik_instrument_name(int instrument, char *out, size_t size);
ZORVIK_API size_t zorvik_cell_text(int pitch, int instrument, char *out, size_t size);
ZORVIK_API size_t zorvik_default_bank_sound(int instrument, char *out, size_t size);

/* The most bytes a song input may hold (a song text; a .zvo file is far
   smaller): larger ones are refused unread. */
ZORVIK_API size_t zorvik_song_max_size(void);

#ifdef __cplusplus
}
#endif

#endif
