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
   file's bytes) from memory; the player keeps copies of what it needs. On
   failure returns NULL and, when error is not NULL, copies the loader's
   message (at most error_size bytes, zero-ended). */
ZORVIK_API zorvik_player *zorvik_player_new(const void *song, size_t song_size, const void *bank,
                                            size_t bank_size, char *error, size_t error_size);

/* Frees a player and all it holds; NULL is ignored. */
ZORVIK_API void zorvik_player_free(zorvik_player *player);

/* Writes the next count samples of the endless stream (16-bit mono,
   32004 Hz) to out; returns count. */
ZORVIK_API size_t zorvik_player_render(zorvik_player *player, int16_t *out, size_t count);

/* The step (0 to 95) that the next rendered sample belongs to. */
ZORVIK_API int zorvik_player_step(const zorvik_player *player);

/* Output samples per step for the song's tempo (2353 to 600010). */
ZORVIK_API int32_t zorvik_player_samples_per_step(const zorvik_player *player);

/* Goes to the start of a step (0 to 95; others are taken modulo 96), all
   voices silent: the step's notes start with the next rendered sample. */
ZORVIK_API void zorvik_player_seek(zorvik_player *player, int step);

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

#ifdef __cplusplus
}
#endif

#endif
