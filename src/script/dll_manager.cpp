#include "script/dll_manager.h"

#include <windows.h>

#include <new>
#include <string>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include "core/handles.h"
#include "core/system_dll.h"
#include "core/trace.h"
#include "script/native_args.h"
#include "script/native_call.h"
#include "script/value_access.h"

namespace kw {

namespace {

HMODULE LoadNamed(lua_State* state, int index) {
  const std::wstring name = ToWideArg(state, index);
  return LoadLibraryByNameOrPath(name.c_str());
}

// The object owns its module until UnLoad. There is no __gc: functions taken
// from the library with Get may be called after the object is collected.
void PushDllManager(lua_State* state, HMODULE module) {
  new (lua_newuserdata(state, sizeof(UniqueModule))) UniqueModule(module);
  luaL_setmetatable(state, kDllManagerMetaTable);
}

// The module of a DllManager object, or null for anything else.
UniqueModule* HandleOf(lua_State* state, int index) {
  return static_cast<UniqueModule*>(luaL_testudata(state, index, kDllManagerMetaTable));
}

// DllManager.Load(path): the path is the last argument, so both
// DllManager.Load(p) and DllManager:Load(p) work.
int Load(lua_State* state) {
  const HMODULE module = LoadNamed(state, lua_gettop(state));
  if (!module) {
    const DWORD error = GetLastError();
    lua_pushnil(state);
    PushUInt32(state, error);
    return 2;
  }
  PushDllManager(state, module);
  return 1;
}

// Frees the library once: the slot is cleared, so a second UnLoad cannot
// release a reference held by another object and Get on the object reports
// it has no module instead of looking into freed memory.
int UnLoad(lua_State* state) {
  if (UniqueModule* handle = HandleOf(state, 1)) handle->Reset();
  lua_pushnil(state);
  return 1;
}

// object:Get(name [, return type [, cdecl flag]]); with more than four
// arguments the last two are the return type and the flag.
int Get(lua_State* state) {
  const int top = lua_gettop(state);
  const UniqueModule* handle = HandleOf(state, 1);
  if (!handle || !*handle) {
    DebugTrace(L"if (nullptr == phMod)");
    lua_pushnil(state);
    lua_pushliteral(state, "hModule is nil");
    return 2;
  }
  FARPROC entry = nullptr;
  if (lua_type(state, 2) == LUA_TSTRING)
    entry = GetProcAddress(handle->Get(), lua_tostring(state, 2));
  else
    SetLastError(ERROR_PROC_NOT_FOUND);
  if (!entry) {
    const DWORD error = GetLastError();
    DebugTrace(L"if (nullptr == pfn)");
    lua_pushnil(state);
    PushUInt32(state, error);
    return 2;
  }
  const bool fromTheEnd = top > 4;
  PushNativeFunction(state, reinterpret_cast<void*>(entry), fromTheEnd ? top - 1 : 3, fromTheEnd ? top : 4);
  lua_pushnumber(state, 0);
  return 2;
}

// GLibTab[key]: loads the library named by the key and keeps the object
// under that key, so the next lookup does not load again.
int LoadIntoLibTable(lua_State* state) {
  const int keyType = lua_type(state, 2);
  if (!lua_istable(state, 1) || (keyType != LUA_TSTRING && keyType != LUA_TNUMBER)) return 0;
  const HMODULE module = LoadNamed(state, 2);
  if (!module) return 0;
  PushDllManager(state, module);
  lua_pushvalue(state, 2);
  lua_pushvalue(state, -2);
  lua_rawset(state, 1);
  return 1;
}

}  // namespace

int OpenDllManager(lua_State* state) {
  static constexpr luaL_Reg kMethods[] = {{"UnLoad", &UnLoad}, {"Get", &Get}, {nullptr, nullptr}};
  static constexpr luaL_Reg kModule[] = {{"Load", &Load}, {nullptr, nullptr}};
  luaL_newmetatable(state, kDllManagerMetaTable);
  lua_pushvalue(state, -1);
  lua_setfield(state, -2, "__index");
  luaL_setfuncs(state, kMethods, 0);
  lua_pop(state, 1);
  luaL_newlib(state, kModule);
  return 1;
}

void InstallLibTable(lua_State* state) {
  lua_newtable(state);
  luaL_newmetatable(state, kLibTableMetaTable);
  lua_pushcfunction(state, &LoadIntoLibTable);
  lua_setfield(state, -2, "__index");
  lua_setmetatable(state, -2);
  lua_setglobal(state, "GLibTab");
}

}  // namespace kw
