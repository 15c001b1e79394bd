/* The photo decoder plug-in of the identity-card reader library.
 *
 * A card carries its holder's photo in a compressed format whose decoder is
 * licensed by the reader makers; this library ships none. A school that has
 * one wraps it in a shared library exporting one function of the type below
 * and names both in sdtapi.ini beside libsdtapi.so:
 *
 *   [photo]
 *   decoder = /opt/cardphoto/libcardphoto.so   ; relative: from the ini's folder
 *   function = sdtapi_decode_photo
 *
 * After every successful ReadBaseInfos the library loads the decoder, calls
 * the function once with the card's photo, writes the bytes it returns to
 * photo.bmp in the current directory (the program folder), and unloads it.
 * Without a decoder, or when it fails, no photo.bmp is left behind (the file
 * of an earlier card is removed before every read).
 */
#ifndef SDTAPI_PHOTO_H
#define SDTAPI_PHOTO_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The card's compressed photo, as the card hands it over. */
#define SDTAPI_PHOTO_BYTES 1024
/* Room the library gives the decoded picture (a 102 x 126 photo in 24-bit
 * BMP takes 38 862 bytes). */
#define SDTAPI_PICTURE_CAPACITY (256 * 1024)

/* Decodes `photo` (photo_bytes long) into a complete BMP file written to
 * `picture`, which has room for `capacity` bytes. Returns the number of bytes
 * written (1 to capacity), or 0 or less when the photo cannot be decoded.
 * The function must not write past `capacity`, keep either pointer after it
 * returns, or call back into the reader library. */
typedef int32_t (*sdtapi_photo_decoder)(const uint8_t* photo, int32_t photo_bytes, uint8_t* picture, int32_t capacity);

#ifdef __cplusplus
}
#endif

#endif /* SDTAPI_PHOTO_H */
