#include "installer/shell_api.h"

#include "installer/system_dll.h"

namespace kw::shell {

namespace {

const ModuleHandle& Shell32() {
  static const ModuleHandle module(LoadSystemLibrary(L"shell32.dll"));
  return module;
}

const ModuleHandle& Shlwapi() {
  static const ModuleHandle module(LoadSystemLibrary(L"shlwapi.dll"));
  return module;
}

}  // namespace

LPWSTR* CommandLineToArgv(LPCWSTR commandLine, int* count) {
  using Fn = LPWSTR*(WINAPI*)(LPCWSTR, int*);
  static const Fn fn = Shell32().Proc<Fn>("CommandLineToArgvW");
  if (fn) return fn(commandLine, count);
  *count = 0;
  return nullptr;
}

HINSTANCE Execute(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR folder, int show) {
  using Fn = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
  static const Fn fn = Shell32().Proc<Fn>("ShellExecuteW");
  return fn ? fn(owner, verb, file, parameters, folder, show) : reinterpret_cast<HINSTANCE>(SE_ERR_DLLNOTFOUND);
}

BOOL ExecuteEx(SHELLEXECUTEINFOW* info) {
  using Fn = BOOL(WINAPI*)(SHELLEXECUTEINFOW*);
  static const Fn fn = Shell32().Proc<Fn>("ShellExecuteExW");
  return fn ? fn(info) : FALSE;
}

BOOL PathIsUrl(LPCWSTR text) {
  using Fn = BOOL(WINAPI*)(LPCWSTR);
  static const Fn fn = Shlwapi().Proc<Fn>("PathIsURLW");
  return fn ? fn(text) : FALSE;
}

}  // namespace kw::shell
