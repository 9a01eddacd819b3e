// The one Lua 5.2 state of the process: loads chunks from resources, calls
// install events by name, reads and writes script globals.
//
// Concurrency: the Lua state is not thread-safe. Every access to it goes
// through one recursive lock, StateMutex(). The engine's own operations take
// it themselves (recursively, so native functions called from script code may
// call back in); native code that touches the state directly takes it with
// LockState(). An install event holds the lock for its whole run, which may
// be the whole installation, so the window thread never calls a blocking
// operation while the install worker runs: it uses TryLockState() and, when
// the state is busy, keeps what it read before the worker started and queues
// its writes until the state is free again.
#pragma once
#include <mutex>
#include <string>

#include "script/function_ref.h"

struct lua_State;

namespace kw {

class QRVScriptEngine {
 public:
  static QRVScriptEngine& Instance();

  QRVScriptEngine(const QRVScriptEngine&) = delete;
  QRVScriptEngine& operator=(const QRVScriptEngine&) = delete;

  lua_State* State() const { return state_; }

  using StateLock = std::unique_lock<std::recursive_mutex>;
  [[nodiscard]] StateLock LockState() const { return StateLock(StateMutex()); }
  [[nodiscard]] StateLock TryLockState() const { return StateLock(StateMutex(), std::try_to_lock); }
  static std::recursive_mutex& StateMutex();

  // Runs a chunk stored as resource (type, name) of this executable.
  bool DoResLua(const wchar_t* type, const wchar_t* name);
  // Loads (binary or text) and runs a chunk; load errors are traced.
  bool DoBuffer(const char* data, std::size_t size, const char* chunkName);

  // Calls the global function `name` without arguments; anything that is not
  // a function is skipped.
  void CallEvent(const char* name);

  // Globals. Strings cross as UTF-8 on the script side; a value that is not a
  // string or number reads as "", a missing boolean as false, an integer as 0.
  std::wstring GetGlobalString(const char* name);
  bool GetGlobalBool(const char* name);
  long GetGlobalInteger(const char* name);
  void SetGlobalString(const char* name, const std::wstring& value);
  void SetGlobalBool(const char* name, bool value);
  void SetGlobalNumber(const char* name, double value);

  // The protected call used for every script call: the callee and its
  // arguments are on top of the stack; run-time errors go to the error report.
  static int CallProtected(lua_State* state, int argCount, int resultCount);

  // Deletes a file or a whole folder tree; files that cannot be deleted are
  // skipped. A drive root is never deleted.
  static void DeleteDirectories(const std::wstring& path);
  // The same, and every file that cannot be deleted goes to `onFailure` with
  // its full path and the system error.
  static void DeleteDirectoriesEx(const std::wstring& path, const PathCodeCallback& onFailure);

 private:
  QRVScriptEngine();
  static void CloseAtExit();

  lua_State* state_ = nullptr;
};

}  // namespace kw
