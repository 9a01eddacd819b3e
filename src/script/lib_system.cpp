#include "script/lib_system.h"


extern "C" {
#include <lua.h>
}

#include "core/encoding.h"
#include "core/handles.h"
#include "core/log.h"
#include "core/path_exists.h"
#include "core/trace.h"
#include "script/file_ops.h"
#include "script/function_ref.h"
#include "script/native_args.h"

namespace kw {

namespace {

std::vector<std::wstring> FixedDrives() {
  std::vector<std::wstring> drives;
  const DWORD present = GetLogicalDrives();
  for (int letter = 0; letter < 26; ++letter) {
    if (!(present & (1u << letter))) continue;
    const std::wstring drive{static_cast<wchar_t>(L'A' + letter), L':'};
    if (GetDriveTypeW((drive + L"\\").c_str()) == DRIVE_FIXED) drives.push_back(drive);
  }
  return drives;
}

}  // namespace

int Lua_Logout(lua_State* state) {
  const std::wstring text = ToWideArg(state, 1);
  DebugTrace(L"%s", text.c_str());
  KW_LOG_INFO("log:{}", WideToUtf8(text));
  return 0;
}

int Lua_GetOSVersion(lua_State* state) {
  lua_pushnumber(state, LOBYTE(LOWORD(GetVersion())));
  return 1;
}

int Lua_IsWow64(lua_State* state) {
  using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
  const auto isWow64Process = reinterpret_cast<IsWow64ProcessFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "IsWow64Process")));
  BOOL wow64 = FALSE;
  if (isWow64Process && !isWow64Process(GetCurrentProcess(), &wow64)) wow64 = FALSE;
  lua_pushboolean(state, wow64);
  return 1;
}

int Lua_ExpandEnv(lua_State* state) {
  PushWide(state, ExpandPath(LastArg(state)));
  return 1;
}

int Lua_RegVarByCSIDL(lua_State* state) {
  const std::wstring name = ToWideArg(state, 1);
  const int csidl = static_cast<int>(lua_tointeger(state, 2));
  wchar_t folder[MAX_PATH] = {};
  if (!ShellSpecialFolder(csidl, folder)) {
    DebugTrace(L"SHGetSpecialFolderPathW csidl=%d failed!\r\n", csidl);
    KW_TRACE_FAILURE(L"");
    lua_pushboolean(state, false);
    return 1;
  }
  const bool ok = SetEnvironmentVariableW(name.c_str(), folder) != FALSE;
  if (!ok) KW_TRACE_FAILURE(L"SetEnvironmentVariableW failed!");
  lua_pushboolean(state, ok);
  return 1;
}

int Lua_GetModuleFileName(lua_State* state) {
  // A module that is not loaded (or no name) means the executable.
  const HMODULE module = lua_gettop(state) >= 1 ? GetModuleHandleW(ToWideArg(state, 1).c_str()) : nullptr;
  wchar_t path[MAX_PATH] = {};
  const DWORD units = GetModuleFileNameW(module, path, MAX_PATH);
  PushWide(state, std::wstring(path, units < MAX_PATH ? units : MAX_PATH - 1));
  return 1;
}

int Lua_GetCommandLineArgv(lua_State* state) {
  int count = 0;
  LPWSTR* argv = ShellCommandLineToArgv(GetCommandLineW(), &count);
  const UniqueLocalMem argvTable(argv);
  lua_createtable(state, argv ? count : 0, 0);
  for (int i = 0; argv && i < count; ++i) {
    PushWide(state, argv[i]);
    lua_rawseti(state, -2, i + 1);
  }
  return 1;
}

int Lua_GetDriverInstallPath(lua_State* state) {
  PushWide(state, ChooseInstallFolder(ExpandPath(L"%ProgramFiles%\\"), FixedDrives(),
                                       [](const std::wstring& path) { return PathExists(path.c_str()); }));
  return 1;
}

std::wstring ChooseInstallFolder(const std::wstring& programFiles, const std::vector<std::wstring>& fixedDrives,
                                 const std::function<bool(const std::wstring&)>& exists) {
  if (programFiles.size() < 2) return programFiles;
  for (std::size_t i = 1; i < fixedDrives.size(); ++i) {
    const std::wstring candidate = fixedDrives[i] + programFiles.substr(2);
    if (exists(candidate)) return candidate;
  }
  return programFiles;
}

}  // namespace kw
