// Script functions that ask the system: version, WOW64, environment,
// special folders, module and command line; and the scripts' log channel.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct lua_State;

namespace kw {

int Lua_Logout(lua_State* state);
int Lua_GetOSVersion(lua_State* state);
int Lua_IsWow64(lua_State* state);
int Lua_ExpandEnv(lua_State* state);
int Lua_RegVarByCSIDL(lua_State* state);
int Lua_GetModuleFileName(lua_State* state);
int Lua_GetCommandLineArgv(lua_State* state);
int Lua_GetDriverInstallPath(lua_State* state);

// Lua_GetDriverInstallPath's choice: `programFiles` ("C:\Program Files\"),
// or, with more than one fixed drive, the same folder on the first later
// drive ("D:") where it exists.
std::wstring ChooseInstallFolder(const std::wstring& programFiles, const std::vector<std::wstring>& fixedDrives,
                                 const std::function<bool(const std::wstring&)>& exists);

}  // namespace kw
