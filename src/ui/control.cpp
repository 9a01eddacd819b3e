#include "ui/control.h"

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <string>

#include "ui/attribute_table.h"
#include "ui/image_types.h"
#include "ui/paint_manager.h"
#include "ui/render.h"
#include "ui/value_parse.h"

namespace DuiLib {

namespace {

RECT ToRect(const IntRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }
SIZE ToSize(const IntSize& s) { return SIZE{s.cx, s.cy}; }

struct CursorName {
  std::wstring_view name;
  WORD id;
};
constexpr CursorName kCursors[] = {
    {L"arrow", 32512},   {L"ibeam", 32513},    {L"wait", 32514},     {L"cross", 32515},   {L"uparrow", 32516},
    {L"size", 32640},    {L"icon", 32641},     {L"sizenwse", 32642}, {L"sizenesw", 32643}, {L"sizewe", 32644},
    {L"sizens", 32645},  {L"sizeall", 32646},  {L"no", 32648},       {L"hand", 32649},
};

// `float`: a boolean, or four fractions (left, top, right, bottom) with commas.
void ApplyFloat(CControlUI& c, std::wstring_view value) {
  if (value.find(L',') == std::wstring_view::npos) {
    c.SetFloat(ParseBool(value));
    return;
  }
  std::wstring text(value);
  FloatPercent percent;
  double* fields[] = {&percent.left, &percent.top, &percent.right, &percent.bottom};
  const wchar_t* at = text.c_str();
  for (double* field : fields) {
    wchar_t* end = nullptr;
    *field = std::wcstod(at, &end);
    at = end;
    while (*at == L',' || *at == L' ') ++at;
  }
  c.SetFloatPercent(percent);
  c.SetFloat(true);
}

void ApplyPos(CControlUI& c, std::wstring_view value) {
  const IntRect r = ParseRect(value);
  c.SetFixedXY(SIZE{r.left < 0 ? r.right : r.left, r.top < 0 ? r.bottom : r.top});
  c.SetFixedWidth(r.right - r.left);
  c.SetFixedHeight(r.bottom - r.top);
}

void ApplyCursor(CControlUI& c, std::wstring_view value) {
  for (const CursorName& cursor : kCursors) {
    if (cursor.name == value) c.SetCursor(cursor.id);
  }
}

void ApplyBorderSize(CControlUI& c, std::wstring_view value) {
  if (value.find(L',') == std::wstring_view::npos) {
    c.SetBorderSize(ParseInt(value));
  } else {
    c.SetBorderSize(ToRect(ParseRect(value)));
  }
}

}  // namespace

std::vector<std::wstring> SplitSwitchList(std::wstring_view list) {
  std::vector<std::wstring> names;
  std::size_t start = 0;
  for (std::size_t at = list.find(L';'); at != std::wstring_view::npos; at = list.find(L';', start)) {
    names.emplace_back(list.substr(start, at - start));
    start = at + 1;
  }
  return names;
}

std::span<const AttributeSetter<CControlUI>> CControlUI::AttributeTable() {
  static constexpr AttributeSetter<CControlUI> kTable[] = {
    {L"pos", ApplyPos},
    {L"float", ApplyFloat},
    {L"floatalign", [](CControlUI& c, std::wstring_view v) { c.SetFloatAlign(ApplyFloatAlign(c.GetFloatAlign(), v)); }},
    {L"innerstyle", [](CControlUI& c, std::wstring_view v) { c.ApplyAttributeList(v); }},
    {L"padding", [](CControlUI& c, std::wstring_view v) { c.SetPadding(ToRect(ParseRect(v))); }},
    {L"width", [](CControlUI& c, std::wstring_view v) { c.SetFixedWidth(ParseInt(v)); }},
    {L"height", [](CControlUI& c, std::wstring_view v) { c.SetFixedHeight(ParseInt(v)); }},
    {L"minwidth", [](CControlUI& c, std::wstring_view v) { c.SetMinWidth(ParseInt(v)); }},
    {L"minheight", [](CControlUI& c, std::wstring_view v) { c.SetMinHeight(ParseInt(v)); }},
    {L"maxwidth", [](CControlUI& c, std::wstring_view v) { c.SetMaxWidth(ParseInt(v)); }},
    {L"maxheight", [](CControlUI& c, std::wstring_view v) { c.SetMaxHeight(ParseInt(v)); }},
    {L"name", [](CControlUI& c, std::wstring_view v) { c.SetName(v); }},
    {L"text", [](CControlUI& c, std::wstring_view v) { c.SetText(v); }},
    {L"tooltip", [](CControlUI& c, std::wstring_view v) { c.SetToolTip(v); }},
    {L"userdata", [](CControlUI& c, std::wstring_view v) { c.SetUserData(v); }},
    {L"visible", [](CControlUI& c, std::wstring_view v) { c.SetVisible(ParseBool(v)); }},
    {L"enabled", [](CControlUI& c, std::wstring_view v) { c.SetEnabled(ParseBool(v)); }},
    {L"mouse", [](CControlUI& c, std::wstring_view v) { c.SetMouseEnabled(ParseBool(v)); }},
    {L"keyboard", [](CControlUI& c, std::wstring_view v) { c.SetKeyboardEnabled(ParseBool(v)); }},
    {L"menu", [](CControlUI& c, std::wstring_view v) { c.SetContextMenuUsed(ParseBool(v)); }},
    {L"drag", [](CControlUI& c, std::wstring_view v) { c.SetDragEnable(ParseBool(v)); }},
    {L"drop", [](CControlUI& c, std::wstring_view v) { c.SetDropEnable(ParseBool(v)); }},
    {L"dragmove", [](CControlUI& c, std::wstring_view v) { c.SetDragMoveEnable(ParseBool(v)); }},
    {L"resourcetext", [](CControlUI&, std::wstring_view) {}},
    {L"isdynamic", [](CControlUI& c, std::wstring_view v) { c.SetDynamic(ParseBool(v)); }},
    // Only the exact "true" centres.
    {L"horzpaddingcenter", [](CControlUI& c, std::wstring_view v) { c.horzCenter_ = v == L"true"; c.NeedParentUpdate(); }},
    {L"vertpaddingcenter", [](CControlUI& c, std::wstring_view v) { c.vertCenter_ = v == L"true"; c.NeedParentUpdate(); }},
    {L"BkImageSwitchRes", [](CControlUI& c, std::wstring_view v) { c.bkImageSwitch_ = SplitSwitchList(v); }},
    {L"ForeImageSwitchRes", [](CControlUI& c, std::wstring_view v) { c.foreImageSwitch_ = SplitSwitchList(v); }},
    {L"TextColorSwitchRes", [](CControlUI& c, std::wstring_view v) { c.textColorSwitch_ = SplitSwitchList(v); }},
    {L"BkColorSwitchRes", [](CControlUI& c, std::wstring_view v) { c.bkColorSwitch_ = SplitSwitchList(v); }},
    {L"TabSuppot", [](CControlUI& c, std::wstring_view v) { c.SetTabSupport(ParseBool(v)); }},
    {L"DPIPadding", [](CControlUI& c, std::wstring_view v) { c.SetDPIPadding(ParseBool(v)); }},
    {L"DPITextPadding", [](CControlUI& c, std::wstring_view v) { c.SetDPITextPadding(ParseBool(v)); }},
    {L"ReponseMouseEnterLeave", [](CControlUI& c, std::wstring_view v) { c.SetResponseMouseEnterLeave(ParseBool(v)); }},
    {L"Tag", [](CControlUI& c, std::wstring_view v) { c.SetTag(static_cast<UINT_PTR>(ParseInt(v))); }},
    {L"shortcut", [](CControlUI& c, std::wstring_view v) { c.SetShortcut(v.empty() ? 0 : v[0]); }},
    {L"cursor", ApplyCursor},
    {L"virtualwnd", [](CControlUI& c, std::wstring_view v) { c.SetVirtualWnd(v); }},
    {L"bkcolor", [](CControlUI& c, std::wstring_view v) { c.SetBkColor(ParseColor(v)); }},
    {L"bkcolor1", [](CControlUI& c, std::wstring_view v) { c.SetBkColor(ParseColor(v)); }},
    {L"bkcolor2", [](CControlUI& c, std::wstring_view v) { c.SetBkColor2(ParseColor(v)); }},
    {L"bkcolor3", [](CControlUI& c, std::wstring_view v) { c.SetBkColor3(ParseColor(v)); }},
    {L"forecolor", [](CControlUI& c, std::wstring_view v) { c.SetForeColor(ParseColor(v)); }},
    {L"bordercolor", [](CControlUI& c, std::wstring_view v) { c.SetBorderColor(ParseColor(v)); }},
    {L"focusbordercolor", [](CControlUI& c, std::wstring_view v) { c.SetFocusBorderColor(ParseColor(v)); }},
    {L"gradient", [](CControlUI& c, std::wstring_view v) { c.SetGradient(v); }},
    {L"bkcolorround", [](CControlUI& c, std::wstring_view v) { c.SetBkRound(ToSize(ParseSize(v))); }},
    {L"borderround", [](CControlUI& c, std::wstring_view v) { c.SetBorderRound(ToSize(ParseSize(v))); }},
    {L"colorhsl", [](CControlUI& c, std::wstring_view v) { c.SetColorHSL(ParseBool(v)); }},
    {L"bordersize", ApplyBorderSize},
    {L"leftbordersize", [](CControlUI& c, std::wstring_view v) { c.SetLeftBorderSize(ParseInt(v)); }},
    {L"topbordersize", [](CControlUI& c, std::wstring_view v) { c.SetTopBorderSize(ParseInt(v)); }},
    {L"rightbordersize", [](CControlUI& c, std::wstring_view v) { c.SetRightBorderSize(ParseInt(v)); }},
    {L"bottombordersize", [](CControlUI& c, std::wstring_view v) { c.SetBottomBorderSize(ParseInt(v)); }},
    {L"borderstyle", [](CControlUI& c, std::wstring_view v) { c.SetBorderStyle(ParseInt(v)); }},
    {L"bkimage", [](CControlUI& c, std::wstring_view v) { c.SetBkImage(v); }},
    {L"foreimage", [](CControlUI& c, std::wstring_view v) { c.SetForeImage(v); }},
};
  return kTable;
}

CControlUI::CControlUI() = default;

CControlUI::~CControlUI() {
  if (manager_) manager_->ReapObjects(this);
}

std::wstring CControlUI::GetName() const { return name_; }
void CControlUI::SetName(std::wstring_view name) {
  if (name_ == name) return;
  name_ = name;
  if (manager_) manager_->AddNameMapEntry(this);
}
std::wstring_view CControlUI::GetClassName() const { return L"ControlUI"; }
void* CControlUI::FindInterface(std::wstring_view name) { return name == L"Control" ? this : nullptr; }
UINT CControlUI::GetControlFlags() const { return 0; }
bool CControlUI::Activate() { return IsVisible() && IsEnabled(); }
CPaintManagerUI* CControlUI::GetManager() const { return manager_; }
void CControlUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init) {
  manager_ = manager;
  parent_ = parent;
  if (init && parent_) Init();
}
CControlUI* CControlUI::GetParent() const { return parent_; }

