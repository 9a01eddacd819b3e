/* Writes its own command line (UTF-16) to report_args.txt beside itself. */
#include <windows.h>

int WINAPI wWinMain(HINSTANCE a, HINSTANCE b, PWSTR c, int d) {
  (void)a; (void)b; (void)c; (void)d;
  wchar_t path[MAX_PATH + 32];
  DWORD n = GetModuleFileNameW(NULL, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 1;
  while (n > 0 && path[n - 1] != L'\\') --n;
  lstrcpyW(path + n, L"report_args.txt");
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) return 1;
  const wchar_t* line = GetCommandLineW();
  DWORD written = 0;
  WriteFile(file, line, (DWORD)(lstrlenW(line) * sizeof(wchar_t)), &written, NULL);
  CloseHandle(file);
  return 0;
}
