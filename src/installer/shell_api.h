// The shell's program-starting calls, command-line splitting and URL test,
// from shell32.dll and shlwapi.dll loaded on first use from the system
// folder. As static imports they would be loaded, with what they import in
// turn, before the process restricts its library search, and a DLL planted
// beside the installer could be picked up. Each call fails cleanly (as the
// system call would) when its library cannot be loaded.
#pragma once
#include <windows.h>
#include <shellapi.h>

namespace kw::shell {

LPWSTR* CommandLineToArgv(LPCWSTR commandLine, int* count);
HINSTANCE Execute(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR folder, int show);
BOOL ExecuteEx(SHELLEXECUTEINFOW* info);
BOOL PathIsUrl(LPCWSTR text);

}  // namespace kw::shell
