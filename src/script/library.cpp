#include "script/library.h"

#include "script/lib_process.h"
#include "script/lib_shell.h"
#include "script/lib_system.h"

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

namespace kw {

namespace {

// Registered as globals in this order. Each area's functions live in a file
// of their own and are added here as they are written.
constexpr luaL_Reg kNativeFunctions[] = {
    {"Lua_RegSvr32", Lua_RegSvr32},
    {"Lua_RegistDll", Lua_RegistDll},
    {"Lua_CreateShortcut", Lua_CreateShortcut},
    {"Lua_Exec", Lua_Exec},
    {"Lua_ExplorerExec", Lua_ExplorerExec},
    {"Lua_TaskKill", Lua_TaskKill},
    {"Lua_SCM", Lua_SCM},
    {"Lua_RegVarByCSIDL", Lua_RegVarByCSIDL},
    {"Lua_GetOSVersion", Lua_GetOSVersion},
    {"Lua_Logout", Lua_Logout},
    {"Lua_MsgBox", Lua_MsgBox},
    {"Lua_IsWow64", Lua_IsWow64},
    {"Lua_GetProcessId", Lua_GetProcessId},
    {"Lua_ExitWindows", Lua_ExitWindows},
    {"Lua_GetModuleFileName", Lua_GetModuleFileName},
    {"Lua_GetCommandLineArgv", Lua_GetCommandLineArgv},
    {"Lua_EnablePrivilege", Lua_EnablePrivilege},
    {"Lua_ExpandEnv", Lua_ExpandEnv},
    {"Lua_GetImagePathByPid", Lua_GetImagePathByPid},
    {"Lua_GetDriverInstallPath", Lua_GetDriverInstallPath},
    {"Lua_KillAllTaskByName", Lua_KillAllTaskByName},
    {"Lua_ShellExec", Lua_ShellExec},
    {nullptr, nullptr},
};

}  // namespace

void OpenNativeLibrary(lua_State* state) {
  for (const luaL_Reg* fn = kNativeFunctions; fn->name; ++fn) lua_register(state, fn->name, fn->func);
}

}  // namespace kw
