// How every Lua_ function reads its arguments and hands back text: script
// strings are UTF-8, native text UTF-16; nothing here raises a Lua error.
#pragma once
#include <string>

struct lua_State;

namespace kw {

// Expanded paths keep to the fixed 260-unit path buffer: %VARIABLE%
// references are replaced and the result is cut to 259 units.
constexpr std::size_t kPathUnits = 260;
std::wstring ExpandPath(const std::wstring& text);

// Argument `index` as text (see ToWideArg), then expanded.
std::wstring ExpandedArg(lua_State* state, int index);
// The value on top of the stack as text, "" when there are no arguments.
std::wstring LastArg(lua_State* state);
// The value on top of the stack as unsigned 32-bit number, 0 when none.
unsigned long LastArgUnsigned(lua_State* state);
// True when argument `index` is present and neither nil nor false.
bool FlagArg(lua_State* state, int index);

void PushWide(lua_State* state, const std::wstring& text);

// "Fun:<function>, Description:<path> it's not exists!"
void TraceNotExists(const wchar_t* function, const std::wstring& path);

// Files and folders; "" and unreadable paths do not exist.
bool PathExists(const std::wstring& path);
// The path without its last component ("" when it has none).
std::wstring ParentFolder(const std::wstring& path);
// Case-insensitive comparison of whole texts.
bool SameText(const std::wstring& a, const wchar_t* b);

}  // namespace kw