std::wstring CControlUI::GetText() const { return text_; }
void CControlUI::SetText(std::wstring_view text) {
  if (text_ == text) return;
  text_ = text;
  Invalidate();
}

int CControlUI::ScaleValue(int value) const { return manager_ ? manager_->Scale(value) : value; }

void CControlUI::SetBkColor(DWORD color) {
  if (bkColor_ == color) return;
  bkColor_ = color;
  Invalidate();
}
void CControlUI::SetBkColor2(DWORD color) {
  if (bkColor2_ == color) return;
  bkColor2_ = color;
  Invalidate();
}
void CControlUI::SetBkColor3(DWORD color) {
  if (bkColor3_ == color) return;
  bkColor3_ = color;
  Invalidate();
}
void CControlUI::SetForeColor(DWORD color) {
  if (foreColor_ == color) return;
  foreColor_ = color;
  Invalidate();
}
void CControlUI::SetGradient(std::wstring_view direction) {
  gradient_ = direction;
  Invalidate();
}
void CControlUI::SetBkRound(SIZE radius) {
  bkRound_ = radius;
  Invalidate();
}
void CControlUI::SetBkImage(std::wstring_view descriptor) {
  if (bkImage_ == descriptor) return;
  bkImage_ = descriptor;
  Invalidate();
}
void CControlUI::SetForeImage(std::wstring_view descriptor) {
  if (foreImage_ == descriptor) return;
  foreImage_ = descriptor;
  Invalidate();
}
void CControlUI::SetBorderColor(DWORD color) {
  borderColor_ = color;
  Invalidate();
}
void CControlUI::SetFocusBorderColor(DWORD color) {
  focusBorderColor_ = color;
  Invalidate();
}
void CControlUI::SetColorHSL(bool hsl) {
  colorHsl_ = hsl;
  Invalidate();
}
void CControlUI::SetBorderSize(RECT sizes) {
  borderSize_ = sizes;
  Invalidate();
}
void CControlUI::SetBorderSize(int size) { SetBorderSize(RECT{size, size, size, size}); }
void CControlUI::SetLeftBorderSize(int size) {
  borderSize_.left = size;
  Invalidate();
}
void CControlUI::SetTopBorderSize(int size) {
  borderSize_.top = size;
  Invalidate();
}
void CControlUI::SetRightBorderSize(int size) {
  borderSize_.right = size;
  Invalidate();
}
void CControlUI::SetBottomBorderSize(int size) {
  borderSize_.bottom = size;
  Invalidate();
}
void CControlUI::SetBorderStyle(int style) {
  borderStyle_ = style;
  Invalidate();
}
void CControlUI::SetBorderRound(SIZE radius) {
  borderRound_ = radius;
  Invalidate();
}

