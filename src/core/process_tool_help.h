// Finding and ending processes, and switching privileges of our own token.
#pragma once
#include <windows.h>
#include <tlhelp32.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/handles.h"

namespace kw {

// A process snapshot taken for one operation, plus the NT device names of
// the drives, read on first use.
class ProcessToolHelp {
 public:
  ProcessToolHelp();

  // Every entry but the idle process (id 0), in snapshot order.
  void ForEach(const std::function<void(const PROCESSENTRY32W&)>& visit) const;
  // Ids of the processes whose executable file name is `name` (ignoring case).
  std::vector<DWORD> FindAll(const std::wstring& name) const;
  // The first of them, or -1.
  long FindFirst(const std::wstring& name) const;

  // The image file of a process as a drive path; nothing when the process
  // cannot be opened or asked.
  std::optional<std::wstring> ImagePath(DWORD processId);

 private:
  UniqueHandle snapshot_;
  std::map<std::wstring, std::wstring> devices_;  // "\Device\HarddiskVolume1" -> "C:"
  bool devicesRead_ = false;
};

// "\Device\HarddiskVolume1\dir\a.exe" -> "C:\dir\a.exe": the device part (up
// to the third backslash) becomes its drive; an unknown device part is dropped.
std::wstring DevicePathToDrivePath(const std::wstring& path, const std::map<std::wstring, std::wstring>& devices);

// Asks the process's top-level windows to close, gives it 3 s, then ends it.
// True when the process is gone (or never existed).
bool EndProcessGracefully(DWORD processId);

// Enables or disables one privilege of the process token. False when any
// step fails or the token does not hold the privilege.
bool EnablePrivilege(const wchar_t* name, bool enable);

}  // namespace kw
