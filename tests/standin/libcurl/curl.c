/* A stand-in for libcurl's global start and clean-up, recording both
 * through the statistics stand-in's transport. curl_global_init answers
 * KW_STANDIN_RESULTS "curl_global_init" (default 0, success). */
#include <windows.h>

#include "../rbstat/udp_rb.h"

__declspec(dllexport) int curl_global_init(long flags) {
  standin_record("curl_global_init %ld", flags);
  return standin_result("curl_global_init", 0);
}

__declspec(dllexport) void curl_global_cleanup(void) { standin_record("curl_global_cleanup"); }

/* Being loaded at all is recorded: code in a planted DLL runs on load. */
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance;
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) standin_record("libcurl loaded");
  return TRUE;
}
