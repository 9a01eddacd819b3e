#include "ui/shadow.h"

#include <map>
#include <vector>

#include "ui/image_draw.h"
#include "ui/image_types.h"
#include "ui/offscreen_surface.h"
#include "ui/paint_manager.h"
#include "ui/shadow_bitmap.h"

namespace DuiLib {

namespace {

constexpr int kMaxReach = 35;

// The hooked parents of the process: a parent whose shadow went away before
// it keeps its entry with a null shadow, so that its messages still reach
// the procedure that was there before.
struct ParentHook {
  CShadowUI* shadow = nullptr;
  WNDPROC previous = nullptr;
};
std::map<HWND, ParentHook>& ParentHooks() {
  static std::map<HWND, ParentHook> hooks;
  return hooks;
}

bool RegisterShadowClass() {
  static const bool registered = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = CShadowUI::kWindowClass;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  return registered;
}

// The parent's shape, one span per row: its window region, or its rectangle.
std::vector<ShadowSpan> ParentSpans(HWND parent, int width, int height) {
  kw::UniqueRegion region(CreateRectRgn(0, 0, 0, 0));
  const int kind = region ? GetWindowRgn(parent, region.Get()) : ERROR;
  if (kind == ERROR) return FullSpans(width, height);
  if (kind == NULLREGION) return std::vector<ShadowSpan>(static_cast<size_t>(height));
  const DWORD bytes = GetRegionData(region.Get(), 0, nullptr);
  std::vector<unsigned char> data(bytes);
  auto* header = reinterpret_cast<RGNDATA*>(data.data());
  if (bytes < sizeof(RGNDATAHEADER) || GetRegionData(region.Get(), bytes, header) != bytes)
    return FullSpans(width, height);
  const auto* rects = reinterpret_cast<const RECT*>(header->Buffer);
  std::vector<IntRect> shape(header->rdh.nCount);
  for (DWORD i = 0; i < header->rdh.nCount; ++i)
    shape[i] = IntRect{rects[i].left, rects[i].top, rects[i].right, rects[i].bottom};
  return SpansFromRects(shape.data(), shape.size(), width, height);
}

}  // namespace

CShadowUI::CShadowUI() = default;

CShadowUI::~CShadowUI() {
  Detach();
  window_.Reset();
}

// ---------------- Settings ----------------

bool CShadowUI::SetSize(int size) {
  if (size < -kMaxReach || size > kMaxReach) return false;
  size_ = size;
  UpdateIfShown();
  return true;
}

bool CShadowUI::SetSharpness(int sharpness) {
  if (sharpness < 0 || sharpness > kMaxReach) return false;
  sharpness_ = sharpness;
  UpdateIfShown();
  return true;
}

bool CShadowUI::SetDarkness(int darkness) {
  if (darkness < 0 || darkness > 255) return false;
  darkness_ = darkness;
  UpdateIfShown();
  return true;
}

bool CShadowUI::SetPosition(int x, int y) {
  if (x < -kMaxReach || x > kMaxReach || y < -kMaxReach || y > kMaxReach) return false;
  offsetX_ = x;
  offsetY_ = y;
  UpdateIfShown();
  return true;
}

bool CShadowUI::SetColor(DWORD color) {
  color_ = color & 0x00FFFFFF;
  UpdateIfShown();
  return true;
}

bool CShadowUI::SetShadowCorner(const RECT& corner) {
  if (corner.left < 0 || corner.top < 0 || corner.right < 0 || corner.bottom < 0) return false;
  corner_ = corner;
  UpdateIfShown();
  return true;
}

bool CShadowUI::SetImage(std::wstring_view descriptor) {
  image_ = descriptor;
  UpdateIfShown();
  return true;
}

void CShadowUI::ShowShadow(bool show) {
  show_ = show;
  // Switched off later: nothing of it may stay on screen.
  if (!show && window_) Hide();
}

void CShadowUI::CopyShadow(const CShadowUI& other) {
  show_ = other.show_;
  darkness_ = other.darkness_;
  sharpness_ = other.sharpness_;
  size_ = other.size_;
  offsetX_ = other.offsetX_;
  offsetY_ = other.offsetY_;
  color_ = other.color_;
  image_ = other.image_;
  corner_ = other.corner_;
  UpdateIfShown();
}

void CShadowUI::UpdateIfShown() {
  if (window_ && IsVisible() && parent_) Update(parent_);
}

// ---------------- Window ----------------

void CShadowUI::Create(CPaintManagerUI* manager) {
  if (manager) Create(manager, manager->GetPaintWindow());
}

void CShadowUI::Create(CPaintManagerUI* manager, HWND parent) {
  if (!show_ || !parent || !IsWindow(parent)) return;
  // A window attaches a new root now and then: it keeps its one shadow and
  // is never hooked twice.
  if (window_ && parent_ == parent) return;
  Detach();
  window_.Reset();
  if (!RegisterShadowClass()) return;
  manager_ = manager;
  parent_ = parent;

  const LONG parentStyle = GetWindowLongW(parent, GWL_STYLE);
  window_.Reset(CreateWindowExW(WS_EX_LAYERED | WS_EX_TRANSPARENT, kWindowClass, nullptr,
                                WS_POPUPWINDOW | (parentStyle & WS_DLGFRAME), CW_USEDEFAULT, 0, 0, 0, parent,
                                nullptr, GetModuleHandleW(nullptr), nullptr));
  if (!window_) {
    parent_ = nullptr;
    return;
  }
  RECT client{};
  GetClientRect(parent, &client);
  lastParentSize_ = SIZE{client.right - client.left, client.bottom - client.top};

  // The hook goes in before the first update, so that nothing the update
  // causes slips past it.
  ParentHook& hook = ParentHooks()[parent];
  if (hook.previous == nullptr) {
    hook.previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(parent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CShadowUI::ParentProc)));
  }
  hook.shadow = this;

  if (!IsWindowVisible(parent)) {
    status_ = kEnabled;
  } else if (IsZoomed(parent) || IsIconic(parent)) {
    status_ = kEnabled | kParentVisible;
  } else {
    status_ = kEnabled | kParentVisible;
    Show(parent);
  }
}

