/* A small outside library for the DllCommand tests. */
#include <stdint.h>

int32_t WhichFile(void) { return JX_FILE_ID; }

int32_t AddNumbers(int32_t a, int32_t b) { return a + b; }
