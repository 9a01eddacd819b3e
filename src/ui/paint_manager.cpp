#include "ui/paint_manager.h"

#include <windowsx.h>

#include <algorithm>
#include <optional>
#include <string>

#include "core/trace.h"
#include "ui/container.h"
#include "ui/control.h"
#include "ui/image_prefetch.h"
#include "ui/image_types.h"
#include "ui/render.h"
#include "ui/shadow.h"
#include "ui/system_libraries.h"
#include "ui/warm_up.h"
#include "ui/ui_actions.h"
#include "ui/value_parse.h"

namespace DuiLib {

namespace {

// What every window shares, from first use to process exit.
struct ProcessState {
  std::vector<CPaintManagerUI*> managers;
  std::map<std::wstring, std::unique_ptr<FontEntry>, std::less<>> sharedFonts;
  std::unique_ptr<FontEntry> sharedDefaultFont;
  std::unique_ptr<FontEntry> systemFont;  // the default GUI font, made once
  std::map<std::wstring, std::wstring, std::less<>> sharedDefaultAttributes;
  std::map<std::wstring, std::wstring, std::less<>> sharedStyles;
  std::vector<PluginCreator> plugins;
  int globalDpi = 96;
};

ProcessState& Process() {
  static ProcessState state;
  return state;
}

constexpr UINT kTimerIdWrap = 240;
// A layered window is painted on this request: not every platform sends
// such a window WM_PAINT (Wine sends none).
constexpr UINT kMsgLayeredPaint = WM_APP + 2;
// Work that follows the first frame, posted so that the frame reaches the
// screen before it starts.
constexpr UINT kMsgAfterFirstFrame = WM_APP + 3;
constexpr int kDragThreshold = 4;

POINT PointFromLParam(LPARAM lParam) { return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }

WORD CurrentKeyState() {
  WORD state = 0;
  if (GetKeyState(VK_LBUTTON) < 0) state |= kKeyStateLeftButton;
  if (GetKeyState(VK_RBUTTON) < 0) state |= kKeyStateRightButton;
  if (GetKeyState(VK_SHIFT) < 0) state |= kKeyStateShift;
  if (GetKeyState(VK_CONTROL) < 0) state |= kKeyStateControl;
  if (GetKeyState(VK_MENU) < 0) state |= kKeyStateAlt;
  return state;
}

bool IsMouseMessage(UINT message) {
  return (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) || message == WM_CONTEXTMENU ||
         message == WM_MOUSEHOVER;
}

bool Contains(const CControlUI* ancestor, const CControlUI* control) {
  for (const CControlUI* c = control; c; c = c->GetParent()) {
    if (c == ancestor) return true;
  }
  return false;
}

std::wstring FontKey(int id) { return std::to_wstring(id); }

std::unique_ptr<FontEntry> SystemFontEntry() {
  auto entry = std::make_unique<FontEntry>();
  LOGFONTW font{};
  GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font);
  entry->font.Reset(CreateFontIndirectW(&font));
  entry->faceName = font.lfFaceName;
  entry->size = font.lfHeight < 0 ? -font.lfHeight : font.lfHeight;
  entry->bold = font.lfWeight >= FW_BOLD;
  entry->underline = font.lfUnderline != 0;
  entry->italic = font.lfItalic != 0;
  return entry;
}

}  // namespace

// ---------------- Process-wide ----------------

void CPaintManagerUI::SetResourceInstance(HINSTANCE instance) { DuiLib::SetResourceInstance(instance); }
HINSTANCE CPaintManagerUI::GetResourceInstance() {
  HINSTANCE instance = DuiLib::GetResourceInstance();
  return instance ? instance : GetModuleHandleW(nullptr);
}
void CPaintManagerUI::SetResourcePath(std::wstring_view path) { DuiLib::SetResourcePath(path); }
std::wstring CPaintManagerUI::GetResourcePath() { return DuiLib::GetResourcePath(); }
void CPaintManagerUI::SetResourceArchive(const void* data, std::size_t size, std::wstring_view password) {
  DuiLib::SetResourceArchive(data, size, password);
}
bool CPaintManagerUI::ResourceArchiveHasEntry(std::wstring_view name) { return DuiLib::ResourceArchiveHasEntry(name); }
bool CPaintManagerUI::IsArchiveMode() { return CResourceSettings::Process().IsArchiveMode(); }

const std::vector<CPaintManagerUI*>& CPaintManagerUI::GetPaintManagers() { return Process().managers; }
void CPaintManagerUI::AddPlugin(PluginCreator creator) {
  if (creator) Process().plugins.push_back(creator);
}
const std::vector<PluginCreator>& CPaintManagerUI::GetPlugins() { return Process().plugins; }
int CPaintManagerUI::GetGlobalDpi() { return Process().globalDpi; }

