#include "script/native_call.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include "core/encoding.h"
#include "core/trace.h"
#include "script/value_access.h"
#include "script/x86_call.h"

namespace kw {

namespace {

constexpr int kReturnType = 1;
constexpr int kCdecl = 2;
constexpr int kEntry = 3;

// One argument as the 32-bit value the callee receives; tables, functions
// and threads have no such value.
bool Marshal(lua_State* state, int index, std::uint32_t& out) {
  switch (lua_type(state, index)) {
    case LUA_TNIL:
      out = 0;
      return true;
    case LUA_TBOOLEAN:
      out = lua_toboolean(state, index) ? 1 : 0;
      return true;
    case LUA_TNUMBER:
      out = static_cast<std::uint32_t>(ToInt32(lua_tonumber(state, index)));
      return true;
    case LUA_TSTRING:
      out = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(lua_tostring(state, index)));
      return true;
    case LUA_TLIGHTUSERDATA:
    case LUA_TUSERDATA:
      out = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(lua_touserdata(state, index)));
      return true;
    default:
      return false;
  }
}

void PushUtf8(lua_State* state, const std::wstring& text) {
  const std::string utf8 = FromWide(CP_UTF8, text);
  lua_pushlstring(state, utf8.data(), utf8.size());
}

void PushResult(lua_State* state, std::uint32_t value) {
  const char* word = lua_type(state, lua_upvalueindex(kReturnType)) == LUA_TSTRING
                         ? lua_tostring(state, lua_upvalueindex(kReturnType))
                         : "";
  if (std::strcmp(word, "int") == 0) {
    PushInt32(state, static_cast<std::int32_t>(value));
  } else if (std::strcmp(word, "uint") == 0) {
    PushUInt32(state, value);
  } else if (std::strcmp(word, "bool") == 0) {
    lua_pushboolean(state, value != 0 ? 1 : 0);
  } else if (std::strcmp(word, "astr") == 0) {
    const auto* text = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(value));
    PushUtf8(state, text ? ToWide(CP_THREAD_ACP, text) : std::wstring());
  } else if (std::strcmp(word, "wstr") == 0) {
    const auto* text = reinterpret_cast<const wchar_t*>(static_cast<std::uintptr_t>(value));
    PushUtf8(state, text ? std::wstring(text) : std::wstring());
  } else if (std::strcmp(word, "ptr") == 0) {
    lua_pushlightuserdata(state, reinterpret_cast<void*>(static_cast<std::uintptr_t>(value)));
  } else {
    lua_pushnil(state);
  }
}

int CallNativeFunction(lua_State* state) {
  void* entry = lua_touserdata(state, lua_upvalueindex(kEntry));
  if (!entry) {
    lua_pushnumber(state, 0);
    return 1;
  }
  const bool callerCleans = lua_toboolean(state, lua_upvalueindex(kCdecl)) != 0;
  const int count = lua_gettop(state);
  // The argument block lives on the Lua stack, so a failure below leaves
  // nothing to free.
  auto* args = static_cast<std::uint32_t*>(lua_newuserdata(state, (count > 0 ? count : 1) * sizeof(std::uint32_t)));
  for (int i = count; i >= 1; --i) {
    if (!Marshal(state, i, args[i - 1])) {
      lua_pushliteral(state, "unknow argument type");
      return lua_error(state);
    }
  }
  const X86CallResult result = CallX86(entry, args, static_cast<std::size_t>(count));
  const std::uint32_t stdcallRemoves = callerCleans ? 0 : static_cast<std::uint32_t>(count) * 4;
  if (result.calleeRemoved != stdcallRemoves)
    DebugTrace(L"NativeFunction %p: the callee removed %u argument bytes, %s expects %u\r\n", entry,
               result.calleeRemoved, callerCleans ? L"__cdecl" : L"__stdcall", stdcallRemoves);
  PushResult(state, result.value);
  PushUInt32(state, result.lastError);
  return 2;
}

}  // namespace

void PushNativeFunction(lua_State* state, void* entry, int returnTypeIndex, int cdeclIndex) {
  const int top = lua_gettop(state);
  if (returnTypeIndex >= 1 && returnTypeIndex <= top) lua_pushvalue(state, returnTypeIndex); else lua_pushnil(state);
  if (cdeclIndex >= 1 && cdeclIndex <= top) lua_pushvalue(state, cdeclIndex); else lua_pushnil(state);
  lua_pushlightuserdata(state, entry);
  lua_pushcclosure(state, &CallNativeFunction, 3);
}

}  // namespace kw
