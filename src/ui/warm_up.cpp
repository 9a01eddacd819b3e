#include "ui/warm_up.h"

#include <system_error>

#include "core/system_dll.h"
#include "ui/render_gdiplus.h"
#include "ui/system_libraries.h"

namespace DuiLib {

CWarmUp& CWarmUp::Process() {
  static CWarmUp warmUp;
  return warmUp;
}

CWarmUp::CWarmUp() {
  early_.work = [shared = shared_] {
    // Held until the process goes, so the control's own load finds it mapped.
    shared->richEdit.Reset(kw::LoadSystemLibrary(L"Msftedit.dll"));
    CGdiPlusText::Process().WarmUp();
    // Loads Shcore, which the window asks for its monitor's DPI while it is created.
    QueryMonitorDpi(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY));
  };
  deferred_.work = [] { InitCommonControlsOnce(); };
}

CWarmUp::CWarmUp(Work early, Work deferred) {
  early_.work = std::move(early);
  deferred_.work = std::move(deferred);
}

CWarmUp::~CWarmUp() {
  // The process's own goes at exit, under the C runtime's exit lock. The
  // work registers nothing for exit and unloads nothing, so waiting for it
  // is safe, and leaving it running while the exit tears down what it uses
  // is not; the bound only keeps an unforeseen wait from holding the exit.
  const auto deadline = std::chrono::steady_clock::now() + kDestroyWait;
  for (Part* part : {&early_, &deferred_}) {
    if (!part->thread.joinable()) continue;
    bool done = false;
    {
      std::unique_lock lock(part->progress->mutex);
      done = part->progress->changed.wait_until(lock, deadline, [&] { return part->progress->done; });
    }
    if (done) {
      part->thread.join();
    } else {
      part->thread.detach();
    }
  }
}

void CWarmUp::Start() {
  if (started_) return;
  started_ = true;
  StartOrRun(early_);
}

void CWarmUp::ReleaseDeferred() {
  if (!started_ || deferredStarted_) return;
  deferredStarted_ = true;
  StartOrRun(deferred_);
}

void CWarmUp::Wait() {
  ReleaseDeferred();
  for (Part* part : {&early_, &deferred_}) {
    if (part->thread.joinable()) part->thread.join();
  }
}

void CWarmUp::StartOrRun(Part& part) {
  auto run = [work = std::move(part.work), progress = part.progress] {
    if (work) work();
    {
      std::lock_guard lock(progress->mutex);
      progress->done = true;
    }
    progress->changed.notify_all();
  };
  try {
    part.thread = std::thread(run);
  } catch (const std::system_error&) {
    run();  // no thread to spare: the same work, in line
  }
}

}  // namespace DuiLib
