// Deleting files and folder trees, now or at the next reboot.
#include <windows.h>
#include <shellapi.h>

#include <atomic>

extern "C" {
#include <lua.h>
}

#include "core/trace.h"
#include "script/engine.h"
#include "script/function_ref.h"
#include "script/lib_file.h"
#include "script/native_args.h"
#include "script/file_ops.h"

namespace kw {

namespace {

constexpr FILEOP_FLAGS kDeleteAsking = FOF_SILENT | FOF_NOCONFIRMATION;
constexpr FILEOP_FLAGS kDeleteQuiet = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI;

int RealDeletePrompt(const wchar_t* text, const wchar_t* caption, unsigned int type) {
  return MessageBoxW(nullptr, text, caption, type);
}

std::atomic<DeletePrompt> g_deletePrompt{&RealDeletePrompt};

// The script function given as last argument, if it is one.
ScriptFunctionRef TrailingFunction(lua_State* state) {
  const int top = lua_gettop(state);
  if (top < 1 || lua_type(state, top) != LUA_TFUNCTION) return {};
  lua_pushvalue(state, top);
  return ScriptFunctionRef::PopFrom(state);
}

// Lua_DelFileRecursive(Ex): a folder goes through the engine's tree deletion,
// a file through DeleteFileW; no value when the path existed.
int DeleteRecursive(lua_State* state, const PathCodeCallback* onFailure) {
  const std::wstring path = ExpandedArg(state, 1);
  if (!PathExists(path)) return PushBool(state, true);
  if (PathIsFolder(path)) {
    DebugTrace(L"PathIsDirectoryW");
    if (onFailure)
      QRVScriptEngine::DeleteDirectoriesEx(path, *onFailure);
    else
      QRVScriptEngine::DeleteDirectories(path);
    return 0;
  }
  DebugTrace(L"Path is file!");
  if (!DeleteFileW(path.c_str()) && onFailure && *onFailure) {
    const DWORD error = GetLastError();
    (*onFailure)(path, error);
  }
  return 0;
}

}  // namespace

DeletePrompt SetDeletePrompt(DeletePrompt prompt) {
  return g_deletePrompt.exchange(prompt ? prompt : &RealDeletePrompt);
}

int Lua_DeleteFile(lua_State* state) {
  const std::wstring path = ExpandedArg(state, 1);
  // Retry repeats the whole operation; a loop keeps the stack flat however
  // often the user retries.
  for (;;) {
    if (!PathExists(path)) return PushBool(state, true);
    const int code = ShellFileOperation(FO_DELETE, path, {}, kDeleteAsking);
    if (code == 0) return PushBool(state, true);
    const std::wstring text = L"无法删除\"" + path +
                              L"\"，可能是被占用，请关闭占用程序后点击重试或者点击忽略在卸载完成之后手动删除！";
    const int answer = g_deletePrompt.load()(text.c_str(), L"提示", MB_ABORTRETRYIGNORE | MB_ICONQUESTION);
    if (answer == IDABORT) ExitProcess(0);
    if (answer == IDRETRY) continue;
    DebugTrace(L"Delete %s failed!\r\n", path.c_str());
    DebugTrace(L"SHFileOperation error code : %#x\r\n", code);
    return PushBool(state, answer == IDIGNORE);
  }
}

int Lua_DeleteFileEx(lua_State* state) {
  const std::wstring path = ExpandedArg(state, 1);
  if (!PathExists(path)) return PushBool(state, true);
  return PushBool(state, ShellFileOperation(FO_DELETE, path, {}, kDeleteQuiet) == 0);
}

int Lua_DelFileRecursive(lua_State* state) {
  DebugTrace(L"Lua_DelFileRecursive");
  return DeleteRecursive(state, nullptr);
}

int Lua_DelFileRecursiveEx(lua_State* state) {
  DebugTrace(L"Lua_DelFileRecursiveEx");
  ScriptFunctionRef function = TrailingFunction(state);
  ScopeGuard release([&function] { function.Release(); });
  const PathCodeCallback onFailure = function.Valid() ? MakePathCodeCallback(function) : PathCodeCallback();
  return DeleteRecursive(state, &onFailure);
}

int Lua_DeleteFileAfterReboot(lua_State* state) {
  DebugTrace(L"Lua_DeleteFileAfterReboot");
  const std::wstring path = ExpandedArg(state, 1);
  if (!PathExists(path)) return PushBool(state, true);
  return PushBool(state, MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE);
}

}  // namespace kw
