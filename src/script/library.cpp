#include "script/library.h"

#include "script/lib_file.h"
#include "script/lib_process.h"
#include "script/lib_registry.h"
#include "script/lib_shell.h"
#include "script/lib_system.h"
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
// of their own.
constexpr luaL_Reg kNativeFunctions[] = {
    {"Lua_UnCompress7z", &Lua_UnCompress7z},
    {"Lua_RegSvr32", &Lua_RegSvr32},
    {"Lua_RegistDll", &Lua_RegistDll},
    {"Lua_RegQuery", &Lua_RegQuery},
    {"Lua_RegAdd", &Lua_RegAdd},
    {"Lua_RegDel", &Lua_RegDel},
    {"Lua_CreateShortcut", &Lua_CreateShortcut},
    {"Lua_CreateDirectory", &Lua_CreateDirectory},
    {"Lua_CopyFile", &Lua_CopyFile},
    {"Lua_MoveFile", &Lua_MoveFile},
    {"Lua_RenameFile", &Lua_RenameFile},
    {"Lua_DeleteFile", &Lua_DeleteFile},
    {"Lua_DeleteFileEx", &Lua_DeleteFileEx},
    {"Lua_Exec", &Lua_Exec},
    {"Lua_ExplorerExec", &Lua_ExplorerExec},
    {"Lua_TaskKill", &Lua_TaskKill},
    {"Lua_SCM", &Lua_SCM},
    {"Lua_RegVarByCSIDL", &Lua_RegVarByCSIDL},
    {"Lua_ExtractResource", &Lua_ExtractResource},
    {"Lua_GetOSVersion", &Lua_GetOSVersion},
    {"Lua_Logout", &Lua_Logout},
    {"Lua_MsgBox", &Lua_MsgBox},
    {"Lua_DelFileRecursive", &Lua_DelFileRecursive},
    {"Lua_DelFileRecursiveEx", &Lua_DelFileRecursiveEx},
    {"Lua_DeleteFileAfterReboot", &Lua_DeleteFileAfterReboot},
    {"Lua_IsWow64", &Lua_IsWow64},
    {"Lua_GetProcessId", &Lua_GetProcessId},
    {"Lua_ExitWindows", &Lua_ExitWindows},
    {"Lua_GetModuleFileName", &Lua_GetModuleFileName},
    {"Lua_GetCommandLineArgv", &Lua_GetCommandLineArgv},
    {"Lua_EnablePrivilege", &Lua_EnablePrivilege},
    {"Lua_GetTempFileName", &Lua_GetTempFileName},
    {"Lua_GetTempPath", &Lua_GetTempPath},
    {"Lua_ExpandEnv", &Lua_ExpandEnv},
    {"Lua_GetImagePathByPid", &Lua_GetImagePathByPid},
    {"Lua_GetDriverInstallPath", &Lua_GetDriverInstallPath},
    {"Lua_KillAllTaskByName", &Lua_KillAllTaskByName},
    {"Lua_PathFileExists", &Lua_PathFileExists},
    {"Lua_PathYetAnotherMakeUniqueName", &Lua_PathYetAnotherMakeUniqueName},
    {"Lua_ShellExec", &Lua_ShellExec},
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
