/* Loads a DLL by bare name with the default search order: proves that a
   planted canary is found when nothing restricts the search. */
#include <windows.h>

int WINAPI wWinMain(HINSTANCE a, HINSTANCE b, PWSTR args, int d) {
  (void)a; (void)b; (void)d;
  return LoadLibraryW(args) ? 0 : 1;
}
