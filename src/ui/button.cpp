#include "ui/button.h"

#include <cstdio>

#include "ui/attribute_table.h"
#include "ui/container.h"
#include "ui/image_types.h"
#include "ui/paint_manager.h"
#include "ui/render.h"

namespace DuiLib {

struct ButtonAttributes {
  template <std::wstring CButtonUI::*Field>
  static void Image(CButtonUI& b, std::wstring_view v) {
    b.*Field = v;
    b.Invalidate();
  }
  template <DWORD CButtonUI::*Field>
  static void Color(CButtonUI& b, std::wstring_view v) {
    b.*Field = ParseColor(v);
    b.Invalidate();
  }
  template <int CButtonUI::*Field>
  static void Font(CButtonUI& b, std::wstring_view v) {
    b.*Field = ParseInt(v);
    b.Invalidate();
  }
  template <int Index>
  static void Switch(CButtonUI& b, std::wstring_view v) {
    b.switchRes_[Index] = v;
  }
  static constexpr AttributeSetter<CButtonUI> kTable[] = {
      {L"normalimage", Image<&CButtonUI::normalImage_>},
      {L"hotimage", Image<&CButtonUI::hotImage_>},
      {L"pushedimage", Image<&CButtonUI::pushedImage_>},
      {L"focusedimage", Image<&CButtonUI::focusedImage_>},
      {L"disabledimage", Image<&CButtonUI::disabledImage_>},
      {L"hotforeimage", Image<&CButtonUI::hotForeImage_>},
      {L"pushedforeimage", Image<&CButtonUI::pushedForeImage_>},
      {L"stateimage", Image<&CButtonUI::stateImage_>},
      {L"statecount", [](CButtonUI& b, std::wstring_view v) { b.stateCount_ = ParseInt(v); b.Invalidate(); }},
      {L"bindtabindex", [](CButtonUI& b, std::wstring_view v) { b.bindTabIndex_ = ParseInt(v); }},
      {L"bindtablayoutname", [](CButtonUI& b, std::wstring_view v) { b.bindTabLayoutName_ = v; }},
      {L"hotbkcolor", Color<&CButtonUI::hotBkColor_>},
      {L"pushedbkcolor", Color<&CButtonUI::pushedBkColor_>},
      {L"disabledbkcolor", Color<&CButtonUI::disabledBkColor_>},
      {L"hottextcolor", Color<&CButtonUI::hotTextColor_>},
      {L"pushedtextcolor", Color<&CButtonUI::pushedTextColor_>},
      {L"focusedtextcolor", Color<&CButtonUI::focusedTextColor_>},
      {L"hotfont", Font<&CButtonUI::hotFont_>},
      {L"pushedfont", Font<&CButtonUI::pushedFont_>},
      {L"focuedfont", Font<&CButtonUI::focusedFont_>},  // the skin's spelling
      {L"KeyboardActive", [](CButtonUI& b, std::wstring_view v) { b.keyboardActive_ = ParseBool(v); }},
      {L"NormalImageSwitchRes", Switch<0>},
      {L"HotImageSwitchRes", Switch<1>},
      {L"PushedImageSwitchRes", Switch<2>},
      {L"DisabledImageSwitchRes", Switch<3>},
      {L"HotTextColorSwitchRes", Switch<4>},
      {L"PushedTextColorSwitchRes", Switch<5>},
      {L"HotForeImageSwitchRes", Switch<6>},
      {L"PushedForeImageSwitchRes", Switch<7>},
  };
};

CButtonUI::CButtonUI() { textStyle_ = DT_SINGLELINE | DT_VCENTER | DT_CENTER; }

std::wstring_view CButtonUI::GetClassName() const { return L"ButtonUI"; }

void* CButtonUI::FindInterface(std::wstring_view name) {
  if (name == L"Button") return this;
  return CLabelUI::FindInterface(name);
}

UINT CButtonUI::GetControlFlags() const {
  return (IsKeyboardEnabled() ? UINT(UIFLAG_TABSTOP) : 0u) | (IsEnabled() ? UINT(UIFLAG_SETCURSOR) : 0u);
}

bool CButtonUI::Activate() { return ActivateButton(false); }

bool CButtonUI::ActivateButton(bool right) {
  if (!CLabelUI::Activate()) return false;
  if (manager_) manager_->SendNotify(this, right ? L"rclick" : L"click");
  if (manager_ && !bindTabLayoutName_.empty()) {
    CControlUI* found = manager_->FindControl(bindTabLayoutName_);
    if (auto* tab = found ? static_cast<CTabLayoutUI*>(found->FindInterface(L"TabLayout")) : nullptr)
      tab->SelectItem(bindTabIndex_, true);
  }
  return true;
}

void CButtonUI::SetEnabled(bool enabled) {
  CLabelUI::SetEnabled(enabled);
  if (!IsEnabled()) state_ = 0;
}

void CButtonUI::HandleEvent(TEventUI& event) {
  if (!IsMouseEnabled() && event.type > UIEVENT__MOUSEBEGIN && event.type < UIEVENT__MOUSEEND) {
    if (parent_) parent_->HandleEvent(event);
    else CLabelUI::HandleEvent(event);
    return;
  }
  const bool inside = PtInRect(&itemRect_, event.mousePoint) != FALSE;
  switch (event.type) {
    case UIEVENT_SETFOCUS:
    case UIEVENT_KILLFOCUS:
      Invalidate();
      break;
    case UIEVENT_KEYDOWN:
      if (IsEnabled() && IsKeyboardEnabled() && keyboardActive_ && (event.key == VK_SPACE || event.key == VK_RETURN)) {
        Activate();
        if (manager_) manager_->SendNotify(this, L"keydown", event.wParam, event.lParam);
        return;
      }
      break;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
    case UIEVENT_RBUTTONDOWN:
      if (inside && IsEnabled()) {
        state_ |= UISTATE_PUSHED | UISTATE_CAPTURED;
        Invalidate();
        const wchar_t* type = event.type == UIEVENT_BUTTONDOWN ? L"buttondown"
                              : event.type == UIEVENT_DBLCLICK ? L"dbclick"
                                                               : L"rbuttondown";
        if (manager_) manager_->SendNotify(this, type);
      }
      return;
    case UIEVENT_MOUSEMOVE:
      if (state_ & UISTATE_CAPTURED) {
        state_ = inside ? state_ | UISTATE_PUSHED : state_ & ~UISTATE_PUSHED;
        Invalidate();
        if (manager_) manager_->SendNotify(this, L"mousemove");
      }
      return;
    case UIEVENT_BUTTONUP:
    case UIEVENT_RBUTTONUP:
      if (state_ & UISTATE_CAPTURED) {
        state_ &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
        Invalidate();
        const bool right = event.type == UIEVENT_RBUTTONUP;
        if (manager_) manager_->SendNotify(this, right ? L"rbuttonup" : L"buttonup");
        if (inside) right ? ActivateButton(true) : Activate();
      }
      return;
    case UIEVENT_CONTEXTMENU:
      if (IsContextMenuUsed() && manager_) manager_->SendNotify(this, L"menu", event.wParam, event.lParam);
      return;
    case UIEVENT_MOUSEENTER:
      if (IsEnabled()) {
        state_ |= UISTATE_HOT;
        Invalidate();
        if (manager_) manager_->SendNotify(this, L"mouseenter", event.wParam, event.lParam);
      }
      break;
    case UIEVENT_MOUSELEAVE:
      if (IsEnabled()) {
        state_ &= ~UISTATE_HOT;
        Invalidate();
        if (manager_) manager_->SendNotify(this, L"mouseleave");
      }
      break;
    default:
      break;
  }
  CLabelUI::HandleEvent(event);
}

void CButtonUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
  if (NamesStyle(value) ||
      !ApplyFromTable<CButtonUI>(ButtonAttributes::kTable, *this, name, value))
    CLabelUI::SetAttribute(name, value);
}

