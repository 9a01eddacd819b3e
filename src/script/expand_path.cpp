#include "script/expand_path.h"

#include <windows.h>

#include "script/engine.h"

namespace kw {

std::wstring ExpandPath(const std::wstring& path) {
  wchar_t buffer[kPathUnits];
  const DWORD needed = ExpandEnvironmentStringsW(path.c_str(), buffer, kPathUnits);
  // needed counts the terminator; 0 is a failure, more than the buffer a cut.
  if (needed == 0 || needed > kPathUnits) return {};
  return buffer;
}

std::wstring ExpandPathArg(lua_State* state, int index) { return ExpandPath(ToWideArg(state, index)); }

}  // namespace kw
