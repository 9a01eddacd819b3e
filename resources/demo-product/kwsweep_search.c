/* KWSweepSearch.exe, the demo product's search service host. "--install"
 * registers it for the current user (a value under the product's key that
 * the uninstaller's key removal takes away again); anything else does
 * nothing. */
#include <windows.h>
#include <shellapi.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int show) {
  int argc = 0, i, installed = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  (void)instance;
  (void)previous;
  (void)commandLine;
  (void)show;
  for (i = 1; argv && i < argc; ++i) {
    if (lstrcmpW(argv[i], L"--install") == 0) {
      wchar_t self[MAX_PATH];
      HKEY key;
      DWORD units = GetModuleFileNameW(NULL, self, MAX_PATH);
      if (units == 0 || units >= MAX_PATH) break;
      if (RegCreateKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\KWSweep", 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL) !=
          ERROR_SUCCESS)
        break;
      installed = RegSetValueExW(key, L"SearchService", 0, REG_SZ, (const BYTE*)self,
                                 (units + 1) * sizeof(wchar_t)) == ERROR_SUCCESS;
      RegCloseKey(key);
    }
  }
  if (argv) LocalFree(argv);
  return installed ? 0 : 1;
}