bool CControlUI::DrawImage(HDC dc, std::wstring_view drawText, std::wstring_view modifyText) {
  return DrawImageString(dc, manager_, itemRect_, paintRect_, drawText, modifyText);
}

const RECT& CControlUI::GetPos() const { return itemRect_; }
RECT CControlUI::GetRelativePos() const {
  if (!parent_) return itemRect_;
  const RECT& p = parent_->GetPos();
  return RECT{itemRect_.left - p.left, itemRect_.top - p.top, itemRect_.right - p.left, itemRect_.bottom - p.top};
}
RECT CControlUI::GetClientPos() const { return itemRect_; }

void CControlUI::SetPos(RECT rect, bool invalidate) {
  if (rect.right < rect.left) rect.right = rect.left;
  if (rect.bottom < rect.top) rect.bottom = rect.top;
  const RECT old = itemRect_;
  itemRect_ = rect;
  if (manager_ && !float_ && parent_) {
    const RECT& p = parent_->GetPos();
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (horzCenter_) {
      itemRect_.left = CenteredStart(p.left, p.right - p.left, width);
      itemRect_.right = itemRect_.left + width;
    }
    if (vertCenter_) {
      itemRect_.top = CenteredStart(p.top, p.bottom - p.top, height);
      itemRect_.bottom = itemRect_.top + height;
    }
  }
  if (!inSizeListeners_) {
    inSizeListeners_ = true;
    for (const ControlListener& listener : sizeListeners_) listener(this);
    inSizeListeners_ = false;
  }
  updateNeeded_ = false;
  if (invalidate && IsVisible() && manager_) {
    RECT area{};
    UnionRect(&area, &old, &itemRect_);
    for (CControlUI* ancestor = parent_; ancestor; ancestor = ancestor->GetParent()) {
      if (!IntersectRect(&area, &area, &ancestor->GetPos())) return;
    }
    manager_->Invalidate(area);
  }
}

