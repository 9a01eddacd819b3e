/* Stands in for a running product tool: waits until it is ended (at most two
   minutes, so a failed test leaves nothing behind for long). */
#include <windows.h>

int WINAPI wWinMain(HINSTANCE a, HINSTANCE b, PWSTR c, int d) {
  (void)a; (void)b; (void)c; (void)d;
  Sleep(120000);
  return 0;
}
