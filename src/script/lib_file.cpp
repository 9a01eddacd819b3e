// Creating, copying, moving and renaming; existence, unique and temporary names.
#include "script/lib_file.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>

extern "C" {
#include <lua.h>
}

#include "core/trace.h"
#include "script/native_args.h"
#include "script/file_ops.h"

namespace kw {

namespace {

// Fixed by the system calls that fill them: MAX_PATH units.
constexpr DWORD kPathUnits = MAX_PATH;

struct ShellTransfer {
  const wchar_t* function;
  UINT operation;
  FILEOP_FLAGS flags;
  const wchar_t* doneFormat;
  const wchar_t* failedFormat;
};

int Transfer(lua_State* state, const ShellTransfer& transfer) {
  const std::wstring source = ExpandedArg(state, 1);
  const std::wstring destination = ExpandedArg(state, 2);
  if (!PathExists(source)) {
    TraceMissing(transfer.function, source);
    return PushBool(state, false);
  }
  int code = ShellFileOperation(transfer.operation, source, destination, transfer.flags);
  // The shell may answer 0 for what it did not do (Wine's, for a target below
  // a file): a move leaves no source behind, a copy leaves a destination.
  constexpr int kUnknownShellError = 0x402;  // DE_UNKNOWN_ERROR: an invalid source or destination
  if (code == 0 && (transfer.operation == FO_MOVE ? PathExists(source) : !PathExists(destination)))
    code = kUnknownShellError;
  if (code == 0) {
    DebugTrace(transfer.doneFormat, source.c_str(), destination.c_str());
    return PushBool(state, true);
  }
  DebugTrace(transfer.failedFormat, source.c_str(), destination.c_str());
  DebugTrace(L"SHFileOperation error code : %#x\r\n", code);
  return PushBool(state, false);
}

}  // namespace

int Lua_CreateDirectory(lua_State* state) {
  const std::wstring path = ExpandedArg(state, 1);
  // A file of that name is not the folder the script asks for.
  if (PathIsFolder(path)) return PushBool(state, true);
  ShellCreateDirectory(path);
  if (PathIsFolder(path)) {
    DebugTrace(L"Create Directory %s!\r\n", path.c_str());
    return PushBool(state, true);
  }
  TraceMissing(L"Lua_CreateDirectory", path);
  return PushBool(state, false);
}

int Lua_CopyFile(lua_State* state) {
  return Transfer(state, {L"Lua_CopyFile", FO_COPY, 0x214, L"Copy %s to %s !", L"Copy %s to %s failed!"});
}

int Lua_MoveFile(lua_State* state) {
  return Transfer(state, {L"Lua_MoveFile", FO_MOVE, 0x614, L"Move %s to %s !", L"Move %s to %s failed!"});
}

int Lua_RenameFile(lua_State* state) {
  const std::wstring source = ExpandedArg(state, 1);
  const std::wstring target = ExpandedArg(state, 2);
  if (!PathExists(source)) {
    TraceMissing(L"Lua_RenameFile", source);
    return PushBool(state, false);
  }
  if (MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    DebugTrace(L"MoveFile %s to %s !", source.c_str(), target.c_str());
    return PushBool(state, true);
  }
  DebugTrace(L"MoveFile %s to %s failed!", source.c_str(), target.c_str());
  return PushBool(state, false);
}

int Lua_PathFileExists(lua_State* state) { return PushBool(state, PathExists(ToWideArg(state, 1))); }

int Lua_PathYetAnotherMakeUniqueName(lua_State* state) {
  const std::wstring path = ToWideArg(state, 1);
  wchar_t unique[kPathUnits + 1] = {};
  // No path, no name (the shell would make one up from nothing).
  if (path.empty() || !ShellMakeUniqueName(path, unique)) unique[0] = L'\0';
  return PushWide(state, unique);
}

int Lua_GetTempPath(lua_State* state) {
  wchar_t temp[kPathUnits] = {};
  const DWORD length = GetTempPathW(kPathUnits, temp);
  if (length == 0 || length >= kPathUnits) {
    DebugTrace(L"GetTempPath Failed!");
    return PushWide(state, L"");
  }
  // The per-user local application data folder is where the scripts keep
  // their temporary files; the temp folder stays the answer only if that
  // folder is unknown.
  wchar_t localAppData[kPathUnits] = {};
  if (ShellSpecialFolder(CSIDL_LOCAL_APPDATA, localAppData)) {
    return PushWide(state, localAppData);
  }
  DebugTrace(L"Get Local AppData Failed!");
  return PushWide(state, temp);
}

int Lua_GetTempFileName(lua_State* state) {
  const std::wstring folder = ExpandedArg(state, 1);
  const std::wstring prefix = ToWideArg(state, 2);
  wchar_t name[kPathUnits] = {};
  // folder + "\" + up to three prefix units + four hex digits + ".tmp" must
  // fit the buffer: Wine's GetTempFileNameW copies the folder unchecked.
  std::size_t folderUnits = folder.size();
  if (folderUnits > 0 && (folder.back() == L'\\' || folder.back() == L'/')) --folderUnits;
  if (folderUnits + 1 + std::min<std::size_t>(prefix.size(), 3) + 4 + 4 >= kPathUnits) {
    DebugTrace(L"Fun:%s, Description:%s is too long for a temporary file name!\r\n", L"Lua_GetTempFileName",
               folder.c_str());
    lua_pushnil(state);
    return 1;
  }
  if (GetTempFileNameW(folder.c_str(), prefix.c_str(), 0, name) == 0) {
    lua_pushnil(state);
    return 1;
  }
  return PushWide(state, name);
}

}  // namespace kw