void CControlUI::Move(SIZE offset, bool invalidate) {
  RECT r = itemRect_;
  OffsetRect(&r, offset.cx, offset.cy);
  SetPos(r, invalidate);
}

int CControlUI::GetWidth() const { return itemRect_.right - itemRect_.left; }
int CControlUI::GetHeight() const { return itemRect_.bottom - itemRect_.top; }
int CControlUI::GetX() const { return itemRect_.left; }
int CControlUI::GetY() const { return itemRect_.top; }

RECT CControlUI::GetPadding() const {
  if (dpiPadding_ && manager_) return manager_->ScaleRect(padding_);
  return padding_;
}
void CControlUI::SetPadding(RECT padding) {
  padding_ = padding;
  NeedParentUpdate();
}
SIZE CControlUI::GetFixedXY() const { return SIZE{ScaleValue(fixedXY_.cx), ScaleValue(fixedXY_.cy)}; }
void CControlUI::SetFixedXY(SIZE xy) {
  fixedXY_ = xy;
  NeedParentUpdate();
}
int CControlUI::GetFixedWidth() const { return ScaleValue(fixedSize_.cx); }
void CControlUI::SetFixedWidth(int cx) {
  if (cx < 0) return;
  fixedSize_.cx = cx;
  NeedParentUpdate();
}
int CControlUI::GetFixedHeight() const { return ScaleValue(fixedSize_.cy); }
void CControlUI::SetFixedHeight(int cy) {
  if (cy < 0) return;
  fixedSize_.cy = cy;
  NeedParentUpdate();
}
int CControlUI::GetMinWidth() const { return ScaleValue(minSize_.cx); }
void CControlUI::SetMinWidth(int cx) {
  if (minSize_.cx == cx || cx < 0) return;
  minSize_.cx = cx;
  NeedParentUpdate();
}
int CControlUI::GetMaxWidth() const { return ScaleValue(maxSize_.cx); }
void CControlUI::SetMaxWidth(int cx) {
  if (maxSize_.cx == cx || cx < 0) return;
  maxSize_.cx = cx;
  NeedParentUpdate();
}
int CControlUI::GetMinHeight() const { return ScaleValue(minSize_.cy); }
void CControlUI::SetMinHeight(int cy) {
  if (minSize_.cy == cy || cy < 0) return;
  minSize_.cy = cy;
  NeedParentUpdate();
}
int CControlUI::GetMaxHeight() const { return ScaleValue(maxSize_.cy); }
void CControlUI::SetMaxHeight(int cy) {
  if (maxSize_.cy == cy || cy < 0) return;
  maxSize_.cy = cy;
  NeedParentUpdate();
}
FloatPercent CControlUI::GetFloatPercent() const { return floatPercent_; }
void CControlUI::SetFloatPercent(FloatPercent percent) {
  floatPercent_ = percent;
  NeedParentUpdate();
}
void CControlUI::SetFloatAlign(UINT align) {
  floatAlign_ = align;
  NeedParentUpdate();
}
UINT CControlUI::GetFloatAlign() const { return floatAlign_; }
bool CControlUI::IsDPIPadding() const { return dpiPadding_; }
void CControlUI::SetDPIPadding(bool on) {
  dpiPadding_ = on;
  NeedParentUpdate();
}
void CControlUI::SetDPITextPadding(bool on) {
  dpiTextPadding_ = on;
  Invalidate();
}
bool CControlUI::IsDPITextPadding() const { return dpiTextPadding_; }
bool CControlUI::IsResponseMouseEnterLeave() const { return respondMouseEnterLeave_; }
void CControlUI::SetResponseMouseEnterLeave(bool on) { respondMouseEnterLeave_ = on; }
// The resource manager's named images and colours are not part of this
// framework: no list entry can be resolved.
void CControlUI::SwitchRes(int) {}

