#include "script/lib_shell.h"

#include <windows.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>

#include <intshcut.h>

#include <string>

extern "C" {
#include <lua.h>
}

#include "core/encoding.h"
#include "core/handles.h"
#include "core/launch.h"
#include "core/path_exists.h"
#include "core/system_dll.h"
#include "core/trace.h"
#include "script/file_ops.h"
#include "script/native_args.h"
#include "script/system_actions.h"

namespace kw {

namespace {

constexpr GUID kClsidInternetShortcut = {0xFBF23B40, 0xE3F0, 0x101B, {0x84, 0x88, 0x00, 0xAA, 0x00, 0x3E, 0x56, 0xF8}};
constexpr GUID kIidUniformResourceLocatorW = {
    0xCABB0DA0, 0xDA57, 0x11CF, {0x99, 0x74, 0x00, 0x20, 0xAF, 0xD7, 0x97, 0x62}};
constexpr GUID kClsidShellLink = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidShellLinkW = {0x000214F9, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

bool IsWebAddress(const std::wstring& text) { return ShellPathIsUrl(text); }

bool IsOneOfVerbs(const std::wstring& verb, std::initializer_list<const wchar_t*> verbs) {
  for (const wchar_t* candidate : verbs)
    if (SameText(verb, candidate)) return true;
  return false;
}

const wchar_t* OrNull(const std::wstring& text) { return text.empty() ? nullptr : text.c_str(); }

bool SaveShortcut(IUnknown* object, const std::wstring& shortcut) {
  ComPtr<IPersistFile> file;
  if (FAILED(object->QueryInterface(IID_IPersistFile, file.ReceiveVoid()))) {
    KW_TRACE_FAILURE(L"QueryInterface IID_IPersistFile failed!");
    return false;
  }
  if (FAILED(file->Save(shortcut.c_str(), TRUE))) {
    DebugTrace(L"Save %s failed!\r\n", shortcut.c_str());
    KW_TRACE_FAILURE(L"");
    return false;
  }
  DebugTrace(L"Save Shortcut %s \r\n", shortcut.c_str());
  return true;
}

bool CreateInternetShortcut(const std::wstring& address, const std::wstring& shortcut) {
  ComPtr<IUniformResourceLocatorW> locator;
  if (FAILED(CoCreateInstance(kClsidInternetShortcut, nullptr, CLSCTX_ALL, kIidUniformResourceLocatorW,
                              locator.ReceiveVoid()))) {
    KW_TRACE_FAILURE(L"CoCreateInstance(CLSID_InternetShortcut) failed!");
    return false;
  }
  if (FAILED(locator->SetURL(address.c_str(), 0))) {
    DebugTrace(L"SetURL %s failed!\r\n", address.c_str());
    KW_TRACE_FAILURE(L"");
    return false;
  }
  return SaveShortcut(locator.Get(), shortcut);
}

// Checks one shell-link setter; traces "<what> <value> failed!" on failure.
bool LinkStep(HRESULT hr, const wchar_t* what, const std::wstring& value) {
  if (SUCCEEDED(hr)) return true;
  DebugTrace(L"%s %s failed!\r\n", what, value.c_str());
  KW_TRACE_FAILURE(L"");
  return false;
}

bool CreateFileShortcut(lua_State* state, const std::wstring& target, const std::wstring& shortcut) {
  ComPtr<IShellLinkW> link;
  if (FAILED(CoCreateInstance(kClsidShellLink, nullptr, CLSCTX_ALL, kIidShellLinkW, link.ReceiveVoid()))) {
    KW_TRACE_FAILURE(L"CoCreateInstance(CLSID_ShellLink) failed!");
    return false;
  }
  // Arguments and description only when the call passes both positions.
  if (lua_gettop(state) >= 4) {
    if (!lua_isnil(state, 3)) {
      const std::wstring arguments = ToWideArg(state, 3);
      if (!LinkStep(link->SetArguments(arguments.c_str()), L"SetArguments", arguments)) return false;
    }
    if (!lua_isnil(state, 4)) {
      const std::wstring description = ToWideArg(state, 4);
      if (!LinkStep(link->SetDescription(description.c_str()), L"SetDescription", description)) return false;
    }
  }
  if (!LinkStep(link->SetPath(target.c_str()), L"SetPath", target)) return false;
  const std::wstring folder = ParentFolder(target);
  if (!LinkStep(link->SetWorkingDirectory(folder.c_str()), L"SetWorkingDirectory", folder)) return false;
  return SaveShortcut(link.Get(), shortcut);
}

// ShellExecuteExW, hidden, keeping the process handle for the caller. A
// failure is the caller's result, never a box waiting for a person.
bool StartHidden(const wchar_t* verb, const std::wstring& file, const std::wstring& parameters,
                 const std::wstring& folder, UniqueHandle& process) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = verb;
  info.lpFile = file.c_str();
  info.lpParameters = OrNull(parameters);
  info.lpDirectory = OrNull(folder);
  info.nShow = SW_HIDE;
  const bool started = ShellExecuteExCall(&info);
  process.Reset(started ? info.hProcess : nullptr);
  return started;
}

// explorer.exe's WinExec result: above 31 when the shell process started.
bool LaunchedThroughShell(const std::wstring& file, const std::wstring& parameters) {
  return ExplorerLaunch(file, parameters) > 31;
}

// Argument 1 expanded; "" (traced) when nothing is there.
std::wstring ExistingPathArg(lua_State* state, const wchar_t* function) {
  const std::wstring path = ExpandedArg(state, 1);
  if (PathExists(path.c_str())) return path;
  TraceMissing(function, path);
  return {};
}

bool CallRegistrationEntry(const std::wstring& path, bool registering) {
  // As a path, never a bare name: the process loads those from the system
  // folder only, and the file that exists here is the one to register.
  const std::wstring asPath = path.find_first_of(L"\\/") == std::wstring::npos ? L".\\" + path : path;
  const UniqueModule library(LoadLibraryByNameOrPath(asPath.c_str()));
  if (!library) {
    DebugTrace(L"Fun:%s, Description: LoadLibrary %s Failed!\r\n", L"Lua_RegSvr32", path.c_str());
    KW_TRACE_FAILURE(L"");
    return false;
  }
  using EntryPoint = HRESULT(STDAPICALLTYPE*)();
  const auto entry = library.Proc<EntryPoint>(registering ? "DllRegisterServer" : "DllUnregisterServer");
  return entry && SUCCEEDED(entry());
}

// Started, not waited for: the registration's outcome is not ours to see.
bool StartRegsvr32(const std::wstring& options, const std::wstring& path) {
  const UINT result = WinExec(FromWide(CP_ACP, RegisterServerCommand(options, path)).c_str(), SW_HIDE);
  if (result > 32) return true;
  DebugTrace(L"reg failed!!! %d", static_cast<int>(GetLastError()));
  return false;
}

}  // namespace

std::wstring RegisterServerCommand(const std::wstring& options, const std::wstring& path) {
  // The system's own regsvr32: a bare name would be searched for in the
  // installer's folder (often a downloads folder) first.
  return L"\"" + SystemFolder() + L"\\regsvr32.exe\" " + options + L" \"" + path + L"\"";
}

int Lua_CreateShortcut(lua_State* state) {
  // COM for this call; a thread already in another apartment keeps it.
  const ComScope com;
  std::wstring target = ToWideArg(state, 1);
  const std::wstring shortcut = ExpandedArg(state, 2);
  const std::wstring folder = ParentFolder(shortcut);
  if (!folder.empty() && !PathExists(folder.c_str())) ShellCreateDirectory(folder);

  bool ok;
  if (IsWebAddress(target)) {
    ok = CreateInternetShortcut(target, shortcut);
  } else {
    target = ExpandPath(target);
    ok = CreateFileShortcut(state, target, shortcut);
  }
  lua_pushboolean(state, ok);
  return 1;
}

int Lua_Exec(lua_State* state) {
  std::wstring file = ToWideArg(state, 1);
  const std::wstring verb = ToWideArg(state, 2);
  std::wstring parameters, folder;
  if (!IsWebAddress(file)) {
    file = ExpandPath(file);
    if (!PathExists(file.c_str())) {
      // Unpinning something already gone has nothing left to do.
      const bool unpin = IsOneOfVerbs(verb, {L"Startunpin", L"Taskbarunpin"});
      if (!unpin) TraceMissing(L"Lua_Exec", file);
      lua_pushboolean(state, unpin);
      return 1;
    }
    parameters = ToWideArg(state, 3);
    folder = ParentFolder(file);
  }

  bool ok;
  if (FlagArg(state, 5)) {
    ok = LaunchedThroughShell(file, parameters);
  } else if (FlagArg(state, 4)) {
    UniqueHandle process;
    ok = StartHidden(nullptr, file, parameters, folder, process);
    // A document handed to a running program has no process of its own.
    if (process) WaitForSingleObject(process.Get(), INFINITE);
  } else {
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteCall(OrNull(verb), file.c_str(), OrNull(parameters), OrNull(folder), SW_SHOWNORMAL));
    ok = result > 32 || IsOneOfVerbs(verb, {L"Startpin", L"Startunpin", L"Taskbarpin", L"Taskbarunpin"});
  }
  lua_pushboolean(state, ok);
  return 1;
}

