// Path arguments of native functions that are marked for expansion.
#pragma once
#include <string>

struct lua_State;

namespace kw {

// Fixed path buffers of the native functions hold this many UTF-16 units.
inline constexpr unsigned kPathUnits = 260;

// %VARIABLE% references expanded into a 260-unit buffer. A text whose
// expansion does not fit, or that expands to nothing, becomes "".
std::wstring ExpandPath(const std::wstring& path);

// Argument `index` read as text (ToWideArg) and expanded.
std::wstring ExpandPathArg(lua_State* state, int index);

}  // namespace kw