// Unhooks the parent when our hook is still the one it calls; otherwise the
// hook stays and passes every message through.
void CShadowUI::Detach() {
  if (!parent_) return;
  auto& hooks = ParentHooks();
  const auto found = hooks.find(parent_);
  if (found != hooks.end() && found->second.shadow == this) {
    const LONG_PTR current = IsWindow(parent_) ? GetWindowLongPtrW(parent_, GWLP_WNDPROC) : 0;
    if (current == reinterpret_cast<LONG_PTR>(&CShadowUI::ParentProc)) {
      SetWindowLongPtrW(parent_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(found->second.previous));
      hooks.erase(found);
    } else {
      found->second.shadow = nullptr;
    }
  }
  parent_ = nullptr;
  manager_ = nullptr;
  status_ = 0;
}

void CShadowUI::Show(HWND parent) {
  status_ |= kVisible;
  ShowWindow(window_.Get(), SW_SHOWNOACTIVATE);
  Update(parent);
}

void CShadowUI::Hide() {
  status_ &= ~kVisible;
  ShowWindow(window_.Get(), SW_HIDE);
}

POINT CShadowUI::Origin(const RECT& parentRect) const {
  // The offset belongs to the computed shadow; an image lies evenly around.
  const bool computed = image_.empty();
  return POINT{parentRect.left + (computed ? offsetX_ : 0) - size_, parentRect.top + (computed ? offsetY_ : 0) - size_};
}

void CShadowUI::FollowParent(HWND parent) {
  RECT parentRect{};
  if (!GetWindowRect(parent, &parentRect)) return;
  const POINT origin = Origin(parentRect);
  SetWindowPos(window_.Get(), nullptr, origin.x, origin.y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOZORDER);
}

bool CShadowUI::DrawImage(const COffscreenSurface& surface) {
  if (!manager_) return false;
  const ImageDescriptor* descriptor = manager_->GetDrawInfo(image_, {});
  if (!descriptor || descriptor->imageName.empty()) return false;
  const ImageEntry* entry = manager_->GetImageEx(descriptor->imageName, descriptor->resourceType, descriptor->mask);
  if (!entry) return false;
  ImageDrawParams params;
  params.dest = ImageRect{0, 0, surface.Width(), surface.Height()};
  params.paint = params.dest;
  params.source = ImageRect{0, 0, entry->width, entry->height};
  params.layout.corner = ImageRect{corner_.left, corner_.top, corner_.right, corner_.bottom};
  params.alphaBlend = true;
  return DrawImageEntry(surface.Dc(), *entry, params);
}