std::wstring CControlUI::GetToolTip() const { return tooltip_; }
void CControlUI::SetToolTip(std::wstring_view text) {
  std::wstring value(text);
  for (std::size_t at = value.find(L"<n>"); at != std::wstring::npos; at = value.find(L"<n>", at + 2)) {
    value.replace(at, 3, L"\r\n");
  }
  tooltip_ = value;
}
void CControlUI::SetToolTipWidth(int width) { tooltipWidth_ = width; }
int CControlUI::GetToolTipWidth() const { return ScaleValue(tooltipWidth_); }
WORD CControlUI::GetCursor() const { return cursor_; }
void CControlUI::SetCursor(WORD cursor) { cursor_ = cursor; }
wchar_t CControlUI::GetShortcut() const { return shortcut_; }
void CControlUI::SetShortcut(wchar_t ch) { shortcut_ = ch; }
bool CControlUI::IsContextMenuUsed() const { return menuUsed_; }
void CControlUI::SetContextMenuUsed(bool used) { menuUsed_ = used; }
std::wstring CControlUI::GetUserData() const { return userData_; }
void CControlUI::SetUserData(std::wstring_view text) { userData_ = text; }
UINT_PTR CControlUI::GetTag() const { return tag_; }
void CControlUI::SetTag(UINT_PTR tag) { tag_ = tag; }

