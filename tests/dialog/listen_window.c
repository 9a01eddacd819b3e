/* The caller's listen window for the dialog tests. Argument: a log file.
   Writes "window <handle>" once the window exists; on message 3014 writes
   "finished" and holds the installer (the message is sent synchronously) for
   the hold time in milliseconds given as the second argument, so that the
   finished progress view can be looked at. Ends on WM_CLOSE or after 120 s.
   With "--box-text CAPTION FILE" it writes the text of the message box
   captioned CAPTION to FILE (UTF-8) instead, and ends. */
#include <windows.h>
#include <shellapi.h>
#include <stdio.h>
#include <stdlib.h>

static HANDLE g_log = INVALID_HANDLE_VALUE;
static DWORD g_hold = 0;

static void LogLine(const char* line) {
  DWORD written = 0;
  WriteFile(g_log, line, (DWORD)lstrlenA(line), &written, NULL);
  FlushFileBuffers(g_log);
}

static LRESULT CALLBACK ListenProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == 3014) {
    LogLine("finished\n");
    Sleep(g_hold);
    return 0;
  }
  if (message == WM_DESTROY || message == WM_TIMER) PostQuitMessage(0);
  return DefWindowProcW(window, message, wParam, lParam);
}

static BOOL CALLBACK FindBoxText(HWND child, LPARAM found) {
  wchar_t name[16];
  if (GetClassNameW(child, name, 16) && lstrcmpiW(name, L"Static") == 0 && GetWindowTextLengthW(child) > 0) {
    *(HWND*)found = child;
    return FALSE;
  }
  return TRUE;
}

static int WriteBoxText(LPCWSTR caption, LPCWSTR path) {
  HWND box = FindWindowW(L"#32770", caption);
  HWND text = NULL;
  if (!box) return 5;
  EnumChildWindows(box, FindBoxText, (LPARAM)&text);
  if (!text) return 6;
  wchar_t wide[1024];
  char utf8[4096];
  GetWindowTextW(text, wide, 1024);
  const int length = WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, sizeof utf8, NULL, NULL);
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) return 3;
  DWORD written = 0;
  WriteFile(file, utf8, length > 0 ? (DWORD)length - 1 : 0, &written, NULL);
  CloseHandle(file);
  return 0;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE b, PWSTR c, int d) {
  (void)b; (void)c; (void)d;
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv || argc < 2) return 2;
  if (argc == 4 && lstrcmpW(argv[1], L"--box-text") == 0) return WriteBoxText(argv[2], argv[3]);
  g_hold = argc > 2 ? (DWORD)wcstoul(argv[2], NULL, 10) : 0;
  g_log = CreateFileW(argv[1], GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS, 0, NULL);
  if (g_log == INVALID_HANDLE_VALUE) return 3;
  WNDCLASSW wc = {0};
  wc.lpfnWndProc = ListenProc;
  wc.hInstance = instance;
  wc.lpszClassName = L"KWListenWindow";
  RegisterClassW(&wc);
  HWND window = CreateWindowW(L"KWListenWindow", L"", WS_POPUP, 0, 0, 1, 1, NULL, NULL, instance, NULL);
  if (!window) return 4;
  SetTimer(window, 1, 120000, NULL);
  char line[64];
  snprintf(line, sizeof line, "window %lu\n", (unsigned long)(ULONG_PTR)window);
  LogLine(line);
  MSG msg;
  while (GetMessageW(&msg, NULL, 0, 0) > 0) DispatchMessageW(&msg);
  CloseHandle(g_log);
  return 0;
}
