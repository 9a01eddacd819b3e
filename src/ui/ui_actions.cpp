#include "ui/ui_actions.h"

namespace DuiLib {

namespace {

UiActions& Actions() {
  static UiActions actions{
      [](HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags) {
        return MessageBoxW(owner, text.c_str(), caption.c_str(), flags);
      },
      [](UINT exitCode) { ExitProcess(exitCode); }};
  return actions;
}

}  // namespace

const UiActions& CurrentUiActions() { return Actions(); }

ScopedUiActions::ScopedUiActions(UiActions replacement) : saved_(Actions()) {
  if (replacement.messageBox) Actions().messageBox = std::move(replacement.messageBox);
  if (replacement.exitProcess) Actions().exitProcess = std::move(replacement.exitProcess);
}

ScopedUiActions::~ScopedUiActions() { Actions() = std::move(saved_); }

}  // namespace DuiLib
