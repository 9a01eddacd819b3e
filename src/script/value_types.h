// The value types scripts use as memory for native calls: `AString` (ANSI
// text in the thread's code page), `WString` (UTF-16 text) and `RawBuffer`
// (bytes with typed accessors). Each object is a full userdata whose block is
// the memory itself, so a native call receives the block's address.
#pragma once

struct lua_State;

namespace kw {

inline constexpr char kAStringMetaTable[] = "AStringMetaTable";
inline constexpr char kWStringMetaTable[] = "WStringMetaTable";
inline constexpr char kRawBufferMetaTable[] = "RawBufferMetaTable";

// Module openers for luaL_requiref: each registers its metatable and returns
// the module table with `New`.
int OpenAString(lua_State* state);
int OpenWString(lua_State* state);
int OpenRawBuffer(lua_State* state);

}  // namespace kw
