// The two things the library does that must never happen for real in a test
// run: a message box that waits for a person, and ending the session. Tests
// put recorders in their place with ScopedSystemActions.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

namespace kw {

struct SystemActions {
  std::function<int(const std::wstring& text, const std::wstring& caption, UINT flags)> messageBox;
  std::function<BOOL(UINT flags, DWORD reason)> exitWindows;
  // A box owned by one of our windows (the install dialog's prompts).
  std::function<int(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags)> ownedMessageBox;
};

// MessageBoxW (without and with owner) and ExitWindowsEx unless replaced.
const SystemActions& CurrentSystemActions();

class ScopedSystemActions {
 public:
  // Empty members keep the current action.
  explicit ScopedSystemActions(SystemActions replacement);
  ~ScopedSystemActions();
  ScopedSystemActions(const ScopedSystemActions&) = delete;
  ScopedSystemActions& operator=(const ScopedSystemActions&) = delete;

 private:
  SystemActions saved_;
};

}  // namespace kw
