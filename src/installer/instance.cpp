#include "installer/instance.h"

#include <cwchar>

#include "core/trace.h"

namespace kw {

HANDLE CreateAppInstance(const wchar_t* name, int appId) {
  wchar_t objectName[MAX_PATH];
  // A name that does not fit is cut to the buffer; both instances cut it the
  // same way, so they still meet on the same object.
  if (appId != 0)
    _snwprintf(objectName, MAX_PATH, L"%s%d", name, appId);
  else
    _snwprintf(objectName, MAX_PATH, L"%s", name);
  objectName[MAX_PATH - 1] = L'\0';
  DebugTrace(L" szObjectName = %s ", objectName);

  SECURITY_DESCRIPTOR descriptor;
  InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE);  // everyone may open it
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), &descriptor, TRUE};

  HANDLE mutex = CreateMutexW(&attributes, FALSE, objectName);
  if (!mutex || GetLastError() != ERROR_ALREADY_EXISTS) return nullptr;

  if (HWND other = FindWindowW(L"CDlgInstall", nullptr)) SwitchToThisWindow(other, TRUE);
  return mutex;
}

}  // namespace kw
