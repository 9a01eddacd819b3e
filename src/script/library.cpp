#include "script/library.h"

#include "script/lua_uncompress.h"

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

namespace kw {

namespace {

// Registered as globals in this order. Each area's functions live in a file
// of their own and are added here as they are written.
constexpr luaL_Reg kNativeFunctions[] = {
    {"Lua_UnCompress7z", Lua_UnCompress7z},
    {nullptr, nullptr},
};

}  // namespace

void OpenNativeLibrary(lua_State* state) {
  for (const luaL_Reg* fn = kNativeFunctions; fn->name; ++fn) lua_register(state, fn->name, fn->func);
}

}  // namespace kw
