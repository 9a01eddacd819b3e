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

CWarmUp::~CWarmUp() {
  // At exit nothing new starts, and what still runs is left to the end of
  // the process: waiting for it there can deadlock with the exit itself
  // (a load or a registration for exit on that thread waits for the lock
  // the exiting thread holds).
  for (Part* part : {&early_, &deferred_}) {
    if (!part->thread.joinable()) continue;
    if (part->done->load()) {
      part->thread.join();
    } else {
      part->thread.detach();
    }
  }
}

void CWarmUp::Start() {
  if (started_) return;
  started_ = true;
  StartOrRun(early_, [shared = shared_] {
    // Held until the process goes, so the control's own load finds it mapped.
    shared->richEdit.Reset(kw::LoadSystemLibrary(L"Msftedit.dll"));
    CGdiPlusText::Process().WarmUp();
    // Loads Shcore, which the window asks for its monitor's DPI while it is created.
    QueryMonitorDpi(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY));
  });
}

void CWarmUp::ReleaseDeferred() {
  if (!started_ || deferredStarted_) return;
  deferredStarted_ = true;
  StartOrRun(deferred_, [] { InitCommonControlsOnce(); });
}

void CWarmUp::Wait() {
  ReleaseDeferred();
  for (Part* part : {&early_, &deferred_}) {
    if (part->thread.joinable()) part->thread.join();
  }
}

void CWarmUp::StartOrRun(Part& part, std::function<void()> work) {
  auto run = [work = std::move(work), done = part.done] {
    work();
    done->store(true);
  };
  try {
    part.thread = std::thread(run);
  } catch (const std::system_error&) {
    run();  // no thread to spare: the same work, in line
  }
}

}  // namespace DuiLib
