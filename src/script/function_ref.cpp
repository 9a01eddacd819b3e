#include "script/function_ref.h"

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include "core/trace.h"
#include "core/encoding.h"
#include "script/engine.h"

namespace kw {

namespace {

// Pushes the function and the path; returns the stack height to restore.
int PushCall(const ScriptFunctionRef& fn, const std::wstring& path) {
  const int height = lua_gettop(fn.state);
  lua_rawgeti(fn.state, LUA_REGISTRYINDEX, fn.ref);
  const std::string utf8 = WideToUtf8(path);
  lua_pushlstring(fn.state, utf8.data(), utf8.size());
  return height;
}

void TraceCallError(lua_State* state) {
  const char* message = lua_tostring(state, -1);
  DebugTrace(L"%s\r\n", Utf8ToWide(message ? message : "").c_str());
}

}  // namespace

ScriptFunctionRef ScriptFunctionRef::PopFrom(lua_State* state) {
  ScriptFunctionRef fn;
  fn.state = state;
  fn.ref = luaL_ref(state, LUA_REGISTRYINDEX);
  if (fn.ref == LUA_REFNIL || fn.ref == LUA_NOREF) fn.ref = kNoRef;
  return fn;
}

void ScriptFunctionRef::Release() {
  if (Valid()) {
    auto lock = QRVScriptEngine::Instance().LockState();
    luaL_unref(state, LUA_REGISTRYINDEX, ref);
  }
  ref = kNoRef;
}

void ScriptFunctionRef::CallWithPath(const std::wstring& path) const {
  if (!Valid()) return;
  auto lock = QRVScriptEngine::Instance().LockState();
  const int height = PushCall(*this, path);
  if (QRVScriptEngine::CallProtected(state, 1, 1) != LUA_OK) {
    TraceCallError(state);
    lua_pop(state, 1);
    return;
  }
  lua_settop(state, height);
}

std::int32_t ScriptFunctionRef::CallWithPathAndCode(const std::wstring& path, std::uint32_t code) const {
  if (!Valid()) return 2;
  auto lock = QRVScriptEngine::Instance().LockState();
  const int height = PushCall(*this, path);
  lua_pushnumber(state, static_cast<lua_Number>(code));
  if (QRVScriptEngine::CallProtected(state, 2, 1) != LUA_OK) {
    TraceCallError(state);
    lua_pop(state, 1);
    return 2;
  }
  const auto result = static_cast<std::int32_t>(lua_tointeger(state, -1));
  lua_settop(state, height);
  return result;
}

PathCallback MakePathCallback(const ScriptFunctionRef& fn) {
  return [fn](const std::wstring& path) { fn.CallWithPath(path); };
}

PathCodeCallback MakePathCodeCallback(const ScriptFunctionRef& fn) {
  return [fn](const std::wstring& path, std::uint32_t code) { return fn.CallWithPathAndCode(path, code); };
}

}  // namespace kw
