// Script functions for the registry: read, write and delete values and keys
// under the roots "HKCR", "HKCU", "HKLM", "HKU" and "HKCC".
#pragma once

struct lua_State;

namespace kw {

int Lua_RegQuery(lua_State* state);
int Lua_RegAdd(lua_State* state);
int Lua_RegDel(lua_State* state);

}  // namespace kw
