// The program's outermost control flow: prepare, choose the run, drive it.
#pragma once
#include <windows.h>

namespace kw {

// Always returns 0 (the process exit code).
int RunInstaller(HINSTANCE instance);

}  // namespace kw
