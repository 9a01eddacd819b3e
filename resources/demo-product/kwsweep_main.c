/* KWSweep.exe, the demo product's main program: one real window of the class
 * the installer looks for. "/menu" marks a start from the start menu, "/auto"
 * a start with Windows (the window then starts minimized). */
#include <windows.h>
#include <shellapi.h>

static const wchar_t kClassName[] = L"KWSweepWnd";

static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int show) {
  int argc = 0, i;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  const wchar_t* how = L"";
  WNDCLASSW windowClass = {0};
  HWND window;
  MSG message;
  (void)previous;
  (void)commandLine;
  for (i = 1; argv && i < argc; ++i) {
    if (lstrcmpiW(argv[i], L"/auto") == 0) {
      how = L" (started with Windows)";
      show = SW_SHOWMINNOACTIVE;
    } else if (lstrcmpiW(argv[i], L"/menu") == 0) {
      how = L" (started from the start menu)";
    }
  }
  if (argv) LocalFree(argv);

  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(NULL, (LPCWSTR)IDC_ARROW);
  windowClass.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kClassName;
  if (!RegisterClassW(&windowClass)) return 1;
  {
    wchar_t title[128];
    wsprintfW(title, L"KWSweep%s", how);
    window = CreateWindowExW(0, kClassName, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 480, 320,
                             NULL, NULL, instance, NULL);
  }
  if (!window) return 1;
  ShowWindow(window, show);
  UpdateWindow(window);
  while (GetMessageW(&message, NULL, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return (int)message.wParam;
}