int CPaintManagerUI::MessageLoop() {
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (!CPaintManagerUI::TranslateMessage(&message)) {
      ::TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  return static_cast<int>(message.wParam);
}

bool CPaintManagerUI::TranslateMessage(const MSG* message) {
  if (!message->hwnd) return false;
  MSG copy = *message;
  const bool child = (GetWindowLongW(message->hwnd, GWL_STYLE) & WS_CHILD) != 0;
  // The list may change while handlers run: walk a copy.
  const std::vector<CPaintManagerUI*> managers = Process().managers;
  for (CPaintManagerUI* manager : managers) {
    const bool owns = child ? (manager->window_ == message->hwnd || IsChild(manager->window_, message->hwnd))
                            : manager->window_ == message->hwnd;
    if (!owns) continue;
    if (manager->TranslateAccelerator(&copy)) return true;
    LRESULT result = 0;
    if (manager->PreMessageHandler(copy.message, copy.wParam, copy.lParam, result)) return true;
    if (!child) return false;
  }
  return false;
}

void CPaintManagerUI::Shutdown() {
  CWarmUp::Process().Wait();
  ProcessState& state = Process();
  SharedImageCaches().images.clear();
  SharedImageCaches().descriptors.clear();
  state.sharedFonts.clear();
  state.sharedDefaultFont.reset();
  state.sharedDefaultAttributes.clear();
  state.sharedStyles.clear();
}

// ---------------- Construction ----------------

CPaintManagerUI::CPaintManagerUI()
    : imageCaches_(std::make_unique<ImageCaches>()), shadow_(std::make_unique<CShadowUI>()) {
  // The window does not wait for the warm-up before its first frame.
  CWarmUp::Process().Start();
  // Loaded now rather than in the middle of the first frame.
  HasAlphaBlend();
  if (!Process().systemFont) Process().systemFont = SystemFontEntry();
}

CPaintManagerUI::~CPaintManagerUI() {
  RemoveAllTimers();
  DestroyTooltip();
  // The tree goes first, while the manager still answers its reaping.
  std::vector<CControlUI*> cleanup;
  cleanup.swap(delayedCleanup_);
  for (CControlUI* control : cleanup) delete control;
  CControlUI* root = std::exchange(root_, nullptr);
  delete root;
  surface_.Release();
  auto& managers = Process().managers;
  managers.erase(std::remove(managers.begin(), managers.end(), this), managers.end());
}

void CPaintManagerUI::Init(HWND window, std::wstring_view name) {
  RemoveAllFonts(false);
  defaultFont_.reset();
  RemoveAllImages(false);
  RemoveAllDrawInfos();
  defaultAttributes_.clear();
  styles_.clear();
  name_ = name;
  if (window_ != window) {
    window_ = window;
    paintDc_ = kw::WindowDc(window);
    auto& managers = Process().managers;
    if (std::find(managers.begin(), managers.end(), this) == managers.end()) managers.push_back(this);
  }
}

SIZE CPaintManagerUI::GetClientSize() const {
  RECT client{};
  if (window_) GetClientRect(window_, &client);
  return SIZE{client.right - client.left, client.bottom - client.top};
}

// ---------------- Window attributes ----------------

std::span<const AttributeSetter<CPaintManagerUI>> CPaintManagerUI::WindowAttributeTable() {
  using M = CPaintManagerUI;
  static constexpr AttributeSetter<CPaintManagerUI> kTable[] = {
      {L"size", [](M& m, std::wstring_view v) { const IntSize s = ParseSize(v); m.SetInitSize(s.cx, s.cy); }},
      {L"mininfo", [](M& m, std::wstring_view v) { const IntSize s = ParseSize(v); m.SetMinInfo(s.cx, s.cy); }},
      {L"maxinfo", [](M& m, std::wstring_view v) { const IntSize s = ParseSize(v); m.SetMaxInfo(s.cx, s.cy); }},
      {L"caption", [](M& m, std::wstring_view v) {
         const IntRect r = ParseRect(v);
         m.captionRect_ = RECT{r.left, r.top, r.right, r.bottom};
       }},
      {L"sizebox", [](M& m, std::wstring_view v) {
         const IntRect r = ParseRect(v);
         m.sizeBox_ = RECT{r.left, r.top, r.right, r.bottom};
       }},
      {L"sizeboxinset", [](M& m, std::wstring_view v) {
         const IntRect r = ParseRect(v);
         m.sizeBoxInset_ = RECT{r.left, r.top, r.right, r.bottom};
       }},
      {L"roundcorner", [](M& m, std::wstring_view v) { const IntSize s = ParseSize(v); m.roundCorner_ = SIZE{s.cx, s.cy}; }},
      {L"showdirty", [](M& m, std::wstring_view v) { m.showDirty_ = ParseBool(v); }},
      {L"opacity", [](M& m, std::wstring_view v) { m.SetOpacity(static_cast<BYTE>(ParseInt(v))); }},
      {L"alpha", [](M& m, std::wstring_view v) { m.SetOpacity(static_cast<BYTE>(ParseInt(v))); }},
      {L"layeredopacity", [](M& m, std::wstring_view v) { m.SetLayeredOpacity(static_cast<BYTE>(ParseInt(v))); }},
      {L"layered", [](M& m, std::wstring_view v) { m.SetLayered(ParseBool(v)); }},
      {L"bktrans", [](M& m, std::wstring_view v) { m.SetLayered(ParseBool(v)); }},
      {L"layeredimage", [](M& m, std::wstring_view v) { m.SetLayeredImage(v); }},
      {L"noactivate", [](M& m, std::wstring_view v) { m.noActivate_ = ParseBool(v); }},
      {L"disabledfontcolor", [](M& m, std::wstring_view v) { m.defaultDisabledColor_ = ParseColor(v); }},
      {L"defaultfontcolor", [](M& m, std::wstring_view v) { m.defaultFontColor_ = ParseColor(v); }},
      {L"linkfontcolor", [](M& m, std::wstring_view v) { m.defaultLinkFontColor_ = ParseColor(v); }},
      {L"linkhoverfontcolor", [](M& m, std::wstring_view v) { m.defaultLinkHoverFontColor_ = ParseColor(v); }},
      {L"selectedcolor", [](M& m, std::wstring_view v) { m.defaultSelectedColor_ = ParseColor(v); }},
      // The shadow's look; its setters refuse values out of range.
      {L"showshadow", [](M& m, std::wstring_view v) { m.shadow_->ShowShadow(ParseBool(v)); }},
      {L"shadowsize", [](M& m, std::wstring_view v) { m.shadow_->SetSize(ParseInt(v)); }},
      {L"shadowsharpness", [](M& m, std::wstring_view v) { m.shadow_->SetSharpness(ParseInt(v)); }},
      {L"shadowdarkness", [](M& m, std::wstring_view v) { m.shadow_->SetDarkness(ParseInt(v)); }},
      {L"shadowposition", [](M& m, std::wstring_view v) {
         const IntSize s = ParseSize(v);
         m.shadow_->SetPosition(s.cx, s.cy);
       }},
      {L"shadowcolor", [](M& m, std::wstring_view v) { m.shadow_->SetColor(ParseColor(v)); }},
      {L"shadowcorner", [](M& m, std::wstring_view v) {
         const IntRect r = ParseRect(v);
         m.shadow_->SetShadowCorner(RECT{r.left, r.top, r.right, r.bottom});
       }},
      {L"shadowimage", [](M& m, std::wstring_view v) { m.shadow_->SetImage(v); }},
      {L"gdiplustext", [](M& m, std::wstring_view v) { m.gdiplusText_ = ParseBool(v); }},
      {L"textdesigner", [](M&, std::wstring_view) {}},
      {L"textrenderinghint", [](M& m, std::wstring_view v) { m.textRenderingHint_ = ParseInt(v); }},
      {L"textrenderdouble", [](M& m, std::wstring_view v) { m.textRenderDouble_ = ParseBool(v); }},
      {L"tooltiphovertime", [](M& m, std::wstring_view v) { m.tooltipHoverTime_ = ParseInt(v); }},
      {L"tooltipbkcolor", [](M& m, std::wstring_view v) { m.tooltipBkColor_ = ParseColor(v); }},
      {L"tooltiptextcolor", [](M& m, std::wstring_view v) { m.tooltipTextColor_ = ParseColor(v); }},
      {L"dockwnd", [](M&, std::wstring_view) {}},
      {L"normaltab", [](M& m, std::wstring_view v) { m.normalTab_ = ParseBool(v); }},
      {L"autodpi", [](M& m, std::wstring_view v) { m.autoDpi_ = ParseBool(v); }},
      {L"KillFocusSendButtonUp", [](M& m, std::wstring_view v) { m.killFocusSendsButtonUp_ = ParseBool(v); }},
  };
  return kTable;
}

void CPaintManagerUI::SetWindowAttribute(std::wstring_view name, std::wstring_view value) {
  ApplyFromTable(WindowAttributeTable(), *this, name, value);
}

void CPaintManagerUI::SetInitSize(int cx, int cy) {
  initSize_ = SIZE{Scale(cx), Scale(cy)};
  if (!root_ && window_) {
    SetWindowPos(window_, nullptr, 0, 0, initSize_.cx, initSize_.cy, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
  }
}

void CPaintManagerUI::SetMinInfo(int cx, int cy) {
  if (cx >= 0 && cy >= 0) minInfo_ = SIZE{cx, cy};
}

void CPaintManagerUI::SetMaxInfo(int cx, int cy) {
  if (cx >= 0 && cy >= 0) maxInfo_ = SIZE{cx, cy};
}

void CPaintManagerUI::SetOpacity(BYTE opacity) {
  opacity_ = opacity;
  if (!window_) return;
  const LONG exStyle = GetWindowLongW(window_, GWL_EXSTYLE);
  SetWindowLongW(window_, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
  SetLayeredWindowAttributes(window_, 0, opacity, LWA_ALPHA);
}

void CPaintManagerUI::SetLayeredOpacity(BYTE opacity) {
  opacity_ = opacity;
  if (!window_) return;
  RECT client{};
  GetClientRect(window_, &client);
  layeredUpdate_ = client;
  Invalidate(client);
}

void CPaintManagerUI::SetLayered(bool layered) {
  if (!window_ || (GetWindowLongW(window_, GWL_STYLE) & WS_CHILD) || layered_ == layered) return;
  layered_ = layered;
  layeredChanged_ = true;
  LONG exStyle = GetWindowLongW(window_, GWL_EXSTYLE);
  exStyle = layered ? (exStyle | WS_EX_LAYERED) : (exStyle & ~WS_EX_LAYERED);
  SetWindowLongW(window_, GWL_EXSTYLE, exStyle);
  if (root_) root_->NeedUpdate();
  needUpdate_ = true;
  RECT client{};
  GetClientRect(window_, &client);
  layeredUpdate_ = client;
  Invalidate(client);
}

void CPaintManagerUI::SetLayeredInset(const RECT& inset) {
  layeredInset_ = inset;
  layeredChanged_ = true;
  Invalidate();
}

void CPaintManagerUI::SetLayeredImage(std::wstring_view image) {
  layeredImage_ = image;
  SetLayered(true);
  Invalidate();
}

// ---------------- DPI ----------------

void CPaintManagerUI::SetDPI(int dpi) {
  const int oldScale = dpi_.EffectiveScale();
  dpi_.SetScaleFromDpi(dpi);
  const int newScale = dpi_.EffectiveScale();
  RemoveAllDrawInfos();
  RebuildFontsForDpi();
  if (root_) {
    for (CControlUI* control : FindSubControlsByClass(root_, L"RichEdit")) control->OnDpiFontChanged();
  }
  if (window_ && !IsZoomed(window_) && oldScale > 0) ResizeForScale(oldScale, newScale);
  if (root_) root_->NeedUpdate();
  needUpdate_ = true;
  if (window_) PostMessageW(window_, kMsgDpiChanged, static_cast<WPARAM>(oldScale), static_cast<LPARAM>(newScale));
  if (root_) SendNotify(root_, L"dpichanged");
}

void CPaintManagerUI::SetAllDPI(int dpi) {
  const std::vector<CPaintManagerUI*> managers = Process().managers;
  for (CPaintManagerUI* manager : managers) manager->SetDPI(dpi);
  Process().globalDpi = dpi;
}

int CPaintManagerUI::GetMonitorDpi(HWND window) {
  HMONITOR monitor = window ? MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY)
                            : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
  int dpi = QueryMonitorDpi(monitor);
  if (dpi <= 0) {
    if (dpi < 0) CurrentUiActions().messageBox(nullptr, L"GetDpiForMonitor failed", L"Notification", MB_OK);
    kw::WindowDc screen(nullptr);
    dpi = screen ? GetDeviceCaps(screen.Get(), LOGPIXELSX) : 96;
  }
  return SnapMonitorDpi(dpi);
}

void CPaintManagerUI::ResizeForScale(int oldScale, int newScale) {
  RECT window{};
  if (!GetWindowRect(window_, &window)) return;
  const int width = (window.right - window.left) * newScale / oldScale;
  const int height = (window.bottom - window.top) * newScale / oldScale;
  SetWindowPos(window_, nullptr, window.left, window.top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---------------- Control tree ----------------

bool CPaintManagerUI::AttachDialog(CControlUI* root) {
  if (!root) return false;
  // The shadow is a window of its own, made and shown after the first frame
  // (it costs about as much as drawing the whole window).
  if (completedPaints_ > 0) shadow_->Create(this);
  focusViews_.clear();
  tabOrder_.clear();
  lastTabIndex_ = -1;
  focus_ = nullptr;
  hover_ = nullptr;
  pressed_ = nullptr;
  keyPressed_ = nullptr;
  lastHoverTarget_ = nullptr;
  if (root_ && root_ != root) AddDelayedCleanup(root_);
  root_ = root;
  needUpdate_ = true;
  firstLayout_ = true;
  if (autoDpi_) SetDPI(Process().globalDpi);
  return InitControls(root, nullptr);
}

bool CPaintManagerUI::InitControls(CControlUI* control, CControlUI* parent) {
  if (!control) return false;
  control->SetManager(this, parent ? parent : control->GetParent(), true);
  // The subtree's names, later ones winning.
  control->FindControl(
      [](CControlUI* c, void* data) -> CControlUI* {
        static_cast<CPaintManagerUI*>(data)->AddNameMapEntry(c);
        return nullptr;
      },
      this, UIFIND_ALL);
  return true;
}

void CPaintManagerUI::AddNameMapEntry(CControlUI* control) {
  const std::wstring name = control->GetName();
  // A control renamed leaves its old entry.
  for (auto it = nameMap_.begin(); it != nameMap_.end(); ++it) {
    if (it->second == control && it->first != name) {
      nameMap_.erase(it);
      break;
    }
  }
  if (!name.empty()) nameMap_.insert_or_assign(name, control);
}

CControlUI* CPaintManagerUI::FindControl(std::wstring_view name) const {
  auto it = nameMap_.find(name);
  return it == nameMap_.end() ? nullptr : it->second;
}

CControlUI* CPaintManagerUI::FindControl(POINT point) const { return FindSubControlByPoint(root_, point); }

CControlUI* CPaintManagerUI::FindSubControlByPoint(CControlUI* parent, POINT point) const {
  if (!parent) parent = root_;
  if (!parent) return nullptr;
  return parent->FindControl([](CControlUI* c, void*) { return c; }, &point,
                             UIFIND_VISIBLE | UIFIND_HITTEST | UIFIND_TOP_FIRST);
}

CControlUI* CPaintManagerUI::FindSubControlByName(CControlUI* parent, std::wstring_view name) const {
  if (!parent) parent = root_;
  if (!parent) return nullptr;
  return parent->FindControl(
      [](CControlUI* c, void* data) -> CControlUI* {
        return c->GetName() == *static_cast<std::wstring_view*>(data) ? c : nullptr;
      },
      &name, UIFIND_ALL);
}

std::vector<CControlUI*>& CPaintManagerUI::FindSubControlsByClass(CControlUI* parent, std::wstring_view className) {
  foundControls_.clear();
  if (!parent) parent = root_;
  if (!parent) return foundControls_;
  struct Search {
    std::wstring_view className;
    std::vector<CControlUI*>* found;
  } search{className, &foundControls_};
  parent->FindControl(
      [](CControlUI* c, void* data) -> CControlUI* {
        auto* s = static_cast<Search*>(data);
        if (s->className == L"*" || c->GetClassName() == s->className) s->found->push_back(c);
        return nullptr;
      },
      &search, UIFIND_ALL);
  return foundControls_;
}

void CPaintManagerUI::ReapObjects(CControlUI* control) {
  if (!control) return;
  if (control == focus_) focus_ = nullptr;
  if (control == hover_) hover_ = nullptr;
  if (control == pressed_) pressed_ = nullptr;
  if (control == keyPressed_) keyPressed_ = nullptr;
  if (control == lastHoverTarget_) lastHoverTarget_ = nullptr;
  if (control == focusPending_) focusPending_ = nullptr;
  KillTimers(control);
  for (TNotifyUI& queued : asyncNotifications_) {
    if (queued.sender == control) queued.sender = nullptr;
  }
  for (auto it = nameMap_.begin(); it != nameMap_.end();) {
    it = it->second == control ? nameMap_.erase(it) : std::next(it);
  }
  auto drop = [control](std::vector<CControlUI*>& list) {
    list.erase(std::remove(list.begin(), list.end(), control), list.end());
  };
  const auto tab = std::find(tabOrder_.begin(), tabOrder_.end(), control);
  if (tab != tabOrder_.end()) {
    const int index = static_cast<int>(tab - tabOrder_.begin());
    tabOrder_.erase(tab);
    if (lastTabIndex_ >= index) --lastTabIndex_;
  }
  drop(postPaint_);
  drop(focusViews_);
  drop(foundControls_);
  nativeWindows_.erase(std::remove_if(nativeWindows_.begin(), nativeWindows_.end(),
                                      [control](const auto& entry) { return entry.first == control; }),
                       nativeWindows_.end());
}

void CPaintManagerUI::AddDelayedCleanup(CControlUI* control) {
  if (!control) return;
  control->SetManager(this, nullptr, false);
  delayedCleanup_.push_back(control);
  if (!asyncPosted_ && window_) {
    asyncPosted_ = PostMessageW(window_, kMsgAsyncNotify, 0, 0) != FALSE;
  }
}

void CPaintManagerUI::Invalidate() {
  if (!window_) return;
  RECT client{};
  GetClientRect(window_, &client);
  Invalidate(client);
}

void CPaintManagerUI::Invalidate(const RECT& rect) {
  if (!window_ || IsRectEmpty(&rect)) return;
  if (layered_) {
    UnionRect(&layeredUpdate_, &layeredUpdate_, &rect);
    if (!layeredPaintPosted_) layeredPaintPosted_ = PostMessageW(window_, kMsgLayeredPaint, 0, 0) != FALSE;
  }
  InvalidateRect(window_, &rect, FALSE);
}

bool CPaintManagerUI::AddPostPaint(CControlUI* control) {
  if (std::find(postPaint_.begin(), postPaint_.end(), control) != postPaint_.end()) return false;
  postPaint_.push_back(control);
  return true;
}

bool CPaintManagerUI::RemovePostPaint(CControlUI* control) {
  auto it = std::find(postPaint_.begin(), postPaint_.end(), control);
  if (it == postPaint_.end()) return false;
  postPaint_.erase(it);
  return true;
}

void CPaintManagerUI::AddNativeWindow(CControlUI* control, HWND window) {
  if (control && window) nativeWindows_.emplace_back(control, window);
}

void CPaintManagerUI::RemoveNativeWindow(HWND window) {
  nativeWindows_.erase(std::remove_if(nativeWindows_.begin(), nativeWindows_.end(),
                                      [window](const auto& entry) { return entry.second == window; }),
                       nativeWindows_.end());
}

bool CPaintManagerUI::IsInRoot(CControlUI* control) const {
  for (CControlUI* c = control; c; c = c->GetParent()) {
    if (c == root_) return true;
    CControlUI* parent = c->GetParent();
    if (!parent) return false;
    auto* container = static_cast<IContainerUI*>(parent->FindInterface(L"IContainer"));
    if (!container || container->GetItemIndex(c) < 0) return false;
  }
  return false;
}

// ---------------- Focus and Tab ----------------

void CPaintManagerUI::SetFocus(CControlUI* control) {
  if (control == focus_) return;
  if (window_ && ::GetFocus() != window_ && control) ::SetFocus(window_);
  CControlUI* old = focus_;
  if (old) {
    TEventUI event = MakeEvent(UIEVENT_KILLFOCUS, old, reinterpret_cast<WPARAM>(control), 0);
    old->Event(event);
    SendNotify(old, L"killfocus", reinterpret_cast<WPARAM>(control));
    for (CControlUI* view : std::vector<CControlUI*>(focusViews_)) {
      if (Contains(view, old) && !Contains(view, control)) SendNotify(view, L"killfocusview");
    }
    focus_ = nullptr;
  }
  if (control && control->GetManager() == this && control->IsVisible() && control->IsEnabled()) {
    focus_ = control;
    TEventUI event = MakeEvent(UIEVENT_SETFOCUS, control, 0, 0);
    control->Event(event);
    SendNotify(control, L"setfocus");
    for (CControlUI* view : std::vector<CControlUI*>(focusViews_)) {
      if (Contains(view, control) && !Contains(view, old)) SendNotify(view, L"setfocusview");
    }
  }
}

void CPaintManagerUI::SetFocusNeeded(CControlUI* control) {
  if (window_) ::SetFocus(window_);
  if (!control) return;
  focusPending_ = control;
  focusNeeded_ = true;
  if (root_) root_->NeedUpdate();
}

bool CPaintManagerUI::SetNextTabControl(bool forward) {
  if (!normalTab_ || focusNeeded_ || !root_) return false;
  std::vector<CControlUI*> candidates;
  root_->FindControl(
      [](CControlUI* c, void* data) -> CControlUI* {
        if ((c->GetControlFlags() & UIFLAG_TABSTOP) && c->IsKeyboardEnabled()) {
          static_cast<std::vector<CControlUI*>*>(data)->push_back(c);
        }
        return nullptr;
      },
      &candidates, UIFIND_VISIBLE | UIFIND_ENABLED | UIFIND_ME_FIRST);
  if (candidates.empty()) return false;
  const int count = static_cast<int>(candidates.size());
  auto current = std::find(candidates.begin(), candidates.end(), focus_);
  int index = current == candidates.end() ? (forward ? -1 : count) : static_cast<int>(current - candidates.begin());
  index = ((index + (forward ? 1 : -1)) % count + count) % count;
  SetFocus(candidates[static_cast<std::size_t>(index)]);
  return true;
}

void CPaintManagerUI::AddTabControl(CControlUI* control) {
  if (!control) return;
  if (std::find(tabOrder_.begin(), tabOrder_.end(), control) == tabOrder_.end()) tabOrder_.push_back(control);
}

bool CPaintManagerUI::AddFocusView(CControlUI* container) {
  if (!container || std::find(focusViews_.begin(), focusViews_.end(), container) != focusViews_.end()) return false;
  focusViews_.push_back(container);
  return true;
}

bool CPaintManagerUI::RemoveFocusView(CControlUI* container) {
  auto it = std::find(focusViews_.begin(), focusViews_.end(), container);
  if (it == focusViews_.end()) return false;
  focusViews_.erase(it);
  return true;
}

void CPaintManagerUI::SetCapture() {
  if (window_) ::SetCapture(window_);
  mouseCapture_ = true;
}

void CPaintManagerUI::ReleaseCapture() {
  mouseCapture_ = false;
  ::ReleaseCapture();
}

// ---------------- Timers ----------------

bool CPaintManagerUI::SetTimer(CControlUI* control, UINT id, UINT elapse) {
  if (!control || !window_) return false;
  for (TimerEntry& timer : timers_) {
    if (timer.sender == control && timer.id == id && timer.window == window_) {
      if (!timer.killed) return false;
      if (::SetTimer(window_, timer.windowTimerId, elapse, nullptr) == 0) return false;
      timer.killed = false;
      return true;
    }
  }
  const UINT windowTimerId = (lastTimerId_ + 1) % kTimerIdWrap;
  if (::SetTimer(window_, windowTimerId, elapse, nullptr) == 0) return false;
  lastTimerId_ = windowTimerId;
  timers_.push_back(TimerEntry{control, id, window_, windowTimerId, false});
  return true;
}

bool CPaintManagerUI::KillTimer(CControlUI* control, UINT id) {
  for (TimerEntry& timer : timers_) {
    if (timer.sender == control && timer.id == id && timer.window == window_ && !timer.killed) {
      if (IsWindow(timer.window)) ::KillTimer(timer.window, timer.windowTimerId);
      timer.killed = true;
      return true;
    }
  }
  return false;
}

void CPaintManagerUI::KillTimers(CControlUI* control) {
  timers_.erase(std::remove_if(timers_.begin(), timers_.end(),
                               [control](const TimerEntry& timer) {
                                 if (timer.sender != control) return false;
                                 if (!timer.killed && IsWindow(timer.window)) {
                                   ::KillTimer(timer.window, timer.windowTimerId);
                                 }
                                 return true;
                               }),
                timers_.end());
}

void CPaintManagerUI::RemoveAllTimers() {
  for (const TimerEntry& timer : timers_) {
    if (!timer.killed && IsWindow(timer.window)) ::KillTimer(timer.window, timer.windowTimerId);
  }
  timers_.clear();
}

// ---------------- Notifications and filters ----------------

template <class T>
static bool AddUnique(std::vector<T*>& list, T* item) {
  if (!item || std::find(list.begin(), list.end(), item) != list.end()) return false;
  list.push_back(item);
  return true;
}

template <class T>
static bool RemoveItem(std::vector<T*>& list, T* item) {
  auto it = std::find(list.begin(), list.end(), item);
  if (it == list.end()) return false;
  list.erase(it);
  return true;
}

bool CPaintManagerUI::AddNotifier(INotifyUI* notifier) { return AddUnique(notifiers_, notifier); }
bool CPaintManagerUI::RemoveNotifier(INotifyUI* notifier) { return RemoveItem(notifiers_, notifier); }
bool CPaintManagerUI::AddPreMessageFilter(IMessageFilterUI* filter) { return AddUnique(preMessageFilters_, filter); }
bool CPaintManagerUI::RemovePreMessageFilter(IMessageFilterUI* filter) {
  return RemoveItem(preMessageFilters_, filter);
}
bool CPaintManagerUI::AddMessageFilter(IMessageFilterUI* filter) { return AddUnique(messageFilters_, filter); }
bool CPaintManagerUI::RemoveMessageFilter(IMessageFilterUI* filter) { return RemoveItem(messageFilters_, filter); }
bool CPaintManagerUI::AddTranslateAccelerator(ITranslateAccelerator* translator) {
  return AddUnique(translators_, translator);
}
bool CPaintManagerUI::RemoveTranslateAccelerator(ITranslateAccelerator* translator) {
  return RemoveItem(translators_, translator);
}

bool CPaintManagerUI::TranslateAccelerator(MSG* message) {
  for (ITranslateAccelerator* translator : std::vector<ITranslateAccelerator*>(translators_)) {
    if (translator->TranslateAccelerator(message) == 0) return true;
  }
  return false;
}

void CPaintManagerUI::SendNotify(CControlUI* sender, std::wstring_view type, WPARAM wParam, LPARAM lParam,
                                 bool async) {
  TNotifyUI notification;
  notification.type = type;
  notification.sender = sender;
  notification.wParam = wParam;
  notification.lParam = lParam;
  SendNotify(notification, async);
}

void CPaintManagerUI::SendNotify(TNotifyUI& notification, bool async) {
  notification.mousePoint = lastMousePoint_;
  notification.timestamp = GetTickCount();
  if (routeByVirtualWindow_ && notification.sender) notification.virtualWindow = notification.sender->GetVirtualWnd();
  if (!async) {
    DeliverNotification(notification);
    return;
  }
  asyncNotifications_.push_back(notification);
  if (!asyncPosted_ && window_) asyncPosted_ = PostMessageW(window_, kMsgAsyncNotify, 0, 0) != FALSE;
}

void CPaintManagerUI::DeliverNotification(TNotifyUI& notification) {
  if (notification.sender) notification.sender->NotifyListeners(notification);
  // A notifier may remove itself or others while it runs.
  const std::vector<INotifyUI*> notifiers = notifiers_;
  for (INotifyUI* notifier : notifiers) {
    if (std::find(notifiers_.begin(), notifiers_.end(), notifier) == notifiers_.end()) continue;
    notifier->Notify(notification);
  }
}

void CPaintManagerUI::DeliverAsyncQueue() {
  std::vector<CControlUI*> cleanup;
  cleanup.swap(delayedCleanup_);
  for (CControlUI* control : cleanup) delete control;
  asyncPosted_ = false;
  while (!asyncNotifications_.empty()) {
    TNotifyUI notification = std::move(asyncNotifications_.front());
    asyncNotifications_.pop_front();
    DeliverNotification(notification);
  }
}

TEventUI CPaintManagerUI::MakeEvent(int type, CControlUI* sender, WPARAM wParam, LPARAM lParam) const {
  TEventUI event;
  event.type = type;
  event.sender = sender;
  event.timestamp = GetTickCount();
  event.mousePoint = lastMousePoint_;
  event.keyState = CurrentKeyState();
  event.wParam = wParam;
  event.lParam = lParam;
  return event;
}

bool CPaintManagerUI::PreMessageHandler(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  for (IMessageFilterUI* filter : std::vector<IMessageFilterUI*>(preMessageFilters_)) {
    bool handled = false;
    const LRESULT answer = filter->MessageHandler(message, wParam, lParam, handled);
    if (handled) {
      result = answer;
      return true;
    }
  }
  switch (message) {
    case WM_KEYDOWN: {
      if (wParam != VK_TAB) return false;
      const bool forward = GetKeyState(VK_SHIFT) >= 0;
      if (tabOrder_.empty()) {
        SetNextTabControl(forward);
        return true;
      }
      // Entries that left the tree go; then one round at most.
      for (std::size_t i = 0; i < tabOrder_.size();) {
        if (IsInRoot(tabOrder_[i])) {
          ++i;
          continue;
        }
        tabOrder_.erase(tabOrder_.begin() + static_cast<std::ptrdiff_t>(i));
        if (lastTabIndex_ >= static_cast<int>(i)) --lastTabIndex_;
      }
      const int count = static_cast<int>(tabOrder_.size());
      if (count == 0) return true;
      auto current = std::find(tabOrder_.begin(), tabOrder_.end(), focus_);
      const int start = current != tabOrder_.end() ? static_cast<int>(current - tabOrder_.begin()) : lastTabIndex_;
      for (int step = 1; step <= count; ++step) {
        const int index = ((start + step) % count + count) % count;
        CControlUI* entry = tabOrder_[static_cast<std::size_t>(index)];
        if (!entry->IsVisible()) continue;
        lastTabIndex_ = index;
        SetFocus(entry);
        break;
      }
      return true;
    }
    case WM_SYSKEYDOWN:
      if (focus_) {
        TEventUI event = MakeEvent(UIEVENT_SYSKEY, focus_, wParam, lParam);
        event.key = static_cast<wchar_t>(wParam);
        focus_->Event(event);
      }
      return false;
    case WM_SYSCHAR: {
      if (!root_) return false;
      struct Search {
        wchar_t shortcut;
        bool pickNext;
        CControlUI* found;
      } search{static_cast<wchar_t>(reinterpret_cast<UINT_PTR>(CharUpperW(reinterpret_cast<LPWSTR>(wParam)))), false,
               nullptr};
      root_->FindControl(
          [](CControlUI* c, void* data) -> CControlUI* {
            auto* s = static_cast<Search*>(data);
            if (s->found) return nullptr;
            const bool isLabel = c->GetClassName().find(L"LabelUI") != std::wstring_view::npos;
            if (s->pickNext) {
              if (!isLabel) s->found = c;
              return nullptr;
            }
            if (c->GetShortcut() != 0 && c->GetShortcut() == s->shortcut) {
              if (isLabel) {
                s->pickNext = true;
              } else {
                s->found = c;
              }
            }
            return nullptr;
          },
          &search, UIFIND_VISIBLE | UIFIND_ME_FIRST);
      if (!search.found) return false;
      search.found->SetFocus();
      search.found->Activate();
      return true;
    }
    default:
      return false;
  }
}

// ---------------- Messages ----------------

bool CPaintManagerUI::MessageHandler(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (!window_) return false;
  for (IMessageFilterUI* filter : std::vector<IMessageFilterUI*>(messageFilters_)) {
    bool handled = false;
    const LRESULT answer = filter->MessageHandler(message, wParam, lParam, handled);
    if (handled) {
      if (IsMouseMessage(message) && message != WM_MOUSEWHEEL && message != WM_CONTEXTMENU) {
        lastMousePoint_ = PointFromLParam(lParam);
      }
      result = answer;
      return true;
    }
  }
  if (layered_) {
    switch (message) {
      case WM_NCCALCSIZE:
      case WM_NCPAINT:
        result = 0;
        return true;
      case WM_NCACTIVATE:
        if (!IsIconic(window_)) {
          result = wParam == 0 ? TRUE : FALSE;
          return true;
        }
        break;
      default:
        break;
    }
  }
  switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORMSGBOX: {
      if (lParam == 0) return false;
      HWND child = message == WM_NOTIFY ? reinterpret_cast<NMHDR*>(lParam)->hwndFrom : reinterpret_cast<HWND>(lParam);
      if (!child || child == window_) return false;
      const LRESULT answer = ::SendMessageW(child, message + kReflectOffset, wParam, lParam);
      if (answer != 0) {
        result = answer;
        return true;
      }
      return false;
    }
    case WM_TIMER:
      for (const TimerEntry& timer : timers_) {
        if (timer.window == window_ && timer.windowTimerId == wParam && !timer.killed) {
          CControlUI* sender = timer.sender;
          TEventUI event = MakeEvent(UIEVENT_TIMER, sender, timer.id, lParam);
          sender->Event(event);
          break;
        }
      }
      return false;
    case WM_MOUSEMOVE:
      return HandleMouseMove(wParam, lParam);
    case WM_LBUTTONDOWN: {
      if (!noActivate_) ::SetFocus(window_);
      const POINT point = PointFromLParam(lParam);
      lastMousePoint_ = point;
      CControlUI* control = FindControl(point);
      if (!control || control->GetManager() != this) return false;
      pressPoint_ = point;
      SetCapture();
      pressed_ = control;
      control->SetFocus();
      if (pressed_ != control) return false;  // the focus change removed it
      TEventUI event = MakeEvent(UIEVENT_BUTTONDOWN, control, wParam, lParam);
      control->Event(event);
      return false;
    }
    case WM_LBUTTONDBLCLK: {
      if (!noActivate_) ::SetFocus(window_);
      const POINT point = PointFromLParam(lParam);
      lastMousePoint_ = point;
      CControlUI* control = FindControl(point);
      if (!control || control->GetManager() != this) return false;
      SetCapture();
      pressed_ = control;
      TEventUI event = MakeEvent(UIEVENT_DBLCLICK, control, wParam, lParam);
      control->Event(event);
      return false;
    }
    case WM_LBUTTONUP: {
      const POINT point = PointFromLParam(lParam);
      lastMousePoint_ = point;
      ReleaseCapture();
      CControlUI* control = std::exchange(pressed_, nullptr);
      if (!control) return false;
      const bool endDragMove = dragMoving_;
      dragMoving_ = false;
      TEventUI event = MakeEvent(endDragMove ? UIEVENT_DRAGMOVEEND : UIEVENT_BUTTONUP, control, wParam, lParam);
      control->Event(event);
      return false;
    }
    case WM_RBUTTONDOWN: {
      if (!noActivate_) ::SetFocus(window_);
      const POINT point = PointFromLParam(lParam);
      lastMousePoint_ = point;
      CControlUI* control = FindControl(point);
      if (!control || control->GetManager() != this) return false;
      control->SetFocus();
      pressed_ = control;
      TEventUI event = MakeEvent(UIEVENT_RBUTTONDOWN, control, wParam, lParam);
      control->Event(event);
      return false;
    }
    case WM_RBUTTONUP: {
      const POINT point = PointFromLParam(lParam);
      lastMousePoint_ = point;
      CControlUI* control = pressed_ ? pressed_ : FindControl(point);
      if (!control || control->GetManager() != this) return false;
      if (!control->IsContextMenuUsed()) pressed_ = nullptr;
      TEventUI event = MakeEvent(UIEVENT_RBUTTONUP, control, wParam, lParam);
      control->Event(event);
      return false;
    }
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP: {
      const POINT point = PointFromLParam(lParam);
      lastMousePoint_ = point;
      CControlUI* control = FindControl(point);
      if (!control || control->GetManager() != this) return false;
      TEventUI event =
          MakeEvent(message == WM_MBUTTONDOWN ? UIEVENT_MBUTTONDOWN : UIEVENT_MBUTTONUP, control, wParam, lParam);
      control->Event(event);
      return false;
    }
    case WM_MOUSEWHEEL: {
      POINT point = PointFromLParam(lParam);
      ScreenToClient(window_, &point);
      lastMousePoint_ = point;
      CControlUI* control = FindControl(point);
      if (!control || control->GetManager() != this) return false;
      const int delta = GET_WHEEL_DELTA_WPARAM(wParam);
      TEventUI event = MakeEvent(UIEVENT_SCROLLWHEEL, control, MAKEWPARAM(delta < 0 ? SB_LINEDOWN : SB_LINEUP, delta),
                                 lParam);
      control->Event(event);
      return false;
    }
    case WM_CONTEXTMENU: {
      ReleaseCapture();
      if (!pressed_) return false;
      TEventUI event = MakeEvent(UIEVENT_CONTEXTMENU, pressed_, wParam, lParam);
      pressed_->Event(event);
      return false;
    }
    case WM_MOUSEHOVER:
      return HandleHover(lParam);
    case WM_MOUSELEAVE:
      HideTooltip();
      if (mouseTracking_) {
        mouseTracking_ = false;
        // The hover control leaves as if the mouse moved off every control.
        HandleMouseMove(0, MAKELPARAM(-1, -1));
      }
      mouseTracking_ = false;
      return false;
    case WM_KEYDOWN:
      if (!focus_) return false;
      {
        CControlUI* control = focus_;
        TEventUI event = MakeEvent(UIEVENT_KEYDOWN, control, wParam, lParam);
        event.key = static_cast<wchar_t>(wParam);
        keyPressed_ = control;
        control->Event(event);
      }
      return false;
    case WM_KEYUP:
      if (!keyPressed_) return false;
      {
        CControlUI* control = std::exchange(keyPressed_, nullptr);
        TEventUI event = MakeEvent(UIEVENT_KEYUP, control, wParam, lParam);
        event.key = static_cast<wchar_t>(wParam);
        control->Event(event);
      }
      return false;
    case WM_CHAR:
      if (!focus_) return false;
      {
        TEventUI event = MakeEvent(UIEVENT_CHAR, focus_, wParam, lParam);
        event.key = static_cast<wchar_t>(wParam);
        focus_->Event(event);
      }
      return false;
    case WM_SETCURSOR: {
      if (LOWORD(lParam) != HTCLIENT) return false;
      if (mouseCapture_) {
        result = TRUE;
        return true;
      }
      POINT point{};
      GetCursorPos(&point);
      ScreenToClient(window_, &point);
      CControlUI* control = FindControl(point);
      if (!control || !(control->GetControlFlags() & UIFLAG_SETCURSOR)) return false;
      TEventUI event = MakeEvent(UIEVENT_SETCURSOR, control, wParam, lParam);
      event.mousePoint = point;
      control->Event(event);
      result = TRUE;
      return true;
    }
    case WM_SIZE:
      if (focus_) {
        TEventUI event = MakeEvent(UIEVENT_WINDOWSIZE, focus_, wParam, lParam);
        focus_->Event(event);
      }
      if (root_) root_->NeedUpdate();
      needUpdate_ = true;
      if (layered_) Invalidate();
      return false;
    case WM_SETFOCUS:
      if (focus_) {
        TEventUI event = MakeEvent(UIEVENT_SETFOCUS, focus_, wParam, lParam);
        focus_->Event(event);
      }
      return false;
    case WM_KILLFOCUS:
      if (killFocusSendsButtonUp_ && pressed_) {
        CControlUI* control = std::exchange(pressed_, nullptr);
        TEventUI event = MakeEvent(UIEVENT_BUTTONUP, control, 0, 0);
        control->Event(event);
        if (mouseCapture_) ReleaseCapture();
      }
      SetFocus(nullptr);
      return false;
    case WM_CLOSE: {
      if (hover_) {
        CControlUI* control = std::exchange(hover_, nullptr);
        TEventUI event = MakeEvent(UIEVENT_MOUSELEAVE, control, wParam, lParam);
        control->Event(event);
      }
      if (pressed_) {
        CControlUI* control = std::exchange(pressed_, nullptr);
        TEventUI event = MakeEvent(UIEVENT_BUTTONUP, control, wParam, lParam);
        control->Event(event);
      }
      SetFocus(nullptr);
      if (GetActiveWindow() == window_) {
        if (HWND owner = GetWindow(window_, GW_OWNER)) ::SetFocus(owner);
      }
      DestroyTooltip();
      return false;
    }
    case WM_ERASEBKGND:
      result = 1;
      return true;
    case kMsgAsyncNotify:
      DeliverAsyncQueue();
      result = 0;
      return true;
    case WM_PAINT:
      result = 0;
      return HandlePaint();
    case kMsgAfterFirstFrame:
      shadow_->Create(this);
      prefetch_.reset();  // what the first frame did not take is not needed soon
      result = 0;
      return true;
    case kMsgLayeredPaint:
      layeredPaintPosted_ = false;
      if (layered_) HandlePaint();
      result = 0;
      return true;
    default:
      return false;
  }
}

bool CPaintManagerUI::HandleMouseMove(WPARAM wParam, LPARAM lParam) {
  if (!mouseTracking_) {
    TRACKMOUSEEVENT track{sizeof(track), TME_HOVER | TME_LEAVE, window_, static_cast<DWORD>(tooltipHoverTime_)};
    if (tooltipWindow_) {
      track.dwHoverTime = static_cast<DWORD>(::SendMessageW(tooltipWindow_.Get(), TTM_GETDELAYTIME, TTDT_INITIAL, 0));
    }
    TrackMouseEvent(&track);
    mouseTracking_ = true;
  }
  const POINT point = PointFromLParam(lParam);
  lastMousePoint_ = point;
  CControlUI* newHover = FindControl(point);
  if (newHover && newHover->GetManager() != this) return false;
  if (newHover != hover_ && hover_) {
    CControlUI* old = std::exchange(hover_, nullptr);
    TEventUI event = MakeEvent(UIEVENT_MOUSELEAVE, old, wParam, lParam);
    old->Event(event);
    HideTooltip();
  }
  if (newHover != hover_ && newHover) {
    hover_ = newHover;
    TEventUI event = MakeEvent(UIEVENT_MOUSEENTER, newHover, wParam, lParam);
    newHover->Event(event);
  }
  if (pressed_) {
    CControlUI* control = pressed_;
    const bool moved = std::abs(point.x - pressPoint_.x) > kDragThreshold ||
                       std::abs(point.y - pressPoint_.y) > kDragThreshold;
    int type = UIEVENT_MOUSEMOVE;
    if (control->IsDragEnabled() && (wParam & MK_LBUTTON) && moved) {
      type = UIEVENT_BEGINDRAG;
    } else if (control->IsDragMoveEnabled()) {
      type = dragMoving_ ? UIEVENT_DRAGMOVING : UIEVENT_DRAGMOVEBEGIN;
      dragMoving_ = true;
    }
    TEventUI event = MakeEvent(type, control, wParam, lParam);
    control->Event(event);
  } else if (hover_) {
    TEventUI event = MakeEvent(UIEVENT_MOUSEMOVE, hover_, wParam, lParam);
    hover_->Event(event);
  }
  return false;
}

bool CPaintManagerUI::HandleHover(LPARAM lParam) {
  mouseTracking_ = false;
  const POINT point = PointFromLParam(lParam);
  CControlUI* control = FindControl(point);
  if (!control) return false;
  TEventUI event = MakeEvent(UIEVENT_MOUSEHOVER, control, 0, lParam);
  event.mousePoint = point;
  control->Event(event);
  if (control != lastHoverTarget_ && !control->GetToolTip().empty()) ShowTooltip(control);
  lastHoverTarget_ = control;
  return true;
}

void CPaintManagerUI::ShowTooltip(CControlUI* control) {
  if (!tooltipWindow_) {
    CWarmUp::Process().Wait();
    tooltipWindow_.Reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                         WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                                         CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, GetModuleHandleW(nullptr),
                                         nullptr));
    if (!tooltipWindow_) return;
    tooltipInfo_ = TOOLINFOW{};
    tooltipInfo_.cbSize = TTTOOLINFOW_V1_SIZE;
    tooltipInfo_.uFlags = TTF_IDISHWND | TTF_TRACK | TTF_ABSOLUTE;
    tooltipInfo_.hwnd = window_;
    tooltipInfo_.uId = reinterpret_cast<UINT_PTR>(window_);
    tooltipText_ = control->GetToolTip();
    tooltipInfo_.lpszText = tooltipText_.data();
    tooltipInfo_.rect = control->GetPos();
    ::SendMessageW(tooltipWindow_.Get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tooltipInfo_));
  }
  tooltipText_ = control->GetToolTip();
  tooltipInfo_.lpszText = tooltipText_.data();
  tooltipInfo_.rect = control->GetPos();
  HWND tip = tooltipWindow_.Get();
  ::SendMessageW(tip, TTM_SETMAXTIPWIDTH, 0, control->GetToolTipWidth());
  ::SendMessageW(tip, TTM_SETTIPBKCOLOR, ToColorRef(tooltipBkColor_), 0);
  ::SendMessageW(tip, TTM_SETTIPTEXTCOLOR, ToColorRef(tooltipTextColor_), 0);
  ::SendMessageW(tip, TTM_SETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tooltipInfo_));
  POINT cursor{};
  GetCursorPos(&cursor);
  ::SendMessageW(tip, TTM_TRACKPOSITION, 0, MAKELPARAM(cursor.x, cursor.y + 20));
  ::SendMessageW(tip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tooltipInfo_));
}

