#include "script/native_args.h"

#include <windows.h>

extern "C" {
#include <lua.h>
}

#include "installer/trace.h"
#include "script/engine.h"

namespace kw {

std::wstring ExpandPath(const std::wstring& text) {
  // Sized by the system rather than by the fixed buffer, so a long
  // expansion is cut cleanly instead of leaving the buffer undefined.
  DWORD units = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
  if (units == 0) return {};
  std::wstring expanded(units, L'\0');
  units = ExpandEnvironmentStringsW(text.c_str(), expanded.data(), units);
  if (units == 0 || units > expanded.size()) return {};
  expanded.resize(units - 1);
  if (expanded.size() > kPathUnits - 1) expanded.resize(kPathUnits - 1);
  return expanded;
}

std::wstring ExpandedArg(lua_State* state, int index) { return ExpandPath(ToWideArg(state, index)); }

std::wstring LastArg(lua_State* state) { return lua_gettop(state) > 0 ? ToWideArg(state, -1) : std::wstring(); }

unsigned long LastArgUnsigned(lua_State* state) {
  return lua_gettop(state) > 0 ? static_cast<unsigned long>(lua_tounsigned(state, -1)) : 0;
}

bool FlagArg(lua_State* state, int index) { return lua_toboolean(state, index) != 0; }

void PushWide(lua_State* state, const std::wstring& text) {
  const std::string utf8 = WideToUtf8(text);
  lua_pushlstring(state, utf8.data(), utf8.size());
}

void TraceNotExists(const wchar_t* function, const std::wstring& path) {
  DebugTrace(L"Fun:%s, Description:%s it's not exists!\r\n", function, path.c_str());
}

bool PathExists(const std::wstring& path) {
  return !path.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring ParentFolder(const std::wstring& path) {
  const auto slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return {};
  // "C:\file" keeps its root: "C:\".
  if (slash == 2 && path.size() > 1 && path[1] == L':') return path.substr(0, 3);
  return path.substr(0, slash);
}

bool SameText(const std::wstring& a, const wchar_t* b) { return lstrcmpiW(a.c_str(), b) == 0; }

}  // namespace kw
