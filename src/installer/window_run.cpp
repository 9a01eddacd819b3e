#include "installer/window_run.h"

#include <cstdint>
#include <memory>

#include "core/handles.h"
#include "core/module_resource.h"
#include "core/system_dll.h"
#include "installer/cmdline.h"
#include "core/trace.h"
#include "ui/resource_settings.h"
#include "stats/stat_module.h"

namespace kw {

namespace {

constexpr int kSkinArchiveId = 249;
constexpr wchar_t kStatSubKey[] = L"SOFTWARE\\KWSweep";
// The statistics service's dispatch host. A placeholder that resolves
// nowhere until the product has a service of its own.
constexpr wchar_t kStatDispatchHost[] = L"stat.kwsweep.invalid";

// The skin archive stays mapped for the life of the process.
bool LoadSkinArchive(HINSTANCE instance, const void*& data, DWORD& size) {
  ResourceBytes bytes;
  const ResourceStatus status = FindModuleResource(instance, MAKEINTRESOURCEW(kSkinArchiveId), L"ZIP", bytes);
  if (status != ResourceStatus::kFound) {
    TraceResourceFailure(status);
    return false;
  }
  data = bytes.data;
  size = bytes.size;
  return true;
}

void BecomePerMonitorDpiAware() {
  using SetAwarenessFn = HRESULT(WINAPI*)(int);
  UniqueModule shcore(LoadSystemLibrary(L"Shcore.dll"));
  if (auto setAwareness = shcore.Proc<SetAwarenessFn>("SetProcessDpiAwareness")) setAwareness(2);
}

// libcurl's process-wide state, for the statistics library, when the system
// folder has a libcurl DLL. Nothing of curl is linked in, and none is loaded
// from the installer's folder: anybody can drop one into a downloads folder,
// and the elevated installer would run it.
class CurlGlobal {
 public:
  CurlGlobal() : library_(LoadSystemLibrary(L"libcurl.dll")) {
    using InitFn = int(__cdecl*)(long flags);
    constexpr long kGlobalAll = 3;  // SSL and Win32 socket start-up
    if (auto init = library_.Proc<InitFn>("curl_global_init")) initialised_ = init(kGlobalAll) == 0;
  }
  ~CurlGlobal() {
    using CleanupFn = void(__cdecl*)();
    if (auto cleanup = library_.Proc<CleanupFn>("curl_global_cleanup"); cleanup && initialised_) cleanup();
  }
  CurlGlobal(const CurlGlobal&) = delete;
  CurlGlobal& operator=(const CurlGlobal&) = delete;

 private:
  UniqueModule library_;
  bool initialised_ = false;
};

InstallDialogRun& DialogRun() {
  static InstallDialogRun run = nullptr;
  return run;
}

// The caller's window told when the installation has finished; null when the
// command line names none.
HWND ListenWindow() {
  const CCmdLineParser commandLine(GetCommandLineW());
  std::wstring value;
  if (!commandLine.GetValue(L"InstallListenWnd", value)) return nullptr;
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(ParseHandleValue(value)));
}

}  // namespace

void SetInstallDialogRun(InstallDialogRun run) { DialogRun() = run; }

void RunWindowed(HINSTANCE instance, int appId, const std::wstring& tempLogPath) {
  DuiLib::SetResourceInstance(instance);
  const void* skin = nullptr;
  DWORD skinSize = 0;
  if (!LoadSkinArchive(instance, skin, skinSize)) return;
  DuiLib::SetResourceArchive(skin, skinSize, L"");

  BecomePerMonitorDpiAware();
  {
    const CurlGlobal curl;
    const std::shared_ptr<KWStatModule> stats = KWStatModule::GetInstance();
    stats->Init(static_cast<std::uint32_t>(appId), kStatSubKey, kStatDispatchHost, L"");

    if (DialogRun()) DialogRun()(ListenWindow());

    stats->Uninit();
  }

  if (!tempLogPath.empty()) MoveFileExW(tempLogPath.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

}  // namespace kw
