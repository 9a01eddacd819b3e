// Starting the installed program at the desktop shell's level, and bringing
// one of our windows to the front.
#pragma once
#include <windows.h>

#include <string>

namespace kw {

// explorer.exe "path" "parameters": the program then runs as a child of the
// shell, with the logged-on user's rights rather than ours.
std::wstring ExplorerCommand(const std::wstring& path, const std::wstring& parameters);
// The legacy program-execution call's result: greater than 31 on success.
UINT ExplorerLaunch(const std::wstring& path, const std::wstring& parameters);

void BringToFront(HWND window);

}  // namespace kw
