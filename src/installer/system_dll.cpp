#include "installer/system_dll.h"

#include <string>

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

std::wstring SystemFolder() {
  wchar_t system[MAX_PATH];
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::wstring(system, length);
}

HMODULE LoadSystemLibrary(const wchar_t* fileName) {
  if (SearchFlagsSupported()) return LoadLibraryExW(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  std::wstring path = SystemFolder();
  if (path.empty()) return nullptr;
  path += L'\\';
  path += fileName;
  return LoadLibraryW(path.c_str());
}

HMODULE LoadLibraryByFullPath(const wchar_t* fullPath) {
  if (SearchFlagsSupported())
    return LoadLibraryExW(fullPath, nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  return LoadLibraryExW(fullPath, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace kw
