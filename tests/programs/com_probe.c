/* A COM server stand-in: DllRegisterServer and DllUnregisterServer append
   "register" or "unregister" to a file named after the DLL + ".calls". It
   imports from com_probe_dep.dll, which must be found beside it. */
#include <windows.h>

__declspec(dllimport) int ComProbeDepValue(void);

static HMODULE g_self;

static HRESULT Record(const char* line) {
  wchar_t path[MAX_PATH + 16];
  DWORD n = GetModuleFileNameW(g_self, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH || ComProbeDepValue() != 42) return E_FAIL;
  lstrcatW(path, L".calls");
  HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, NULL, OPEN_ALWAYS, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) return E_FAIL;
  DWORD written = 0;
  WriteFile(file, line, (DWORD)lstrlenA(line), &written, NULL);
  CloseHandle(file);
  return S_OK;
}

__declspec(dllexport) HRESULT WINAPI DllRegisterServer(void) { return Record("register\n"); }
__declspec(dllexport) HRESULT WINAPI DllUnregisterServer(void) { return Record("unregister\n"); }

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) g_self = self;
  return TRUE;
}
