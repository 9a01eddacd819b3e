// Libraries for native calls: `DllManager` objects (one module handle each),
// and "GLibTab", the table that loads a library on first use and keeps it.
#pragma once

struct lua_State;

namespace kw {

inline constexpr char kDllManagerMetaTable[] = "DllManagerMetaTable";
inline constexpr char kLibTableMetaTable[] = "GlobalLibTableMetaTable";

// Module opener for luaL_requiref: the metatable with `UnLoad` and `Get`, and
// the module table with `Load`.
int OpenDllManager(lua_State* state);

// Sets the global "GLibTab".
void InstallLibTable(lua_State* state);

}  // namespace kw
