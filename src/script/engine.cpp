#include "script/engine.h"

#include <windows.h>

#include <cstdlib>
#include <vector>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}

#include "core/encoding.h"
#include "core/module_resource.h"
#include "core/trace.h"
#include "script/error_report.h"
#include "script/native_args.h"
#include "script/library.h"

namespace kw {

std::recursive_mutex& QRVScriptEngine::StateMutex() {
  static std::recursive_mutex mutex;
  return mutex;
}

QRVScriptEngine& QRVScriptEngine::Instance() {
  static QRVScriptEngine engine;
  return engine;
}

QRVScriptEngine::QRVScriptEngine() {
  state_ = luaL_newstate();
  if (!state_) throw HRESULT(E_FAIL);
  luaL_openlibs(state_);
  OpenNativeLibrary(state_);
  std::atexit(&QRVScriptEngine::CloseAtExit);
}

void QRVScriptEngine::CloseAtExit() {
  // A script error ends the process from inside a running call: the state is
  // in use on the stack below us and must not be closed then.
  if (ScriptErrorEnding()) return;
  QRVScriptEngine& engine = Instance();
  auto lock = engine.LockState();
  if (engine.state_) {
    lua_close(engine.state_);
    engine.state_ = nullptr;
  }
}

int QRVScriptEngine::CallProtected(lua_State* state, int argCount, int resultCount) {
  const int calleeIndex = lua_gettop(state) - argCount;
  lua_pushcfunction(state, &OnScriptError);
  lua_insert(state, calleeIndex);
  const int status = lua_pcall(state, argCount, resultCount, calleeIndex);
  lua_remove(state, calleeIndex);
  return status;
}

bool QRVScriptEngine::DoResLua(const wchar_t* type, const wchar_t* name) {
  auto lock = LockState();
  ResourceBytes bytes;
  const ResourceStatus status = FindModuleResource(GetModuleHandleW(nullptr), name, type, bytes);
  if (status != ResourceStatus::kFound) {
    if (status == ResourceStatus::kNotFound || status == ResourceStatus::kNotLoaded) {
      const unsigned long error = GetLastError();  // the trace below must still see it
      DebugTrace(L"LoadResource failed. Type : %s ID : %s\r\n", type, name);
      SetLastError(error);
    }
    TraceResourceFailure(status);
    return false;
  }
  const std::string chunkName = FromWide(CP_ACP, name);
  return DoBuffer(static_cast<const char*>(bytes.data), bytes.size, chunkName.c_str());
}

bool QRVScriptEngine::DoBuffer(const char* data, std::size_t size, const char* chunkName) {
  auto lock = LockState();
  if (luaL_loadbuffer(state_, data, size, chunkName) != LUA_OK) {
    const std::wstring message = Utf8ToWide(lua_tostring(state_, -1) ? lua_tostring(state_, -1) : "");
    DebugTrace(L"%s\r\n", message.c_str());
    DebugTrace(L"luaL_loadbuffer failed!\r\n");
    lua_pop(state_, 1);
    return false;
  }
  if (CallProtected(state_, 0, 0) != LUA_OK) {
    // Only errors that bypass the message handler (out of memory, an error
    // inside the handler) arrive here.
    lua_pop(state_, 1);
    return false;
  }
  return true;
}

void QRVScriptEngine::CallEvent(const char* name) {
  auto lock = LockState();
  lua_getglobal(state_, name);
  if (lua_type(state_, -1) != LUA_TFUNCTION) {
    lua_pop(state_, 1);
    return;
  }
  if (CallProtected(state_, 0, 0) != LUA_OK) lua_pop(state_, 1);
}

std::wstring QRVScriptEngine::GetGlobalString(const char* name) {
  auto lock = LockState();
  lua_getglobal(state_, name);
  std::wstring value = ToWideArg(state_, -1);
  lua_pop(state_, 1);
  return value;
}

bool QRVScriptEngine::GetGlobalBool(const char* name) {
  auto lock = LockState();
  lua_getglobal(state_, name);
  const bool value = lua_toboolean(state_, -1) != 0;
  lua_pop(state_, 1);
  return value;
}

long QRVScriptEngine::GetGlobalInteger(const char* name) {
  auto lock = LockState();
  lua_getglobal(state_, name);
  const long value = static_cast<long>(lua_tointeger(state_, -1));
  lua_pop(state_, 1);
  return value;
}

void QRVScriptEngine::SetGlobalString(const char* name, const std::wstring& value) {
  auto lock = LockState();
  const std::string utf8 = WideToUtf8(value);
  lua_pushlstring(state_, utf8.data(), utf8.size());
  lua_setglobal(state_, name);
}

void QRVScriptEngine::SetGlobalBool(const char* name, bool value) {
  auto lock = LockState();
  lua_pushboolean(state_, value ? 1 : 0);
  lua_setglobal(state_, name);
}

void QRVScriptEngine::SetGlobalNumber(const char* name, double value) {
  auto lock = LockState();
  lua_pushnumber(state_, value);
  lua_setglobal(state_, name);
}

// The engine is ready before the entry runs.
[[maybe_unused]] static const bool kEngineCreatedAtStart = (QRVScriptEngine::Instance(), true);

}  // namespace kw
