/* A top-level window for the process tests. Arguments: window class, log
   file, and optionally "stubborn". Writes "ready" once the window exists,
   then one line "message wParam lParam" for every message posted to the
   window, each written at once so a killed probe leaves its record.
   Closes on the close command and WM_CLOSE with exit code 7; a stubborn
   probe ignores both. Ends by itself (exit code 99) after 60 s. */
#include <windows.h>
#include <shellapi.h>
#include <stdio.h>

static HANDLE g_log = INVALID_HANDLE_VALUE;
static int g_stubborn = 0;

static void LogLine(const char* line) {
  DWORD written = 0;
  WriteFile(g_log, line, (DWORD)lstrlenA(line), &written, NULL);
  FlushFileBuffers(g_log);
}

static LRESULT CALLBACK ProbeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (g_stubborn && (message == WM_CLOSE || (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE)))
    return 0;
  if (message == WM_DESTROY) PostQuitMessage(7);
  if (message == WM_TIMER) PostQuitMessage(99);
  return DefWindowProcW(window, message, wParam, lParam);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE b, PWSTR c, int d) {
  (void)b; (void)c; (void)d;
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv || argc < 3) return 1;
  g_stubborn = argc > 3 && lstrcmpiW(argv[3], L"stubborn") == 0;
  g_log = CreateFileW(argv[2], GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                      CREATE_ALWAYS, 0, NULL);
  if (g_log == INVALID_HANDLE_VALUE) return 1;

  WNDCLASSW windowClass = {0};
  windowClass.lpfnWndProc = ProbeProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = argv[1];
  if (!RegisterClassW(&windowClass)) return 1;
  HWND window = CreateWindowW(argv[1], L"window probe", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, NULL, NULL, instance, NULL);
  if (!window) return 1;
  SetTimer(window, 1, 60000, NULL);
  LogLine("ready\n");

  MSG msg;
  while (GetMessageW(&msg, NULL, 0, 0) > 0) {
    if (msg.hwnd == window && msg.message != WM_TIMER && msg.message != WM_PAINT) {
      char line[64];
      sprintf(line, "%u %u %u\n", (unsigned)msg.message, (unsigned)msg.wParam, (unsigned)msg.lParam);
      LogLine(line);
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  CloseHandle(g_log);
  return (int)msg.wParam;
}
