#include "core/process_tool_help.h"

#include <psapi.h>

#include "core/handles.h"
#include "core/trace.h"

namespace kw {

namespace {

constexpr DWORD kCloseWaitMs = 3000;

BOOL CALLBACK PostCloseToProcessWindow(HWND window, LPARAM processId) {
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == static_cast<DWORD>(processId)) {
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    PostMessageW(window, WM_CLOSE, 0, 0);
  }
  return TRUE;
}

std::map<std::wstring, std::wstring> ReadDriveDevices() {
  std::map<std::wstring, std::wstring> devices;
  const DWORD units = GetLogicalDriveStringsW(0, nullptr);
  std::wstring roots(units + 1, L'\0');
  const DWORD written = units ? GetLogicalDriveStringsW(units, roots.data()) : 0;
  if (written == 0 || written > units) {
    KW_TRACE_FAILURE(L"GetLogicalDriveStrings failed");
    return devices;
  }
  for (const wchar_t* root = roots.c_str(); *root; root += wcslen(root) + 1) {
    const std::wstring drive(root, wcsnlen(root, 2));
    wchar_t device[MAX_PATH] = {};
    if (QueryDosDeviceW(drive.c_str(), device, MAX_PATH)) devices.emplace(device, drive);
  }
  return devices;
}

}  // namespace

ProcessToolHelp::ProcessToolHelp() : snapshot_(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0)) {}

void ProcessToolHelp::ForEach(const std::function<void(const PROCESSENTRY32W&)>& visit) const {
  if (!snapshot_) return;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot_.Get(), &entry); more; more = Process32NextW(snapshot_.Get(), &entry))
    if (entry.th32ProcessID != 0) visit(entry);
}

std::vector<DWORD> ProcessToolHelp::FindAll(const std::wstring& name) const {
  std::vector<DWORD> ids;
  ForEach([&](const PROCESSENTRY32W& entry) {
    if (lstrcmpiW(entry.szExeFile, name.c_str()) == 0) ids.push_back(entry.th32ProcessID);
  });
  return ids;
}

long ProcessToolHelp::FindFirst(const std::wstring& name) const {
  const std::vector<DWORD> ids = FindAll(name);
  return ids.empty() ? -1 : static_cast<long>(ids.front());
}

std::optional<std::wstring> ProcessToolHelp::ImagePath(DWORD processId) {
  UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
  if (!process.Valid()) return std::nullopt;
  wchar_t image[MAX_PATH] = {};
  const DWORD units = GetProcessImageFileNameW(process.Get(), image, MAX_PATH);
  if (units == 0) return std::nullopt;
  if (!devicesRead_) {
    devices_ = ReadDriveDevices();
    devicesRead_ = true;
  }
  return DevicePathToDrivePath(std::wstring(image, units), devices_);
}

std::wstring DevicePathToDrivePath(const std::wstring& path, const std::map<std::wstring, std::wstring>& devices) {
  std::size_t end = 0;
  for (int found = 0; found < 3; ++found) {
    end = path.find(L'\\', found == 0 ? 0 : end + 1);
    if (end == std::wstring::npos) return path;
  }
  const auto device = devices.find(path.substr(0, end));
  return (device == devices.end() ? std::wstring() : device->second) + path.substr(end);
}

bool EndProcessGracefully(DWORD processId) {
  if (processId == 0) return true;
  EnumWindows(PostCloseToProcessWindow, static_cast<LPARAM>(processId));
  EnablePrivilege(L"SeDebugPrivilege", true);
  UniqueHandle process(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, processId));
  // The system answers an id it does not know with "invalid parameter".
  if (!process.Valid()) return GetLastError() == ERROR_INVALID_PARAMETER;
  if (WaitForSingleObject(process.Get(), kCloseWaitMs) != WAIT_OBJECT_0) TerminateProcess(process.Get(), 0);
  return WaitForSingleObject(process.Get(), kCloseWaitMs) == WAIT_OBJECT_0;
}

bool EnablePrivilege(const wchar_t* name, bool enable) {
  UniqueHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, token.Receive())) {
    KW_TRACE_FAILURE(L"OpenProcessToken failed!");
    return false;
  }
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  if (!LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid)) {
    KW_TRACE_FAILURE(L"LookupPrivilegeValue failed!");
    return false;
  }
  privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
  // The call also succeeds when the token lacks the privilege; only the
  // last error tells.
  if (!AdjustTokenPrivileges(token.Get(), FALSE, &privileges, sizeof(privileges), nullptr, nullptr) ||
      GetLastError() == ERROR_NOT_ALL_ASSIGNED) {
    KW_TRACE_FAILURE(L"AdjustTokenPrivileges failed!");
    return false;
  }
  return true;
}

}  // namespace kw
