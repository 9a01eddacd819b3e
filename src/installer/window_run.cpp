#include "installer/window_run.h"

#include <objbase.h>

#include "installer/system_dll.h"
#include "installer/trace.h"
#include "ui/resource_settings.h"

namespace kw {

namespace {

constexpr int kSkinArchiveId = 249;

// The skin archive stays mapped for the life of the process.
bool LoadSkinArchive(HINSTANCE instance, const void*& data, DWORD& size) {
  HRSRC info = FindResourceW(instance, MAKEINTRESOURCEW(kSkinArchiveId), L"ZIP");
  HGLOBAL loaded = info ? LoadResource(instance, info) : nullptr;
  if (!loaded) {
    KW_TRACE_FAILURE(L"");
    return false;
  }
  data = LockResource(loaded);
  if (!data) {
    KW_TRACE_FAILURE(L"LockResource failed.");
    FreeResource(loaded);
    return false;
  }
  size = SizeofResource(instance, info);
  if (size == 0) {
    DebugTrace(L"ResSize == 0\r\n");
    FreeResource(loaded);
    return false;
  }
  return true;
}

void BecomePerMonitorDpiAware() {
  using SetAwarenessFn = HRESULT(WINAPI*)(int);
  ModuleHandle shcore(LoadSystemLibrary(L"Shcore.dll"));
  if (auto setAwareness = shcore.Proc<SetAwarenessFn>("SetProcessDpiAwareness")) setAwareness(2);
}

}  // namespace

void RunWindowed(HINSTANCE instance, int appId, const std::wstring& tempLogPath) {
  (void)appId;  // handed to the statistics module
  DuiLib::SetResourceInstance(instance);
  const void* skin = nullptr;
  DWORD skinSize = 0;
  if (!LoadSkinArchive(instance, skin, skinSize)) return;
  DuiLib::SetResourceArchive(skin, skinSize, L"");

  BecomePerMonitorDpiAware();

  // The skinned dialog, its message loop and the statistics module plug in
  // here; until they exist the window run ends right after preparing.

  CoUninitialize();
  MoveFileExW(tempLogPath.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

}  // namespace kw