void CShadowUI::Update(HWND parent) {
  if (!show_ || !IsVisible() || !window_ || !parent) return;
  RECT parentRect{};
  if (!GetWindowRect(parent, &parentRect)) return;
  const bool imageMode = !image_.empty();
  if (!imageMode && size_ == 0) return;
  const int parentWidth = parentRect.right - parentRect.left, parentHeight = parentRect.bottom - parentRect.top;
  const int width = ShadowExtent(parentWidth, size_), height = ShadowExtent(parentHeight, size_);

  // A bitmap that cannot be made or drawn leaves the previous one in place.
  auto surface = std::make_unique<COffscreenSurface>();
  if (!surface->Create(nullptr, width, height)) return;
  if (imageMode) {
    if (!DrawImage(*surface)) return;
  } else {
    const ShadowLook look{size_, sharpness_, darkness_, static_cast<uint32_t>(color_), offsetX_, offsetY_};
    MakeShadow(ParentSpans(parent, parentWidth, parentHeight), look,
               ShadowCanvas{surface->Pixels(), surface->Width(), surface->Height()});
  }

  POINT origin = Origin(parentRect);
  MoveWindow(window_.Get(), origin.x, origin.y, width, height, FALSE);
  SIZE extent{width, height};
  POINT sourceOrigin{0, 0};
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  if (UpdateLayeredWindow(window_.Get(), nullptr, &origin, &extent, surface->Dc(), &sourceOrigin, 0, &blend,
                          ULW_ALPHA))
    pushed_ = std::move(surface);
}

// ---------------- The parent's messages ----------------

LRESULT CALLBACK CShadowUI::ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto& hooks = ParentHooks();
  const auto found = hooks.find(window);
  if (found == hooks.end()) return DefWindowProcW(window, message, wParam, lParam);
  const ParentHook hook = found->second;  // the handling below may erase the entry
  if (message == WM_NCDESTROY) {
    hooks.erase(found);
    if (hook.shadow) hook.shadow->parent_ = nullptr, hook.shadow->status_ = 0;
  } else if (hook.shadow) {
    hook.shadow->OnParentMessage(window, message, wParam, lParam);
  }
  return CallWindowProcW(hook.previous, window, message, wParam, lParam);
}

void CShadowUI::OnParentMessage(HWND parent, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!window_ && message != WM_DESTROY) return;
  switch (message) {
    case WM_DESTROY:
      window_.Reset();
      status_ = 0;
      break;
    case WM_MOVE:
      if (IsVisible()) FollowParent(parent);
      break;
    case WM_SIZE:
      if (!(status_ & kEnabled)) break;
      if (wParam == SIZE_MINIMIZED || wParam == SIZE_MAXIMIZED) {
        Hide();
      } else if (status_ & kParentVisible) {
        const SIZE size{LOWORD(lParam), HIWORD(lParam)};
        // Growing is drawn once the user lets go; shrinking at once.
        const bool larger = size.cx > lastParentSize_.cx || size.cy > lastParentSize_.cy;
        if (!IsVisible()) {
          status_ |= kVisible;
          ShowWindow(window_.Get(), SW_SHOWNOACTIVATE);
        }
        if (larger)
          updatePending_ = true;
        else
          Update(parent);
        lastParentSize_ = size;
      }
      break;
    case WM_PAINT:
      if (updatePending_) {
        updatePending_ = false;
        Update(parent);
      }
      break;
    case WM_SHOWWINDOW:
      if (wParam) {
        status_ |= kParentVisible;
        if ((status_ & kEnabled) && !IsVisible() && !IsIconic(parent) && !IsZoomed(parent)) Show(parent);
      } else {
        status_ &= ~kParentVisible;
        Hide();
      }
      break;
    case WM_ACTIVATEAPP:
    case WM_NCACTIVATE:
      SetWindowPos(window_.Get(), parent, 0, 0, 0, 0, SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE | SWP_NOREDRAW);
      break;
    case WM_WINDOWPOSCHANGED: {
      const auto* position = reinterpret_cast<const WINDOWPOS*>(lParam);
      if (IsVisible()) FollowParent(parent);
      if (position->flags & SWP_SHOWWINDOW) {
        status_ |= kParentVisible;
        if ((status_ & kEnabled) && !IsVisible() && !IsIconic(parent) && !IsZoomed(parent)) Show(parent);
      } else if (position->flags & SWP_HIDEWINDOW) {
        status_ &= ~kParentVisible;
        Hide();
      }
      break;
    }
    case WM_EXITSIZEMOVE:
      if (IsVisible()) Update(parent);
      break;
    default:
      break;
  }
}

}  // namespace DuiLib
