#include "core/launch.h"

#include "core/encoding.h"

namespace kw {

std::wstring ExplorerCommand(const std::wstring& path, const std::wstring& parameters) {
  return L"explorer.exe \"" + path + L"\" \"" + parameters + L"\"";
}

UINT ExplorerLaunch(const std::wstring& path, const std::wstring& parameters) {
  const std::string command = FromWide(CP_ACP, ExplorerCommand(path, parameters));
  return WinExec(command.c_str(), SW_SHOWNORMAL);
}

void BringToFront(HWND window) {
  const DWORD foregroundThread = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
  const DWORD ownThread = GetCurrentThreadId();
  const bool attached = foregroundThread != ownThread && AttachThreadInput(ownThread, foregroundThread, TRUE);
  ShowWindow(window, SW_SHOWNORMAL);
  SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetForegroundWindow(window);
  if (attached) AttachThreadInput(ownThread, foregroundThread, FALSE);
}

}  // namespace kw