void CPaintManagerUI::HideTooltip() {
  if (tooltipWindow_) {
    ::SendMessageW(tooltipWindow_.Get(), TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tooltipInfo_));
  }
  lastHoverTarget_ = nullptr;
}

void CPaintManagerUI::DestroyTooltip() {
  tooltipWindow_.Reset();
  lastHoverTarget_ = nullptr;
}

// ---------------- Painting ----------------

bool CPaintManagerUI::HandlePaint() {
  if (!root_) {
    kw::PaintScope paint(window_);
    FillRect(paint.Get(), &paint.Info().rcPaint, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    return true;
  }
  RECT area{};
  std::optional<kw::PaintScope> paint;
  if (layered_) {
    RECT update{};
    if (GetUpdateRect(window_, &update, FALSE)) UnionRect(&layeredUpdate_, &layeredUpdate_, &update);
    ValidateRect(window_, nullptr);
    area = layeredUpdate_;
    if (IsRectEmpty(&area)) return true;
  } else {
    paint.emplace(window_);
    area = paint->Info().rcPaint;
    if (IsRectEmpty(&area)) return true;
  }

  RECT client{};
  GetClientRect(window_, &client);
  bool rootLaidOut = false;
  if (needUpdate_) {
    needUpdate_ = false;
    if (!IsRectEmpty(&client)) {
      if (root_->IsUpdateNeeded()) {
        surface_.Release();
        RECT rootRect = client;
        if (layered_) {
          rootRect.left += layeredInset_.left;
          rootRect.top += layeredInset_.top;
          rootRect.right -= layeredInset_.right;
          rootRect.bottom -= layeredInset_.bottom;
        }
        root_->SetPos(rootRect, true);
        rootLaidOut = true;
      } else {
        std::vector<CControlUI*> stale;
        root_->FindControl(
            [](CControlUI* c, void* data) -> CControlUI* {
              if (c->IsUpdateNeeded()) static_cast<std::vector<CControlUI*>*>(data)->push_back(c);
              return nullptr;
            },
            &stale, UIFIND_VISIBLE | UIFIND_ME_FIRST);
        for (CControlUI* control : stale) {
          if (control->IsUpdateNeeded()) control->SetPos(control->GetPos(), true);
        }
      }
      if (firstLayout_) {
        firstLayout_ = false;
        SendNotify(root_, L"windowinit");
        if (!root_) return true;
      }
      if (layered_ && layeredChanged_) {
        // New layered settings: this pass draws the whole window.
        layeredChanged_ = false;
        area = client;
      }
      shadow_->Update(window_);
    }
  }
  if (focusNeeded_) {
    focusNeeded_ = false;
    if (focusPending_) SetFocus(std::exchange(focusPending_, nullptr));
  }

  if (layered_) {
    const LONG exStyle = GetWindowLongW(window_, GWL_EXSTYLE);
    if (!(exStyle & WS_EX_LAYERED)) SetWindowLongW(window_, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
    UnionRect(&area, &area, &layeredUpdate_);
    layeredUpdate_ = RECT{};
    IntersectRect(&area, &area, &client);
  }

  const int width = client.right - client.left;
  const int height = client.bottom - client.top;
  if (!surface_.Matches(width, height)) {
    if (!surface_.Create(paintDc_.Get(), width, height)) {
      surface_.Release();
      return true;
    }
    if (layered_) area = client;  // a new surface holds nothing yet
  }
  // The painted area starts transparent: alpha must not pile up.
  for (int y = std::max(0L, area.top); y < std::min<LONG>(height, area.bottom); ++y) {
    std::uint32_t* row = surface_.Row(y);
    std::fill(row + std::max(0L, area.left), row + std::min<LONG>(width, area.right), 0u);
  }

  HDC offscreen = surface_.Dc();
  {
    CRenderClip clip;
    CRenderClip::GenerateClip(offscreen, area, clip);
    inPaint_ = true;
    root_->Paint(offscreen, area, nullptr);
    if (layered_) {
      for (auto it = nativeWindows_.begin(); it != nativeWindows_.end();) {
        HWND child = it->second;
        if (!IsWindow(child)) {
          it = nativeWindows_.erase(it);
          continue;
        }
        ++it;
        RECT childRect{};
        GetWindowRect(child, &childRect);
        MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&childRect), 2);
        RECT overlap{};
        if (!IsWindowVisible(child) || !IntersectRect(&overlap, &childRect, &area)) continue;
        COffscreenSurface print;
        if (!print.Create(offscreen, childRect.right - childRect.left, childRect.bottom - childRect.top)) continue;
        ::SendMessageW(child, WM_PRINT, reinterpret_cast<WPARAM>(print.Dc()),
                       PRF_CHECKVISIBLE | PRF_CHILDREN | PRF_CLIENT | PRF_OWNED);
        for (int y = 0; y < print.Height(); ++y) {
          std::uint32_t* row = print.Row(y);
          for (int x = 0; x < print.Width(); ++x) {
            if (row[x] != 0) row[x] |= 0xFF000000u;
          }
        }
        BitBlt(offscreen, childRect.left, childRect.top, print.Width(), print.Height(), print.Dc(), 0, 0, SRCCOPY);
      }
    }
    for (CControlUI* control : std::vector<CControlUI*>(postPaint_)) control->DoPostPaint(offscreen, area);
    inPaint_ = false;
  }

  if (layered_) {
    FixLayeredAlpha(area);
    if (showDirty_) {
      kw::UniqueBrush red(CreateSolidBrush(RGB(255, 0, 0)));
      FrameRect(offscreen, &area, red.Get());
    }
    RECT window{};
    GetWindowRect(window_, &window);
    POINT destination{window.left, window.top};
    SIZE size{width, height};
    POINT source{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, opacity_, AC_SRC_ALPHA};
    UpdateLayeredWindow(window_, nullptr, &destination, &size, offscreen, &source, 0, &blend, ULW_ALPHA);
  } else {
    HDC target = paint->Get();
    BitBlt(target, area.left, area.top, area.right - area.left, area.bottom - area.top, offscreen, area.left,
           area.top, SRCCOPY);
    if (showDirty_) {
      kw::UniqueBrush red(CreateSolidBrush(RGB(255, 0, 0)));
      FrameRect(target, &area, red.Get());
    }
  }
  if (++completedPaints_ == 1) {
    kw::DebugTrace(L"first frame %lu ms after the process started", kw::MillisecondsSinceProcessStart());
    // What the first frame did not need may load now, and the window may do
    // what it put off until it was seen.
    CWarmUp::Process().ReleaseDeferred();
    PostMessageW(window_, kMsgAfterFirstFrame, 0, 0);
    if (root_) SendNotify(root_, L"firstframe", 0, 0, true);
  }
  if (rootLaidOut && root_) SendNotify(root_, L"windowsize", 0, 0, true);
  return true;
}

