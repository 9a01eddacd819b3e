#include "script/native_args.h"

#include <windows.h>

extern "C" {
#include <lua.h>
}

#include "core/encoding.h"

namespace kw {

std::wstring ToWideArg(lua_State* state, int index) {
  const int type = lua_type(state, index);
  if (type != LUA_TSTRING && type != LUA_TNUMBER) return {};
  // lua_tolstring turns a number slot into a string; read a copy instead so
  // the caller's stack (and a running lua_next) is left alone.
  lua_pushvalue(state, index);
  std::size_t size = 0;
  const char* text = lua_tolstring(state, -1, &size);
  std::wstring wide = Utf8ToWide(text, size);
  lua_pop(state, 1);
  return wide;
}

std::wstring ExpandPath(const std::wstring& text) {
  if (text.empty()) return {};
  // The size can grow between the two calls if another thread changes the
  // environment: try again with the new size.
  std::wstring expanded(MAX_PATH, L'\0');
  for (;;) {
    const DWORD needed = ExpandEnvironmentStringsW(text.c_str(), expanded.data(), static_cast<DWORD>(expanded.size()));
    if (needed == 0) return {};
    if (needed <= expanded.size()) {
      expanded.resize(needed - 1);  // the count includes the terminator
      return expanded;
    }
    expanded.assign(needed, L'\0');
  }
}

std::wstring ExpandedArg(lua_State* state, int index) { return ExpandPath(ToWideArg(state, index)); }

int PushWide(lua_State* state, const std::wstring& text) {
  const std::string utf8 = WideToUtf8(text);
  lua_pushlstring(state, utf8.data(), utf8.size());
  return 1;
}

int PushBool(lua_State* state, bool value) {
  lua_pushboolean(state, value ? 1 : 0);
  return 1;
}

std::wstring LastArg(lua_State* state) { return lua_gettop(state) > 0 ? ToWideArg(state, -1) : std::wstring(); }

unsigned long LastArgUnsigned(lua_State* state) {
  return lua_gettop(state) > 0 ? static_cast<unsigned long>(lua_tounsigned(state, -1)) : 0;
}

bool FlagArg(lua_State* state, int index) { return lua_toboolean(state, index) != 0; }

std::wstring ParentFolder(const std::wstring& path) {
  const auto slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return {};
  // "C:\file" keeps its root: "C:\".
  if (slash == 2 && path.size() > 1 && path[1] == L':') return path.substr(0, 3);
  return path.substr(0, slash);
}

bool SameText(const std::wstring& a, const wchar_t* b) { return lstrcmpiW(a.c_str(), b) == 0; }

}  // namespace kw
