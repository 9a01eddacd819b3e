#include "ui/window_base.h"

#include <windowsx.h>

#include <algorithm>
#include <cwctype>
#include <string>

#include "ui/control.h"
#include "ui/ui_actions.h"

namespace DuiLib {

namespace {

constexpr wchar_t kSuperclassProperty[] = L"WndX";
constexpr wchar_t kSkinFailure[] = L"加载资源文件失败：";
constexpr wchar_t kSkinFailureCaption[] = L"Duilib";

HINSTANCE Instance() { return CPaintManagerUI::GetResourceInstance(); }

int RoundUpTo16(int value) { return (value + 15) / 16 * 16; }

LRESULT NotHandled(BOOL& handled) {
  handled = FALSE;
  return 0;
}

}  // namespace

// ---------------- CWindowWnd ----------------

std::wstring_view CWindowWnd::GetSuperClassName() const { return {}; }
UINT CWindowWnd::GetClassStyle() const { return 0; }

bool CWindowWnd::RegisterWindowClass() {
  const std::wstring className(GetWindowClassName());
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = GetClassStyle();
  wc.lpfnWndProc = CWindowWnd::WindowProc;
  wc.hInstance = Instance();
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  wc.hbrBackground = nullptr;
  wc.lpszClassName = className.c_str();
  if (RegisterClassExW(&wc) != 0) return true;
  return GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool CWindowWnd::RegisterSuperclass() {
  const std::wstring superName(GetSuperClassName());
  const std::wstring className(GetWindowClassName());
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  if (!GetClassInfoExW(nullptr, superName.c_str(), &wc) && !GetClassInfoExW(Instance(), superName.c_str(), &wc)) {
    return false;
  }
  previousProc_ = wc.lpfnWndProc;
  wc.lpfnWndProc = CWindowWnd::ControlProc;
  wc.hInstance = Instance();
  wc.lpszClassName = className.c_str();
  if (RegisterClassExW(&wc) != 0) return true;
  return GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CWindowWnd::Create(HWND parent, std::wstring_view name, DWORD style, DWORD exStyle, int x, int y, int cx, int cy,
                        HMENU menu) {
  if (!GetSuperClassName().empty()) {
    if (!RegisterSuperclass()) return nullptr;
  } else if (!RegisterWindowClass()) {
    return nullptr;
  }
  const std::wstring className(GetWindowClassName());
  const std::wstring title(name);
  BeforeCreateWindow();
  window_ = CreateWindowExW(exStyle, className.c_str(), title.c_str(), style, x, y, cx, cy, parent, menu, Instance(),
                            this);
  return window_;
}

HWND CWindowWnd::Create(HWND parent, std::wstring_view name, DWORD style, DWORD exStyle, const RECT& rect, HMENU menu) {
  return Create(parent, name, style, exStyle, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                menu);
}

HWND CWindowWnd::Subclass(HWND window) {
  if (!IsWindow(window)) return nullptr;
  previousProc_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CWindowWnd::ControlProc)));
  if (!previousProc_) return nullptr;
  subclassed_ = true;
  window_ = window;
  SetPropW(window, kSuperclassProperty, this);
  return window_;
}

void CWindowWnd::Unsubclass() {
  if (!IsWindow(window_) || !subclassed_) return;
  SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc_));
  previousProc_ = ::DefWindowProcW;
  subclassed_ = false;
}

