// NativeFunction: a script-callable closure around an exported function of
// any library. Every argument crosses as one 32-bit value; a call returns the
// converted result and the thread's last system error.
#pragma once

struct lua_State;

namespace kw {

// Pushes a NativeFunction for `entry`, with the return-type word and the
// cdecl flag copied from the given stack slots (nil when out of range).
void PushNativeFunction(lua_State* state, void* entry, int returnTypeIndex, int cdeclIndex);

}  // namespace kw