bool CControlUI::IsVisible() const { return visible_ && internVisible_; }
void CControlUI::SetVisible(bool visible) {
  if (visible_ == visible) return;
  const bool wasVisible = IsVisible();
  visible_ = visible;
  if (!IsVisible() && manager_ && manager_->GetFocus() == this) manager_->SetFocus(nullptr);
  if (IsVisible() != wasVisible) NeedParentUpdate();
}
void CControlUI::SetInternVisible(bool visible) {
  internVisible_ = visible;
  if (!visible && manager_ && manager_->GetFocus() == this) manager_->SetFocus(nullptr);
}
bool CControlUI::IsEnabled() const { return enabled_; }
void CControlUI::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  Invalidate();
}
bool CControlUI::IsMouseEnabled() const { return mouseEnabled_; }
void CControlUI::SetMouseEnabled(bool enabled) { mouseEnabled_ = enabled; }
bool CControlUI::IsKeyboardEnabled() const { return keyboardEnabled_; }
void CControlUI::SetKeyboardEnabled(bool enabled) { keyboardEnabled_ = enabled; }
bool CControlUI::IsFocused() const { return focused_; }
void CControlUI::SetFocus() {
  if (manager_) manager_->SetFocus(this);
}
bool CControlUI::IsFloat() const { return float_; }
void CControlUI::SetFloat(bool floating) {
  if (float_ == floating) return;
  float_ = floating;
  NeedParentUpdate();
}
bool CControlUI::IsDynamic(POINT) const { return dynamic_; }
void CControlUI::SetDynamic(bool dynamic) { dynamic_ = dynamic; }

std::wstring CControlUI::GetVirtualWnd() const {
  if (!virtualWnd_.empty()) return virtualWnd_;
  return parent_ ? parent_->GetVirtualWnd() : std::wstring();
}
void CControlUI::SetVirtualWnd(std::wstring_view name) { virtualWnd_ = name; }

void CControlUI::AddCustomAttribute(std::wstring_view name, std::wstring_view value) {
  if (name.empty()) return;
  customAttributes_.insert_or_assign(std::wstring(name), std::wstring(value));
}
std::wstring CControlUI::GetCustomAttribute(std::wstring_view name) const {
  auto it = customAttributes_.find(name);
  return it == customAttributes_.end() ? std::wstring() : it->second;
}
bool CControlUI::RemoveCustomAttribute(std::wstring_view name) {
  auto it = customAttributes_.find(name);
  if (it == customAttributes_.end()) return false;
  customAttributes_.erase(it);
  return true;
}

CControlUI* CControlUI::FindControl(FindControlProc proc, void* data, UINT flags) {
  if ((flags & UIFIND_VISIBLE) && !IsVisible()) return nullptr;
  if ((flags & UIFIND_ENABLED) && !IsEnabled()) return nullptr;
  if ((flags & UIFIND_HITTEST) && (!mouseEnabled_ || !PtInRect(&itemRect_, *static_cast<POINT*>(data)))) {
    return nullptr;
  }
  return proc(this, data);
}

void CControlUI::Invalidate() {
  if (!IsVisible() || !manager_) return;
  RECT area = itemRect_;
  for (CControlUI* ancestor = parent_; ancestor; ancestor = ancestor->GetParent()) {
    if (!IntersectRect(&area, &area, &ancestor->GetPos())) return;
  }
  manager_->Invalidate(area);
}

void CControlUI::NeedUpdate() {
  if (!IsVisible()) return;
  updateNeeded_ = true;
  Invalidate();
  if (manager_) manager_->NeedUpdate();
}

void CControlUI::NeedParentUpdate() {
  if (parent_) {
    parent_->NeedUpdate();
    parent_->Invalidate();
  } else {
    NeedUpdate();
  }
  if (manager_) manager_->NeedUpdate();
}

DWORD CControlUI::GetAdjustColor(DWORD color) const { return color; }

void CControlUI::Init() {
  DoInit();
  RegisterTabStop();
  for (const ControlListener& listener : initListeners_) listener(this);
}
void CControlUI::DoInit() {}
void CControlUI::RegisterTabStop() {
  if (tabSupport_ && manager_) manager_->AddTabControl(this);
}

void CControlUI::Event(TEventUI& event) {
  for (const EventListener& listener : eventListeners_) {
    if (!listener(event)) return;
  }
  HandleEvent(event);
}