void CWindowWnd::ShowWindow(bool show, bool takeFocus) {
  if (!IsWindow(window_)) return;
  ::ShowWindow(window_, show ? (takeFocus ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
}

UINT CWindowWnd::ShowModal() {
  HWND owner = GetWindow(window_, GW_OWNER);
  ::ShowWindow(window_, SW_SHOWNORMAL);
  if (owner) EnableWindow(owner, FALSE);
  modal_ = true;
  MSG message{};
  while (IsWindow(window_) && GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_CLOSE && message.hwnd == window_) {
      if (owner) {
        EnableWindow(owner, TRUE);
        ::SetFocus(owner);
      }
      modal_ = false;
    }
    if (!CPaintManagerUI::TranslateMessage(&message)) {
      ::TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (message.message == WM_QUIT) break;
  }
  if (owner) EnableWindow(owner, TRUE);
  modal_ = false;
  if (message.message == WM_QUIT) PostQuitMessage(static_cast<int>(message.wParam));
  return static_cast<UINT>(message.wParam);
}

void CWindowWnd::Close(UINT result) {
  if (modal_) {
    if (HWND owner = GetWindow(window_, GW_OWNER)) {
      EnableWindow(owner, TRUE);
      ::SetFocus(owner);
    }
    modal_ = false;
  }
  if (IsWindow(window_)) ::PostMessageW(window_, WM_CLOSE, static_cast<WPARAM>(result), 0);
}

void CWindowWnd::CenterWindow() {
  if (!IsWindow(window_)) return;
  RECT dialog{};
  GetWindowRect(window_, &dialog);
  const int width = dialog.right - dialog.left;
  const int height = dialog.bottom - dialog.top;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT area = monitor.rcWork;
  RECT center = area;
  HWND owner = GetWindow(window_, GW_OWNER);
  if (owner && !IsIconic(owner)) {
    RECT ownerRect{};
    GetWindowRect(owner, &ownerRect);
    RECT overlap{};
    IntersectRect(&overlap, &ownerRect, &area);
    if (overlap.right - overlap.left >= 10 && overlap.bottom - overlap.top >= 10) center = ownerRect;
  }
  int x = (center.left + center.right) / 2 - width / 2;
  int y = (center.top + center.bottom) / 2 - height / 2;
  if (x + width > area.right) x = area.right - width;
  if (x < area.left) x = area.left;
  if (y + height > area.bottom) y = area.bottom - height;
  if (y < area.top) y = area.top;
  SetWindowPos(window_, nullptr, x, y, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWindowWnd::SetIcon(UINT resourceId) {
  const int big = RoundUpTo16(GetSystemMetrics(SM_CXICON));
  const int bigY = RoundUpTo16(GetSystemMetrics(SM_CYICON));
  const int small = RoundUpTo16(GetSystemMetrics(SM_CXSMICON));
  const int smallY = RoundUpTo16(GetSystemMetrics(SM_CYSMICON));
  kw::UniqueIcon bigIcon(static_cast<HICON>(
      LoadImageW(Instance(), MAKEINTRESOURCEW(resourceId), IMAGE_ICON, big, bigY, LR_DEFAULTCOLOR)));
  kw::UniqueIcon smallIcon(static_cast<HICON>(
      LoadImageW(Instance(), MAKEINTRESOURCEW(resourceId), IMAGE_ICON, small, smallY, LR_DEFAULTCOLOR)));
  if (bigIcon) {
    ::SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon.Get()));
    bigIcon_ = std::move(bigIcon);
  }
  if (smallIcon) {
    ::SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon.Get()));
    smallIcon_ = std::move(smallIcon);
  }
}

LRESULT CWindowWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return ::SendMessageW(window_, message, wParam, lParam);
}

LRESULT CWindowWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return ::PostMessageW(window_, message, wParam, lParam);
}

void CWindowWnd::ResizeClient(int cx, int cy) {
  RECT client{};
  if (!GetClientRect(window_, &client)) return;
  if (cx != -1) client.right = cx;
  if (cy != -1) client.bottom = cy;
  AdjustWindowRectEx(&client, static_cast<DWORD>(GetWindowLongW(window_, GWL_STYLE)),
                     GetMenu(window_) != nullptr, static_cast<DWORD>(GetWindowLongW(window_, GWL_EXSTYLE)));
  SetWindowPos(window_, nullptr, 0, 0, client.right - client.left, client.bottom - client.top,
               SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

LRESULT CWindowWnd::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return CallPreviousProc(message, wParam, lParam);
}

LRESULT CWindowWnd::CallPreviousProc(UINT message, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcW(previousProc_, window_, message, wParam, lParam);
}

void CWindowWnd::OnFinalMessage(HWND) {}

LRESULT CALLBACK CWindowWnd::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CWindowWnd* self = nullptr;
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    self = static_cast<CWindowWnd*>(create->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<CWindowWnd*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY && self) {
      const LRESULT result = CallWindowProcW(self->previousProc_, window, message, wParam, lParam);
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      if (self->subclassed_) self->Unsubclass();
      self->window_ = nullptr;
      self->OnFinalMessage(window);
      return result;
    }
  }
  if (self) return self->HandleMessage(message, wParam, lParam);
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK CWindowWnd::ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CWindowWnd* self = nullptr;
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    self = static_cast<CWindowWnd*>(create->lpCreateParams);
    SetPropW(window, kSuperclassProperty, self);
    self->window_ = window;
  } else {
    self = static_cast<CWindowWnd*>(GetPropW(window, kSuperclassProperty));
    if (message == WM_NCDESTROY && self) {
      const LRESULT result = CallWindowProcW(self->previousProc_, window, message, wParam, lParam);
      if (self->subclassed_) self->Unsubclass();
      RemovePropW(window, kSuperclassProperty);
      self->window_ = nullptr;
      self->OnFinalMessage(window);
      return result;
    }
  }
  if (self) return self->HandleMessage(message, wParam, lParam);
  return DefWindowProcW(window, message, wParam, lParam);
}

