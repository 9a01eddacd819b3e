// Script functions that create shortcuts, start programs and documents,
// register COM servers and ask the user.
#pragma once
#include <string>

struct lua_State;

namespace kw {

int Lua_CreateShortcut(lua_State* state);
int Lua_Exec(lua_State* state);
int Lua_ExplorerExec(lua_State* state);
int Lua_ShellExec(lua_State* state);
int Lua_RegSvr32(lua_State* state);
int Lua_RegistDll(lua_State* state);
int Lua_MsgBox(lua_State* state);

// The command Lua_RegistDll starts: regsvr32 from the system folder, the
// options, the quoted library path.
std::wstring RegisterServerCommand(const std::wstring& options, const std::wstring& path);

}  // namespace kw