void CPaintManagerUI::FixLayeredAlpha(const RECT& area) {
  const int width = surface_.Width();
  const int height = surface_.Height();
  const ImageEntry* mask = layeredImage_.empty() ? nullptr : GetImageEx(layeredImage_);
  for (int y = std::max(0L, area.top); y < std::min<LONG>(height, area.bottom); ++y) {
    std::uint32_t* row = surface_.Row(y);
    for (int x = std::max(0L, area.left); x < std::min<LONG>(width, area.right); ++x) {
      std::uint32_t& pixel = row[x];
      if (mask && mask->bits) {
        const std::uint32_t alpha =
            (x < mask->width && y < mask->height) ? (mask->bits[y * mask->width + x] >> 24) : 0u;
        const auto scale = [alpha](std::uint32_t channel) { return channel * alpha / 255u; };
        pixel = (alpha << 24) | (scale((pixel >> 16) & 0xFF) << 16) | (scale((pixel >> 8) & 0xFF) << 8) |
                scale(pixel & 0xFF);
      } else if ((pixel >> 24) == 0 && (pixel & 0x00FFFFFFu) != 0) {
        pixel |= 0xFF000000u;  // GDI output carries no alpha
      }
    }
  }
}

// ---------------- Fonts ----------------

std::unique_ptr<FontEntry> CPaintManagerUI::MakeFont(std::wstring_view face, int size, bool bold, bool underline,
                                                     bool italic, bool addBoldWeight, bool clearType) const {
  LOGFONTW font{};
  GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font);
  const LONG defaultWeight = font.lfWeight;
  if (!face.empty()) {
    const std::size_t length = std::min<std::size_t>(face.size(), LF_FACESIZE - 1);
    std::fill(std::begin(font.lfFaceName), std::end(font.lfFaceName), L'\0');
    std::copy_n(face.data(), length, font.lfFaceName);
  }
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfHeight = -Scale(size);
  if (bold) font.lfWeight = addBoldWeight ? defaultWeight + FW_BOLD : FW_BOLD;
  font.lfUnderline = underline ? TRUE : FALSE;
  font.lfItalic = italic ? TRUE : FALSE;
  if (clearType) font.lfQuality = CLEARTYPE_QUALITY;
  auto entry = std::make_unique<FontEntry>();
  entry->font.Reset(CreateFontIndirectW(&font));
  if (!entry->font) return nullptr;
  entry->faceName = font.lfFaceName;
  entry->size = size;
  entry->bold = bold;
  entry->underline = underline;
  entry->italic = italic;
  ReadMetrics(*entry);
  return entry;
}