// ---------------- CNotifyPump ----------------

const NotifyMap* CNotifyPump::ClassMessageMap() {
  static const NotifyMapEntry entries[] = {{}};
  static const NotifyMap map{nullptr, entries};
  return &map;
}

const NotifyMap* CNotifyPump::GetMessageMap() const { return ClassMessageMap(); }

bool CNotifyPump::AddVirtualWnd(std::wstring_view name, CNotifyPump* pump) {
  if (name.empty() || !pump || virtualWindows_.count(std::wstring(name))) return false;
  virtualWindows_.emplace(std::wstring(name), pump);
  return true;
}

bool CNotifyPump::RemoveVirtualWnd(std::wstring_view name) {
  auto it = virtualWindows_.find(name);
  if (it == virtualWindows_.end()) return false;
  virtualWindows_.erase(it);
  return true;
}

void CNotifyPump::NotifyPump(TNotifyUI& notification) {
  if (!notification.virtualWindow.empty()) {
    auto it = virtualWindows_.find(notification.virtualWindow);
    if (it != virtualWindows_.end()) {
      it->second->LoopDispatch(notification);
      return;
    }
  }
  LoopDispatch(notification);
}

bool CNotifyPump::LoopDispatch(TNotifyUI& notification) {
  const std::wstring senderName = notification.sender ? notification.sender->GetName() : std::wstring();
  for (const NotifyMap* map = GetMessageMap(); map; map = map->base) {
    const NotifyMapEntry* anySender = nullptr;
    for (const NotifyMapEntry* entry = map->entries; entry && entry->type; ++entry) {
      if (notification.type != entry->type) continue;
      const bool forAny = !entry->controlName || !*entry->controlName;
      if (!forAny && notification.sender && senderName == entry->controlName) {
        (this->*entry->handler)(notification);
        return true;
      }
      if (forAny && !anySender) anySender = entry;
    }
    if (anySender) {
      (this->*anySender->handler)(notification);
      return true;
    }
  }
  return false;
}

// ---------------- WindowImplBase ----------------

const NotifyMap* WindowImplBase::ClassMessageMap() {
  static const NotifyMapEntry entries[] = {
      {L"click", nullptr, NotifyHandlerOf(&WindowImplBase::OnClick)},
      {L"headerclick", nullptr, NotifyHandlerOf(&WindowImplBase::OnHeaderClick)},
      {L"selectchanged", nullptr, NotifyHandlerOf(&WindowImplBase::OnSelectChanged)},
      {L"textchanged", nullptr, NotifyHandlerOf(&WindowImplBase::OnTextChanged)},
      {L"itemselect", nullptr, NotifyHandlerOf(&WindowImplBase::OnItemSelect)},
      {L"timer", nullptr, NotifyHandlerOf(&WindowImplBase::OnTimer)},
      {},
  };
  static const NotifyMap map{CNotifyPump::ClassMessageMap(), entries};
  return &map;
}

const NotifyMap* WindowImplBase::GetMessageMap() const { return ClassMessageMap(); }

UINT WindowImplBase::GetClassStyle() const { return CS_DBLCLKS; }

void WindowImplBase::OnClick(TNotifyUI& notification) {
  const std::wstring name = notification.sender ? notification.sender->GetName() : std::wstring();
  if (name == L"closebtn") {
    Close(1);
  } else if (name == L"minbtn") {
    SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
  } else if (name == L"maxbtn") {
    SendMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  } else if (name == L"restorebtn") {
    SendMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
  }
}

