// Script functions that find and end processes, control services, switch
// privileges and end the session.
#pragma once
#include <windows.h>

#include <string>

struct lua_State;

namespace kw {

int Lua_TaskKill(lua_State* state);
int Lua_KillAllTaskByName(lua_State* state);
int Lua_GetProcessId(lua_State* state);
int Lua_GetImagePathByPid(lua_State* state);
int Lua_SCM(lua_State* state);
int Lua_EnablePrivilege(lua_State* state);
int Lua_ExitWindows(lua_State* state);

// How long Lua_SCM waits for a service to reach the state it asked for: the
// wait restarts whenever the service reports progress (a new state or check
// point) and lasts `hintMultiple` wait hints, at least `minimumMs`; the
// whole wait never exceeds `totalCapMs`.
struct ServiceWaitLimits {
  DWORD hintMultiple = 10;
  DWORD minimumMs = 30000;
  DWORD totalCapMs = 300000;
};
DWORD ServiceProgressLimitMs(DWORD waitHint, const ServiceWaitLimits& limits);

// Lua_SCM with given limits: "start" or "stop" (any case) the named service
// and wait for it. True when it reached the state or does not exist.
bool ControlServiceByVerb(const std::wstring& service, const std::wstring& verb, const ServiceWaitLimits& limits);

}  // namespace kw
