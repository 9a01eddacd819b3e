// Start-up work the first frame does not wait for, done on a thread of its
// own while the window is being created: at once the rich-edit engine's
// libraries, GDI+'s font set (whose first font costs milliseconds on some
// systems) and the DPI query's library; after the first frame the common
// controls (only tooltips and shell dialogs use them), whose load holds the
// loader lock long enough to stall the window's creation. Whoever needs one
// of them first waits for the whole.
#pragma once
#include <condition_variable>
#include <mutex>
#include <thread>

#include "core/handles.h"

namespace DuiLib {

class CWarmUp {
 public:
  CWarmUp() = default;
  ~CWarmUp() { Wait(); }
  CWarmUp(const CWarmUp&) = delete;
  CWarmUp& operator=(const CWarmUp&) = delete;

  // Starts the thread once; later calls do nothing.
  void Start();
  // Lets the work held back for after the first frame go on.
  void ReleaseDeferred();
  // Returns when the work is done, the deferred part included (at once when
  // it never started).
  void Wait();

  // The process's own, started by its first paint manager.
  static CWarmUp& Process();

 private:
  void RunEarly();
  void RunDeferred();

  bool started_ = false;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable released_;
  bool deferredReleased_ = false;
  bool deferredInline_ = false;
  kw::UniqueModule richEdit_;
};

}  // namespace DuiLib
