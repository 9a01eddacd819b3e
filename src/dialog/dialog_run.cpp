#include "dialog/dialog_run.h"

#include "dialog/dlg_install.h"
#include "ui/paint_manager.h"

namespace kw {

void RunInstallDialog(HWND listenWindow) {
  constexpr DWORD kStyle = 0x96C80000;   // popup, visible, caption, border, system menu, clip siblings/children
  constexpr DWORD kExStyle = 0x100;      // window edge
  constexpr int kDefault = static_cast<int>(0x80000000);  // CW_USEDEFAULT
  CDlgInstall dialog(listenWindow);
  if (dialog.Create(nullptr, L"", kStyle, kExStyle, kDefault, kDefault, kDefault, kDefault, nullptr))
    DuiLib::CPaintManagerUI::MessageLoop();
  DuiLib::CPaintManagerUI::Shutdown();
}

}  // namespace kw