void CPaintManagerUI::ReadMetrics(FontEntry& entry) const {
  if (!paintDc_) return;
  kw::Selection selected(paintDc_.Get(), entry.font.Get());
  GetTextMetricsW(paintDc_.Get(), &entry.metrics);
}

HFONT CPaintManagerUI::AddFont(int id, std::wstring_view face, int size, bool bold, bool underline, bool italic,
                               bool shared) {
  std::unique_ptr<FontEntry> entry = MakeFont(face, size, bold, underline, italic, false, false);
  if (!entry) return nullptr;
  HFONT handle = entry->font.Get();
  auto& map = (shared || shareAllFonts_) ? Process().sharedFonts : fonts_;
  map.insert_or_assign(FontKey(id), std::move(entry));
  return handle;
}

const FontEntry* CPaintManagerUI::GetFontInfo(int id) {
  if (id >= 0) {
    const std::wstring key = FontKey(id);
    if (auto it = fonts_.find(key); it != fonts_.end()) return it->second.get();
    if (auto it = Process().sharedFonts.find(key); it != Process().sharedFonts.end()) return it->second.get();
  }
  return &GetDefaultFontInfo();
}

HFONT CPaintManagerUI::GetFont(int id) { return GetFontInfo(id)->font.Get(); }

const FontEntry* CPaintManagerUI::GetFontInfo(HFONT font) {
  for (const auto& [key, entry] : fonts_) {
    if (entry->font.Get() == font) return entry.get();
  }
  for (const auto& [key, entry] : Process().sharedFonts) {
    if (entry->font.Get() == font) return entry.get();
  }
  return nullptr;
}

