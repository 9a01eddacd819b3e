// Start-up work the first frame does not wait for, done on a thread of its
// own while the window is being created: at once the rich-edit engine's
// libraries, GDI+'s font set (whose first font costs milliseconds on some
// systems) and the DPI query's library; after the first frame the common
// controls (only tooltips and shell dialogs use them), whose load holds the
// loader lock long enough to stall the window's creation. Whoever needs one
// of them first waits for the whole.
#pragma once
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "core/handles.h"

namespace DuiLib {

class CWarmUp {
 public:
  using Work = std::function<void()>;

  // The framework's own work.
  CWarmUp();
  // `early` runs from Start, `deferred` from ReleaseDeferred (tests give their own).
  CWarmUp(Work early, Work deferred);
  // Waits for what runs, up to kDestroyWait; past that leaves it running.
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

  static constexpr std::chrono::milliseconds kDestroyWait{10000};

 private:
  // Whether a part's work is done, shared with its thread (which outlives
  // the object only if the destructor gave up on it).
  struct Progress {
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
  };
  struct Part {
    Work work;
    std::thread thread;
    std::shared_ptr<Progress> progress = std::make_shared<Progress>();
  };
  // What the framework's own work keeps, for as long as its threads run.
  struct Shared {
    kw::UniqueModule richEdit;
  };

  static void StartOrRun(Part& part);

  // Called on the window thread only.
  bool started_ = false;
  bool deferredStarted_ = false;
  Part early_;
  Part deferred_;
  std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
};

}  // namespace DuiLib
