/* A stand-in for GDI+'s start and shut-down, recording both and its own
 * unloading through the statistics stand-in's transport. GdiplusStartup
 * answers KW_STANDIN_RESULTS "GdiplusStartup" (default 0, Ok). */
#include <windows.h>

#include "../rbstat/udp_rb.h"

struct StartupInput {
  UINT32 version;
  void* debugEventCallback;
  BOOL suppressBackgroundThread;
  BOOL suppressExternalCodecs;
};

__declspec(dllexport) int WINAPI GdiplusStartup(ULONG_PTR* token, const struct StartupInput* input, void* output) {
  (void)output;
  standin_record("GdiplusStartup %u %d", input ? input->version : 0u, input ? input->suppressBackgroundThread : -1);
  *token = 0x5EED;
  return standin_result("GdiplusStartup", 0);
}

__declspec(dllexport) void WINAPI GdiplusShutdown(ULONG_PTR token) { standin_record("GdiplusShutdown %lx", (unsigned long)token); }

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance;
  if (reason == DLL_PROCESS_DETACH && reserved == NULL) standin_record("gdiplus unloaded");
  return TRUE;
}