void CControlUI::HandleEvent(TEventUI& event) {
  auto toParent = [&] {
    if (parent_) parent_->Event(event);
  };
  auto notify = [&](const wchar_t* type, WPARAM wParam, LPARAM lParam) {
    if (manager_) manager_->SendNotify(this, type, wParam, lParam);
  };
  switch (event.type) {
    case UIEVENT_SETCURSOR:
      ::SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(cursor_ != 0 ? cursor_ : 32512)));
      return;
    case UIEVENT_SETFOCUS:
      focused_ = true;
      Invalidate();
      return;
    case UIEVENT_KILLFOCUS:
      focused_ = false;
      Invalidate();
      return;
    case UIEVENT_TIMER:
      notify(L"timer", event.wParam, event.lParam);
      return;
    case UIEVENT_CONTEXTMENU:
      if (menuUsed_) {
        notify(L"menu", event.wParam, event.lParam);
        return;
      }
      break;
    case UIEVENT_MOUSEENTER:
    case UIEVENT_MOUSELEAVE:
      if (IsEnabled() && respondMouseEnterLeave_) {
        Invalidate();
        if (event.type == UIEVENT_MOUSEENTER) {
          notify(L"mouseenter", event.wParam, event.lParam);
        } else {
          notify(L"mouseleave", 0, 0);
        }
        return;
      }
      break;
    case UIEVENT_MOUSEHOVER:
      notify(L"mousehover", 0, 0);
      break;
    case UIEVENT_MOUSEMOVE:
      notify(L"mousemove", 0, 0);
      break;
    case UIEVENT_SCROLLWHEEL:
      notify(L"mousewheel", event.wParam, event.lParam);
      break;
    case UIEVENT_CHAR:
      notify(L"char", event.key, event.lParam);
      return;
    case UIEVENT_KEYDOWN:
      notify(L"keydown", event.key, event.lParam);
      return;
    case UIEVENT_BEGINDRAG:
      if (dragEnabled_) {
        notify(L"begindrag", event.wParam, event.lParam);
        return;
      }
      break;
    case UIEVENT_DRAGMOVEBEGIN:
    case UIEVENT_DRAGMOVING:
    case UIEVENT_DRAGMOVEEND:
      if (dragMoveEnabled_) {
        if (event.type == UIEVENT_DRAGMOVEBEGIN) {
          dragMoving_ = true;
          notify(L"dragmovebegin", event.wParam, event.lParam);
        } else if (event.type == UIEVENT_DRAGMOVING) {
          notify(L"dragmoving", event.wParam, event.lParam);
        } else {
          dragMoving_ = false;
          notify(L"dragmoveend", event.wParam, event.lParam);
        }
        return;
      }
      break;
    default:
      break;
  }
  toParent();
}

bool CControlUI::NamesStyle(std::wstring_view value) const { return manager_ && manager_->GetStyle(value); }

void CControlUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
  if (manager_) {
    if (const std::wstring* style = manager_->GetStyle(value)) {
      ApplyAttributeList(*style);
      return;
    }
  }
  if (ApplyFromTable(AttributeTable(), *this, name, value)) return;
  AddCustomAttribute(name, value);
}

CControlUI* CControlUI::ApplyAttributeList(std::wstring_view list) {
  if (manager_) {
    if (const std::wstring* style = manager_->GetStyle(list)) {
      const std::wstring copy = *style;  // the style may be replaced while applying
      return ApplyAttributeList(copy);
    }
  }
  std::wstring text(list);
  for (std::size_t at = text.find(L"&quot;"); at != std::wstring::npos; at = text.find(L"&quot;", at + 1)) {
    text.replace(at, 6, L"\"");
  }
  std::map<std::wstring, std::wstring> ordered;
  for (const KeyValue& pair : ParseQuotedPairs(text)) {
    ordered.insert_or_assign(std::wstring(pair.key), std::wstring(pair.value));
  }
  for (const auto& [name, value] : ordered) SetAttribute(name, value);
  return this;
}

SIZE CControlUI::EstimateSize(SIZE) { return SIZE{GetFixedWidth(), GetFixedHeight()}; }

bool CControlUI::Paint(HDC dc, const RECT& paintRect, CControlUI* stop) {
  if (stop == this) return false;
  if (!IntersectRect(&paintRect_, &paintRect, &itemRect_)) return true;
  if (!DoPaint(dc, paintRect_, stop)) return false;
  for (const ControlListener& listener : paintListeners_) listener(this);
  return true;
}

bool CControlUI::DoPaint(HDC dc, const RECT&, CControlUI*) {
  const SIZE round{ScaleValue(borderRound_.cx), ScaleValue(borderRound_.cy)};
  CRenderClip clip;
  if (round.cx > 0 || round.cy > 0) CRenderClip::GenerateRoundClip(dc, paintRect_, itemRect_, round.cx, round.cy, clip);
  PaintBkColor(dc);
  PaintBkImage(dc);
  PaintStatusImage(dc);
  PaintForeColor(dc);
  PaintForeImage(dc);
  PaintText(dc);
  PaintBorder(dc);
  return true;
}

