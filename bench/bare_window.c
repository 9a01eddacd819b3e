/* The floor of the first-paint bench: a bare Win32 popup, centred like the
   installers, that fills itself white on its first WM_PAINT. Whatever Wine
   spends starting a process and showing a window shows up here too. */
#include <windows.h>

static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    FillRect(dc, &paint.rcPaint, (HBRUSH)GetStockObject(WHITE_BRUSH));
    EndPaint(window, &paint);
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int show) {
  (void)previous;
  (void)commandLine;
  (void)show;
  WNDCLASSW windowClass = {0};
  windowClass.lpfnWndProc = Procedure;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = L"BareWindow";
  windowClass.hCursor = LoadCursorW(NULL, (LPCWSTR)IDC_ARROW);
  RegisterClassW(&windowClass);
  const int width = 600, height = 460;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  CreateWindowExW(0, L"BareWindow", L"bare", WS_POPUP | WS_VISIBLE, x, y, width, height, NULL, NULL, instance, NULL);
  MSG message;
  while (GetMessageW(&message, NULL, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
