// Numbers and addresses as native calls and the value types see them: every
// value is 32 bits wide on this target.
#pragma once
#include <cstdint>

struct lua_State;

namespace kw {

static_assert(sizeof(void*) == 4, "native calls and value types assume 32-bit x86");

// Rounds to nearest in the current (default) rounding mode; anything outside
// the signed 32-bit range, NaN included, gives 0x80000000 as the FPU's own
// conversion does.
std::int32_t ToInt32(double value);
// Rounds to a 64-bit integer and keeps its low 32 bits, so -1 gives
// 0xFFFFFFFF; outside the 64-bit range the result is 0.
std::uint32_t ToUInt32(double value);

// Stack value as a number (numeric strings convert, anything else is 0).
std::int32_t Int32Arg(lua_State* state, int index);
std::uint32_t UInt32Arg(lua_State* state, int index);

void PushInt32(lua_State* state, std::int32_t value);
void PushUInt32(lua_State* state, std::uint32_t value);

}  // namespace kw
