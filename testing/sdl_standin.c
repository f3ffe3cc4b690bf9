/* A stand-in for SDL 1.2's audio, for tests: loaded in place of the real
 * libSDL-1.2.so.0 (LD_LIBRARY_PATH), it calls the program's audio callback
 * from a thread of its own, as a sound card would, and records what the
 * program asked for and what it gave. Set in the environment:
 *
 *   ZORVIK_SDL_SPEC=FILE     where SDL_OpenAudio writes the requested format:
 *                            "freq format channels samples obtained"
 *                            (obtained: "null" or "given")
 *   ZORVIK_SDL_RECORD=FILE   where each buffer the callback filled is appended
 *   ZORVIK_SDL_PACE=N        call back N times as fast as the requested rate
 *                            needs (default 1); "fast": with no pause at all
 *   ZORVIK_SDL_BUFFERS=N     stop calling back after N buffers
 *   ZORVIK_SDL_FAIL=TEXT     SDL_OpenAudio fails, with TEXT as the error
 */
#include <SDL.h>
#include <pthread.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static SDL_AudioSpec spec;
static int opened;
static atomic_int paused = 1;
static atomic_int stopping;
static int threadStarted;
static pthread_t thread;
static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
static char error[256];

static void sleepSeconds(double s) {
  struct timespec t;
  t.tv_sec = (time_t)s;
  t.tv_nsec = (long)((s - (double)t.tv_sec) * 1e9);
  nanosleep(&t, NULL);
}

static void* run(void* unused) {
  (void)unused;
  const char* record = getenv("ZORVIK_SDL_RECORD");
  const char* pace = getenv("ZORVIK_SDL_PACE");
  const char* limit = getenv("ZORVIK_SDL_BUFFERS");
  int fast = pace != NULL && strcmp(pace, "fast") == 0;
  double speed = pace != NULL && !fast ? atof(pace) : 1.0;
  if (speed <= 0) speed = 1.0;
  long buffers = limit != NULL ? atol(limit) : -1;
  FILE* out = record != NULL ? fopen(record, "ab") : NULL;
  int bytes = spec.samples * spec.channels * 2;
  Uint8* buffer = malloc((size_t)bytes);
  double seconds = (double)spec.samples / spec.freq / speed;
  for (long n = 0; !stopping && (buffers < 0 || n < buffers);) {
    if (paused) {
      sleepSeconds(0.005);
      continue;
    }
    memset(buffer, spec.silence, (size_t)bytes);
    pthread_mutex_lock(&lock);
    spec.callback(spec.userdata, buffer, bytes);
    pthread_mutex_unlock(&lock);
    if (out != NULL) {
      fwrite(buffer, 1, (size_t)bytes, out);
      fflush(out);
    }
    ++n;
    if (!fast) sleepSeconds(seconds);
  }
  free(buffer);
  if (out != NULL) fclose(out);
  return NULL;
}

int SDL_Init(Uint32 flags) {
  (void)flags;
  return 0;
}
int SDL_InitSubSystem(Uint32 flags) {
  (void)flags;
  return 0;
}
void SDL_QuitSubSystem(Uint32 flags) { (void)flags; }
char* SDL_GetError(void) { return error; }

int SDL_OpenAudio(SDL_AudioSpec* desired, SDL_AudioSpec* obtained) {
  const char* fail = getenv("ZORVIK_SDL_FAIL");
  const char* where = getenv("ZORVIK_SDL_SPEC");
  if (where != NULL) {
    FILE* f = fopen(where, "w");
    if (f != NULL) {
      fprintf(f, "%d 0x%04x %d %d %s\n", desired->freq, desired->format, desired->channels,
              desired->samples, obtained == NULL ? "null" : "given");
      fclose(f);
    }
  }
  if (fail != NULL) {
    snprintf(error, sizeof error, "%s", fail);
    return -1;
  }
  spec = *desired;
  spec.silence = 0;
  if (obtained != NULL) *obtained = spec;
  opened = 1;
  return 0;
}

void SDL_PauseAudio(int pause_on) {
  if (!opened) return;
  paused = pause_on;
  if (!threadStarted && !pause_on) {
    threadStarted = 1;
    pthread_create(&thread, NULL, run, NULL);
  }
}

SDL_audiostatus SDL_GetAudioStatus(void) {
  return !opened ? SDL_AUDIO_STOPPED : paused ? SDL_AUDIO_PAUSED : SDL_AUDIO_PLAYING;
}
void SDL_LockAudio(void) { pthread_mutex_lock(&lock); }
void SDL_UnlockAudio(void) { pthread_mutex_unlock(&lock); }

void SDL_CloseAudio(void) {
  stopping = 1;
  if (threadStarted) pthread_join(thread, NULL);
  threadStarted = 0;
  opened = 0;
}

void SDL_Quit(void) { SDL_CloseAudio(); }

Uint32 SDL_GetTicks(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (Uint32)(t.tv_sec * 1000 + t.tv_nsec / 1000000);
}
void SDL_Delay(Uint32 ms) { sleepSeconds(ms / 1000.0); }