int Lua_ExplorerExec(lua_State* state) {
  lua_pushboolean(state, LaunchedThroughShell(ToWideArg(state, 1), ToWideArg(state, 2)));
  return 1;
}

int Lua_ShellExec(lua_State* state) {
  UniqueHandle process;
  const bool ok = StartHidden(L"open", ToWideArg(state, 1), ToWideArg(state, 2), std::wstring(), process);
  lua_pushboolean(state, ok);
  return 1;
}

int Lua_RegSvr32(lua_State* state) {
  const OleScope ole;
  const std::wstring path = ExistingPathArg(state, L"Lua_RegSvr32");
  lua_pushboolean(state, !path.empty() && CallRegistrationEntry(path, FlagArg(state, 2)));
  return 1;
}

int Lua_RegistDll(lua_State* state) {
  const OleScope ole;
  const std::wstring path = ExistingPathArg(state, L"Lua_RegistDll");
  lua_pushboolean(state, !path.empty() && StartRegsvr32(ToWideArg(state, 2), path));
  return 1;
}

int Lua_MsgBox(lua_State* state) {
  std::wstring text, caption;
  UINT flags = 0;
  switch (lua_gettop(state)) {
    case 3:
      flags = static_cast<UINT>(lua_tounsigned(state, 3));
      [[fallthrough]];
    case 2:
      caption = ToWideArg(state, 2);
      [[fallthrough]];
    case 1:
      text = ToWideArg(state, 1);
      break;
    default:
      break;
  }
  lua_pushnumber(state, CurrentSystemActions().messageBox(text, caption, flags));
  return 1;
}

}  // namespace kw
