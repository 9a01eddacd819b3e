// Script globals as the window thread touches them while an installation
// runs.
//
// An install event holds the script-state lock for as long as the script
// runs, which can be the whole installation (the payload is unpacked inside
// QRVSE_OnInstall). The window thread must neither wait for that nor touch
// the state beside it, so it never takes the lock blocking:
//  - values it needs during the installation are read before the worker
//    starts (TryRead fails while an event runs; callers keep their copy);
//  - its writes go through Post: applied at once when the state is free,
//    otherwise kept (the latest value per name) and applied by the install
//    manager as soon as the running event returns, before any other script
//    code runs, or by the window thread's next Post or Flush.
#pragma once
#include <map>
#include <mutex>
#include <string>
#include <variant>

namespace kw {

class DeferredGlobals {
 public:
  using Value = std::variant<std::wstring, bool, double>;

  static DeferredGlobals& Instance();

  // Never waits for a running script.
  void Post(const std::string& name, Value value);
  // Applies what is pending if the state is free; true when nothing is left.
  bool Flush();
  // Reads the global as text if the state is free.
  bool TryReadString(const std::string& name, std::wstring& value);

  // For the thread that holds the state lock (the install manager, after
  // each event).
  void ApplyPendingLocked();

  bool HasPending();

 private:
  DeferredGlobals() = default;

  std::mutex pendingMutex_;  // held only to move values in and out
  std::map<std::string, Value> pending_;
};

}  // namespace kw
