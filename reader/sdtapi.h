/* The identity-card reader library (libsdtapi.so): reads resident identity
 * cards on a reader attached to a serial port, over the readers' serial
 * protocol. The program loads it by name and calls these four functions on
 * its one GUI thread; every argument and result is 32 bits wide except the
 * text buffers, and 1 means success.
 *
 * A read:  InitComm(port); Authenticate(); ReadBaseInfos(...); CloseComm().
 *
 * Ports: 1-16 are /dev/ttyS0 to /dev/ttyS15, 1001-1016 are /dev/ttyUSB0 to
 * /dev/ttyUSB15; the settings file sdtapi.ini beside the library file may map
 * any port number to a device path (see reader/README.md). The port is opened
 * exclusively (no other program may open it meanwhile) at 115200 baud, 8
 * data bits, no parity, one stop bit, raw.
 *
 * No call waits longer than SDTAPI_CALL_BOUND_MS for the reader: a silent or
 * unplugged reader gives a failure, never a hang.
 */
#ifndef SDTAPI_H
#define SDTAPI_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Results. Every value but SDTAPI_SUCCESS is a failure. */
#define SDTAPI_SUCCESS 1
#define SDTAPI_ERROR_PORT (-1)    /* no such port, cannot open it, or it is not open */
#define SDTAPI_ERROR_TIMEOUT (-2) /* no whole answer within the bound */
#define SDTAPI_ERROR_FRAME (-3)   /* an answer with a wrong check byte, length or layout */
#define SDTAPI_ERROR_REFUSED (-4) /* the reader answered with a failure status (no card, ...) */
#define SDTAPI_ERROR_IO (-5)      /* the device failed or went away */

#define SDTAPI_CALL_BOUND_MS 1800

/* The text bytes each buffer of ReadBaseInfos must hold, the terminating zero
 * not counted: a buffer is at least this + 1 bytes long. */
#define SDTAPI_NAME_BYTES 31
#define SDTAPI_SEX_BYTES 3
#define SDTAPI_NATION_BYTES 10
#define SDTAPI_BIRTH_BYTES 9
#define SDTAPI_NUMBER_BYTES 19
#define SDTAPI_ADDRESS_BYTES 71
#define SDTAPI_ISSUER_BYTES 31
#define SDTAPI_VALID_FROM_BYTES 9
#define SDTAPI_VALID_TO_BYTES 9

/* Opens the port (closing one this library had open). */
int32_t InitComm(int32_t port);

/* Finds a card on the reader and selects it. */
int32_t Authenticate(void);

/* Reads the selected card's base information into nine text buffers (GB18030,
 * trailing blanks removed, zero-terminated, each cut between two characters
 * to the size above): name, sex ("男", "女", "未知", "未说明"), nationality
 * ("汉", "蒙古", ...), birth date YYYYMMDD, identity number, address, issuing
 * authority, valid from YYYYMMDD, valid to (YYYYMMDD or "长期"). A null
 * buffer is skipped. On failure no buffer is touched.
 *
 * photo.bmp in the current directory is removed first; it is written anew
 * only when a photo decoder is configured (sdtapi_photo.h) and decodes the
 * card's photo. */
int32_t ReadBaseInfos(char* name, char* sex, char* nation, char* birth, char* number, char* address, char* issuer,
                      char* valid_from, char* valid_to);

/* Closes the port; closing a port that is not open does nothing. */
int32_t CloseComm(void);

#ifdef __cplusplus
}
#endif

#endif /* SDTAPI_H */
