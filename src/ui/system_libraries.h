// Functions of system DLLs that are not always loaded, looked up once from
// the system folder (they are never imported statically).
#pragma once
#include <windows.h>

namespace DuiLib {

// msimg32's AlphaBlend; false when the library or the call fails.
bool AlphaBlendPixels(HDC dest, int x, int y, int cx, int cy, HDC source, int sx, int sy, int scx, int scy,
                      BLENDFUNCTION blend);
bool HasAlphaBlend();
// comctl32's InitCommonControlsEx for the tooltip class, once per process.
void InitCommonControlsOnce();
// Shcore's GetDpiForMonitor (effective DPI); 0 when absent, -1 when it failed.
int QueryMonitorDpi(HMONITOR monitor);

}  // namespace DuiLib