const FontEntry& CPaintManagerUI::GetDefaultFontInfo() {
  if (defaultFont_) return *defaultFont_;
  if (Process().sharedDefaultFont) return *Process().sharedDefaultFont;
  FontEntry& system = *Process().systemFont;
  if (system.metrics.tmHeight == 0) ReadMetrics(system);
  return system;
}

void CPaintManagerUI::SetDefaultFont(std::wstring_view face, int size, bool bold, bool underline, bool italic,
                                     bool shared) {
  std::unique_ptr<FontEntry> entry = MakeFont(face, size, bold, underline, italic, true, false);
  if (!entry) return;
  if (shared) {
    Process().sharedDefaultFont = std::move(entry);
  } else {
    defaultFont_ = std::move(entry);
  }
}

bool CPaintManagerUI::RemoveFont(int id, bool shared) {
  auto& map = shared ? Process().sharedFonts : fonts_;
  return map.erase(FontKey(id)) > 0;
}

void CPaintManagerUI::RemoveAllFonts(bool shared) { (shared ? Process().sharedFonts : fonts_).clear(); }

int CPaintManagerUI::FontCount(bool shared) const {
  return static_cast<int>((shared ? Process().sharedFonts : fonts_).size());
}

bool CPaintManagerUI::HasFont(int id, bool shared) const {
  const auto& map = shared ? Process().sharedFonts : fonts_;
  return map.find(FontKey(id)) != map.end();
}