void CButtonUI::SetNormalImage(std::wstring_view d) {
  normalImage_ = d;
  Invalidate();
}
void CButtonUI::SetHotImage(std::wstring_view d) {
  hotImage_ = d;
  Invalidate();
}
void CButtonUI::SetPushedImage(std::wstring_view d) {
  pushedImage_ = d;
  Invalidate();
}
void CButtonUI::SetFocusedImage(std::wstring_view d) {
  focusedImage_ = d;
  Invalidate();
}
void CButtonUI::SetDisabledImage(std::wstring_view d) {
  disabledImage_ = d;
  Invalidate();
}
void CButtonUI::SetHotTextColor(DWORD c) {
  hotTextColor_ = c;
  Invalidate();
}
void CButtonUI::SetPushedTextColor(DWORD c) {
  pushedTextColor_ = c;
  Invalidate();
}
void CButtonUI::SetFocusedTextColor(DWORD c) {
  focusedTextColor_ = c;
  Invalidate();
}
void CButtonUI::SetHotFont(int id) {
  hotFont_ = id;
  Invalidate();
}
void CButtonUI::SetPushedFont(int id) {
  pushedFont_ = id;
  Invalidate();
}
void CButtonUI::SetFocusedFont(int id) {
  focusedFont_ = id;
  Invalidate();
}
void CButtonUI::BindTabLayout(std::wstring_view layoutName, int index) {
  bindTabLayoutName_ = layoutName;
  bindTabIndex_ = index;
}

