// A real top-level window driven by a paint manager, for the control and
// image tests: notifications are recorded, painting goes through the
// window's own paint message, the mouse is moved by xdotool (as a person
// would) and screenshots are taken with ImageMagick's import, both run
// through the framework tests' RunUnix.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/handles.h"
#include "core/system_dll.h"
#include "ui/control.h"
#include "ui/dialog_builder.h"
#include "ui/paint_manager.h"
#include "framework_fixture.h"

namespace kwtest {

// Handles the thread's messages for `forMilliseconds` (0: those waiting).
inline void PumpMessages(DWORD forMilliseconds = 0) { kwui::Pump(forMilliseconds); }

// GDI+ started once for the whole test program, as the installer starts it
// before its first window; shut down at exit.
class GdiPlusEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { scope_ = std::make_unique<kw::GdiPlusScope>(kw::LoadSystemLibrary(L"gdiplus.dll")); }
  void TearDown() override {
    // As the installer does: the warm-up is done with GDI+ before it shuts down.
    DuiLib::CPaintManagerUI::Shutdown();
    scope_.reset();
  }

 private:
  std::unique_ptr<kw::GdiPlusScope> scope_;
};
inline ::testing::Environment* const gdiplusEnvironment =
    ::testing::AddGlobalTestEnvironment(new GdiPlusEnvironment);

class TestHost : public DuiLib::INotifyUI {
 public:
  // A popup window of `width` x `height` (as the skin writes them) at
  // (x, y) on the screen, at `dpi`, showing `root`.
  TestHost(DuiLib::CControlUI* root, int width, int height, int dpi = 96, int x = 40, int y = 40) {
    Open(width, height, x, y);
    Show(root, dpi);
  }
  // The same for a skin's markup ("<Window>...</Window>"), built by the
  // dialog builder with this window's manager.
  TestHost(std::wstring_view markup, int width, int height, int dpi = 96, int x = 40, int y = 40) {
    Open(width, height, x, y);
    DuiLib::CDialogBuilder builder;
    DuiLib::CControlUI* root = builder.Create(markup, {}, nullptr, &manager_, nullptr);
    EXPECT_NE(root, nullptr);
    Show(root, dpi);
  }
  ~TestHost() {
    manager_.RemoveNotifier(this);
    if (window_) DestroyWindow(window_);
    PumpMessages();
  }
  TestHost(const TestHost&) = delete;
  TestHost& operator=(const TestHost&) = delete;

