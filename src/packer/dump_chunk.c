/* The stripped dump that luac -s writes: lua_dump of Lua 5.2 always keeps
   debug information, so the prototype is dumped through luaU_dump itself. */
#include "lua.h"
#include "lobject.h"
#include "lstate.h"
#include "lundump.h"

#include "packer/dump_chunk.h"

int kwpack_DumpStripped(lua_State *L, lua_Writer writer, void *data)
{
  const Proto *f = getproto(L->top - 1);
  int status;
  lua_lock(L);
  status = luaU_dump(L, f, writer, data, 1);
  lua_unlock(L);
  return status;
}
