/* A stand-in for the maker's statistics library: the same 20 __stdcall entry
 * points, each recording its name and arguments through the transport
 * instead of reporting anything. Results come from KW_STANDIN_RESULTS:
 * stat_init (default 1), stat_install (0), stat_app_install (0),
 * stat_http_post (1). */
#include <windows.h>

#include "udp_rb.h"

#define TEXT_ARG(s) (s) ? "\"" : "", (s) ? (s) : "nil", (s) ? "\"" : ""

static void record_address(const char* name, const char* host, DWORD port) {
  standin_record("%s %s%s%s %lu", name, TEXT_ARG(host), (unsigned long)port);
}

static void record_number(const char* name, DWORD value) { standin_record("%s %lu", name, (unsigned long)value); }

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance;
  /* Only a FreeLibrary, not the end of the process. */
  if (reason == DLL_PROCESS_DETACH && reserved == NULL) standin_record("rbstat unloaded");
  return TRUE;
}

BOOL WINAPI stat_init(void) {
  standin_record("stat_init");
  return standin_result("stat_init", 1) != 0;
}
void WINAPI stat_proxy(const char* host, DWORD port) { record_address("stat_proxy", host, port); }
void WINAPI stat_dispatch_addr(const char* host, DWORD port) { record_address("stat_dispatch_addr", host, port); }
void WINAPI stat_online_addr(const char* host, DWORD port) { record_address("stat_online_addr", host, port); }
void WINAPI stat_action_addr(const char* host, DWORD port) { record_address("stat_action_addr", host, port); }
void WINAPI stat_install_addr(const char* host, DWORD port) { record_address("stat_install_addr", host, port); }
void WINAPI stat_loginout_addr(const char* host, DWORD port) { record_address("stat_loginout_addr", host, port); }
void WINAPI stat_unionid(DWORD unionId) { record_number("stat_unionid", unionId); }
/* The whole 32-bit slot is recorded: callers must pass the low byte alone. */
void WINAPI stat_appid(DWORD appId) { record_number("stat_appid", appId); }
void WINAPI stat_level(DWORD level) { record_number("stat_level", level); }
void WINAPI stat_version(DWORD version) { record_number("stat_version", version); }
void WINAPI stat_version_ex(DWORD major, DWORD minor, DWORD build, DWORD revision) {
  standin_record("stat_version_ex %lu %lu %lu %lu", (unsigned long)major, (unsigned long)minor, (unsigned long)build,
                 (unsigned long)revision);
}
void WINAPI stat_online(void) { standin_record("stat_online"); }
void WINAPI stat_offline(void) { standin_record("stat_offline"); }
void WINAPI stat_action(DWORD actionId) { record_number("stat_action", actionId); }

void WINAPI stat_mutilaction(const DWORD* actionIds, DWORD count, DWORD flags) {
  char ids[16 * 12 + 8] = "";
  size_t used = 0;
  DWORD i;
  if (!actionIds) {
    lstrcpyA(ids, "nil");
  } else {
    used += (size_t)wsprintfA(ids + used, "[");
    for (i = 0; i < count && i < 16; ++i)
      used += (size_t)wsprintfA(ids + used, i ? ",%lu" : "%lu", (unsigned long)actionIds[i]);
    lstrcpyA(ids + used, count > 16 ? ",...]" : "]");
  }
  standin_record("stat_mutilaction %s %lu %lu", ids, (unsigned long)count, (unsigned long)flags);
  standin_maybe_sleep("stat_mutilaction");
}

int WINAPI stat_install(DWORD event) {
  record_number("stat_install", event);
  return standin_result("stat_install", 0);
}
void WINAPI stat_close(DWORD reason) { record_number("stat_close", reason); }
int WINAPI stat_app_install(DWORD event) {
  record_number("stat_app_install", event);
  return standin_result("stat_app_install", 0);
}
int WINAPI stat_http_post(const char* address, const char* body, DWORD length, BOOL flag) {
  standin_record("stat_http_post %s%s%s %s%s%s %lu %d", TEXT_ARG(address), TEXT_ARG(body), (unsigned long)length,
                 flag);
  return standin_result("stat_http_post", 1);
}