bool WindowImplBase::IsCaptionControl(CControlUI* control, POINT point) {
  static constexpr std::wstring_view kCaptionClasses[] = {
      L"controlui",   L"textui",        L"labelui",      L"containerui",   L"horizontallayoutui",
      L"verticallayoutui", L"tablayoutui", L"childlayoutui", L"dialoglayoutui", L"progresscontainerui"};
  if (!control) return false;
  for (CControlUI* c = control; c; c = c->GetParent()) {
    if (c->IsDynamic(point)) return false;
    std::wstring className(c->GetClassName());
    std::transform(className.begin(), className.end(), className.begin(),
                   [](wchar_t ch) { return static_cast<wchar_t>(std::towlower(ch)); });
    if (std::find(std::begin(kCaptionClasses), std::end(kCaptionClasses), className) == std::end(kCaptionClasses)) {
      return false;
    }
  }
  return true;
}

void WindowImplBase::Notify(TNotifyUI& notification) {
  if (!notification.sender) return;
  NotifyPump(notification);
}

LRESULT WindowImplBase::MessageHandler(UINT message, WPARAM wParam, LPARAM, bool& handled) {
  if (message == WM_KEYDOWN && (wParam == VK_RETURN || wParam == VK_ESCAPE)) {
    const LRESULT result = ResponseDefaultKeyEvent(wParam);
    handled = result != 0;
    return result;
  }
  return 0;
}

LRESULT WindowImplBase::ResponseDefaultKeyEvent(WPARAM key) { return key == VK_ESCAPE ? TRUE : FALSE; }

CControlUI* WindowImplBase::CreateControl(std::wstring_view) { return nullptr; }

std::wstring WindowImplBase::QueryControlText(std::wstring_view, std::wstring_view) { return {}; }

LRESULT WindowImplBase::OnClose(UINT, WPARAM, LPARAM, BOOL& handled) { return NotHandled(handled); }

LRESULT WindowImplBase::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) { return NotHandled(handled); }

LRESULT WindowImplBase::OnNcActivate(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
  if (IsIconic(window_)) {
    handled = FALSE;
    return 0;
  }
  return wParam == 0 ? TRUE : FALSE;
}

LRESULT WindowImplBase::OnNcCalcSize(UINT, WPARAM, LPARAM, BOOL&) { return 0; }

LRESULT WindowImplBase::OnNcPaint(UINT, WPARAM, LPARAM, BOOL&) { return 0; }

LRESULT WindowImplBase::OnNcHitTest(UINT, WPARAM, LPARAM lParam, BOOL&) {
  POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  ScreenToClient(window_, &point);
  RECT client{};
  GetClientRect(window_, &client);
  if (!IsZoomed(window_)) {
    const RECT inset = paintManager_.GetSizeBoxInset();
    client.left += inset.left;
    client.top += inset.top;
    client.right -= inset.right;
    client.bottom -= inset.bottom;
    const RECT box = paintManager_.GetSizeBox();
    if (point.y < client.top + box.top) {
      if (point.x < client.left + box.left) return HTTOPLEFT;
      if (point.x > client.right - box.right) return HTTOPRIGHT;
      return HTTOP;
    }
    if (point.y > client.bottom - box.bottom) {
      if (point.x < client.left + box.left) return HTBOTTOMLEFT;
      if (point.x > client.right - box.right) return HTBOTTOMRIGHT;
      return HTBOTTOM;
    }
    if (point.x < client.left + box.left) return HTLEFT;
    if (point.x > client.right - box.right) return HTRIGHT;
  }
  const RECT caption = paintManager_.GetCaptionRect();
  const int bottom = caption.bottom == -1 ? client.bottom : paintManager_.Scale(caption.bottom);
  if (point.x >= client.left + caption.left && point.x < client.right - caption.right && point.y >= caption.top &&
      point.y < bottom) {
    if (IsCaptionControl(paintManager_.FindControl(point), point)) return HTCAPTION;
  }
  return HTCLIENT;
}

