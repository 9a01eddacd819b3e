// Argument and result conventions shared by the Lua_ functions: arguments are
// read by position as UTF-16 text, some are environment-expanded, results go
// back as UTF-8.
#pragma once
#include <string>

struct lua_State;

namespace kw {

// %VARIABLE% references expanded. The whole expansion is kept: cutting a
// path at a fixed length would name a different file.
std::wstring ExpandPath(const std::wstring& text);

// Argument `index` as text (see ToWideArg), expanded.
std::wstring ExpandedArg(lua_State* state, int index);

// Push one result and return the count, 1.
int PushWide(lua_State* state, const std::wstring& text);
int PushBool(lua_State* state, bool value);

}  // namespace kw
