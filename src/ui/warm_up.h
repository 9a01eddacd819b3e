// Start-up work the first frame does not wait for, done on a thread of its
// own while the window is being created: the common controls (only tooltips
// and shell dialogs use them), the rich-edit engine's libraries, and GDI+'s
// font set, whose first font costs milliseconds on some systems. Whoever needs
// one of them first waits for the whole.
#pragma once
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
  // Returns when the work is done (at once when it never started).
  void Wait();

  // The process's own, started by its first paint manager.
  static CWarmUp& Process();

 private:
  void Run();

  bool started_ = false;
  std::thread thread_;
  kw::UniqueModule richEdit_;
};

}  // namespace DuiLib
