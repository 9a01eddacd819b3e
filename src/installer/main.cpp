#include <windows.h>

#include "installer/startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) { return kw::RunInstaller(instance); }
