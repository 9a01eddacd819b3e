#include "dialog/dialog_script.h"

#include "core/trace.h"
#include "script/deferred_globals.h"
#include "script/engine.h"

namespace kw {

namespace {

// Runs `read` under the state lock if the lock is free; `fallback` otherwise.
template <class T, class Read>
T ReadIfFree(const char* name, T fallback, Read read) {
  QRVScriptEngine& engine = QRVScriptEngine::Instance();
  const auto lock = engine.TryLockState();
  if (!lock.owns_lock()) {
    DebugTrace(L"script busy, %S not read", name);
    return fallback;
  }
  DeferredGlobals::Instance().ApplyPendingLocked();  // reads see earlier writes
  return read(engine);
}

}  // namespace

std::wstring DialogScript::ReadString(const char* name) {
  return ReadIfFree(name, std::wstring(), [name](QRVScriptEngine& engine) { return engine.GetGlobalString(name); });
}

bool DialogScript::ReadBool(const char* name) {
  return ReadIfFree(name, false, [name](QRVScriptEngine& engine) { return engine.GetGlobalBool(name); });
}

long DialogScript::ReadInteger(const char* name) {
  return ReadIfFree(name, 0L, [name](QRVScriptEngine& engine) { return engine.GetGlobalInteger(name); });
}

void DialogScript::Write(const std::string& name, const std::wstring& value) {
  DeferredGlobals::Instance().Post(name, value);
}

void DialogScript::Write(const std::string& name, bool value) { DeferredGlobals::Instance().Post(name, value); }

void DialogScript::Write(const std::string& name, double value) { DeferredGlobals::Instance().Post(name, value); }

bool DialogScript::Flush() { return DeferredGlobals::Instance().Flush(); }

}  // namespace kw
