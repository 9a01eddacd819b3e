#include "ui/warm_up.h"

#include <system_error>

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
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    Run();  // no thread to spare: the same work, in line
  }
}

void CWarmUp::Wait() {
  if (thread_.joinable()) thread_.join();
}

void CWarmUp::Run() {
  InitCommonControlsOnce();
  // Held until the warm-up goes, so the control's own load finds it mapped.
  richEdit_.Reset(kw::LoadSystemLibrary(L"Msftedit.dll"));
  CGdiPlusText::Process().WarmUp();
}

}  // namespace DuiLib
