/* A text engine whose object cannot be made: its entry point fails. */
#include <windows.h>

/* {8D33F740-CF58-11CE-A89D-00AA006CADC5} */
__declspec(dllexport) const GUID IID_ITextServices = {
    0x8d33f740, 0xcf58, 0x11ce, {0xa8, 0x9d, 0x00, 0xaa, 0x00, 0x6c, 0xad, 0xc5}};

__declspec(dllexport) HRESULT WINAPI CreateTextServices(void* outer, void* host, void** object) {
  (void)outer;
  (void)host;
  if (object) *object = NULL;
  return E_OUTOFMEMORY;
}