void CControlUI::PaintBkColor(HDC dc) {
  if (bkColor_ == 0) return;
  CRenderClip roundClip;
  const SIZE round{ScaleValue(bkRound_.cx), ScaleValue(bkRound_.cy)};
  if (round.cx > 0 || round.cy > 0) {
    CRenderClip::GenerateRoundClip(dc, paintRect_, itemRect_, round.cx, round.cy, roundClip);
  }
  const bool vertical = gradient_ != L"hor";
  if (bkColor2_ != 0) {
    if (bkColor3_ != 0) {
      RECT first = itemRect_;
      RECT second = itemRect_;
      if (vertical) {
        first.bottom = second.top = (itemRect_.top + itemRect_.bottom) / 2;
      } else {
        first.right = second.left = (itemRect_.left + itemRect_.right) / 2;
      }
      CRenderEngine::DrawGradient(dc, first, GetAdjustColor(bkColor_), GetAdjustColor(bkColor2_), vertical, 8);
      CRenderEngine::DrawGradient(dc, second, GetAdjustColor(bkColor2_), GetAdjustColor(bkColor3_), vertical, 8);
    } else {
      CRenderEngine::DrawGradient(dc, itemRect_, GetAdjustColor(bkColor_), GetAdjustColor(bkColor2_), vertical, 16);
    }
    return;
  }
  RECT area{};
  if (IntersectRect(&area, &paintRect_, &itemRect_)) CRenderEngine::DrawColor(dc, area, GetAdjustColor(bkColor_));
}

void CControlUI::PaintBkImage(HDC dc) {
  if (!bkImage_.empty()) DrawImage(dc, bkImage_);
}
void CControlUI::PaintStatusImage(HDC) {}
void CControlUI::PaintForeColor(HDC dc) {
  if (foreColor_ == 0) return;
  RECT area{};
  if (IntersectRect(&area, &paintRect_, &itemRect_)) CRenderEngine::DrawColor(dc, area, GetAdjustColor(foreColor_));
}
void CControlUI::PaintForeImage(HDC dc) {
  if (!foreImage_.empty()) DrawImage(dc, foreImage_);
}
void CControlUI::PaintText(HDC) {}

void CControlUI::PaintBorder(HDC dc) {
  const DWORD color = (focused_ && focusBorderColor_ != 0) ? focusBorderColor_ : borderColor_;
  if (color == 0) return;
  const RECT sizes{ScaleValue(borderSize_.left), ScaleValue(borderSize_.top), ScaleValue(borderSize_.right),
                   ScaleValue(borderSize_.bottom)};
  const SIZE round{ScaleValue(borderRound_.cx), ScaleValue(borderRound_.cy)};
  if (sizes.left <= 0 && sizes.top <= 0 && sizes.right <= 0 && sizes.bottom <= 0) return;
  if ((round.cx > 0 || round.cy > 0) && sizes.left > 0) {
    CRenderEngine::DrawRoundRect(dc, itemRect_, round.cx, round.cy, sizes.left, GetAdjustColor(color), borderStyle_);
    return;
  }
  const RECT& r = itemRect_;
  const DWORD c = GetAdjustColor(color);
  if (sizes.left > 0) CRenderEngine::DrawColor(dc, RECT{r.left, r.top, r.left + sizes.left, r.bottom}, c);
  if (sizes.top > 0) CRenderEngine::DrawColor(dc, RECT{r.left, r.top, r.right, r.top + sizes.top}, c);
  if (sizes.right > 0) CRenderEngine::DrawColor(dc, RECT{r.right - sizes.right, r.top, r.right, r.bottom}, c);
  if (sizes.bottom > 0) CRenderEngine::DrawColor(dc, RECT{r.left, r.bottom - sizes.bottom, r.right, r.bottom}, c);
}

void CControlUI::DoPostPaint(HDC, const RECT&) {}

bool CControlUI::SetTimer(UINT id, UINT elapse) { return manager_ && manager_->SetTimer(this, id, elapse); }
void CControlUI::KillTimer(UINT id) {
  if (manager_) manager_->KillTimer(this, id);
}

void CControlUI::NotifyListeners(TNotifyUI& notification) {
  for (const NotifyListener& listener : notifyListeners_) listener(notification);
}

}  // namespace DuiLib
