#include "framework_fixture.h"

#include <cstdio>

#include "core/handles.h"
#include "temp_folder.h"
#include "ui/control_factory.h"

namespace kwui {

TestWindow::~TestWindow() { Destroy(); }

bool TestWindow::Open(int x, int y, bool layered) {
  (void)layered;
  if (!Create(nullptr, L"KW Framework Test", 0x96C80000, WS_EX_WINDOWEDGE)) return false;
  SetWindowPos(GetHWND(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ShowWindow(true, true);
  UpdateWindow(GetHWND());
  return PumpUntil([this] {
    DuiLib::CControlUI* root = paintManager_.GetRoot();
    return root && !paintManager_.IsFirstLayout() && !IsRectEmpty(&root->GetPos());
  });
}

void TestWindow::Destroy() {
  // Under Wine without a window manager this takes about 2 s: Wine waits for
  // the withdrawal of a window created with a caption.
  if (IsWindow(GetHWND())) DestroyWindow(GetHWND());
  Pump(20);
}

RECT TestWindow::WindowRect() const {
  RECT rect{};
  GetWindowRect(GetHWND(), &rect);
  return rect;
}

RECT TestWindow::Pos(const wchar_t* name) {
  DuiLib::CControlUI* control = Find(name);
  return control ? control->GetPos() : RECT{-1, -1, -1, -1};
}

int TestWindow::Count(const std::wstring& type, const std::wstring& sender) const {
  int count = 0;
  for (const Seen& s : seen) {
    if (s.type == type && (sender == L"*" || s.sender == sender)) ++count;
  }
  return count;
}

void TestWindow::Notify(DuiLib::TNotifyUI& notification) {
  seen.push_back(Seen{notification.type, notification.sender ? notification.sender->GetName() : std::wstring(),
                      notification.sender, notification.wParam, notification.lParam});
  WindowImplBase::Notify(notification);
}

void Pump(DWORD ms) {
  PumpUntil([] { return false; }, ms);
}

bool PumpUntil(const std::function<bool()>& done, DWORD ms) {
  const DWORD start = GetTickCount();
  while (true) {
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (!DuiLib::CPaintManagerUI::TranslateMessage(&message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
    }
    if (done()) return true;
    if (GetTickCount() - start >= ms) return done();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

namespace {

// The Unix path of a Windows path (Wine's own conversion).
std::string UnixPath(const std::wstring& path) {
  using ToUnix = char*(CDECL*)(const wchar_t*);
  static ToUnix toUnix = reinterpret_cast<ToUnix>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!toUnix) return {};
  char* converted = toUnix(path.c_str());
  if (!converted) return {};
  std::string result(converted);
  HeapFree(GetProcessHeap(), 0, converted);
  return result;
}

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

}  // namespace

int RunUnix(const std::wstring& commandLine, DWORD timeoutMs) {
  // Wine hands out no waitable handle for a Unix child: the shell leaves
  // the exit code in a file when the command is done.
  const kwtest::TempFolder scratch(L"unix");
  const std::wstring marker = scratch.Path(L"done.txt");
  std::wstring line = L"/bin/sh -c \"" + commandLine + L"; echo $? > '" + Widen(UnixPath(marker)) + L"'\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return -1;
  }
  kw::UniqueHandle thread(process.hThread);
  kw::UniqueHandle child(process.hProcess);
  // Messages keep flowing meanwhile: the window under the tool's input answers.
  const bool done = PumpUntil([&] { return GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES; }, timeoutMs);
  if (!done) return -1;
  Pump(30);  // the file may still be being written
  FILE* in = _wfopen(marker.c_str(), L"rb");
  if (!in) return -1;
  int code = -1;
  if (fscanf(in, "%d", &code) != 1) code = -1;
  fclose(in);
  return code;
}

std::vector<unsigned> Screenshot(const RECT& area) {
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  const kwtest::TempFolder scratch(L"shot");
  const std::wstring file = scratch.Path(L"shot.rgb");
  const std::string unixPath = UnixPath(file);
  if (unixPath.empty()) return {};
  wchar_t command[1024];
  swprintf(command, 1024, L"/usr/bin/import -window root -crop %dx%d+%d+%d +repage -depth 8 rgb:%hs", width,
           height, static_cast<int>(area.left), static_cast<int>(area.top), unixPath.c_str());
  if (RunUnix(command) != 0) return {};
  std::vector<unsigned> pixels;
  FILE* in = _wfopen(file.c_str(), L"rb");
  if (!in) return {};
  std::vector<unsigned char> bytes(static_cast<std::size_t>(width) * height * 3);
  const std::size_t read = fread(bytes.data(), 1, bytes.size(), in);
  fclose(in);
  if (read != bytes.size()) return {};
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    pixels.push_back((unsigned{bytes[i]} << 16) | (unsigned{bytes[i + 1]} << 8) | bytes[i + 2]);
  }
  return pixels;
}

namespace {

LRESULT CALLBACK ColourProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    kw::UniqueBrush brush(CreateSolidBrush(static_cast<COLORREF>(GetWindowLongPtrW(window, GWLP_USERDATA))));
    FillRect(dc, &paint.rcPaint, brush.Get());
    EndPaint(window, &paint);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

ColourWindow::ColourWindow(const RECT& rect, COLORREF colour) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = ColourProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"KwColourWindow";
  RegisterClassW(&wc);
  window_.Reset(CreateWindowExW(0, L"KwColourWindow", L"KW Colour", WS_POPUP, rect.left, rect.top,
                                rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, wc.hInstance, nullptr));
  SetWindowLongPtrW(window_.Get(), GWLP_USERDATA, static_cast<LONG_PTR>(colour));
  ::ShowWindow(window_.Get(), SW_SHOWNOACTIVATE);
  UpdateWindow(window_.Get());
  Pump(50);
}

void CTestButtonUI::HandleEvent(DuiLib::TEventUI& event) {
  if (event.type == DuiLib::UIEVENT_BUTTONDOWN) {
    captured_ = true;
    return;
  }
  if (event.type == DuiLib::UIEVENT_BUTTONUP) {
    const bool inside = captured_ && PtInRect(&itemRect_, event.mousePoint);
    captured_ = false;
    if (inside && manager_) manager_->SendNotify(this, L"click");
    return;
  }
  CControlUI::HandleEvent(event);
}

void RegisterTestControls() {
  DuiLib::CControlFactory::Instance().RegisterControl(L"CTestButtonUI",
                                                       []() -> DuiLib::CControlUI* { return new CTestButtonUI; });
}

}  // namespace kwui
