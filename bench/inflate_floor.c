/* The floor of reading a workbook: read the file, find the named parts in the zip's central
 * directory, inflate each with zlib and scan what comes out once with memchr (counting '<', so
 * the scan cannot be skipped). Nothing is parsed or kept: any reader of the file does at least
 * this much work. Prints the parts' inflated bytes and tags.
 *   inflate_floor FILE.xlsx [PART...]   (names as stored, e.g. xl/worksheets/sheet1.xml; every
 *                                        part of the file when none is named)
 * Exit status 1 when the file cannot be read or a part is missing or damaged. */
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

enum { kPiece = 1 << 18 };

static uint32_t Le16(const unsigned char* p) { return p[0] | (uint32_t)p[1] << 8; }
static uint32_t Le32(const unsigned char* p) { return Le16(p) | Le16(p + 2) << 16; }

static int Die(const char* what, const char* name) {
  fprintf(stderr, "inflate_floor: %s%s%s\n", what, name ? ": " : "", name ? name : "");
  return 1;
}

/* The file whole in memory, as the program measured against it reads it. */
static unsigned char* ReadFile(const char* path, size_t* size) {
  const int fd = open(path, O_RDONLY);
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0) return NULL;
  unsigned char* data = malloc(st.st_size ? (size_t)st.st_size : 1);
  size_t got = 0;
  while (data && got < (size_t)st.st_size) {
    const ssize_t n = read(fd, data + got, (size_t)st.st_size - got);
    if (n <= 0) break;
    got += (size_t)n;
  }
  close(fd);
  if (!data || got != (size_t)st.st_size) {
    free(data);
    return NULL;
  }
  *size = got;
  return data;
}

/* The `index`th central directory entry whose name is `name` (any name when NULL), or NULL.
 * Searches back for the end record (its comment may be up to 64 KiB long). */
static const unsigned char* FindEntry(const unsigned char* zip, size_t size, const char* name,
                                      uint32_t index) {
  if (size < 22) return NULL;
  size_t end = size - 22;
  while (Le32(zip + end) != 0x06054b50) {
    if (end == 0 || size - end > 22 + 65535) return NULL;
    --end;
  }
  const uint32_t count = Le16(zip + end + 10);
  size_t at = Le32(zip + end + 16);
  for (uint32_t i = 0; i < count; ++i) {
    if (at + 46 > size || Le32(zip + at) != 0x02014b50) return NULL;
    const uint32_t name_size = Le16(zip + at + 28);
    if (at + 46 + name_size > size) return NULL;
    if (name ? name_size == strlen(name) && memcmp(zip + at + 46, name, name_size) == 0
             : i == index)
      return zip + at;
    at += 46 + name_size + Le16(zip + at + 30) + Le16(zip + at + 32);
  }
  return NULL;
}

/* Inflates the entry piece by piece, counting '<' in each piece. 0 on success. */
static int ScanEntry(const unsigned char* zip, size_t size, const unsigned char* entry,
                     unsigned char* piece, uint64_t* bytes, uint64_t* tags) {
  const uint32_t method = Le16(entry + 10), packed = Le32(entry + 20);
  const size_t local = Le32(entry + 42);
  if (local + 30 > size || Le32(zip + local) != 0x04034b50) return 1;
  const size_t data = local + 30 + Le16(zip + local + 26) + Le16(zip + local + 28);
  if (data + packed > size || (method != 0 && method != 8)) return 1;
  z_stream z;
  memset(&z, 0, sizeof z);
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return 1;
  z.next_in = (unsigned char*)zip + data;
  z.avail_in = packed;
  int status = Z_OK;
  while (status != Z_STREAM_END) {
    size_t n;
    const unsigned char* out = piece;
    if (method == 0) {
      n = z.avail_in;
      out = z.next_in;
      z.avail_in = 0;
      status = Z_STREAM_END;
    } else {
      z.next_out = piece;
      z.avail_out = kPiece;
      status = inflate(&z, Z_NO_FLUSH);
      if (status != Z_OK && status != Z_STREAM_END) break;
      n = kPiece - z.avail_out;
    }
    *bytes += n;
    for (const unsigned char *p = out, *e = out + n; (p = memchr(p, '<', (size_t)(e - p))); ++p)
      ++*tags;
  }
  inflateEnd(&z);
  return status == Z_STREAM_END ? 0 : 1;
}

int main(int argc, char** argv) {
  if (argc < 2) return Die("usage: inflate_floor FILE.xlsx [PART...]", NULL);
  size_t size = 0;
  unsigned char* zip = ReadFile(argv[1], &size);
  if (!zip) return Die("cannot read", argv[1]);
  unsigned char* piece = malloc(kPiece);
  uint64_t bytes = 0, tags = 0;
  if (argc == 2) {
    const unsigned char* entry;
    for (uint32_t i = 0; (entry = FindEntry(zip, size, NULL, i)); ++i) {
      if (ScanEntry(zip, size, entry, piece, &bytes, &tags)) return Die("damaged part", NULL);
    }
  }
  for (int i = 2; i < argc; ++i) {
    const unsigned char* entry = FindEntry(zip, size, argv[i], 0);
    if (!entry) return Die("no such part", argv[i]);
    if (ScanEntry(zip, size, entry, piece, &bytes, &tags)) return Die("damaged part", argv[i]);
  }
  printf("bytes=%llu tags=%llu\n", (unsigned long long)bytes, (unsigned long long)tags);
  free(piece);
  free(zip);
  return 0;
}