LRESULT WindowImplBase::OnGetMinMaxInfo(UINT, WPARAM, LPARAM lParam, BOOL&) {
  auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
  HMONITOR monitor = MonitorFromWindow(window_, MONITOR_DEFAULTTONULL);
  if (!monitor) monitor = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
  MONITORINFO monitorInfo{};
  monitorInfo.cbSize = sizeof(monitorInfo);
  GetMonitorInfoW(monitor, &monitorInfo);
  RECT work = monitorInfo.rcWork;
  if (!(monitorInfo.dwFlags & MONITORINFOF_PRIMARY)) OffsetRect(&work, -work.left, -work.top);
  const int width = work.right - work.left;
  const int height = work.bottom - work.top;
  info->ptMaxPosition = POINT{work.left, work.top};
  info->ptMaxSize = POINT{width, height};
  const SIZE maxInfo = paintManager_.GetMaxInfo();
  const SIZE minInfo = paintManager_.GetMinInfo();
  info->ptMaxTrackSize = POINT{maxInfo.cx != 0 ? maxInfo.cx : width, maxInfo.cy != 0 ? maxInfo.cy : height};
  info->ptMinTrackSize = POINT{paintManager_.Scale(minInfo.cx), paintManager_.Scale(minInfo.cy)};
  return 0;
}

LRESULT WindowImplBase::OnMouseWheel(UINT, WPARAM, LPARAM, BOOL& handled) { return NotHandled(handled); }

LRESULT WindowImplBase::OnMouseHover(UINT, WPARAM, LPARAM, BOOL& handled) { return NotHandled(handled); }

LRESULT WindowImplBase::OnSize(UINT, WPARAM, LPARAM, BOOL& handled) {
  const SIZE round = paintManager_.GetRoundCorner();
  if ((round.cx != 0 || round.cy != 0) && !IsIconic(window_)) {
    RECT window{};
    GetWindowRect(window_, &window);
    kw::UniqueRegion region(CreateRoundRectRgn(0, 0, window.right - window.left + 1, window.bottom - window.top + 1,
                                               round.cx, round.cy));
    // The window owns the region once it is set.
    if (SetWindowRgn(window_, region.Get(), TRUE) != 0) region.Release();
  }
  handled = FALSE;
  return 0;
}

LRESULT WindowImplBase::OnChar(UINT, WPARAM, LPARAM, BOOL& handled) { return NotHandled(handled); }

LRESULT WindowImplBase::OnSysCommand(UINT message, WPARAM wParam, LPARAM lParam, BOOL&) {
  if ((wParam & 0xFFF0) == SC_CLOSE) {
    SendMessage(WM_CLOSE, 0, 0);
    return 0;
  }
  const bool wasZoomed = IsZoomed(window_) != FALSE;
  const LRESULT result = CallPreviousProc(message, wParam, lParam);
  const bool zoomed = IsZoomed(window_) != FALSE;
  if (zoomed != wasZoomed && !IsIconic(window_)) {
    if (CControlUI* maxButton = paintManager_.FindControl(L"maxbtn")) maxButton->SetVisible(!zoomed);
    if (CControlUI* restoreButton = paintManager_.FindControl(L"restorebtn")) restoreButton->SetVisible(zoomed);
  }
  return result;
}

void WindowImplBase::BeforeCreateWindow() {
  // The system takes tens of milliseconds to make the window: the first
  // view's images are decoded meanwhile (a skin from resources is not read).
  if (GetSkinType().empty()) paintManager_.PrefetchImages(GetSkinFile());
}

