#include "core/system_dll.h"

#include <string>
#include <string_view>

namespace kw {

namespace {

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif
#ifndef LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR
#define LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR 0x00000100
#endif

// Windows 7 without the KB2533623 update lacks the search flags.
bool SearchFlagsSupported() {
  static const bool supported =
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories") != nullptr;
  return supported;
}

}  // namespace

void RestrictDllSearchToSystem() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (setDefault) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Also drops the current directory from the search on systems without the
  // flags above.
  SetDllDirectoryW(L"");
}

HMODULE LoadSystemLibrary(const wchar_t* fileName) {
  if (SearchFlagsSupported()) return LoadLibraryExW(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  std::wstring path = SystemFolder();
  if (path.empty()) return nullptr;
  path += L'\\';
  path += fileName;
  return LoadLibraryW(path.c_str());
}

HMODULE LoadLibraryByNameOrPath(const wchar_t* nameOrPath) {
  if (!nameOrPath || !*nameOrPath) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  const std::wstring_view name(nameOrPath);
  if (name.find_first_of(L"\\/") == std::wstring_view::npos) return LoadLibraryW(nameOrPath);
  // The search flags below take only fully qualified paths.
  const DWORD units = GetFullPathNameW(nameOrPath, 0, nullptr, nullptr);
  if (units == 0) return nullptr;
  std::wstring full(units, L'\0');
  const DWORD length = GetFullPathNameW(nameOrPath, units, full.data(), nullptr);
  if (length == 0 || length >= units) return nullptr;
  full.resize(length);
  if (SearchFlagsSupported())
    return LoadLibraryExW(full.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  return LoadLibraryExW(full.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

std::wstring ModuleFileName(HMODULE module) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
}

const UniqueModule& Shell32() {
  static const UniqueModule& module = *new UniqueModule(LoadSystemLibrary(L"shell32.dll"));
  return module;
}

const UniqueModule& Shlwapi() {
  static const UniqueModule& module = *new UniqueModule(LoadSystemLibrary(L"shlwapi.dll"));
  return module;
}

HMODULE LoadLibraryBesideExecutable(const wchar_t* fileName) {
  std::wstring path = ExecutablePath();
  const std::size_t slash = path.find_last_of(L'\\');
  if (slash == std::wstring::npos) return nullptr;
  path.resize(slash + 1);
  path += fileName;
  return LoadLibraryByNameOrPath(path.c_str());
}

std::wstring SystemFolder() {
  wchar_t system[MAX_PATH];
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::wstring(system, length);
}

}  // namespace kw
