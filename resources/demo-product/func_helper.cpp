// func_helper.dll, the demo product's helper library that the install and
// uninstall scripts call through native calls. Exports are __stdcall with
// undecorated names.
#include <windows.h>
#include <aclapi.h>
#include <shlobj.h>

#include <string>

#include "data_access.h"

namespace {

// Releases a COM interface on scope exit.
template <typename T>
struct ComRef {
  T* p = nullptr;
  ~ComRef() {
    if (p) p->Release();
  }
};

struct ComScope {
  HRESULT hr = CoInitialize(nullptr);
  ~ComScope() {
    if (SUCCEEDED(hr)) CoUninitialize();
  }
};

std::wstring FolderOf(const std::wstring& path) {
  const auto slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

const wchar_t kMenuKey[] = L"Software\\Classes\\*\\shell\\KWSweep";

}  // namespace

extern "C" {

__declspec(dllexport) BOOL WINAPI IsOSWin7() {
  OSVERSIONINFOEXW version{};
  version.dwOSVersionInfoSize = sizeof(version);
  version.dwMajorVersion = 6;
  version.dwMinorVersion = 1;
  DWORDLONG mask = 0;
  mask = VerSetConditionMask(mask, VER_MAJORVERSION, VER_GREATER_EQUAL);
  mask = VerSetConditionMask(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
  return VerifyVersionInfoW(&version, VER_MAJORVERSION | VER_MINORVERSION, mask);
}

// Lets local users change the product's data files (the rules it updates)
// without elevation; the program files stay an administrator's. A "data"
// that is a link or junction is refused: the rights would land where it points.
__declspec(dllexport) BOOL WINAPI AllowAccountPrivilege(const wchar_t* folder) {
  if (!folder || !*folder) return FALSE;
  const std::wstring data = kwdemo::DataFolder(folder);
  if (!CreateDirectoryW(data.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return FALSE;
  const DWORD attributes = GetFileAttributesW(data.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return FALSE;
  PACL oldAcl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(data.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &oldAcl,
                            nullptr, &descriptor) != ERROR_SUCCESS)
    return FALSE;
  BOOL ok = FALSE;
  if (PACL newAcl = kwdemo::DataFolderAcl(oldAcl)) {
    ok = SetNamedSecurityInfoW(const_cast<wchar_t*>(data.c_str()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                               nullptr, newAcl, nullptr) == ERROR_SUCCESS;
    LocalFree(newAcl);
  }
  LocalFree(descriptor);
  return ok;
}

// "<desktop>\<name>.lnk" to the main program. The window class is the one a
// running copy shows; the shortcut names it in its description so support
// staff can match the two.
__declspec(dllexport) void WINAPI CreateDesktopShortcut(const wchar_t* target, const wchar_t* windowClass,
                                                        const wchar_t* name) {
  if (!target || !name || !*name) return;
  wchar_t desktop[MAX_PATH];
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY | CSIDL_FLAG_CREATE, nullptr, 0, desktop))) return;
  const std::wstring link = std::wstring(desktop) + L"\\" + name + L".lnk";
  ComScope com;
  ComRef<IShellLinkW> shell;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&shell.p))))
    return;
  shell.p->SetPath(target);
  shell.p->SetWorkingDirectory(FolderOf(target).c_str());
  if (windowClass) shell.p->SetDescription(windowClass);
  ComRef<IPersistFile> file;
  if (FAILED(shell.p->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file.p)))) return;
  file.p->Save(link.c_str(), TRUE);
}

// The product's context-menu entry: "/u" removes it, anything else adds it.
// Returns 0 on success, else the registry error.
__declspec(dllexport) int WINAPI DllRegEx(const char* argument) {
  if (argument && lstrcmpiA(argument, "/u") == 0) {
    const LONG result = RegDeleteTreeW(HKEY_CURRENT_USER, kMenuKey);
    return result == ERROR_FILE_NOT_FOUND ? 0 : static_cast<int>(result);
  }
  HKEY key;
  LONG result = RegCreateKeyExW(HKEY_CURRENT_USER, kMenuKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
  if (result != ERROR_SUCCESS) return static_cast<int>(result);
  static const wchar_t kText[] = L"Clean with KWSweep";
  result = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(kText), sizeof(kText));
  RegCloseKey(key);
  return static_cast<int>(result);
}

}  // extern "C"
