// The window run: the skinned install dialog drives the installation.
#pragma once
#include <windows.h>

#include <string>

namespace kw {

// Creates the install dialog and runs the message loop until the dialog is
// destroyed. The dialog sits above this folder, so the program's entry hands
// it over; without one the window run ends after its preparation.
using InstallDialogRun = void (*)(HWND listenWindow);
void SetInstallDialogRun(InstallDialogRun run);

void RunWindowed(HINSTANCE instance, int appId, const std::wstring& tempLogPath);

}  // namespace kw
