// Start-up work the first frame does not wait for, done on a thread of its
// own while the window is being created: at once the rich-edit engine's
// libraries, GDI+'s font set (whose first font costs milliseconds on some
// systems) and the DPI query's library; after the first frame the common
// controls (only tooltips and shell dialogs use them), whose load holds the
// loader lock long enough to stall the window's creation. Whoever needs one
// of them first waits for the whole.
#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "core/handles.h"

namespace DuiLib {

class CWarmUp {
 public:
  CWarmUp() = default;
  ~CWarmUp();
  CWarmUp(const CWarmUp&) = delete;
  CWarmUp& operator=(const CWarmUp&) = delete;

  // Starts the thread once; later calls do nothing.
  void Start();
  // Starts the work held back for after the first frame, once.
  void ReleaseDeferred();
  // Returns when the work is done, the deferred part included.
  void Wait();

  // The process's own, started by its first paint manager.
  static CWarmUp& Process();

 private:
  // One part's thread and whether its work is done (shared with the thread,
  // which may outlive the object at exit).
  struct Part {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done = std::make_shared<std::atomic<bool>>(false);
  };
  // What the threads keep, for as long as they run.
  struct Shared {
    kw::UniqueModule richEdit;
  };

  void StartOrRun(Part& part, std::function<void()> work);

  // Called on the window thread only.
  bool started_ = false;
  bool deferredStarted_ = false;
  Part early_;
  Part deferred_;
  std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
};

}  // namespace DuiLib
