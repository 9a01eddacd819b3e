// A framework window from a skin file, for process-level checks and manual
// runs: ui_framework_driver.exe SKIN_FOLDER SKIN_FILE [--answer-boxes]
// prints every notification ("type sender wParam lParam") to stdout. With
// --answer-boxes a message box is answered at once and its caption and text
// go to the debugger output as "box: CAPTION: TEXT" (non-ASCII as \\uXXXX).
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

#include "ui/paint_manager.h"
#include "ui/control.h"
#include "ui/ui_actions.h"
#include "ui/window_base.h"

namespace {

// Debugger output may pass through the ANSI code page: non-ASCII as \uXXXX.
std::wstring Escaped(const std::wstring& text) {
  std::wstring out;
  for (wchar_t ch : text) {
    if (ch < 0x80) {
      out += ch;
    } else {
      wchar_t code[8];
      std::swprintf(code, 8, L"\\u%04X", static_cast<unsigned>(ch));
      out += code;
    }
  }
  return out;
}

class DriverWindow : public DuiLib::WindowImplBase {
 public:
  explicit DriverWindow(std::wstring skin) : skin_(std::move(skin)) {}
  void Notify(DuiLib::TNotifyUI& n) override {
    std::wprintf(L"%ls %ls %lu %ld\n", n.type.c_str(), n.sender ? n.sender->GetName().c_str() : L"-",
                 static_cast<unsigned long>(n.wParam), static_cast<long>(n.lParam));
    std::fflush(stdout);
    WindowImplBase::Notify(n);
  }

 protected:
  std::wstring_view GetWindowClassName() const override { return L"KwFrameworkDriver"; }
  std::wstring GetSkinFile() override { return skin_; }
  LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) override {
    PostQuitMessage(0);
    handled = FALSE;
    return 0;
  }

 private:
  std::wstring skin_;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fwprintf(stderr, L"usage: ui_framework_driver SKIN_FOLDER SKIN_FILE [--answer-boxes]\n");
    return 2;
  }
  std::unique_ptr<DuiLib::ScopedUiActions> answers;
  if (argc > 3 && std::wstring(argv[3]) == L"--answer-boxes") {
    answers = std::make_unique<DuiLib::ScopedUiActions>(DuiLib::UiActions{
        [](HWND, const std::wstring& text, const std::wstring& caption, UINT) {
          OutputDebugStringW((L"box: " + Escaped(caption) + L": " + Escaped(text)).c_str());
          return IDOK;
        },
        nullptr});
  }
  DuiLib::CPaintManagerUI::SetResourceInstance(GetModuleHandleW(nullptr));
  DuiLib::CPaintManagerUI::SetResourcePath(argv[1]);
  DriverWindow window(argv[2]);
  if (!window.Create(nullptr, L"KW Framework Driver", 0x96C80000, WS_EX_WINDOWEDGE)) return 3;
  window.CenterWindow();
  window.ShowWindow(true, true);
  const int code = DuiLib::CPaintManagerUI::MessageLoop();
  DuiLib::CPaintManagerUI::Shutdown();
  return code;
}
