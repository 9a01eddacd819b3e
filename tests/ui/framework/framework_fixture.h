// A framework window built from markup for the tests, the message pump they
// use and the Unix tools (xdotool, import) they drive through Wine.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "core/handles.h"
#include "ui/container.h"
#include "ui/paint_manager.h"
#include "ui/window_base.h"

namespace kwui {

struct Seen {
  std::wstring type;
  std::wstring sender;  // empty when there is none
  DuiLib::CControlUI* senderPointer = nullptr;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

// A window whose skin is the markup (or file name) given; records every
// notification it is sent, also those without sender.
class TestWindow : public DuiLib::WindowImplBase {
 public:
  explicit TestWindow(std::wstring skin) : skin_(std::move(skin)) {}
  ~TestWindow() override;

  // Creates it like the installer's dialog, at (x, y), shown and laid out.
  bool Open(int x = 100, int y = 100, bool layered = false);
  void Destroy();
  DuiLib::CPaintManagerUI& Manager() { return paintManager_; }
  DuiLib::CControlUI* Find(const wchar_t* name) { return paintManager_.FindControl(name); }
  RECT WindowRect() const;
  RECT Pos(const wchar_t* name);
  std::vector<Seen> seen;
  int Count(const std::wstring& type, const std::wstring& sender = L"*") const;
  std::vector<DuiLib::TNotifyUI> clicks;

  void Notify(DuiLib::TNotifyUI& notification) override;

 protected:
  std::wstring_view GetWindowClassName() const override { return L"KwFrameworkTestWindow"; }
  std::wstring GetSkinFile() override { return skin_; }

 private:
  std::wstring skin_;
};

// Runs the thread's messages through the framework's loop step for `ms`.
void Pump(DWORD ms);
// Pumps until `done` answers true or `ms` passed; returns `done()`.
bool PumpUntil(const std::function<bool()>& done, DWORD ms = 3000);
// Runs a Unix program (Wine starts ELF files) while pumping messages; its
// exit code, or -1.
int RunUnix(const std::wstring& commandLine, DWORD timeoutMs = 20000);
// The screen's pixels of a rectangle as 0xRRGGBB, row by row (import).
std::vector<unsigned> Screenshot(const RECT& area);

// A plain opaque window of one colour (a background to look through).
class ColourWindow {
 public:
  ColourWindow(const RECT& rect, COLORREF colour);
  HWND Get() const { return window_.Get(); }

 private:
  kw::UniqueWindow window_;
};

// A clickable leaf registered as "TestButton" (class "ButtonUI"): "click" on
// a press and release inside it.
class CTestButtonUI : public DuiLib::CControlUI {
 public:
  std::wstring_view GetClassName() const override { return L"ButtonUI"; }
  UINT GetControlFlags() const override { return DuiLib::UIFLAG_TABSTOP; }
  void HandleEvent(DuiLib::TEventUI& event) override;

 private:
  bool captured_ = false;
};

void RegisterTestControls();

}  // namespace kwui
