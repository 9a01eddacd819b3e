#include "script/native_args.h"

#include <windows.h>

extern "C" {
#include <lua.h>
}

#include "script/engine.h"

namespace kw {

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

}  // namespace kw
