#include "ui/system_libraries.h"

#include <commctrl.h>

#include "core/system_dll.h"

namespace DuiLib {

namespace {

using AlphaBlendFn = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);

AlphaBlendFn AlphaBlendProc() {
  // Loaded for the life of the process.
  static AlphaBlendFn proc = [] {
    HMODULE module = kw::LoadSystemLibrary(L"msimg32.dll");
    return module ? reinterpret_cast<AlphaBlendFn>(reinterpret_cast<void*>(GetProcAddress(module, "AlphaBlend")))
                  : nullptr;
  }();
  return proc;
}

}  // namespace

bool HasAlphaBlend() { return AlphaBlendProc() != nullptr; }

bool AlphaBlendPixels(HDC dest, int x, int y, int cx, int cy, HDC source, int sx, int sy, int scx, int scy,
                      BLENDFUNCTION blend) {
  AlphaBlendFn proc = AlphaBlendProc();
  return proc && proc(dest, x, y, cx, cy, source, sx, sy, scx, scy, blend) != FALSE;
}

void InitCommonControlsOnce() {
  static const bool done = [] {
    using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    HMODULE module = kw::LoadSystemLibrary(L"comctl32.dll");
    auto init = module ? reinterpret_cast<InitFn>(reinterpret_cast<void*>(GetProcAddress(module, "InitCommonControlsEx")))
                       : nullptr;
    if (!init) return false;
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
    return init(&controls) != FALSE;
  }();
  (void)done;
}

int QueryMonitorDpi(HMONITOR monitor) {
  using GetDpiFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
  static GetDpiFn proc = [] {
    HMODULE module = kw::LoadSystemLibrary(L"Shcore.dll");
    return module ? reinterpret_cast<GetDpiFn>(reinterpret_cast<void*>(GetProcAddress(module, "GetDpiForMonitor")))
                  : nullptr;
  }();
  if (!proc) return 0;
  UINT x = 0;
  UINT y = 0;
  constexpr int kEffectiveDpi = 0;
  if (FAILED(proc(monitor, kEffectiveDpi, &x, &y))) return -1;
  return static_cast<int>(x);
}

}  // namespace DuiLib