LRESULT WindowImplBase::OnCreate(UINT, WPARAM, LPARAM, BOOL&) {
  const LONG style = GetStyle();
  SetWindowLongW(window_, GWL_STYLE, style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
  paintManager_.Init(window_, GetManagerName());
  paintManager_.AddPreMessageFilter(this);
  OnPrepareCreate();
  CDialogBuilder builder;
  const std::wstring skinFile = GetSkinFile();
  const std::wstring skinType = GetSkinType();
  CControlUI* root = builder.Create(skinFile, skinType, this, &paintManager_);
  if (!root) {
    const UiActions& actions = CurrentUiActions();
    actions.messageBox(nullptr, std::wstring(kSkinFailure) + skinFile, kSkinFailureCaption, MB_OK | MB_ICONERROR);
    actions.exitProcess(1);
    return -1;
  }
  paintManager_.AttachDialog(root);
  paintManager_.AddNotifier(this);
  InitWindow();
  return 0;
}

LRESULT WindowImplBase::OnKeyDown(UINT, WPARAM, LPARAM, BOOL& handled) { return NotHandled(handled); }
LRESULT WindowImplBase::OnKillFocus(UINT, WPARAM, LPARAM, BOOL& handled) { return NotHandled(handled); }
LRESULT WindowImplBase::OnSetFocus(UINT, WPARAM, LPARAM, BOOL& handled) { return NotHandled(handled); }
LRESULT WindowImplBase::OnLButtonDown(UINT, WPARAM, LPARAM, BOOL& handled) { return NotHandled(handled); }
LRESULT WindowImplBase::OnLButtonUp(UINT, WPARAM, LPARAM, BOOL& handled) { return NotHandled(handled); }
LRESULT WindowImplBase::OnRButtonDown(UINT, WPARAM, LPARAM, BOOL& handled) { return NotHandled(handled); }
LRESULT WindowImplBase::OnRButtonUp(UINT, WPARAM, LPARAM, BOOL& handled) { return NotHandled(handled); }
LRESULT WindowImplBase::OnMouseMove(UINT, WPARAM, LPARAM, BOOL& handled) { return NotHandled(handled); }
LRESULT WindowImplBase::HandleCustomMessage(UINT, WPARAM, LPARAM, BOOL& handled) { return NotHandled(handled); }

LONG WindowImplBase::GetStyle() { return GetWindowLongW(window_, GWL_STYLE) & ~WS_CAPTION; }

LRESULT WindowImplBase::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  using Handler = LRESULT (WindowImplBase::*)(UINT, WPARAM, LPARAM, BOOL&);
  struct Route {
    UINT message;
    Handler handler;
  };
  static constexpr Route kRoutes[] = {
      {WM_CLOSE, &WindowImplBase::OnClose},
      {WM_DESTROY, &WindowImplBase::OnDestroy},
      {WM_NCACTIVATE, &WindowImplBase::OnNcActivate},
      {WM_NCCALCSIZE, &WindowImplBase::OnNcCalcSize},
      {WM_NCPAINT, &WindowImplBase::OnNcPaint},
      {WM_NCHITTEST, &WindowImplBase::OnNcHitTest},
      {WM_GETMINMAXINFO, &WindowImplBase::OnGetMinMaxInfo},
      {WM_MOUSEWHEEL, &WindowImplBase::OnMouseWheel},
      {WM_MOUSEHOVER, &WindowImplBase::OnMouseHover},
      {WM_SIZE, &WindowImplBase::OnSize},
      {WM_CHAR, &WindowImplBase::OnChar},
      {WM_SYSCOMMAND, &WindowImplBase::OnSysCommand},
      {WM_CREATE, &WindowImplBase::OnCreate},
      {WM_KEYDOWN, &WindowImplBase::OnKeyDown},
      {WM_KILLFOCUS, &WindowImplBase::OnKillFocus},
      {WM_SETFOCUS, &WindowImplBase::OnSetFocus},
      {WM_LBUTTONUP, &WindowImplBase::OnLButtonUp},
      {WM_LBUTTONDOWN, &WindowImplBase::OnLButtonDown},
      {WM_MOUSEMOVE, &WindowImplBase::OnMouseMove},
      {WM_RBUTTONDOWN, &WindowImplBase::OnRButtonDown},
      {WM_RBUTTONUP, &WindowImplBase::OnRButtonUp},
  };
  BOOL handled = TRUE;
  LRESULT result = 0;
  const auto route = std::find_if(std::begin(kRoutes), std::end(kRoutes),
                                  [message](const Route& r) { return r.message == message; });
  if (route != std::end(kRoutes)) {
    result = (this->*(route->handler))(message, wParam, lParam, handled);
    if (handled) return result;
  }
  handled = TRUE;
  result = HandleCustomMessage(message, wParam, lParam, handled);
  if (handled) return result;
  if (paintManager_.MessageHandler(message, wParam, lParam, result)) return result;
  return CWindowWnd::HandleMessage(message, wParam, lParam);
}

void WindowImplBase::OnFinalMessage(HWND) {
  paintManager_.RemovePreMessageFilter(this);
  paintManager_.RemoveNotifier(this);
  paintManager_.ReapObjects(paintManager_.GetRoot());
}

}  // namespace DuiLib
