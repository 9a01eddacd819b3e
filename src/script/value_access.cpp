#include "script/value_access.h"

#include <cmath>

extern "C" {
#include <lua.h>
}

namespace kw {

std::int32_t ToInt32(double value) {
  const double rounded = std::nearbyint(value);
  if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) return INT32_MIN;
  return static_cast<std::int32_t>(rounded);
}

std::uint32_t ToUInt32(double value) {
  const double rounded = std::nearbyint(value);
  if (!(rounded >= -9223372036854775808.0 && rounded < 9223372036854775808.0)) return 0;
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(static_cast<std::int64_t>(rounded)));
}

std::int32_t Int32Arg(lua_State* state, int index) { return ToInt32(lua_tonumber(state, index)); }

std::uint32_t UInt32Arg(lua_State* state, int index) { return ToUInt32(lua_tonumber(state, index)); }

void PushInt32(lua_State* state, std::int32_t value) { lua_pushnumber(state, static_cast<lua_Number>(value)); }

void PushUInt32(lua_State* state, std::uint32_t value) { lua_pushnumber(state, static_cast<lua_Number>(value)); }

}  // namespace kw
