// The install dialog's part of the window run.
#pragma once
#include <windows.h>

namespace kw {

// Creates the dialog window, runs the framework's message loop until the
// window is destroyed, then shuts the framework down.
void RunInstallDialog(HWND listenWindow);

}  // namespace kw
