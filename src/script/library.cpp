#include "script/library.h"

#include "script/lib_file.h"
#include "script/lib_registry.h"
#include "script/lua_uncompress.h"

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include "script/dll_manager.h"
#include "script/value_types.h"

namespace kw {

namespace {

// Required as globals in this order, before "GLibTab" and the functions.
constexpr luaL_Reg kValueTypeModules[] = {
    {"AString", &OpenAString},
    {"WString", &OpenWString},
    {"RawBuffer", &OpenRawBuffer},
    {"DllManager", &OpenDllManager},
    {nullptr, nullptr},
};

// Registered as globals in this order. Each area's functions live in a file
// of their own and are added here as they are written.
constexpr luaL_Reg kNativeFunctions[] = {
    {"Lua_UnCompress7z", &Lua_UnCompress7z},
    {"Lua_RegQuery", &Lua_RegQuery},
    {"Lua_RegAdd", &Lua_RegAdd},
    {"Lua_RegDel", &Lua_RegDel},
    {"Lua_CreateDirectory", &Lua_CreateDirectory},
    {"Lua_CopyFile", &Lua_CopyFile},
    {"Lua_MoveFile", &Lua_MoveFile},
    {"Lua_RenameFile", &Lua_RenameFile},
    {"Lua_DeleteFile", &Lua_DeleteFile},
    {"Lua_DeleteFileEx", &Lua_DeleteFileEx},
    {"Lua_ExtractResource", &Lua_ExtractResource},
    {"Lua_DelFileRecursive", &Lua_DelFileRecursive},
    {"Lua_DelFileRecursiveEx", &Lua_DelFileRecursiveEx},
    {"Lua_DeleteFileAfterReboot", &Lua_DeleteFileAfterReboot},
    {"Lua_GetTempFileName", &Lua_GetTempFileName},
    {"Lua_GetTempPath", &Lua_GetTempPath},
    {"Lua_PathFileExists", &Lua_PathFileExists},
    {"Lua_PathYetAnotherMakeUniqueName", &Lua_PathYetAnotherMakeUniqueName},
    {nullptr, nullptr},
};

}  // namespace

void OpenNativeLibrary(lua_State* state) {
  for (const luaL_Reg* module = kValueTypeModules; module->name; ++module) {
    luaL_requiref(state, module->name, module->func, 1);
    lua_pop(state, 1);
  }
  InstallLibTable(state);
  for (const luaL_Reg* fn = kNativeFunctions; fn->name; ++fn) lua_register(state, fn->name, fn->func);
}

}  // namespace kw
