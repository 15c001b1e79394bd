/* A photo decoder plug-in for the tests (the interface of sdtapi_photo.h):
 * the picture is a 4 x 4 pixel, 24-bit BMP whose pixel bytes are the photo's
 * first 48 bytes, so a test can tell which photo it was given. */
#include <stdint.h>
#include <string.h>

#include "reader/sdtapi_photo.h"

enum { kSide = 4, kPixelBytes = 3, kHeaderBytes = 54 };

static void put32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = (uint8_t)(value >> (8 * i));
}

int32_t test_decode_photo(const uint8_t* photo, int32_t photo_bytes, uint8_t* picture, int32_t capacity) {
  const int32_t pixels = kSide * kSide * kPixelBytes;
  const int32_t total = kHeaderBytes + pixels;
  if (photo_bytes < pixels || capacity < total) return 0;
  memset(picture, 0, kHeaderBytes);
  picture[0] = 'B';
  picture[1] = 'M';
  put32(picture + 2, (uint32_t)total);
  put32(picture + 10, kHeaderBytes);
  put32(picture + 14, 40); /* BITMAPINFOHEADER */
  put32(picture + 18, kSide);
  put32(picture + 22, kSide);
  picture[26] = 1;  /* planes */
  picture[28] = 24; /* bits per pixel */
  put32(picture + 34, (uint32_t)pixels);
  memcpy(picture + kHeaderBytes, photo, (size_t)pixels);
  return total;
}

/* A decoder that cannot decode anything. */
int32_t test_decode_nothing(const uint8_t* photo, int32_t photo_bytes, uint8_t* picture, int32_t capacity) {
  (void)photo;
  (void)photo_bytes;
  (void)picture;
  (void)capacity;
  return 0;
}
