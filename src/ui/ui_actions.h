// The framework's only prompt and its only way to end the process, behind
// replaceable actions so that tests answer the box and see the exit code.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

namespace DuiLib {

struct UiActions {
  std::function<int(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags)> messageBox;
  std::function<void(UINT exitCode)> exitProcess;
};

// MessageBoxW and ExitProcess unless replaced.
const UiActions& CurrentUiActions();

class ScopedUiActions {
 public:
  // Empty members keep the current action.
  explicit ScopedUiActions(UiActions replacement);
  ~ScopedUiActions();
  ScopedUiActions(const ScopedUiActions&) = delete;
  ScopedUiActions& operator=(const ScopedUiActions&) = delete;

 private:
  UiActions saved_;
};

}  // namespace DuiLib
