/* Dumps the Lua function on top of the stack as a stripped binary chunk. */
#pragma once
#include "lua.h"

#ifdef __cplusplus
extern "C" {
#endif

int kwpack_DumpStripped(lua_State *L, lua_Writer writer, void *data);

#ifdef __cplusplus
}
#endif
