#include <windows.h>

#include <algorithm>

extern "C" {
#include <lua.h>
}

#include "core/handles.h"
#include "core/trace.h"
#include "script/lib_process.h"
#include "script/native_args.h"

namespace kw {

namespace {

bool TraceUnknownError() {
  DebugTrace(L"Unknow Error in fun:%s\r\n", L"Lua_SCM");
  KW_TRACE_FAILURE(L"");
  return false;
}

// Polls until the service is in `target`. Gives up when the service makes
// no progress within its limit, when the total cap is reached, or when a
// starting service falls back to stopped.
bool WaitForState(SC_HANDLE service, DWORD target, SERVICE_STATUS status, const ServiceWaitLimits& limits) {
  const ULONGLONG start = GetTickCount64();
  ULONGLONG lastProgress = start;
  while (status.dwCurrentState != target) {
    const ULONGLONG now = GetTickCount64();
    if (now - lastProgress > ServiceProgressLimitMs(status.dwWaitHint, limits) || now - start > limits.totalCapMs) {
      DebugTrace(L"Service state %d not reached in time, still %d\r\n", static_cast<int>(target),
                 static_cast<int>(status.dwCurrentState));
      KW_TRACE_FAILURE(L"");
      return false;
    }
    // Polled at least once a second, so the answer comes soon after the
    // state is reached even with a long hint; never a busy loop on hint 0.
    Sleep(std::clamp<DWORD>(status.dwWaitHint, 50, 1000));
    const SERVICE_STATUS before = status;
    if (!QueryServiceStatus(service, &status)) return TraceUnknownError();
    if (target == SERVICE_RUNNING && status.dwCurrentState == SERVICE_STOPPED) {
      DebugTrace(L"Service stopped while starting, exit code %d\r\n", static_cast<int>(status.dwWin32ExitCode));
      return false;
    }
    if (status.dwCurrentState != before.dwCurrentState || status.dwCheckPoint != before.dwCheckPoint)
      lastProgress = GetTickCount64();
  }
  return true;
}

}  // namespace

DWORD ServiceProgressLimitMs(DWORD waitHint, const ServiceWaitLimits& limits) {
  const ULONGLONG byHint = static_cast<ULONGLONG>(waitHint) * limits.hintMultiple;
  return static_cast<DWORD>(std::min<ULONGLONG>(std::max<ULONGLONG>(byHint, limits.minimumMs), limits.totalCapMs));
}

bool ControlServiceByVerb(const std::wstring& name, const std::wstring& verb, const ServiceWaitLimits& limits) {
  UniqueService manager(OpenSCManagerW(nullptr, nullptr, GENERIC_EXECUTE));
  if (!manager) {
    KW_TRACE_FAILURE(L"OpenSCManager failed!");
    return false;
  }
  UniqueService service(OpenServiceW(manager.Get(), name.c_str(), SERVICE_START | SERVICE_STOP | SERVICE_QUERY_STATUS));
  if (!service) {
    // Nothing to start or stop.
    if (GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST) return true;
    KW_TRACE_FAILURE(L"OpenService failed!");
    return false;
  }
  SERVICE_STATUS status{};
  if (!QueryServiceStatus(service.Get(), &status)) {
    KW_TRACE_FAILURE(L"QueryServiceStatus failed!");
    return false;
  }
  if (SameText(verb, L"start")) {
    if (status.dwCurrentState == SERVICE_STOPPED) {
      if (!StartServiceW(service.Get(), 0, nullptr)) {
        KW_TRACE_FAILURE(L"StartService failed!");
        return false;
      }
      if (!QueryServiceStatus(service.Get(), &status)) return TraceUnknownError();
    }
    return WaitForState(service.Get(), SERVICE_RUNNING, status, limits);
  }
  if (SameText(verb, L"stop")) {
    if (status.dwCurrentState == SERVICE_RUNNING && !ControlService(service.Get(), SERVICE_CONTROL_STOP, &status)) {
      KW_TRACE_FAILURE(L"StopService failed!");
      return false;
    }
    return WaitForState(service.Get(), SERVICE_STOPPED, status, limits);
  }
  return TraceUnknownError();
}

int Lua_SCM(lua_State* state) {
  lua_pushboolean(state, ControlServiceByVerb(ToWideArg(state, 1), ToWideArg(state, 2), ServiceWaitLimits{}));
  return 1;
}

}  // namespace kw
