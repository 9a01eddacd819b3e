/* Arguments: report file, delay in ms. Waits for the delay, then writes how
   it was asked to show itself: "show=N" (the show state it was started
   with), "show=default" when none was given. */
#include <windows.h>
#include <shellapi.h>
#include <stdio.h>
#include <stdlib.h>

int WINAPI wWinMain(HINSTANCE a, HINSTANCE b, PWSTR c, int d) {
  (void)a; (void)b; (void)c; (void)d;
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv || argc < 3) return 1;
  STARTUPINFOW startup;
  GetStartupInfoW(&startup);
  Sleep((DWORD)_wtoi(argv[2]));
  char text[32];
  if (startup.dwFlags & STARTF_USESHOWWINDOW)
    sprintf(text, "show=%u", (unsigned)startup.wShowWindow);
  else
    lstrcpyA(text, "show=default");
  HANDLE file = CreateFileW(argv[1], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(file, text, (DWORD)lstrlenA(text), &written, NULL);
  CloseHandle(file);
  return 0;
}
