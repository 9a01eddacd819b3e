#include "ui/warm_up.h"

#include <system_error>
#include <utility>

#include "core/system_dll.h"
#include "core/trace.h"
#include "ui/render_gdiplus.h"
#include "ui/system_libraries.h"

namespace DuiLib {

CWarmUp& CWarmUp::Process() {
  static CWarmUp warmUp;
  return warmUp;
}

void CWarmUp::Start() {
  if (started_) return;
  started_ = true;
  try {
    thread_ = std::thread([this] {
      RunEarly();
      {
        std::unique_lock<std::mutex> lock(mutex_);
        released_.wait(lock, [this] { return deferredReleased_; });
      }
      RunDeferred();
    });
  } catch (const std::system_error&) {
    // No thread to spare: the same work in line, the deferred part when waited for.
    RunEarly();
    deferredInline_ = true;
  }
}

void CWarmUp::ReleaseDeferred() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    deferredReleased_ = true;
  }
  released_.notify_all();
}

void CWarmUp::Wait() {
  ReleaseDeferred();
  if (thread_.joinable()) {
    thread_.join();
  } else if (std::exchange(deferredInline_, false)) {
    RunDeferred();
  }
}

void CWarmUp::RunEarly() {
  // Held until the warm-up goes, so the control's own load finds it mapped.
  richEdit_.Reset(kw::LoadSystemLibrary(L"Msftedit.dll"));
  CGdiPlusText::Process().WarmUp();
  // Loads Shcore, which the window asks for its monitor's DPI while it is created.
  QueryMonitorDpi(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY));
}

void CWarmUp::RunDeferred() { InitCommonControlsOnce(); }

}  // namespace DuiLib
