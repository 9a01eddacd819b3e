// Argument and result conventions shared by the Lua_ functions: arguments are
// read by position as UTF-16 text, some are environment-expanded, results go
// back as UTF-8.
#pragma once
#include <string>

struct lua_State;

namespace kw {

// Reads stack value `index` as text: strings and numbers convert, anything
// else (nil, boolean, table, missing) is "".
std::wstring ToWideArg(lua_State* state, int index);

// %VARIABLE% references expanded. The whole expansion is kept: cutting a
// path at a fixed length would name a different file.
std::wstring ExpandPath(const std::wstring& text);

// Argument `index` as text (see ToWideArg), expanded.
std::wstring ExpandedArg(lua_State* state, int index);

// Push one result and return the count, 1.
int PushWide(lua_State* state, const std::wstring& text);
int PushBool(lua_State* state, bool value);

// The value on top of the stack as text, "" when there are no arguments.
std::wstring LastArg(lua_State* state);
// The value on top of the stack as unsigned 32-bit number, 0 when none.
unsigned long LastArgUnsigned(lua_State* state);
// True when argument `index` is present and neither nil nor false.
bool FlagArg(lua_State* state, int index);

// The path without its last component ("" when it has none).
std::wstring ParentFolder(const std::wstring& path);
// Case-insensitive comparison of whole texts.
bool SameText(const std::wstring& a, const wchar_t* b);

}  // namespace kw
