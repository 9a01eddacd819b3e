// The native library offered to scripts: value types, "GLibTab" and the
// Lua_ functions, registered as globals when the state is created.
#pragma once

struct lua_State;

namespace kw {

void OpenNativeLibrary(lua_State* state);

}  // namespace kw