void CButtonUI::UpdatePaintState() {
  state_ = IsFocused() ? state_ | UISTATE_FOCUSED : state_ & ~UISTATE_FOCUSED;
  state_ = !IsEnabled() ? state_ | UISTATE_DISABLED : state_ & ~UISTATE_DISABLED;
  if (manager_ && manager_->GetPaintWindow() && !IsWindowEnabled(manager_->GetPaintWindow()))
    state_ &= UISTATE_DISABLED;
}

void CButtonUI::PaintBkColor(HDC dc) {
  DWORD color = 0;
  if (state_ & UISTATE_DISABLED) color = disabledBkColor_;
  else if (state_ & UISTATE_PUSHED) color = pushedBkColor_;
  else if (state_ & UISTATE_HOT) color = hotBkColor_;
  if (color != 0) {
    CRenderEngine::DrawColor(dc, itemRect_, GetAdjustColor(color));
    return;
  }
  CLabelUI::PaintBkColor(dc);
}

bool CButtonUI::DrawStateImage(HDC dc, std::wstring_view image, std::wstring_view sprite, int spriteCount) {
  if (!image.empty() && DrawImage(dc, image)) return true;
  if (sprite.empty() || spriteCount <= 0 || !manager_) return false;
  // The sprite's cells in order: normal, hot, pushed, focused, disabled.
  int cell = 0;
  if (state_ & UISTATE_DISABLED) cell = 4;
  else if (state_ & UISTATE_PUSHED) cell = 2;
  else if (state_ & UISTATE_HOT) cell = 1;
  else if (state_ & UISTATE_FOCUSED) cell = 3;
  if (cell >= spriteCount) cell = 0;
  const ImageDescriptor* descriptor = manager_->GetDrawInfo(sprite, {});
  const ImageEntry* entry = descriptor ? manager_->GetImageEx(descriptor->imageName, descriptor->resourceType,
                                                              descriptor->mask, descriptor->hsl)
                                       : nullptr;
  if (!entry) return false;
  // The cell in image pixels; a DPI variant's source is scaled again when parsed.
  int width = entry->width / spriteCount, height = entry->height;
  int left = width * cell;
  if (descriptor->dpiVariant) {
    left = manager_->Unscale(left);
    width = manager_->Unscale(width);
    height = manager_->Unscale(height);
  }
  wchar_t modifier[96];
  std::swprintf(modifier, 96, L"source='%d,0,%d,%d'", left, left + width, height);
  return DrawImage(dc, sprite, modifier);
}

void CButtonUI::PaintStatusImage(HDC dc) {
  UpdatePaintState();
  std::wstring_view chosen;
  if (state_ & UISTATE_DISABLED) chosen = disabledImage_;
  else if (state_ & UISTATE_PUSHED) chosen = pushedImage_;
  else if (state_ & UISTATE_HOT) chosen = hotImage_;
  else if (state_ & UISTATE_FOCUSED) chosen = focusedImage_;
  if (!chosen.empty() && DrawImage(dc, chosen)) return;
  if (!normalImage_.empty()) {
    DrawImage(dc, normalImage_);
    return;
  }
  DrawStateImage(dc, {}, stateImage_, stateCount_);
}

void CButtonUI::PaintForeImage(HDC dc) {
  if ((state_ & UISTATE_PUSHED) && !pushedForeImage_.empty() && DrawImage(dc, pushedForeImage_)) return;
  if ((state_ & UISTATE_HOT) && !hotForeImage_.empty() && DrawImage(dc, hotForeImage_)) return;
  CLabelUI::PaintForeImage(dc);
}

void CButtonUI::PaintText(HDC dc) {
  if (!manager_) return;
  DWORD color = 0;
  if ((state_ & UISTATE_PUSHED) && pushedTextColor_ != 0) color = pushedTextColor_;
  else if ((state_ & UISTATE_HOT) && hotTextColor_ != 0) color = hotTextColor_;
  else if ((state_ & UISTATE_FOCUSED) && focusedTextColor_ != 0) color = focusedTextColor_;
  else color = EffectiveTextColor();
  int font = font_;
  if ((state_ & UISTATE_PUSHED) && pushedFont_ != -1) font = pushedFont_;
  else if ((state_ & UISTATE_HOT) && hotFont_ != -1) font = hotFont_;
  else if ((state_ & UISTATE_FOCUSED) && focusedFont_ != -1) font = focusedFont_;
  // A button scales its text padding whatever DPITextPadding says.
  DrawLabelText(dc, manager_->ScaleRect(textPadding_), color, font);
}

}  // namespace DuiLib
