#include "script/system_actions.h"

#include <utility>

namespace kw {

namespace {

SystemActions& Actions() {
  static SystemActions actions{
      [](const std::wstring& text, const std::wstring& caption, UINT flags) {
        return MessageBoxW(nullptr, text.c_str(), caption.c_str(), flags);
      },
      [](UINT flags, DWORD reason) { return ExitWindowsEx(flags, reason); },
      [](HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags) {
        return MessageBoxW(owner, text.c_str(), caption.c_str(), flags);
      },
  };
  return actions;
}

}  // namespace

const SystemActions& CurrentSystemActions() { return Actions(); }

ScopedSystemActions::ScopedSystemActions(SystemActions replacement) : saved_(Actions()) {
  if (replacement.messageBox) Actions().messageBox = std::move(replacement.messageBox);
  if (replacement.exitWindows) Actions().exitWindows = std::move(replacement.exitWindows);
  if (replacement.ownedMessageBox) Actions().ownedMessageBox = std::move(replacement.ownedMessageBox);
}

ScopedSystemActions::~ScopedSystemActions() { Actions() = std::move(saved_); }

}  // namespace kw