void CPaintManagerUI::RebuildFontsForDpi() {
  auto rebuild = [this](std::unique_ptr<FontEntry>& entry) {
    if (!entry) return;
    std::unique_ptr<FontEntry> fresh =
        MakeFont(entry->faceName, entry->size, entry->bold, entry->underline, entry->italic, true, true);
    if (fresh) entry = std::move(fresh);
  };
  for (auto& [key, entry] : fonts_) rebuild(entry);
  rebuild(defaultFont_);
  for (auto& [key, entry] : Process().sharedFonts) rebuild(entry);
  rebuild(Process().sharedDefaultFont);
}

// ---------------- Default attribute lists and styles ----------------

void CPaintManagerUI::AddDefaultAttributeList(std::wstring_view controlName, std::wstring_view attributes,
                                              bool shared) {
  auto& map = shared ? Process().sharedDefaultAttributes : defaultAttributes_;
  map.insert_or_assign(std::wstring(controlName), std::wstring(attributes));
}

std::wstring_view CPaintManagerUI::GetDefaultAttributeList(std::wstring_view controlName) const {
  if (auto it = defaultAttributes_.find(controlName); it != defaultAttributes_.end()) return it->second;
  const auto& shared = Process().sharedDefaultAttributes;
  if (auto it = shared.find(controlName); it != shared.end()) return it->second;
  return {};
}

bool CPaintManagerUI::RemoveDefaultAttributeList(std::wstring_view controlName, bool shared) {
  auto& map = shared ? Process().sharedDefaultAttributes : defaultAttributes_;
  auto it = map.find(controlName);
  if (it == map.end()) return false;
  map.erase(it);
  return true;
}

void CPaintManagerUI::AddStyle(std::wstring_view name, std::wstring_view attributes, bool shared) {
  if (name.empty()) return;
  auto& map = shared ? Process().sharedStyles : styles_;
  map.insert_or_assign(std::wstring(name), std::wstring(attributes));
}

const std::wstring* CPaintManagerUI::GetStyle(std::wstring_view name) const {
  if (name.empty()) return nullptr;
  if (auto it = styles_.find(name); it != styles_.end()) return &it->second;
  const auto& shared = Process().sharedStyles;
  if (auto it = shared.find(name); it != shared.end()) return &it->second;
  return nullptr;
}

void CPaintManagerUI::RemoveAllStyles(bool shared) { (shared ? Process().sharedStyles : styles_).clear(); }

}  // namespace DuiLib