 private:
  void Open(int width, int height, int x, int y) {
    static const ATOM registered = [] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = Proc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
      wc.lpszClassName = L"KwUiTestHost";
      return RegisterClassW(&wc);
    }();
    (void)registered;
    window_ = CreateWindowExW(0, L"KwUiTestHost", L"KwUiTestHost", WS_POPUP, x, y, width, height, nullptr, nullptr,
                              GetModuleHandleW(nullptr), this);
    manager_.Init(window_);
  }
  void Show(DuiLib::CControlUI* root, int dpi) {
    manager_.AttachDialog(root);
    manager_.AddNotifier(this);
    if (dpi != 96) manager_.SetDPI(dpi);
    ShowWindow(window_, SW_SHOWNOACTIVATE);
    Paint();
    PumpMessages(50);
    Clear();  // "windowinit" and the like
  }

 public:
  HWND Window() const { return window_; }
  DuiLib::CPaintManagerUI& Manager() { return manager_; }

  // Repaints the whole window now, through its paint message.
  void Paint() {
    PumpMessages();
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    PumpMessages();
    GdiFlush();
  }
  // A pixel of the offscreen surface (premultiplied BGRA) after a paint.
  std::uint32_t Pixel(int x, int y) const {
    const DuiLib::COffscreenSurface& s = manager_.GetOffscreenSurface();
    if (!s.IsValid() || x < 0 || y < 0 || x >= s.Width() || y >= s.Height()) return 0xDEADBEEF;
    return s.Row(y)[x] | 0;
  }

  // Notification types in order; Clear() forgets them.
  const std::vector<std::wstring>& Notes() const { return notes_; }
  const std::vector<DuiLib::TNotifyUI>& Notifications() const { return notifications_; }
  void Clear() {
    notes_.clear();
    notifications_.clear();
  }
  // Only the types of the given sender.
  std::vector<std::wstring> NotesOf(DuiLib::CControlUI* sender, bool withMouse = false) const {
    std::vector<std::wstring> out;
    for (const auto& n : notifications_) {
      if (n.sender != sender) continue;
      if (!withMouse && (n.type == L"mousemove" || n.type == L"mouseenter" || n.type == L"mouseleave" ||
                         n.type == L"mousehover" || n.type == L"setfocus" || n.type == L"killfocus"))
        continue;
      out.push_back(n.type);
    }
    return out;
  }

  // The real mouse, in client coordinates of this window. Each step
  // returns once the window has seen it.
  void MouseTo(int x, int y) {
    POINT target{x, y};
    ClientToScreen(window_, &target);
    Xdotool(L"mousemove " + std::to_wstring(target.x) + L" " + std::to_wstring(target.y));
    kwui::PumpUntil([&] {
      POINT at{};
      GetCursorPos(&at);
      return at.x == target.x && at.y == target.y;
    });
    PumpMessages(50);
  }
  void MouseDown() { Button(L"mousedown 1", true); }
  void MouseUp() { Button(L"mouseup 1", false); }
  void Click(int x, int y) {
    MouseTo(x, y);
    MouseDown();
    MouseUp();
  }
  // A screenshot of this window into a PNG file (Windows path).
  bool Screenshot(const std::wstring& path) {
    Paint();
    RECT r{};
    GetWindowRect(window_, &r);
    DeleteFileW(path.c_str());
    const std::wstring crop = std::to_wstring(r.right - r.left) + L"x" + std::to_wstring(r.bottom - r.top) + L"+" +
                              std::to_wstring(r.left) + L"+" + std::to_wstring(r.top);
    return kwui::RunUnix(L"/usr/bin/import -window root -crop " + crop + L" +repage '" + UnixPath(path) + L"'") == 0;
  }

  void Notify(DuiLib::TNotifyUI& notification) override {
    notes_.push_back(notification.type);
    notifications_.push_back(notification);
  }

 private:
  static std::wstring UnixPath(const std::wstring& windowsPath) {
    // Z: is the root of the Unix side.
    std::wstring p = windowsPath;
    if (p.size() > 2 && (p[0] == L'Z' || p[0] == L'z') && p[1] == L':') p = p.substr(2);
    for (wchar_t& c : p)
      if (c == L'\\') c = L'/';
    return p;
  }
  void Xdotool(const std::wstring& arguments) {
    EXPECT_EQ(kwui::RunUnix(L"/usr/bin/xdotool " + arguments), 0) << std::string(arguments.begin(), arguments.end());
  }
  // Presses or releases the left button; returns once the system says so.
  void Button(const wchar_t* arguments, bool down) {
    Xdotool(arguments);
    kwui::PumpUntil([down] { return ((GetAsyncKeyState(VK_LBUTTON) & 0x8000) != 0) == down; });
    PumpMessages(50);
  }
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
      auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* host = reinterpret_cast<TestHost*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (host && host->window_ == window) {
      LRESULT result = 0;
      if (message == WM_NCDESTROY) {
        host->window_ = nullptr;
      } else if (host->manager_.MessageHandler(message, wParam, lParam, result)) {
        return result;
      }
    }
    return DefWindowProcW(window, message, wParam, lParam);
  }

  HWND window_ = nullptr;
  DuiLib::CPaintManagerUI manager_;
  std::vector<std::wstring> notes_;
  std::vector<DuiLib::TNotifyUI> notifications_;
};

}  // namespace kwtest
