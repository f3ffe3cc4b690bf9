/* Renders a Zorvik song with libzorvik: raw samples (signed 16-bit, native
 * byte order, mono, 32004 Hz) on standard output.
 *
 *   cc render.c $(pkg-config --cflags --libs zorvik) -o render
 *   ./render SONG.zvo BANK.zvi SAMPLES > song.raw
 */
#include <stdio.h>
#include <stdlib.h>
#include <zorvik/zorvik.h>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

/* The whole of a file, in memory; NULL when it cannot be read. */
static void *readFile(const char *path, size_t *size) {
  FILE *f = fopen(path, "rb");
  char *bytes = NULL;
  size_t used = 0, capacity = 0;
  if (f == NULL) return NULL;
  for (;;) {
    if (used == capacity) {
      char *grown = realloc(bytes, capacity = capacity ? 2 * capacity : 65536);
      if (grown == NULL) break;
      bytes = grown;
    }
    size_t n = fread(bytes + used, 1, capacity - used, f);
    used += n;
    if (n == 0) break;
  }
  if (ferror(f)) {
    free(bytes);
    bytes = NULL;
  }
  fclose(f);
  *size = used;
  return bytes;
}

int main(int argc, char **argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: %s SONG.zvo BANK.zvi SAMPLES\n", argv[0]);
    return 2;
  }
  size_t songSize, bankSize;
  void *song = readFile(argv[1], &songSize);
  void *bank = readFile(argv[2], &bankSize);
  if (song == NULL || bank == NULL) {
    fprintf(stderr, "render: cannot read %s\n", song == NULL ? argv[1] : argv[2]);
    return 1;
  }
  char error[256];
  zorvik_player *player = zorvik_player_new(song, songSize, bank, bankSize, error, sizeof error);
  free(song);
  free(bank);
  if (player == NULL) {
    fprintf(stderr, "render: %s\n", error);
    return 1;
  }
#ifdef _WIN32
  /* Samples, not text: no carriage return before every byte 0x0A. */
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  unsigned long long left = strtoull(argv[3], NULL, 10);
  int16_t buffer[4096];
  while (left > 0) {
    size_t n = left < 4096 ? (size_t)left : 4096;
    zorvik_player_render(player, buffer, n);
    if (fwrite(buffer, sizeof buffer[0], n, stdout) != n) {
      perror("render");
      zorvik_player_free(player);
      return 1;
    }
    left -= n;
  }
  zorvik_player_free(player);
  return fflush(stdout) == 0 ? 0 : 1;
}
