/* A dependency of kwnative.dll, loaded from the same folder. */
#include <stdint.h>

__declspec(dllexport) uint32_t DepMagic(void) { return 0x5EEDu; }
