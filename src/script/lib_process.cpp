#include "script/lib_process.h"

#include <windows.h>

extern "C" {
#include <lua.h>
}

#include "core/process_tool_help.h"
#include "core/trace.h"
#include "script/native_args.h"
#include "script/system_actions.h"

namespace kw {

namespace {

// Argument 1 as a process id, or the first process of that name; -1 if none.
long ProcessArg(lua_State* state) {
  if (lua_type(state, 1) == LUA_TNUMBER) return static_cast<long>(lua_tointeger(state, 1));
  return ProcessToolHelp().FindFirst(ToWideArg(state, 1));
}

int PushEnded(lua_State* state, long processId) {
  lua_pushboolean(state, processId == -1 || EndProcessGracefully(static_cast<DWORD>(processId)));
  return 1;
}

// Posts the message of arguments 3..5 (the close command when argument 3 is
// nil) to the top-level window of class argument 2.
void PostToWindowOfClass(lua_State* state) {
  const std::wstring windowClass = ToWideArg(state, 2);
  HWND window = windowClass.empty() ? nullptr : FindWindowW(windowClass.c_str(), nullptr);
  // Without a window the post would land in our own thread's queue.
  if (!window) return;
  if (lua_isnil(state, 3)) {
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    return;
  }
  PostMessageW(window, static_cast<UINT>(lua_tounsigned(state, 3)), static_cast<WPARAM>(lua_tounsigned(state, 4)),
               static_cast<LPARAM>(lua_tounsigned(state, 5)));
}

}  // namespace

int Lua_TaskKill(lua_State* state) {
  if (!lua_isnil(state, 2)) PostToWindowOfClass(state);
  return PushEnded(state, ProcessArg(state));
}

int Lua_KillAllTaskByName(lua_State* state) { return PushEnded(state, ProcessArg(state)); }

int Lua_GetProcessId(lua_State* state) {
  const std::vector<DWORD> ids = ProcessToolHelp().FindAll(LastArg(state));
  if (ids.empty()) {
    lua_pushnumber(state, -1);
    return 1;
  }
  int pushed = 0;
  for (const DWORD id : ids) {
    if (!lua_checkstack(state, 1)) {
      DebugTrace(L"Lua_GetProcessId: no room for more than %d ids\r\n", pushed);
      break;
    }
    lua_pushnumber(state, id);
    ++pushed;
  }
  return pushed;
}

int Lua_GetImagePathByPid(lua_State* state) {
  const std::optional<std::wstring> path = ProcessToolHelp().ImagePath(static_cast<DWORD>(LastArgUnsigned(state)));
  if (!path) return 0;
  PushWide(state, *path);
  return 1;
}

int Lua_EnablePrivilege(lua_State* state) {
  const int top = lua_gettop(state);
  const std::wstring name = top >= 2 ? ToWideArg(state, top - 1) : std::wstring();
  lua_pushboolean(state, EnablePrivilege(name.c_str(), top >= 1 && FlagArg(state, top)));
  return 1;
}

int Lua_ExitWindows(lua_State* state) {
  EnablePrivilege(L"SeShutdownPrivilege", true);
  const auto flags = static_cast<UINT>(lua_tounsigned(state, 1));
  const auto reason = static_cast<DWORD>(lua_tounsigned(state, 2));
  lua_pushboolean(state, CurrentSystemActions().exitWindows(flags, reason) != FALSE);
  return 1;
}

}  // namespace kw
