#include "script/lua_uncompress.h"

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include <windows.h>

#include "core/path_exists.h"
#include "core/trace.h"
#include "payload/extract.h"
#include "payload/sources.h"
#include "script/native_args.h"
#include "script/function_ref.h"

namespace kw {

namespace {

constexpr wchar_t kFunctionName[] = L"Lua_UnCompress7z";

bool ExistsOrTrace(const std::wstring& path) {
  if (PathExists(path.c_str())) return true;
  DebugTrace(L"Fun:%s, Description:%s it's not exists!\r\n", kFunctionName, path.c_str());
  return false;
}

int PushResult(lua_State* state, bool result) {
  lua_pushboolean(state, result);
  return 1;
}

// The extraction ran: trace its outcome and hand it to the script.
int PushExtractResult(lua_State* state, SRes code) {
  if (code != SZ_OK) {
    DebugTrace(L"Fun:%s, Description: UnCompress failed.!\r\n", kFunctionName);
    return PushResult(state, false);
  }
  DebugTrace(L"UnCompress successful.\r\n");
  return PushResult(state, true);
}

}  // namespace

int Lua_UnCompress7z(lua_State* state) {
  const int argCount = lua_gettop(state);
  if (argCount < 2 || argCount > 5) {
    DebugTrace(L"Fun:%s, Description: takes 2 to 5 arguments, got %d.\r\n", kFunctionName, argCount);
    return PushResult(state, false);
  }

  // Callbacks come from the end of the argument list: a function fifth is
  // the error callback; then a function that is the last argument left and
  // the fourth is the progress callback.
  ScriptFunctionRef onError, onProgress;
  ScopeGuard release([&] {
    onError.Release();
    onProgress.Release();
  });
  if (argCount == 5 && lua_isfunction(state, 5)) onError = ScriptFunctionRef::PopFrom(state);
  if (lua_gettop(state) == 4 && lua_isfunction(state, 4)) onProgress = ScriptFunctionRef::PopFrom(state);
  const ExtractProgressFn progress = onProgress.Valid() ? ExtractProgressFn(MakePathCallback(onProgress)) : nullptr;
  const CreateErrorFn createError = onError.Valid() ? CreateErrorFn(MakePathCodeCallback(onError)) : nullptr;
  const bool fromFile = argCount >= 3 && lua_toboolean(state, 3);

  const std::wstring destination = ExpandedArg(state, 2);
  if (!ExistsOrTrace(destination)) return PushResult(state, false);

  if (fromFile) {
    const std::wstring source = ExpandedArg(state, 1);
    if (!ExistsOrTrace(source)) return PushResult(state, false);
    DebugTrace(L"UnCompress %s to %s .\r\n", source.c_str(), destination.c_str());
    FileSource file;
    if (!file.Open(source)) return PushExtractResult(state, SZ_ERROR_READ);
    return PushExtractResult(state, ExtractArchive(file.Stream(), destination, progress, createError));
  }

  ResourceSource resource;
  const HMODULE self = GetModuleHandleW(nullptr);
  if (lua_isnumber(state, 1)) {
    const WORD id = static_cast<WORD>(lua_tounsigned(state, 1) & 0xFFFF);
    if (!resource.Load(self, MAKEINTRESOURCEW(id))) {
      DebugTrace(L"Fun:%s ,LoadResource failed!\r\n", kFunctionName);
      return PushResult(state, false);
    }
  } else {
    const std::wstring name = ToWideArg(state, 1);
    if (!resource.Load(self, name.c_str())) {
      DebugTrace(L"Fun:%s ,LoadResource failed!\r\n", kFunctionName);
      return PushResult(state, false);
    }
    DebugTrace(L"UnCompress %s to %s .\r\n", name.c_str(), destination.c_str());
  }
  return PushExtractResult(state, ExtractArchive(resource.Stream(), destination, progress, createError));
}

}  // namespace kw
