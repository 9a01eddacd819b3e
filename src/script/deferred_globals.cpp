#include "script/deferred_globals.h"

#include "script/engine.h"

namespace kw {

DeferredGlobals& DeferredGlobals::Instance() {
  static DeferredGlobals instance;
  return instance;
}

void DeferredGlobals::Post(const std::string& name, Value value) {
  {
    std::lock_guard<std::mutex> guard(pendingMutex_);
    pending_[name] = std::move(value);
  }
  Flush();
}

bool DeferredGlobals::Flush() {
  auto lock = QRVScriptEngine::Instance().TryLockState();
  if (!lock.owns_lock()) return false;
  ApplyPendingLocked();
  return true;
}

bool DeferredGlobals::TryReadString(const std::string& name, std::wstring& value) {
  QRVScriptEngine& engine = QRVScriptEngine::Instance();
  auto lock = engine.TryLockState();
  if (!lock.owns_lock()) return false;
  ApplyPendingLocked();  // a read sees the window thread's own earlier writes
  value = engine.GetGlobalString(name.c_str());
  return true;
}

void DeferredGlobals::ApplyPendingLocked() {
  std::map<std::string, Value> writes;
  {
    std::lock_guard<std::mutex> guard(pendingMutex_);
    writes.swap(pending_);
  }
  QRVScriptEngine& engine = QRVScriptEngine::Instance();
  for (const auto& [name, value] : writes) {
    if (const auto* text = std::get_if<std::wstring>(&value))
      engine.SetGlobalString(name.c_str(), *text);
    else if (const auto* flag = std::get_if<bool>(&value))
      engine.SetGlobalBool(name.c_str(), *flag);
    else
      engine.SetGlobalNumber(name.c_str(), std::get<double>(value));
  }
}

bool DeferredGlobals::HasPending() {
  std::lock_guard<std::mutex> guard(pendingMutex_);
  return !pending_.empty();
}

}  // namespace kw
